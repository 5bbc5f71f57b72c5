#pragma once
// Shared by the benchmarks: the peak resident memory and the processor
// time of this process.
#include <cstdio>
#include <ctime>

namespace bench {

// CPU time of this process in ms: on a machine shared with builds the wall
// time says more about the others than about us.
inline long long cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// VmHWM of /proc/self/status in kB; -1 where there is none.
inline long peakRssKb()
{
    FILE *f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1)
            break;
    std::fclose(f);
    return kb;
}

} // namespace bench
