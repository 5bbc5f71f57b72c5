// Figures for the spreadsheet engine: exporting a large contract list and
// reading it back. The list's texts are made before the clock starts (the
// same texts as the libxlsxwriter baseline, bench_data.h).
//
//   build/bench/bench_spreadsheet [rows] [file]   (default 100000 rows, 21 columns)
//
// Prints key=value lines; bench/run-sheet-bench.sh sets them side by side.
#include "bench_util.h"
#include "bench_data.h"
#include "spreadsheet/SheetExport.h"
#include "spreadsheet/SheetImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace cg;


// Starts a new peak measurement (Linux: resets VmHWM to the current size).
static void resetPeak()
{
    if (FILE *f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 rows = argc > 1 ? std::atoll(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString path = argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath("bench.xlsx");

    QStringList titles;
    for (const char *t : bench::kTitles)
        titles << QString::fromUtf8(t);
    QList<QStringList> list;
    list.reserve(rows);
    for (qint64 r = 0; r < rows; ++r) {
        QStringList cells;
        cells.reserve(bench::kColumns);
        for (int c = 0; c < bench::kColumns; ++c)
            cells << QString::fromStdString(bench::cell(long(r), c));
        list << cells;
    }
    const Sheet::RowSource source = Sheet::RowSource::fromRows(std::move(list));
    const long base = bench::peakRssKb();

    resetPeak();
    QElapsedTimer t;
    t.start();
    const auto written = Sheet::ExportWorkbook(path, titles, source);
    const qint64 exportMs = t.elapsed();
    if (!written.ok()) {
        std::printf("export failed: %s\n", qPrintable(written.detail));
        return 1;
    }
    std::printf("rows=%lld\ncolumns=%d\nexport_ms=%lld\nexport_file_kb=%lld\nexport_peak_kb=%ld\nbase_kb=%ld\n",
                rows, bench::kColumns, exportMs, QFileInfo(path).size() / 1024, bench::peakRssKb(), base);

    resetPeak();
    t.restart();
    const std::clock_t cpu = std::clock();
    const auto read = Sheet::ReadFirstSheet(path, int(titles.size()));
    const qint64 readMs = t.elapsed();
    // The machine is shared: the processor time is the steadier figure.
    const qint64 readCpuMs = qint64(std::clock() - cpu) * 1000 / CLOCKS_PER_SEC;
    if (!read.ok() || read.rows.size() != rows) {
        std::printf("read failed: %s (%lld rows)\n", qPrintable(read.detail), qint64(read.rows.size()));
        return 1;
    }
    std::printf("read_ms=%lld\nread_cpu_ms=%lld\nread_rows=%lld\nread_peak_kb=%ld\n", readMs, readCpuMs,
                qint64(read.rows.size()), bench::peakRssKb());
    return 0;
}
