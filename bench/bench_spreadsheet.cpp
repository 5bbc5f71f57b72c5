// Figures for the spreadsheet engine: exporting a large contract list and
// reading it back.
//
//   build/bench/bench_spreadsheet [rows]      (default 100000, 21 columns)
#include "spreadsheet/SheetExport.h"
#include "spreadsheet/SheetImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

using namespace cg;

static long peakRssKb()
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
    const QStringList titles = {"单据状态", "合同编号", "申请人", "申请部门", "采购员", "供应商", "产品",
                                "设备数量", "计量单位", "制单日期", "生效日期", "失效日期", "合同总金额", "付款方式",
                                "第一次付款", "第二次付款", "第三次付款", "第四次付款", "剩余尾款", "税率", "附件"};
    // Texts like those of a contract list, made on demand.
    Sheet::RowSource source{rows, [](qint64 r, int c) -> QString {
                                switch (c) {
                                case 0: return QStringLiteral("已审核");
                                case 1: return QStringLiteral("KQLM%1").arg(2024000000 + r / 3);
                                case 5: return QStringLiteral("砚禾澄屿设备有限公司%1").arg(r % 500);
                                case 6: return QStringLiteral("工业控制器 型号 X-%1").arg(r);
                                case 9: case 10: case 11: return QStringLiteral("2024-03-01");
                                case 20: return r % 4 ? QString() : QStringLiteral("有附件");
                                default: return QString::number((r * 37 + c * 11) % 100000) + QStringLiteral(".50");
                                }
                            }};
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.xlsx");
    const long base = peakRssKb();

    resetPeak();
    QElapsedTimer t;
    t.start();
    const auto written = Sheet::ExportWorkbook(path, titles, source);
    const qint64 exportMs = t.elapsed();
    if (!written.ok()) {
        std::printf("export failed: %s\n", qPrintable(written.detail));
        return 1;
    }
    std::printf("export: %lld rows x %lld columns in %lld ms, file %lld kB, peak memory %ld kB (at start %ld kB)\n",
                rows, qint64(titles.size()), exportMs, QFileInfo(path).size() / 1024, peakRssKb(), base);

    resetPeak();
    t.restart();
    const auto read = Sheet::ReadFirstSheet(path, int(titles.size()));
    const qint64 readMs = t.elapsed();
    if (!read.ok() || read.rows.size() != rows) {
        std::printf("read failed: %s (%lld rows)\n", qPrintable(read.detail), qint64(read.rows.size()));
        return 1;
    }
    std::printf("read back: %lld rows in %lld ms, peak memory %ld kB\n", qint64(read.rows.size()), readMs,
                peakRssKb());
    return 0;
}
