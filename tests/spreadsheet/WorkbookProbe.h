#pragma once
// Helpers of the workbook tests: Debian's openpyxl as an independent reader
// and writer of workbooks, and hand-made packages for what it cannot write.

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonDocument>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QtTest>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

namespace probe {

// Runs a Python script with /usr/bin/python3 and returns what it printed as
// JSON (null when the script failed).
inline QJsonDocument python(const QString &script, const QStringList &args = {})
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), script} + args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("python failed: %s", p.readAllStandardError().constData());
        return QJsonDocument();
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput());
}

// Every cell of a sheet (the first unless told) as openpyxl sees it: value (dates as ISO
// text), type, number format, font, borders, fill and alignment; the sheet's
// name and frozen cell, the column ranges with width and number format, the
// row heights, and the names of all sheets.
inline const QString kDumpScript = QStringLiteral(R"(
import sys, json, datetime, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.worksheets[int(sys.argv[2])]
sides = ("left", "right", "top", "bottom")
def colour(c):
    return c.rgb if c is not None and c.type == "rgb" else None
def value(v):
    return v.isoformat() if isinstance(v, (datetime.datetime, datetime.date)) else v
rows = []
for row in ws.iter_rows():
    rows.append([{"v": value(c.value), "t": c.data_type, "fmt": c.number_format, "date": c.is_date,
                  "bold": bool(c.font.b),
                  "border": [getattr(c.border, s).style for s in sides],
                  "bcolour": [colour(getattr(c.border, s).color) for s in sides],
                  "fill": c.fill.patternType, "fcolour": colour(c.fill.fgColor),
                  "align": [c.alignment.horizontal, c.alignment.vertical, bool(c.alignment.wrap_text)]}
                 for c in row])
cols = [[d.min, d.max, d.width, d.number_format] for d in ws.column_dimensions.values() if d.min]
heights = {str(k): d.height for k, d in ws.row_dimensions.items() if d.height}
print(json.dumps({"sheets": len(wb.worksheets), "names": [w.title for w in wb.worksheets], "name": ws.title, "frozen": ws.freeze_panes,
                  "rows": rows, "cols": cols, "heights": heights}))
)");

inline QJsonObject dumpWorkbook(const QString &path, int sheet = 0)
{
    return python(kDumpScript, {path, QString::number(sheet)}).object();
}

// The values of a dumped row as texts; "<none>" for an empty cell.
inline QStringList values(const QJsonArray &row)
{
    QStringList out;
    for (const auto &c : row)
        out << c.toObject().value(QStringLiteral("v")).toString(QStringLiteral("<none>"));
    return out;
}

// The dumped title row of an exported list: the titles, each cell text
// format, bold, thin grey borders and the light fill; the columns 20 wide
// and row 1 18 high.
inline void checkExportTitles(const QJsonObject &book, const QStringList &titles)
{
    const QJsonArray row = book.value(QStringLiteral("rows")).toArray().at(0).toArray();
    QCOMPARE(values(row), titles);
    for (const auto &c : row) {
        const QJsonObject cell = c.toObject();
        QCOMPARE(cell.value(QStringLiteral("fmt")).toString(), QStringLiteral("@"));
        QVERIFY(cell.value(QStringLiteral("bold")).toBool());
        QCOMPARE(cell.value(QStringLiteral("border")).toArray(), QJsonArray({"thin", "thin", "thin", "thin"}));
        QCOMPARE(cell.value(QStringLiteral("bcolour")).toArray(),
                 QJsonArray({"FFC5C5C5", "FFC5C5C5", "FFC5C5C5", "FFC5C5C5"}));
        QCOMPARE(cell.value(QStringLiteral("fill")).toString(), QStringLiteral("solid"));
        QCOMPARE(cell.value(QStringLiteral("fcolour")).toString(), QStringLiteral("FFE5F9F9"));
    }
    const QJsonArray cols = book.value(QStringLiteral("cols")).toArray();
    QCOMPARE(cols.size(), 1);
    QCOMPARE(cols.at(0).toArray().at(0).toInt(), 1);
    QCOMPARE(cols.at(0).toArray().at(1).toInt(), int(titles.size()));
    const double width = cols.at(0).toArray().at(2).toDouble();
    QVERIFY2(width >= 20 && width < 21, qPrintable(QString::number(width)));
    QCOMPARE(book.value(QStringLiteral("heights")).toObject().value(QStringLiteral("1")).toDouble(), 18.0);
}

// The dumped data rows of an exported list: each cell text, in text format
// and without other formatting.
inline void checkExportRows(const QJsonObject &book, const QList<QStringList> &rows)
{
    const QJsonArray sheet = book.value(QStringLiteral("rows")).toArray();
    QCOMPARE(sheet.size(), rows.size() + 1);
    for (int r = 0; r < rows.size(); ++r) {
        const QJsonArray row = sheet.at(r + 1).toArray();
        QStringList expected = rows.at(r);
        expected.replaceInStrings(QRegularExpression(QStringLiteral("^$")), QStringLiteral("<none>"));
        QCOMPARE(values(row).mid(0, expected.size()), expected);
        for (const auto &c : row) {
            const QJsonObject cell = c.toObject();
            QCOMPARE(cell.value(QStringLiteral("fmt")).toString(), QStringLiteral("@"));
            QVERIFY(!cell.value(QStringLiteral("bold")).toBool());
            QVERIFY(cell.value(QStringLiteral("fill")).isNull());
            if (!cell.value(QStringLiteral("v")).isNull())
                QCOMPARE(cell.value(QStringLiteral("t")).toString(), QStringLiteral("s"));
        }
    }
}

using Parts = QList<QPair<QString, QByteArray>>;

inline bool writeZip(const QString &path, const Parts &parts)
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

inline const QByteArray kMain = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                                "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
inline const QByteArray kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

inline QByteArray rel(const QByteArray &id, const QByteArray &type, const QByteArray &target)
{
    return "<Relationship Id=\"" + id + "\" Type=\"" + kRelNs + "/" + type + "\" Target=\"" + target + "\"/>";
}

// A package whose workbook lists `sheets` (xml of <sheet> elements) with the
// relationships `rels`, plus the given parts.
inline Parts package(const QByteArray &workbookPr, const QByteArray &sheets, const QByteArray &rels,
                     const Parts &more)
{
    Parts parts{
        {QStringLiteral("[Content_Types].xml"),
         "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>"},
        {QStringLiteral("_rels/.rels"),
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             + rel("rId1", "officeDocument", "xl/workbook.xml") + "</Relationships>"},
        {QStringLiteral("xl/workbook.xml"),
         "<?xml version=\"1.0\"?><workbook " + kMain + ">" + workbookPr + "<sheets>" + sheets + "</sheets></workbook>"},
        {QStringLiteral("xl/_rels/workbook.xml.rels"),
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" + rels
             + "</Relationships>"},
    };
    return parts + more;
}

inline QByteArray sheetXml(const QByteArray &rows)
{
    return "<?xml version=\"1.0\"?><worksheet " + kMain + "><sheetData>" + rows + "</sheetData></worksheet>";
}

// One worksheet at xl/worksheets/sheet1.xml with these rows.
inline Parts simplePackage(const QByteArray &rows)
{
    return package("", "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>",
                   rel("rId1", "worksheet", "worksheets/sheet1.xml"),
                   {{QStringLiteral("xl/worksheets/sheet1.xml"), sheetXml(rows)}});
}

inline QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace probe
