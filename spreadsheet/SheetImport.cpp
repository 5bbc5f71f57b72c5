#include "spreadsheet/SheetImport.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QTime>
#include <QUrl>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipfileinfo.h>

#include <expat.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <type_traits>
#include <string>
#include <vector>

namespace cg::Sheet {

bool IsBlank(const QString &text)
{
    for (QChar c : text)
        if (c != u' ' && c != QChar(0x3000))
            return false;
    return true;
}

QString NumberText(double value)
{
    if (!std::isfinite(value))
        return QString::number(value);
    // Excel keeps 15 significant digits: 0.1 + 0.2 shows as 0.3.
    const double v = QString::number(value, 'g', 15).toDouble();
    const double a = std::fabs(v);
    if (a == 0)
        return QStringLiteral("0");
    if (a < 1e15 && v == std::floor(v))
        return QString::number(qint64(v));
    if (a >= 1e15 || a < 1e-9)
        return QString::number(v, 'E', QLocale::FloatingPointShortest);
    return QString::number(v, 'f', QLocale::FloatingPointShortest);
}

QString DateText(double serial, DateKind kind, bool date1904)
{
    if (!std::isfinite(serial) || serial < 0 || serial >= 2958466)
        return QString();
    const qint64 seconds = qRound64(serial * 86400.0);
    const qint64 days = seconds / 86400;
    const QString time = QTime(0, 0).addSecs(int(seconds % 86400)).toString(QStringLiteral("HH:mm:ss"));
    if (kind == DateKind::Time)
        return time;
    QString date;
    if (date1904) {
        date = QDate(1904, 1, 1).addDays(days).toString(QStringLiteral("yyyy-MM-dd"));
    } else if (days == 0) {
        return QString();  // Excel's "day 0 of January 1900"
    } else if (days == 60) {
        date = QStringLiteral("1900-02-29");  // the day Excel counts in the 1900 system
    } else {
        date = QDate(1899, 12, 31).addDays(days < 60 ? days : days - 1).toString(QStringLiteral("yyyy-MM-dd"));
    }
    if (date.size() != 10)
        return QString();
    if (kind == DateKind::Date || seconds % 86400 == 0)
        return date;
    return date + u' ' + time;
}

namespace {

enum class ValueKind { Plain, Percent, Date, Time, DateTime };

ValueKind builtinKind(int id)
{
    switch (id) {
    case 9: case 10:
        return ValueKind::Percent;
    case 14: case 15: case 16: case 17:
    // Chinese built-in date formats ("yyyy年m月d日" and the like)
    case 27: case 28: case 29: case 30: case 31: case 36:
    case 50: case 51: case 52: case 53: case 54: case 57: case 58:
        return ValueKind::Date;
    case 18: case 19: case 20: case 21: case 45: case 46: case 47:
    case 32: case 33: case 34: case 35: case 55: case 56:
        return ValueKind::Time;
    case 22:
        return ValueKind::DateTime;
    default:
        return ValueKind::Plain;
    }
}

// What a custom format code shows: the first section, without literal
// texts, escaped characters and [...] parts (colours, locales), decides.
ValueKind formatKind(const QString &code)
{
    QString s;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == u'"') {
            const qsizetype end = code.indexOf(u'"', i + 1);
            i = end < 0 ? code.size() : end;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            const qsizetype end = code.indexOf(u']', i + 1);
            const QString inner = code.mid(i + 1, end < 0 ? -1 : end - i - 1).toLower();
            // [h]:mm elapsed time
            if (!inner.isEmpty() && inner.count(inner.at(0)) == inner.size()
                && (inner.at(0) == u'h' || inner.at(0) == u'm' || inner.at(0) == u's'))
                s += inner;
            i = end < 0 ? code.size() : end;
        } else if (c == u';') {
            break;
        } else {
            s += c.toLower();
        }
    }
    if (s.trimmed() == QLatin1String("general"))
        return ValueKind::Plain;
    const bool hours = s.contains(u'h') || s.contains(u's');
    const bool date = s.contains(u'y') || s.contains(u'd') || (s.contains(u'm') && !hours);
    if (date && hours)
        return ValueKind::DateTime;
    if (date)
        return ValueKind::Date;
    if (hours)
        return ValueKind::Time;
    if (s.contains(u'%'))
        return ValueKind::Percent;
    return ValueKind::Plain;
}

bool isHex(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// "_x000D_" stands for the character 0x000D.
QString decodeEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'_' && i + 6 < text.size() && text.at(i + 1) == u'x' && isHex(text.at(i + 2))
            && isHex(text.at(i + 3)) && isHex(text.at(i + 4)) && isHex(text.at(i + 5)) && text.at(i + 6) == u'_') {
            out += QChar(char16_t(QStringView(text).mid(i + 2, 4).toUShort(nullptr, 16)));
            i += 6;
        } else {
            out += text.at(i);
        }
    }
    return out;
}

// What a worksheet and the parts around it can hold. A file beyond these is
// damaged (no writer makes one) or too large for the memory the import may
// take, whatever its size on disk.
constexpr int kMaxColumn = 16384;   // XFD
constexpr qint64 kMaxRow = 1048576;
constexpr int kMaxDepth = 128;
constexpr int kMaxAttributes = 256;
constexpr qint64 kMaxSharedStrings = 4LL * 1024 * 1024;
constexpr qint64 kMaxSharedText = 64LL * 1024 * 1024;  // UTF-16 units of all shared strings together
constexpr qsizetype kMaxRelationships = 65536;
constexpr qsizetype kMaxFormats = 1 << 20;              // number formats and cell formats each
constexpr qint64 kChunk = 256 * 1024;

// "AB12": column 28, row 12. False for anything else, and for a cell
// beyond column XFD or row 1048576.
bool parseCellRef(const char *ref, int *column, qint64 *row)
{
    const char *p = ref;
    int col = 0;
    for (; (*p >= 'A' && *p <= 'Z') || (*p >= 'a' && *p <= 'z'); ++p) {
        col = col * 26 + ((*p & ~0x20) - 'A' + 1);
        if (col > kMaxColumn)
            return false;
    }
    if (p == ref)
        return false;
    const char *digits = p;
    qint64 r = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        r = r * 10 + (*p - '0');
        if (r > kMaxRow)
            return false;
    }
    if (p == digits || *p || r < 1)
        return false;
    *column = col;
    *row = r;
    return true;
}

// A row number 1 … 1048576; 0 for anything else.
qint64 parseRowNumber(const char *text)
{
    qint64 r = 0;
    const char *p = text;
    for (; *p >= '0' && *p <= '9'; ++p) {
        r = r * 10 + (*p - '0');
        if (r > kMaxRow)
            return 0;
    }
    return p == text || *p ? 0 : r;
}

// A non-negative whole number as style and format ids are written; 0 when
// the text is none.
int parseId(const char *text)
{
    if (!text)
        return 0;
    qint64 v = 0;
    const char *p = text;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > INT_MAX)
            return 0;
    }
    return p == text || *p ? 0 : int(v);
}

// Names arrive as "namespace\x01local", or "local" outside any namespace.
constexpr char kNsSeparator = '\x01';

const char *localName(const char *name)
{
    const char *sep = std::strrchr(name, kNsSeparator);
    return sep ? sep + 1 : name;
}

bool is(const char *local, const char *name) { return std::strcmp(local, name) == 0; }

// The value of an attribute without namespace; null when absent.
const char *attribute(const char **atts, const char *name)
{
    for (; *atts; atts += 2)
        if (std::strcmp(*atts, name) == 0)
            return atts[1];
    return nullptr;
}

// The value of an attribute of any namespace with this local name.
const char *qualifiedAttribute(const char **atts, const char *local)
{
    for (; *atts; atts += 2) {
        const char *sep = std::strrchr(*atts, kNsSeparator);
        if (sep && std::strcmp(sep + 1, local) == 0)
            return atts[1];
    }
    return nullptr;
}

QString text(const char *value) { return value ? QString::fromUtf8(value) : QString(); }

// What a part's handler is told while expat reads the part. `depth` is the
// depth of the element being started or ended (the root is 1), and while
// text arrives that of the innermost open element. A handler ends the part
// early with done() (the rest is not read) or refuses it with refuse().
struct PartHandler {
    virtual ~PartHandler() = default;
    virtual void start(const char *local, const char **atts) = 0;
    virtual void end(const char *) {}
    virtual void characters(const char *, int) {}

    void done() { stop = Stop::Done; }
    void refuse(ReadStatus s, const QString &why)
    {
        stop = Stop::Refused;
        status = s;
        detail = why;
    }

    enum class Stop { No, Done, Refused } stop = Stop::No;
    int depth = 0;
    ReadStatus status = ReadStatus::Ok;
    QString detail;
};

// The texts of an <si> or <is> element: its own <t> and those of its rich
// text runs (<r><t>), not the phonetic guide (<rPh><t>).
struct RichText {
    void begin(int depth)
    {
        base = depth;
        run = -1;
        textAt = -1;
        bytes.clear();
    }
    void start(const char *local, int depth)
    {
        if (depth == base + 1) {
            if (is(local, "t"))
                textAt = depth;
            else if (is(local, "r"))
                run = depth;
        } else if (run >= 0 && depth == run + 1 && is(local, "t")) {
            textAt = depth;
        }
    }
    void end(int depth)
    {
        if (depth == textAt)
            textAt = -1;
        else if (depth == run)
            run = -1;
    }
    void characters(const char *s, int len, int depth)
    {
        if (depth == textAt)
            bytes.append(s, size_t(len));
    }
    QString take() const
    {
        const QString t = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        return std::memchr(bytes.data(), '_', bytes.size()) ? decodeEscapes(t) : t;
    }

    int base = -1, run = -1, textAt = -1;
    std::string bytes;
};

// Expat's view of one part: namespaces resolved, the nesting depth and the
// attributes of each element bounded, no document type declaration (no
// workbook has one; entity tricks live there), and the root element the one
// the part is meant to hold.
struct ExpatRun {
    XML_Parser parser;
    PartHandler *handler;
    const char *root;
    int depth = 0;

    void halt() { XML_StopParser(parser, XML_FALSE); }

    static void XMLCALL onStart(void *data, const XML_Char *name, const XML_Char **atts)
    {
        auto *run = static_cast<ExpatRun *>(data);
        PartHandler &h = *run->handler;
        if (h.stop != PartHandler::Stop::No)
            return;
        const char *local = localName(name);
        if (++run->depth > kMaxDepth) {
            h.refuse(ReadStatus::Damaged, QStringLiteral("elements nested deeper than %1").arg(kMaxDepth));
        } else if (XML_GetSpecifiedAttributeCount(run->parser) > 2 * kMaxAttributes) {
            h.refuse(ReadStatus::Damaged, QStringLiteral("<%1> has more than %2 attributes")
                                              .arg(QString::fromUtf8(local)).arg(kMaxAttributes));
        } else if (run->depth == 1 && !is(local, run->root)) {
            h.refuse(ReadStatus::Damaged, QStringLiteral("the root element is <%1>, not <%2>")
                                              .arg(QString::fromUtf8(local), QString::fromLatin1(run->root)));
        } else {
            h.depth = run->depth;
            h.start(local, atts);
        }
        if (h.stop != PartHandler::Stop::No)
            run->halt();
    }

    static void XMLCALL onEnd(void *data, const XML_Char *name)
    {
        auto *run = static_cast<ExpatRun *>(data);
        PartHandler &h = *run->handler;
        if (h.stop != PartHandler::Stop::No)
            return;
        h.depth = run->depth--;
        h.end(localName(name));
        if (h.stop != PartHandler::Stop::No)
            run->halt();
    }

    static void XMLCALL onCharacters(void *data, const XML_Char *s, int len)
    {
        auto *run = static_cast<ExpatRun *>(data);
        PartHandler &h = *run->handler;
        if (h.stop != PartHandler::Stop::No)
            return;
        h.depth = run->depth;
        h.characters(s, len);
        if (h.stop != PartHandler::Stop::No)
            run->halt();
    }

    static void XMLCALL onDoctype(void *data, const XML_Char *, const XML_Char *, const XML_Char *, int)
    {
        auto *run = static_cast<ExpatRun *>(data);
        run->handler->refuse(ReadStatus::Damaged, QStringLiteral("document type declaration"));
        run->halt();
    }
};

// Parts in the Chinese national encodings (GBK and the encodings it
// extends or that extend it) are decoded by Qt; a byte sequence that is no
// character of the encoding stops the part. Four-byte GB18030 sequences
// cannot be told apart by their first byte, so they count as damage too.
int XMLCALL convertGb(void *data, const char *s)
{
    auto *decoder = static_cast<QStringDecoder *>(data);
    const QString c = decoder->decode(QByteArrayView(s, 2));
    if (decoder->hasError() || c.size() != 1 || c.at(0).isSurrogate() || c.at(0) == QChar::ReplacementCharacter)
        return -1;
    return c.at(0).unicode();
}

void XMLCALL releaseGb(void *data) { delete static_cast<QStringDecoder *>(data); }

int XMLCALL onUnknownEncoding(void *, const XML_Char *name, XML_Encoding *info)
{
    const QByteArray encoding = QByteArray(name).toUpper();
    if (encoding != "GBK" && encoding != "GB2312" && encoding != "CP936" && encoding != "GB18030")
        return XML_STATUS_ERROR;
    auto decoder = std::make_unique<QStringDecoder>("GB18030", QStringDecoder::Flag::Stateless);
    if (!decoder->isValid())
        return XML_STATUS_ERROR;
    for (int b = 0; b < 0x80; ++b)
        info->map[b] = b;
    for (int b = 0x80; b < 0x100; ++b)
        info->map[b] = b == 0x80 || b == 0xFF ? -1 : -2;
    info->data = decoder.release();
    info->convert = &convertGb;
    info->release = &releaseGb;
    return XML_STATUS_OK;
}

// "worksheets/sheet1.xml" seen from "xl" -> "xl/worksheets/sheet1.xml".
QString resolvePart(const QString &baseDir, const QString &target)
{
    const QString t = QUrl::fromPercentEncoding(target.toUtf8());
    const QString joined = t.startsWith(u'/') ? t : baseDir + u'/' + t;
    QStringList parts;
    for (const QString &seg : joined.split(u'/', Qt::SkipEmptyParts)) {
        if (seg == QLatin1String("."))
            continue;
        if (seg == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
        } else {
            parts << seg;
        }
    }
    return parts.join(u'/');
}

QString dirOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash);
}

QString relsOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1) + QStringLiteral(".rels");
}

struct Relationship {
    QString id, type, target;
};

// The package's relationships to its own parts (external targets left out).
struct RelationshipsHandler : PartHandler {
    explicit RelationshipsHandler(const QString &base) : baseDir(base) {}
    void start(const char *local, const char **atts) override
    {
        if (depth != 2 || !is(local, "Relationship"))
            return;
        const char *mode = attribute(atts, "TargetMode");
        if (mode && is(mode, "External"))
            return;
        if (rels.size() == kMaxRelationships) {
            refuse(ReadStatus::TooLarge, QStringLiteral("more than %1 relationships").arg(kMaxRelationships));
            return;
        }
        rels.append({text(attribute(atts, "Id")), text(attribute(atts, "Type")),
                     resolvePart(baseDir, text(attribute(atts, "Target")))});
    }
    QString baseDir;
    QList<Relationship> rels;
};

// The number formats and which of them each cell format uses. Each custom
// format is looked at once, however many cell formats use it.
struct StylesHandler : PartHandler {
    void start(const char *local, const char **atts) override
    {
        if (formatsAt < 0 && is(local, "numFmts")) {
            formatsAt = depth;
        } else if (cellsAt < 0 && is(local, "cellXfs")) {
            cellsAt = depth;
        } else if (formatsAt >= 0 && depth == formatsAt + 1 && is(local, "numFmt")) {
            if (custom.size() >= kMaxFormats)
                return refuse(ReadStatus::TooLarge, QStringLiteral("more than %1 number formats").arg(kMaxFormats));
            custom.insert(parseId(attribute(atts, "numFmtId")), formatKind(text(attribute(atts, "formatCode"))));
        } else if (cellsAt >= 0 && depth == cellsAt + 1 && is(local, "xf")) {
            if (qsizetype(cellFormats.size()) >= kMaxFormats)
                return refuse(ReadStatus::TooLarge, QStringLiteral("more than %1 cell formats").arg(kMaxFormats));
            cellFormats.push_back(parseId(attribute(atts, "numFmtId")));
        }
    }
    void end(const char *) override
    {
        if (depth == formatsAt)
            formatsAt = -1;
        else if (depth == cellsAt)
            cellsAt = -1;
    }
    int formatsAt = -1, cellsAt = -1;
    QHash<int, ValueKind> custom;
    std::vector<int> cellFormats;
};

// The shared strings, kept in one buffer: string i is the text between
// ends[i - 1] and ends[i].
struct SharedStrings {
    QString pool;
    std::vector<qint64> ends;

    qint64 size() const { return qint64(ends.size()); }
    QString at(qint64 i) const
    {
        const qint64 from = i == 0 ? 0 : ends[size_t(i - 1)];
        return pool.mid(from, ends[size_t(i)] - from);
    }
};

struct StringsHandler : PartHandler {
    explicit StringsHandler(SharedStrings &s) : strings(s) {}
    void start(const char *local, const char **) override
    {
        if (itemAt < 0) {
            if (depth != 2 || !is(local, "si"))
                return;
            if (strings.size() >= kMaxSharedStrings)
                return refuse(ReadStatus::TooLarge, QStringLiteral("more than %1 shared strings").arg(kMaxSharedStrings));
            itemAt = depth;
            rich.begin(depth);
            return;
        }
        rich.start(local, depth);
    }
    void end(const char *) override
    {
        if (depth != itemAt) {
            rich.end(depth);
            return;
        }
        itemAt = -1;
        const QString item = rich.take();
        if (strings.pool.size() + item.size() > kMaxSharedText)
            return refuse(ReadStatus::TooLarge,
                          QStringLiteral("shared strings longer than %1 characters together").arg(kMaxSharedText));
        strings.pool += item;
        strings.ends.push_back(strings.pool.size());
    }
    void characters(const char *s, int len) override
    {
        if (itemAt >= 0) {
            rich.characters(s, len, depth);
            // Bounded while it grows, not only once the item is complete.
            if (qint64(rich.bytes.size()) > 4 * kMaxSharedText)
                refuse(ReadStatus::TooLarge, QStringLiteral("a shared string beyond the limit"));
        }
    }
    SharedStrings &strings;
    int itemAt = -1;
    RichText rich;
};

// The cell types of the t attribute; anything else reads as a number.
enum class CellType { Number, Shared, Inline, Formula, Boolean, Error, Date };

CellType cellType(const char *t)
{
    if (!t)
        return CellType::Number;
    if (is(t, "s"))
        return CellType::Shared;
    if (is(t, "inlineStr"))
        return CellType::Inline;
    if (is(t, "str"))
        return CellType::Formula;
    if (is(t, "b"))
        return CellType::Boolean;
    if (is(t, "e"))
        return CellType::Error;
    if (is(t, "d"))
        return CellType::Date;
    return CellType::Number;
}

class WorkbookReader {
public:
    WorkbookReader(const QString &path, int columns, const ReadOptions &options)
        : m_path(path), m_columns(columns), m_options(options), m_budget(options.maxXmlBytes)
    {
    }

    ReadResult run()
    {
        if (openPackage() && findSheet() && readStyles() && readSharedStrings())
            readSheet();
        if (m_result.status != ReadStatus::Ok)
            m_result.rows.clear();
        return std::move(m_result);
    }

private:
    friend struct SheetHandler;

    bool fail(ReadStatus status, const QString &detail)
    {
        m_result.status = status;
        m_result.detail = detail;
        return false;
    }

    bool openPackage()
    {
        m_file.setFileName(m_path);
        if (!m_file.open(QIODevice::ReadOnly))
            return fail(ReadStatus::CannotOpen, m_file.errorString());
        const QByteArray head = m_file.read(8);
        m_file.close();
        if (head.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
            return fail(ReadStatus::NotWorkbook, QStringLiteral("an encrypted workbook or an old .xls file"));
        if (!head.startsWith("PK\x03\x04") && !head.startsWith("PK\x05\x06"))
            return fail(ReadStatus::NotWorkbook, QStringLiteral("not a zip package"));
        m_zip.setIoDevice(&m_file);
        if (!m_zip.open(QuaZip::mdUnzip))
            return fail(ReadStatus::Damaged, QStringLiteral("zip directory unreadable (%1)").arg(m_zip.getZipError()));
        return true;
    }

    bool hasPart(const QString &name) { return m_zip.setCurrentFile(name, QuaZip::csInsensitive); }

    // Reads one part through expat into the handler. Every part's unpacked
    // bytes count against one budget, so a small file cannot unpack into
    // unbounded XML.
    bool parsePart(const QString &name, const char *root, PartHandler &handler)
    {
        if (!hasPart(name))
            return fail(ReadStatus::Damaged, name + QStringLiteral(" is missing"));
        QuaZipFileInfo64 info;
        if (m_zip.getCurrentFileInfo(&info) && qint64(info.uncompressedSize) > m_budget)
            return fail(ReadStatus::TooLarge, name + QStringLiteral(" unpacks beyond the limit"));
        QuaZipFile part(&m_zip);
        if (!part.open(QIODevice::ReadOnly))
            return fail(ReadStatus::Damaged, name + QStringLiteral(" cannot be unpacked"));

        std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser(
            XML_ParserCreateNS(nullptr, kNsSeparator), &XML_ParserFree);
        if (!parser)
            return fail(ReadStatus::TooLarge, QStringLiteral("no memory for the XML parser"));
        ExpatRun run{parser.get(), &handler, root};
        XML_SetUserData(parser.get(), &run);
        XML_SetElementHandler(parser.get(), &ExpatRun::onStart, &ExpatRun::onEnd);
        XML_SetCharacterDataHandler(parser.get(), &ExpatRun::onCharacters);
        XML_SetStartDoctypeDeclHandler(parser.get(), &ExpatRun::onDoctype);
        XML_SetUnknownEncodingHandler(parser.get(), &onUnknownEncoding, nullptr);

        bool parsed = true;
        for (;;) {
            void *buffer = XML_GetBuffer(parser.get(), int(kChunk));
            if (!buffer)
                return fail(ReadStatus::TooLarge, name + QStringLiteral(": no memory for the XML parser"));
            const qint64 n = part.read(static_cast<char *>(buffer), kChunk);
            if (n < 0)
                return fail(ReadStatus::Damaged, name + QStringLiteral(" cannot be unpacked"));
            m_budget -= n;
            if (m_budget < 0)
                return fail(ReadStatus::TooLarge, name + QStringLiteral(" unpacks beyond the limit"));
            if (XML_ParseBuffer(parser.get(), int(n), n == 0) != XML_STATUS_OK) {
                parsed = false;
                break;
            }
            if (n == 0)
                break;
        }
        if (handler.stop == PartHandler::Stop::Refused)
            return fail(handler.status, name + QStringLiteral(": ") + handler.detail);
        if (!parsed && handler.stop != PartHandler::Stop::Done)
            return fail(ReadStatus::Damaged, QStringLiteral("%1, line %2: %3")
                                                 .arg(name)
                                                 .arg(XML_GetCurrentLineNumber(parser.get()))
                                                 .arg(QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(parser.get())))));
        part.close();
        if (part.getZipError() != UNZ_OK)
            return fail(ReadStatus::Damaged, name + QStringLiteral(": checksum mismatch"));
        return true;
    }

    // A missing relationships part is no relationship.
    QList<Relationship> readRelationships(const QString &relsPart)
    {
        if (!hasPart(relsPart))
            return {};
        RelationshipsHandler handler(dirOf(dirOf(relsPart)));
        if (!parsePart(relsPart, "Relationships", handler))
            return {};
        return handler.rels;
    }

    static QString targetOfType(const QList<Relationship> &rels, QLatin1String typeEnd)
    {
        for (const Relationship &r : rels)
            if (r.type.endsWith(typeEnd))
                return r.target;
        return QString();
    }

    // The first sheet of the workbook that is a worksheet, and the styles
    // and shared strings beside it.
    bool findSheet()
    {
        const QList<Relationship> root = readRelationships(QStringLiteral("_rels/.rels"));
        if (m_result.status != ReadStatus::Ok)
            return false;
        QString workbook = targetOfType(root, QLatin1String("/officeDocument"));
        if (workbook.isEmpty() || !hasPart(workbook))
            workbook = QStringLiteral("xl/workbook.xml");
        if (!hasPart(workbook))
            return fail(ReadStatus::NotWorkbook, QStringLiteral("no workbook part"));

        const QList<Relationship> rels = readRelationships(relsOf(workbook));
        if (m_result.status != ReadStatus::Ok)
            return false;
        QHash<QString, QString> worksheets;
        worksheets.reserve(rels.size());
        for (const Relationship &r : rels)
            if (r.type.endsWith(QLatin1String("/worksheet")) && !worksheets.contains(r.id))
                worksheets.insert(r.id, r.target);

        struct WorkbookHandler : PartHandler {
            const QHash<QString, QString> *worksheets;
            QString sheet;
            bool date1904 = false;
            void start(const char *local, const char **atts) override
            {
                if (is(local, "workbookPr")) {
                    const char *v = attribute(atts, "date1904");
                    date1904 = v && (is(v, "1") || is(v, "true"));
                } else if (sheet.isEmpty() && is(local, "sheet")) {
                    if (const char *id = qualifiedAttribute(atts, "id"))
                        sheet = worksheets->value(QString::fromUtf8(id));
                }
            }
        } handler;
        handler.worksheets = &worksheets;
        if (!parsePart(workbook, "workbook", handler))
            return false;
        m_date1904 = handler.date1904;
        m_sheetPart = handler.sheet;
        if (m_sheetPart.isEmpty())
            return fail(ReadStatus::Damaged, QStringLiteral("the workbook names no worksheet"));
        m_stylesPart = targetOfType(rels, QLatin1String("/styles"));
        m_stringsPart = targetOfType(rels, QLatin1String("/sharedStrings"));
        return true;
    }

    bool readStyles()
    {
        if (m_stylesPart.isEmpty())
            return true;
        StylesHandler handler;
        if (!parsePart(m_stylesPart, "styleSheet", handler))
            return false;
        m_styleKinds.reserve(qsizetype(handler.cellFormats.size()));
        for (int id : handler.cellFormats)
            m_styleKinds << handler.custom.value(id, builtinKind(id));
        return true;
    }

    bool readSharedStrings()
    {
        if (m_stringsPart.isEmpty())
            return true;
        StringsHandler handler(m_strings);
        return parsePart(m_stringsPart, "sst", handler);
    }

    // The text of a cell; a shared string that does not exist goes to *error.
    QString cellText(CellType type, const std::string &value, const QString &inlineText, int style, QString *error)
    {
        if (type == CellType::Inline)
            return inlineText;
        if (value.empty())
            return QString();
        if (type == CellType::Shared) {
            bool ok = false;
            const qint64 index = QByteArray::fromRawData(value.data(), qsizetype(value.size())).toLongLong(&ok);
            if (!ok || index < 0 || index >= m_strings.size()) {
                *error = QStringLiteral("shared string %1 does not exist").arg(QString::fromStdString(value));
                return QString();
            }
            return m_strings.at(index);
        }
        if (type == CellType::Number) {
            bool ok = false;
            const double number = QByteArray::fromRawData(value.data(), qsizetype(value.size())).toDouble(&ok);
            if (ok)
                return numberText(number, style);
        }
        const QString plain = QString::fromUtf8(value.data(), qsizetype(value.size()));
        if (type == CellType::Formula)
            return decodeEscapes(plain);
        if (type == CellType::Boolean)
            return plain == u"1" ? QStringLiteral("TRUE") : plain == u"0" ? QStringLiteral("FALSE") : plain;
        if (type == CellType::Error)
            return plain;
        if (type == CellType::Date) {
            const QDateTime when = QDateTime::fromString(plain, Qt::ISODate);
            if (!when.isValid())
                return plain;
            return when.time() == QTime(0, 0) ? when.date().toString(QStringLiteral("yyyy-MM-dd"))
                                              : when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        }
        return plain;
    }

    // A number under the cell's format: a date, a time, a percentage or plain.
    QString numberText(double number, int style) const
    {
        const ValueKind kind = style >= 0 && style < m_styleKinds.size() ? m_styleKinds.at(style) : ValueKind::Plain;
        QString date;
        switch (kind) {
        case ValueKind::Plain:
            break;
        case ValueKind::Percent:
            return NumberText(number * 100) + u'%';
        case ValueKind::Date:
            date = DateText(number, DateKind::Date, m_date1904);
            break;
        case ValueKind::Time:
            date = DateText(number, DateKind::Time, m_date1904);
            break;
        case ValueKind::DateTime:
            date = DateText(number, DateKind::DateTime, m_date1904);
            break;
        }
        return date.isEmpty() ? NumberText(number) : date;
    }

    // Takes a row read from the sheet: false when it is blank (the data end).
    bool takeRow(QStringList cells)
    {
        qsizetype first = 0;
        while (first < cells.size() && IsBlank(cells.at(first)))
            ++first;
        if (first == cells.size())
            return false;
        for (qsizetype k = 0; k < first; ++k)
            cells[k].clear();
        m_result.rows.append(std::move(cells));
        if (m_options.progress)
            m_options.progress(m_result.rows.size());
        return true;
    }

    void readSheet();

    QString m_path;
    int m_columns;
    const ReadOptions &m_options;
    qint64 m_budget;
    QFile m_file;
    QuaZip m_zip;
    ReadResult m_result;
    bool m_date1904 = false;
    QString m_sheetPart, m_stylesPart, m_stringsPart;
    QList<ValueKind> m_styleKinds;
    SharedStrings m_strings;
};

// Rows 2, 3, … of the worksheet, cells of columns 1 … N, until a blank or
// missing row. Every row and cell reference met on the way is checked
// against the sheet's bounds, also of cells beyond column N.
struct SheetHandler : PartHandler {
    explicit SheetHandler(WorkbookReader &r) : reader(r) {}

    void start(const char *local, const char **atts) override
    {
        if (dataAt < 0) {
            if (is(local, "sheetData"))
                dataAt = depth;
            return;
        }
        if (depth == dataAt + 1) {
            if (is(local, "row"))
                startRow(atts);
            return;
        }
        if (!inRow)
            return;
        if (depth == rowAt + 1) {
            if (is(local, "c"))
                startCell(atts);
            return;
        }
        if (cellAt < 0 || !wanted)
            return;
        if (depth == cellAt + 1) {
            if (is(local, "v")) {
                valueAt = depth;
            } else if (is(local, "is")) {
                inlineAt = depth;
                rich.begin(depth);
            }
        } else if (inlineAt >= 0) {
            rich.start(local, depth);
        }
    }

    void startRow(const char **atts)
    {
        const char *r = attribute(atts, "r");
        const qint64 number = r ? parseRowNumber(r) : lastRow + 1;
        if (number < 1 || number > kMaxRow)
            return refuse(ReadStatus::Damaged, r ? QStringLiteral("row number \"%1\"").arg(QString::fromUtf8(r))
                                                 : QStringLiteral("more rows than a worksheet holds"));
        lastRow = number;
        rowAt = depth;
        inRow = true;
        lastColumn = 0;
        if (number > expected)
            return done();  // row `expected` is missing, so blank
        taking = number == expected;
        if (taking)
            cells = QStringList(reader.m_columns);
    }

    void startCell(const char **atts)
    {
        const char *r = attribute(atts, "r");
        int column = lastColumn + 1;
        qint64 row = 0;
        if (r && !parseCellRef(r, &column, &row))
            return refuse(ReadStatus::Damaged, QStringLiteral("cell reference \"%1\"").arg(QString::fromUtf8(r)));
        if (column > kMaxColumn)
            return refuse(ReadStatus::Damaged, QStringLiteral("a cell beyond column XFD"));
        lastColumn = column;
        cellAt = depth;
        wanted = taking && column <= reader.m_columns;
        if (!wanted)
            return;
        type = cellType(attribute(atts, "t"));
        style = parseId(attribute(atts, "s"));
        value.clear();
        inlineText.clear();
    }

    void end(const char *) override
    {
        if (depth == valueAt) {
            valueAt = -1;
        } else if (depth == inlineAt) {
            inlineAt = -1;
            inlineText = rich.take();
        } else if (inlineAt >= 0) {
            rich.end(depth);
        } else if (depth == cellAt) {
            cellAt = -1;
            if (wanted) {
                QString error;
                cells[lastColumn - 1] = reader.cellText(type, value, inlineText, style, &error);
                if (!error.isEmpty())
                    refuse(ReadStatus::Damaged, error);
            }
        } else if (depth == rowAt && inRow) {
            inRow = false;
            if (taking) {
                taking = false;
                if (!reader.takeRow(std::move(cells)))
                    return done();
                ++expected;
            }
        } else if (depth == dataAt) {
            done();
        }
    }

    void characters(const char *s, int len) override
    {
        if (depth == valueAt)
            value.append(s, size_t(len));
        else if (inlineAt >= 0)
            rich.characters(s, len, depth);
    }

    WorkbookReader &reader;
    int dataAt = -1, rowAt = -1, cellAt = -1, valueAt = -1, inlineAt = -1;
    bool inRow = false, taking = false, wanted = false;
    qint64 expected = 2, lastRow = 0;
    int lastColumn = 0;
    QStringList cells;
    CellType type = CellType::Number;
    int style = 0;
    std::string value;
    QString inlineText;
    RichText rich;
};

void WorkbookReader::readSheet()
{
    SheetHandler handler(*this);
    parsePart(m_sheetPart, "worksheet", handler);
}

} // namespace

ReadResult ReadFirstSheet(const QString &path, int columns, const ReadOptions &options)
{
    if (columns < 1)
        columns = 1;
    return WorkbookReader(path, qMin(columns, 16384), options).run();
}

} // namespace cg::Sheet
