// Figures for the spreadsheet engine: exporting a large contract list and
// reading it back. The list's texts are made before the clock starts (the
// same texts as the libxlsxwriter baseline, bench_data.h).
//
//   build/bench/bench_spreadsheet [rows] [file]   (default 100000 rows, 21 columns)
//
// Then two small hand-made workbooks whose styles and workbook parts are
// built to be slow to read: many cell formats sharing one long number
// format, and many sheets whose relationships come last.
//
// Prints key=value lines; bench/run-sheet-bench.sh sets them side by side.
#include "bench_util.h"
#include "bench_data.h"
#include "spreadsheet/SheetExport.h"
#include "spreadsheet/SheetImport.h"

#include <QCoreApplication>
#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>
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

static bool writeZip(const QString &path, const QList<QPair<QString, QByteArray>> &parts)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    for (const auto &part : parts) {
        QuaZipFile f(&zip);
        if (!f.open(QIODevice::WriteOnly, QuaZipNewInfo(part.first)) || f.write(part.second) != part.second.size())
            return false;
        f.close();
    }
    zip.close();
    return zip.getZipError() == 0;
}

// A workbook with `sheets` sheets, of which only the last is a worksheet
// (its relationship listed last), and `formats` cell formats all using one
// number format `codeLength` characters long.
static bool writeSlowParts(const QString &path, int sheets, int formats, int codeLength)
{
    const QByteArray main = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
    const QByteArray relNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    QByteArray book = "<workbook " + main + "><sheets>";
    QByteArray rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (int i = 1; i <= sheets; ++i) {
        const QByteArray id = "rId" + QByteArray::number(i);
        book += "<sheet name=\"S" + QByteArray::number(i) + "\" sheetId=\"" + QByteArray::number(i) + "\" r:id=\"" + id + "\"/>";
        const QByteArray type = i == sheets ? "worksheet" : "chartsheet";
        rels += "<Relationship Id=\"" + id + "\" Type=\"" + relNs + "/" + type + "\" Target=\"worksheets/sheet1.xml\"/>";
    }
    rels += "<Relationship Id=\"rIdS\" Type=\"" + relNs + "/styles\" Target=\"styles.xml\"/></Relationships>";
    book += "</sheets></workbook>";
    QByteArray styles = "<styleSheet " + main + "><numFmts count=\"1\"><numFmt numFmtId=\"164\" formatCode=\""
        + QByteArray(codeLength, '0') + "\"/></numFmts><cellXfs>";
    for (int i = 0; i < formats; ++i)
        styles += "<xf numFmtId=\"164\"/>";
    styles += "</cellXfs></styleSheet>";
    return writeZip(path, {{"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                                           "<Relationship Id=\"rId1\" Type=\"" + relNs + "/officeDocument\" Target=\"xl/workbook.xml\"/>"
                                           "</Relationships>"},
                           {"xl/workbook.xml", book},
                           {"xl/_rels/workbook.xml.rels", rels},
                           {"xl/styles.xml", styles},
                           {"xl/worksheets/sheet1.xml", "<worksheet " + main + "><sheetData><row r=\"2\"><c s=\"1\"><v>1</v></c></row></sheetData></worksheet>"}});
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

    const QString slow = dir.filePath("slow.xlsx");
    constexpr int kSheets = 20000, kFormats = 20000, kCodeLength = 100000;
    if (!writeSlowParts(slow, kSheets, kFormats, kCodeLength)) {
        std::printf("slow parts not written\n");
        return 1;
    }
    t.restart();
    const auto slowRead = Sheet::ReadFirstSheet(slow, 1);
    std::printf("slow_parts=%d sheets, %d cell formats of a %d-character format, %lld kB\nslow_parts_ms=%lld\nslow_parts_ok=%d\n",
                kSheets, kFormats, kCodeLength, QFileInfo(slow).size() / 1024, t.elapsed(), int(slowRead.ok()));
    return 0;
}
