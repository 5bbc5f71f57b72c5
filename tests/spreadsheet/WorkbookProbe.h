#pragma once
// Helpers of the workbook tests: Debian's openpyxl as an independent reader
// and writer of workbooks, and hand-made packages for what it cannot write.

#include <QDir>
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
