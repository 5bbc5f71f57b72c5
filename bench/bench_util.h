#pragma once
// Shared by the benchmarks: the peak resident memory of this process.
#include <cstdio>

namespace bench {

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
