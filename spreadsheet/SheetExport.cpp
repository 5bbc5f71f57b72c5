#include "spreadsheet/SheetExport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

#include <atomic>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#endif

namespace cg::Sheet {

RowSource RowSource::fromRows(QList<QStringList> rows)
{
    auto data = std::make_shared<const QList<QStringList>>(std::move(rows));
    RowSource source;
    source.rowCount = data->size();
    source.cell = [data](qint64 row, int column) {
        const QStringList &cells = data->at(row);
        return column < cells.size() ? cells.at(column) : QString();
    };
    return source;
}

namespace {

std::atomic_bool g_running{false};

constexpr int kMaxColumns = 16384;

// The fixed parts of the package. Style 1 is the title cell (text format
// "@", bold, thin borders RGB 197,197,197, fill RGB 229,249,249), style 2
// a data cell (text format only). Width 20 is stored with Excel's cell
// padding, the way Excel itself stores a width of 20 characters.
const char kContentTypes[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
    R"(<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)"
    R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)"
    R"(</Types>)";
const char kRootRels[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
    R"(</Relationships>)";
const char kWorkbook[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<bookViews><workbookView/></bookViews><sheets><sheet name="Sheet1" sheetId="1" r:id="rId1"/></sheets></workbook>)";
const char kWorkbookRels[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>)"
    R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
    R"(</Relationships>)";
const char kStyles[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<fonts count="2">)"
    R"(<font><sz val="11"/><name val="宋体"/><family val="3"/><charset val="134"/></font>)"
    R"(<font><b/><sz val="11"/><name val="宋体"/><family val="3"/><charset val="134"/></font>)"
    R"(</fonts>)"
    R"(<fills count="3"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill>)"
    R"(<fill><patternFill patternType="solid"><fgColor rgb="FFE5F9F9"/><bgColor indexed="64"/></patternFill></fill></fills>)"
    R"(<borders count="2"><border><left/><right/><top/><bottom/><diagonal/></border>)"
    R"(<border><left style="thin"><color rgb="FFC5C5C5"/></left><right style="thin"><color rgb="FFC5C5C5"/></right>)"
    R"(<top style="thin"><color rgb="FFC5C5C5"/></top><bottom style="thin"><color rgb="FFC5C5C5"/></bottom><diagonal/></border></borders>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
    R"(<cellXfs count="3"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
    R"(<xf numFmtId="49" fontId="1" fillId="2" borderId="1" xfId="0" applyNumberFormat="1" applyFont="1" applyFill="1" applyBorder="1"/>)"
    R"(<xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs>)"
    R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
    R"(</styleSheet>)";
const char kSheetStart[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)";
const char kTitleWidth[] = "20.7109375";
const char kTitleHeight[] = "18";
const char kSheetEnd[] =
    R"(</sheetData><pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/></worksheet>)";

// "A", "B", … "Z", "AA", …
QByteArray columnName(int column)
{
    QByteArray name;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        name.prepend(char('A' + (n - 1) % 26));
    return name;
}

bool isHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

void appendEscape(QString &s, char16_t code)
{
    s += QLatin1String("_x") + QString::number(code, 16).toUpper().rightJustified(4, u'0') + u'_';
}

// A cell text as the format stores it: "_xHHHH_" stands for the character
// HHHH, so characters XML cannot hold (controls but tab and line feed,
// carriage return, U+FFFE, U+FFFF) are written that way, and an underscore
// that starts such a sequence is itself escaped. A lone surrogate becomes
// U+FFFD. Texts longer than a cell holds are cut.
QString storedText(const QString &text)
{
    bool plain = true;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n') || u == u'_' || u >= 0xD800) {
            plain = false;
            break;
        }
    }
    QString s;
    if (plain) {
        s = text;
    } else {
        s.reserve(text.size() + 16);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            const char16_t u = c.unicode();
            if (u == u'_' && i + 6 < text.size() && (text.at(i + 1) == u'x' || text.at(i + 1) == u'X')
                && isHex(text.at(i + 2)) && isHex(text.at(i + 3)) && isHex(text.at(i + 4))
                && isHex(text.at(i + 5)) && text.at(i + 6) == u'_')
                s += QLatin1String("_x005F_");
            else if ((u < 0x20 && u != u'\t' && u != u'\n') || u >= 0xFFFE)
                appendEscape(s, u);
            else if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                s += c, s += text.at(++i);
            else if (c.isSurrogate())
                s += QChar(0xFFFD);
            else
                s += c;
        }
    }
    if (s.size() > kMaxCellText) {
        qsizetype n = kMaxCellText;
        if (s.at(n - 1).isHighSurrogate())
            --n;
        s.truncate(n);
    }
    return s;
}

void appendXmlText(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
}

// One cell: an inline string, or an empty cell that keeps the text format.
void appendCell(QByteArray &out, const QByteArray &ref, char style, const QString &text)
{
    out += "<c r=\"";
    out += ref;
    out += "\" s=\"";
    out += style;
    if (text.isEmpty()) {
        out += "\"/>";
        return;
    }
    const QString stored = storedText(text);
    const bool edges = stored.front().isSpace() || stored.back().isSpace();
    out += edges ? "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" : "\" t=\"inlineStr\"><is><t>";
    appendXmlText(out, stored);
    out += "</t></is></c>";
}

ExportResult failure(ExportStatus status, const QString &detail) { return {status, detail}; }

// A new empty file next to the target, under a name nobody uses.
QString reserveTempFile(const QFileInfo &target, QString *error)
{
    const QString stem = target.absolutePath() + QStringLiteral("/.~") + target.fileName() + u'.';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            stem + QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".tmp");
        QFile file(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return name;
        if (!QFileInfo::exists(name)) {
            *error = name + QStringLiteral(": ") + file.errorString();
            return QString();
        }
    }
    *error = QStringLiteral("no free temporary name in ") + target.absolutePath();
    return QString();
}

// Moves the finished file over the target in one step.
bool replaceFile(const QString &from, const QString &to, QString *error)
{
#ifdef Q_OS_WIN
    const QString src = QDir::toNativeSeparators(from), dst = QDir::toNativeSeparators(to);
    if (MoveFileExW(reinterpret_cast<LPCWSTR>(src.utf16()), reinterpret_cast<LPCWSTR>(dst.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    *error = QStringLiteral("MoveFileEx failed, error %1").arg(GetLastError());
    return false;
#else
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
#endif
}

struct RunningGuard {
    ~RunningGuard() { g_running = false; }
};

class PackageWriter {
public:
    explicit PackageWriter(QFile *file) : m_zip(file) { m_zip.setAutoClose(false); }

    bool open() { return m_zip.open(QuaZip::mdCreate); }

    bool writePart(const char *name, const QByteArray &data)
    {
        return beginPart(name) && write(data) && endPart();
    }
    bool beginPart(const char *name)
    {
        m_part = std::make_unique<QuaZipFile>(&m_zip);
        return m_part->open(QIODevice::WriteOnly, QuaZipNewInfo(QString::fromLatin1(name)));
    }
    bool write(const QByteArray &data) { return m_part->write(data) == data.size(); }
    bool endPart()
    {
        m_part->close();
        const bool ok = m_part->getZipError() == 0;
        m_part.reset();
        return ok;
    }
    bool close()
    {
        m_zip.close();
        return m_zip.getZipError() == 0;
    }
    QString error() const { return QStringLiteral("zip error %1").arg(m_zip.getZipError()); }

private:
    QuaZip m_zip;
    std::unique_ptr<QuaZipFile> m_part;
};

ExportResult writeWorkbook(const QString &fileName, const QStringList &titles, const RowSource &rows,
                           const ExportProgress &progress)
{
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return failure(ExportStatus::WriteFailed, fileName + QStringLiteral(": ") + file.errorString());
    PackageWriter zip(&file);
    if (!zip.open())
        return failure(ExportStatus::EngineFailed, QStringLiteral("cannot start the package: ") + zip.error());
    const auto writeFailed = [&] {
        return failure(ExportStatus::WriteFailed, file.errorString() + QStringLiteral(", ") + zip.error());
    };
    if (!zip.writePart("[Content_Types].xml", kContentTypes) || !zip.writePart("_rels/.rels", kRootRels)
        || !zip.writePart("xl/workbook.xml", kWorkbook) || !zip.writePart("xl/_rels/workbook.xml.rels", kWorkbookRels)
        || !zip.writePart("xl/styles.xml", QByteArray(kStyles)))
        return writeFailed();

    const int columns = int(titles.size());
    QList<QByteArray> letters;
    for (int c = 0; c < columns; ++c)
        letters << columnName(c);

    QByteArray out(kSheetStart);
    out += "<dimension ref=\"A1";
    if (columns > 1 || rows.rowCount > 0)
        out += ':' + (columns > 0 ? letters.last() : QByteArray("A")) + QByteArray::number(rows.rowCount + 1);
    out += "\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"
           "<sheetFormatPr defaultRowHeight=\"13.5\"/>";
    if (columns > 0)
        out += "<cols><col min=\"1\" max=\"" + QByteArray::number(columns) + "\" width=\"" + kTitleWidth
               + "\" customWidth=\"1\"/></cols>";
    out += "<sheetData><row r=\"1\" ht=\"";
    out += kTitleHeight;
    out += "\" customHeight=\"1\">";
    for (int c = 0; c < columns; ++c)
        appendCell(out, letters.at(c) + '1', '1', titles.at(c));
    out += "</row>";

    if (!zip.beginPart("xl/worksheets/sheet1.xml"))
        return writeFailed();
    constexpr qsizetype kChunk = 256 * 1024;
    for (qint64 r = 0; r < rows.rowCount; ++r) {
        const QByteArray number = QByteArray::number(r + 2);
        out += "<row r=\"" + number + "\">";
        for (int c = 0; c < columns; ++c)
            appendCell(out, letters.at(c) + number, '2', rows.cell(r, c));
        out += "</row>";
        if (out.size() >= kChunk) {
            if (!zip.write(out))
                return writeFailed();
            out.clear();
        }
        if (progress)
            progress(r + 1, rows.rowCount);
    }
    out += kSheetEnd;
    if (!zip.write(out) || !zip.endPart() || !zip.close())
        return writeFailed();
    if (!file.flush())
        return writeFailed();
#ifndef Q_OS_WIN
    ::fsync(file.handle());
#endif
    file.close();
    if (file.error() != QFileDevice::NoError)
        return writeFailed();
    return {};
}

} // namespace

bool CanReplace(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    if (info.isDir())
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Append);
}

ExportResult ExportWorkbook(const QString &path, const QStringList &titles, const RowSource &rows,
                            const ExportProgress &progress)
{
    bool idle = false;
    if (!g_running.compare_exchange_strong(idle, true))
        return failure(ExportStatus::Busy, QStringLiteral("an export is already running"));
    RunningGuard guard;

    if (titles.size() > kMaxColumns || rows.rowCount > kMaxDataRows || rows.rowCount < 0)
        return failure(ExportStatus::WriteFailed, QStringLiteral("more rows or columns than a worksheet holds"));

    // Writing through a link writes the file it points to.
    QFileInfo target(path);
    if (target.isSymLink() && target.exists())
        target = QFileInfo(target.canonicalFilePath());
    const bool existed = target.exists();
    if (!CanReplace(target.filePath()))
        return failure(ExportStatus::FileInUse, target.filePath() + QStringLiteral(" cannot be opened for writing"));

    QString error;
    const QString temp = reserveTempFile(target, &error);
    if (temp.isEmpty())
        return failure(ExportStatus::WriteFailed, error);

    ExportResult result = writeWorkbook(temp, titles, rows, progress);
    if (result.ok()) {
        if (existed)
            QFile::setPermissions(temp, QFile::permissions(target.filePath()));
        if (!replaceFile(temp, target.absoluteFilePath(), &error))
            result = failure(ExportStatus::WriteFailed, target.filePath() + QStringLiteral(": ") + error);
    }
    if (!result.ok())
        QFile::remove(temp);
    return result;
}

} // namespace cg::Sheet
