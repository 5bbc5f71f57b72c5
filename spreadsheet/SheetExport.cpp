#include "spreadsheet/SheetExport.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipnewinfo.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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
const char kContentTypesStart[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
    R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
    R"(<Default Extension="xml" ContentType="application/xml"/>)"
    R"(<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>)"
    R"(<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>)";
const char kContentTypesSheet[] =
    R"(<Override PartName="/xl/worksheets/sheet%1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>)";
const char kContentTypesEnd[] = R"(</Types>)";
const char kRootRels[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>)"
    R"(</Relationships>)";
const char kWorkbookStart[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
    R"(<bookViews><workbookView/></bookViews><sheets>)";
const char kWorkbookSheet[] = R"(<sheet name="%1" sheetId="%2" r:id="rId%2"/>)";
const char kWorkbookEnd[] = R"(</sheets></workbook>)";
const char kWorkbookRelsStart[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
const char kWorkbookRelsSheet[] =
    R"(<Relationship Id="rId%1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet%1.xml"/>)";
const char kWorkbookRelsEnd[] =
    R"(<Relationship Id="rId%1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
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
// The template's styles: 1 the title cell (text format, centred both ways,
// wrapped, thin borders), 2 a text column, 3 a date column shown as
// year-month-day.
const char kTemplateStyles[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
    R"(<numFmts count="1"><numFmt numFmtId="176" formatCode="yyyy\-mm\-dd"/></numFmts>)"
    R"(<fonts count="1"><font><sz val="11"/><name val="宋体"/><family val="3"/><charset val="134"/></font></fonts>)"
    R"(<fills count="2"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill></fills>)"
    R"(<borders count="2"><border><left/><right/><top/><bottom/><diagonal/></border>)"
    R"(<border><left style="thin"><color indexed="64"/></left><right style="thin"><color indexed="64"/></right>)"
    R"(<top style="thin"><color indexed="64"/></top><bottom style="thin"><color indexed="64"/></bottom><diagonal/></border></borders>)"
    R"(<cellStyleXfs count="1"><xf numFmtId="0" fontId="0" fillId="0" borderId="0"/></cellStyleXfs>)"
    R"(<cellXfs count="4"><xf numFmtId="0" fontId="0" fillId="0" borderId="0" xfId="0"/>)"
    R"(<xf numFmtId="49" fontId="0" fillId="0" borderId="1" xfId="0" applyNumberFormat="1" applyBorder="1" applyAlignment="1">)"
    R"(<alignment horizontal="center" vertical="center" wrapText="1"/></xf>)"
    R"(<xf numFmtId="49" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/>)"
    R"(<xf numFmtId="176" fontId="0" fillId="0" borderId="0" xfId="0" applyNumberFormat="1"/></cellXfs>)"
    R"(<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>)"
    R"(</styleSheet>)";
const char kTemplateTitleHeight[] = "30";
const char kSheetStart[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)" "\n"
    R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)";
const char kTitleWidth[] = "20.7109375";
const char kTitleHeight[] = "18";
const char kSheetEnd[] =
    R"(<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/></worksheet>)";

// "A", "B", … "Z", "AA", …
QByteArray columnName(int column)
{
    QByteArray name;
    for (int n = column + 1; n > 0; n = (n - 1) / 26)
        name.prepend(char('A' + (n - 1) % 26));
    return name;
}

bool isHex(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// "_xHHHH_" at i: the format's own escape of the character HHHH.
bool escapeAt(QStringView text, qsizetype i)
{
    return i + 6 < text.size() && text[i] == u'_' && (text[i + 1] == u'x' || text[i + 1] == u'X')
        && isHex(text[i + 2].unicode()) && isHex(text[i + 3].unicode()) && isHex(text[i + 4].unicode())
        && isHex(text[i + 5].unicode()) && text[i + 6] == u'_';
}

// The XML of a worksheet, written into one growing buffer and handed to the
// package in large pieces. Texts go from UTF-16 to escaped UTF-8 in one
// pass, without a temporary string per cell.
class XmlBuffer {
public:
    explicit XmlBuffer(qsizetype capacity) { m_buf.resize(capacity); }

    qsizetype size() const { return m_used; }
    const char *data() const { return m_buf.constData(); }
    void clear() { m_used = 0; }

    void put(char c)
    {
        reserve(1);
        m_buf.data()[m_used++] = c;
    }
    void put(const char *s, qsizetype n)
    {
        reserve(n);
        std::memcpy(m_buf.data() + m_used, s, size_t(n));
        m_used += n;
    }
    template <qsizetype N> void put(const char (&s)[N]) { put(s, N - 1); }
    void put(const QByteArray &s) { put(s.constData(), s.size()); }
    void putNumber(qint64 v)
    {
        char digits[24];
        int n = 0;
        quint64 u = v < 0 ? quint64(-v) : quint64(v);
        do {
            digits[n++] = char('0' + u % 10);
            u /= 10;
        } while (u);
        reserve(n + 1);
        char *p = m_buf.data() + m_used;
        if (v < 0)
            *p++ = '-';
        while (n)
            *p++ = digits[--n];
        m_used = p - m_buf.data();
    }

    // A cell text as the format stores it, escaped for XML: "_xHHHH_"
    // stands for the character HHHH, so characters XML cannot hold
    // (controls but tab and line feed, carriage return, U+FFFE, U+FFFF) are
    // written that way, and an underscore that starts such a sequence is
    // itself escaped. A lone surrogate becomes U+FFFD. Texts longer than a
    // cell holds are cut.
    void putCellText(QStringView text)
    {
        qsizetype n = qMin<qsizetype>(text.size(), kMaxCellText);
        if (n < text.size() && text[n - 1].isHighSurrogate())
            --n;
        // At most 7 bytes per UTF-16 unit ("_x005F_", "&amp;" or UTF-8).
        reserve(7 * n);
        char *p = m_buf.data() + m_used;
        const char16_t *s = reinterpret_cast<const char16_t *>(text.utf16());
        // Characters beyond the cell's limit count as escapes take room.
        qsizetype room = kMaxCellText;
        for (qsizetype i = 0; i < n && room > 0; ++i) {
            char16_t u = s[i];
            if (u < 0x80) {
                if (u >= 0x20 && u != u'&' && u != u'<' && u != u'>' && u != u'_') {
                    *p++ = char(u);
                } else if (u == u'&') {
                    std::memcpy(p, "&amp;", 5), p += 5;
                } else if (u == u'<') {
                    std::memcpy(p, "&lt;", 4), p += 4;
                } else if (u == u'>') {
                    std::memcpy(p, "&gt;", 4), p += 4;
                } else if (u == u'_') {
                    if (escapeAt(text, i))
                        std::memcpy(p, "_x005F_", 7), p += 7;
                    else
                        *p++ = '_';
                } else if (u == u'\t' || u == u'\n') {
                    *p++ = char(u);
                } else {
                    p = escape(p, u);
                }
                --room;
                continue;
            }
            if (u >= 0xD800 && u <= 0xDFFF) {
                if (u <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
                    if (room < 2)
                        break;
                    const char32_t c = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (s[i + 1] - 0xDC00);
                    *p++ = char(0xF0 | (c >> 18));
                    *p++ = char(0x80 | ((c >> 12) & 0x3F));
                    *p++ = char(0x80 | ((c >> 6) & 0x3F));
                    *p++ = char(0x80 | (c & 0x3F));
                    ++i;
                    room -= 2;
                    continue;
                }
                u = 0xFFFD;
            } else if (u >= 0xFFFE) {
                p = escape(p, u);
                --room;
                continue;
            }
            if (u < 0x800) {
                *p++ = char(0xC0 | (u >> 6));
            } else {
                *p++ = char(0xE0 | (u >> 12));
                *p++ = char(0x80 | ((u >> 6) & 0x3F));
            }
            *p++ = char(0x80 | (u & 0x3F));
            --room;
        }
        m_used = p - m_buf.data();
    }

private:
    static char *escape(char *p, char16_t u)
    {
        static const char hex[] = "0123456789ABCDEF";
        *p++ = '_';
        *p++ = 'x';
        for (int shift = 12; shift >= 0; shift -= 4)
            *p++ = hex[(u >> shift) & 0xF];
        *p++ = '_';
        return p;
    }
    void reserve(qsizetype n)
    {
        if (m_used + n > m_buf.size())
            m_buf.resize(qMax(m_buf.size() * 2, m_used + n));
    }

    QByteArray m_buf;
    qsizetype m_used = 0;
};

// Blanks at either end of a text need xml:space="preserve" to survive.
bool hasEdgeSpace(QStringView text)
{
    return text.front().isSpace() || text.back().isSpace();
}

// One cell: an inline string, or an empty cell that keeps its style.
void putCell(XmlBuffer &out, const QByteArray &letters, qint64 row, char style, QStringView text)
{
    out.put("<c r=\"");
    out.put(letters);
    out.putNumber(row);
    out.put("\" s=\"");
    out.put(style);
    if (text.isEmpty()) {
        out.put("\"/>");
        return;
    }
    if (hasEdgeSpace(text))
        out.put("\" t=\"inlineStr\"><is><t xml:space=\"preserve\">");
    else
        out.put("\" t=\"inlineStr\"><is><t>");
    out.putCellText(text);
    out.put("</t></is></c>");
}

ExportResult failure(ExportStatus status, const QString &detail) { return {status, detail}; }

// Whether a failure of the system means "not allowed to write there":
// the file's or the folder's permissions, a read-only file or medium.
bool isDenied(int code)
{
#ifdef Q_OS_WIN
    return code == ERROR_ACCESS_DENIED || code == ERROR_WRITE_PROTECT;
#else
    return code == EACCES || code == EPERM || code == EROFS;
#endif
}

int lastError()
{
#ifdef Q_OS_WIN
    return int(GetLastError());
#else
    return errno;
#endif
}

// Opens an existing file for writing without changing it: 0 when that
// works, otherwise the system's error.
int openForWriting(const QString &path)
{
#ifdef Q_OS_WIN
    const HANDLE h = CreateFileW(reinterpret_cast<LPCWSTR>(QDir::toNativeSeparators(path).utf16()), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return lastError();
    CloseHandle(h);
    return 0;
#else
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
#endif
}

// False when the folder exists but this user may not create files in it.
bool folderWritable(const QString &folder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
    return true;  // the temporary file tells
#else
    return ::faccessat(AT_FDCWD, QFile::encodeName(folder).constData(), W_OK | X_OK, AT_EACCESS) == 0
        || !isDenied(errno);
#endif
}

// A new empty file next to the target, under a name nobody uses. *denied
// tells whether the folder refused it.
QString reserveTempFile(const QFileInfo &target, QString *error, bool *denied)
{
    *denied = false;
    const QString stem = target.absolutePath() + QStringLiteral("/.~") + target.fileName() + u'.';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            stem + QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".tmp");
        QFile file(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return name;
        const int code = lastError();
        if (!QFileInfo::exists(name)) {
            *denied = isDenied(code);
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

// Where a target resolves to: writing through a link writes the file it
// points to.
QFileInfo resolvedTarget(const QString &path)
{
    QFileInfo target(path);
    if (target.isSymLink() && target.exists())
        target = QFileInfo(target.canonicalFilePath());
    return target;
}

ExportStatus targetStatus(const QFileInfo &target)
{
    if (target.exists()) {
        if (target.isDir())
            return ExportStatus::FileInUse;
        if (const int code = openForWriting(target.filePath()))
            return isDenied(code) ? ExportStatus::ReadOnlyFile : ExportStatus::FileInUse;
    }
    return folderWritable(target.absolutePath()) ? ExportStatus::Ok : ExportStatus::ReadOnlyFolder;
}

std::atomic<qint64> g_rowsPerSheet{kMaxDataRows};

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
    bool write(const QByteArray &data) { return write(data.constData(), data.size()); }
    bool write(const char *data, qint64 size) { return m_part->write(data, size) == size; }
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

constexpr qsizetype kChunk = 256 * 1024;

bool flushIfFull(XmlBuffer &out, PackageWriter &zip)
{
    if (out.size() < kChunk)
        return true;
    const bool ok = zip.write(out.data(), out.size());
    out.clear();
    return ok;
}

// The parts that name the sheets: content types, workbook and its
// relationships. Sheet i (from 1) is xl/worksheets/sheet<i>.xml.
QByteArray contentTypesXml(int sheets)
{
    QByteArray xml(kContentTypesStart);
    for (int i = 1; i <= sheets; ++i)
        xml += QByteArray(kContentTypesSheet).replace("%1", QByteArray::number(i));
    return xml + kContentTypesEnd;
}

QByteArray workbookXml(const QStringList &names)
{
    QByteArray xml(kWorkbookStart);
    for (int i = 1; i <= names.size(); ++i)
        xml += QByteArray(kWorkbookSheet)
                   .replace("%1", names.at(i - 1).toHtmlEscaped().toUtf8())
                   .replace("%2", QByteArray::number(i));
    return xml + kWorkbookEnd;
}

QByteArray workbookRelsXml(int sheets)
{
    QByteArray xml(kWorkbookRelsStart);
    for (int i = 1; i <= sheets; ++i)
        xml += QByteArray(kWorkbookRelsSheet).replace("%1", QByteArray::number(i));
    return xml + QByteArray(kWorkbookRelsEnd).replace("%1", QByteArray::number(sheets + 1));
}

// Writes a whole package into fileName: the fixed parts, the workbook
// naming its sheets, the styles, and each worksheet, whose XML
// `sheet(index, …)` puts into the buffer (handing full pieces to the
// package as it goes).
ExportResult writePackage(const QString &fileName, const QStringList &sheetNames, const char *styles,
                          const std::function<bool(int, XmlBuffer &, PackageWriter &)> &sheet)
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
    const int sheets = int(sheetNames.size());
    if (!zip.writePart("[Content_Types].xml", contentTypesXml(sheets)) || !zip.writePart("_rels/.rels", kRootRels)
        || !zip.writePart("xl/workbook.xml", workbookXml(sheetNames))
        || !zip.writePart("xl/_rels/workbook.xml.rels", workbookRelsXml(sheets))
        || !zip.writePart("xl/styles.xml", QByteArray(styles)))
        return writeFailed();
    XmlBuffer out(kChunk + 64 * 1024);
    for (int i = 0; i < sheets; ++i) {
        const QByteArray name = "xl/worksheets/sheet" + QByteArray::number(i + 1) + ".xml";
        if (!zip.beginPart(name.constData()))
            return writeFailed();
        out.clear();
        out.put(kSheetStart);
        if (!sheet(i, out, zip))
            return writeFailed();
        out.put(kSheetEnd);
        if (!zip.write(out.data(), out.size()) || !zip.endPart())
            return writeFailed();
    }
    if (!zip.close())
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

// The list on as many worksheets as its rows need, each with the title row
// and at most `perSheet` rows below it.
ExportResult writeList(const QString &fileName, const QStringList &titles, const RowSource &rows,
                       const ExportProgress &progress, qint64 perSheet)
{
    const int sheets = int(qMax<qint64>(1, (rows.rowCount + perSheet - 1) / perSheet));
    QStringList names;
    for (int i = 1; i <= sheets; ++i)
        names << QStringLiteral("Sheet%1").arg(i);
    const int columns = int(titles.size());
    QList<QByteArray> letters;
    for (int c = 0; c < columns; ++c)
        letters << columnName(c);

    return writePackage(fileName, names, kStyles, [&](int sheet, XmlBuffer &out, PackageWriter &zip) {
        const qint64 first = sheet * perSheet;
        const qint64 count = qMin(perSheet, rows.rowCount - first);
        out.put("<dimension ref=\"A1");
        if (columns > 1 || count > 0) {
            out.put(':');
            out.put(columns > 0 ? letters.last() : QByteArray("A"));
            out.putNumber(count + 1);
        }
        out.put(sheet == 0 ? "\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"/></sheetViews>"
                           : "\"/><sheetViews><sheetView workbookViewId=\"0\"/></sheetViews>");
        out.put("<sheetFormatPr defaultRowHeight=\"13.5\"/>");
        if (columns > 0) {
            out.put("<cols><col min=\"1\" max=\"");
            out.putNumber(columns);
            out.put("\" width=\"");
            out.put(kTitleWidth);
            out.put("\" customWidth=\"1\"/></cols>");
        }
        out.put("<sheetData><row r=\"1\" ht=\"");
        out.put(kTitleHeight);
        out.put("\" customHeight=\"1\">");
        for (int c = 0; c < columns; ++c)
            putCell(out, letters.at(c), 1, '1', titles.at(c));
        out.put("</row>");

        for (qint64 k = 0; k < count; ++k) {
            const qint64 r = first + k;
            out.put("<row r=\"");
            out.putNumber(k + 2);
            out.put("\">");
            for (int c = 0; c < columns; ++c)
                putCell(out, letters.at(c), k + 2, '2', rows.cell(r, c));
            out.put("</row>");
            if (!flushIfFull(out, zip))
                return false;
            if (progress)
                progress(r + 1, rows.rowCount);
        }
        out.put("</sheetData>");
        return true;
    });
}

// A width in characters as the file stores it: with the cell padding of
// the default font (5 pixels of 7 per character), in 1/256 steps.
QByteArray storedWidth(double characters)
{
    const double stored = std::floor((characters * 7 + 5) / 7 * 256) / 256;
    return QByteArray::number(stored, 'g', 12);
}

// Days since 1899-12-30 for "yyyy-MM-dd" from 1900-03-01 on; -1 otherwise.
qint64 dateSerial(const QString &text)
{
    if (text.size() != 10)
        return -1;
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid() || date < QDate(1900, 3, 1) || date.year() > 9999)
        return -1;
    return QDate(1899, 12, 30).daysTo(date);
}

ExportResult writeTemplate(const QString &fileName, const TemplateSheet &sheet)
{
    return writePackage(fileName, {sheet.name}, kTemplateStyles, [&](int, XmlBuffer &out, PackageWriter &) {
        const int columns = int(sheet.columns.size());
        QList<QByteArray> letters;
        for (int c = 0; c < columns; ++c)
            letters << columnName(c);
        const auto style = [&](int c) { return sheet.columns.at(c).kind == ColumnKind::Date ? '3' : '2'; };

        out.put("<dimension ref=\"A1");
        if (columns > 1 || !sheet.rows.isEmpty()) {
            out.put(':');
            out.put(columns > 0 ? letters.last() : QByteArray("A"));
            out.putNumber(sheet.rows.size() + 1);
        }
        // The title row stays in view while rows are filled in.
        out.put("\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\">"
                "<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"
                "<selection pane=\"bottomLeft\" activeCell=\"A2\" sqref=\"A2\"/></sheetView></sheetViews>"
                "<sheetFormatPr defaultRowHeight=\"13.5\"/>");
        if (columns > 0) {
            // Each column keeps its format for the rows typed in later.
            out.put("<cols>");
            for (int c = 0; c < columns; ++c) {
                out.put("<col min=\"");
                out.putNumber(c + 1);
                out.put("\" max=\"");
                out.putNumber(c + 1);
                out.put("\" width=\"");
                out.put(storedWidth(sheet.columns.at(c).width));
                out.put("\" style=\"");
                out.put(style(c));
                out.put("\" customWidth=\"1\"/>");
            }
            out.put("</cols>");
        }
        out.put("<sheetData><row r=\"1\" ht=\"");
        out.put(kTemplateTitleHeight);
        out.put("\" customHeight=\"1\">");
        for (int c = 0; c < columns; ++c)
            putCell(out, letters.at(c), 1, '1', sheet.columns.at(c).title);
        out.put("</row>");
        for (qint64 r = 0; r < sheet.rows.size(); ++r) {
            const QStringList &cells = sheet.rows.at(r);
            out.put("<row r=\"");
            out.putNumber(r + 2);
            out.put("\">");
            for (int c = 0; c < columns; ++c) {
                const QString text = cells.value(c);
                const qint64 serial = style(c) == '3' ? dateSerial(text) : -1;
                if (serial < 0) {
                    putCell(out, letters.at(c), r + 2, style(c), text);
                    continue;
                }
                out.put("<c r=\"");
                out.put(letters.at(c));
                out.putNumber(r + 2);
                out.put("\" s=\"3\"><v>");
                out.putNumber(serial);
                out.put("</v></c>");
            }
            out.put("</row>");
        }
        out.put("</sheetData>");
        return true;
    });
}

// Runs write on a new file next to the target and moves the result over
// the target; on failure the target is left as it was and nothing stays.
ExportResult writeAside(const QString &path, const std::function<ExportResult(const QString &)> &write)
{
    const QFileInfo target = resolvedTarget(path);
    const bool existed = target.exists();
    if (const ExportStatus status = targetStatus(target); status != ExportStatus::Ok)
        return failure(status, target.filePath() + QStringLiteral(" cannot be written"));

    QString error;
    bool denied = false;
    const QString temp = reserveTempFile(target, &error, &denied);
    if (temp.isEmpty())
        return failure(denied ? ExportStatus::ReadOnlyFolder : ExportStatus::WriteFailed, error);

    ExportResult result = write(temp);
    if (result.ok()) {
        if (existed)
            QFile::setPermissions(temp, QFile::permissions(target.filePath()));
        if (!replaceFile(temp, target.absoluteFilePath(), &error))
            result = failure(isDenied(lastError()) ? ExportStatus::ReadOnlyFolder : ExportStatus::WriteFailed,
                             target.filePath() + QStringLiteral(": ") + error);
    }
    if (!result.ok())
        QFile::remove(temp);
    return result;
}

} // namespace

ExportStatus TargetStatus(const QString &path) { return targetStatus(resolvedTarget(path)); }

bool CanReplace(const QString &path) { return TargetStatus(path) == ExportStatus::Ok; }

QString SheetNameProblem(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("a sheet name cannot be empty");
    if (name.size() > kMaxSheetName)
        return QStringLiteral("a sheet name holds at most %1 characters").arg(kMaxSheetName);
    if (name.startsWith(u'\'') || name.endsWith(u'\''))
        return QStringLiteral("a sheet name cannot start or end with '");
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        if (QStringView(u":\\/?*[]").contains(QChar(c)))
            return QStringLiteral("a sheet name cannot hold %1").arg(QChar(c));
        const bool pair = QChar::isHighSurrogate(c) && i + 1 < name.size() && name.at(i + 1).isLowSurrogate();
        if (pair) {
            ++i;
            continue;
        }
        if (c < 0x20 || c >= 0xFFFE || QChar::isSurrogate(c))
            return QStringLiteral("a sheet name cannot hold the character U+%1").arg(uint(c), 4, 16, QChar(u'0'));
    }
    return QString();
}

void SetRowsPerSheetForTests(qint64 rows) { g_rowsPerSheet = rows > 0 ? qMin(rows, kMaxDataRows) : kMaxDataRows; }

ExportResult ExportWorkbook(const QString &path, const QStringList &titles, const RowSource &rows,
                            const ExportProgress &progress)
{
    bool idle = false;
    if (!g_running.compare_exchange_strong(idle, true))
        return failure(ExportStatus::Busy, QStringLiteral("an export is already running"));
    RunningGuard guard;

    if (titles.size() > kMaxColumns || rows.rowCount < 0)
        return failure(ExportStatus::InvalidInput, QStringLiteral("more columns than a worksheet holds"));
    const qint64 perSheet = g_rowsPerSheet;
    return writeAside(path, [&](const QString &temp) { return writeList(temp, titles, rows, progress, perSheet); });
}

ExportResult WriteTemplate(const QString &path, const TemplateSheet &sheet)
{
    if (sheet.columns.size() > kMaxColumns || sheet.rows.size() > kMaxDataRows)
        return failure(ExportStatus::InvalidInput, QStringLiteral("more rows or columns than a worksheet holds"));
    if (const QString problem = SheetNameProblem(sheet.name); !problem.isEmpty())
        return failure(ExportStatus::InvalidInput, problem);
    return writeAside(path, [&](const QString &temp) { return writeTemplate(temp, sheet); });
}

} // namespace cg::Sheet
