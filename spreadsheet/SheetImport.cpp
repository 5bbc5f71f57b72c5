#include "spreadsheet/SheetImport.h"
#include "spreadsheet/XmlScanner.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QTime>
#include <QUrl>
#include <QVector>
#include <QXmlStreamReader>

#include <quazip.h>
#include <quazipfile.h>
#include <quazipfileinfo.h>

#include <cmath>

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

// "AB12" -> 28; 0 when it names no column.
int columnOf(QStringView ref)
{
    int col = 0;
    qsizetype i = 0;
    for (; i < ref.size() && i < 4; ++i) {
        const QChar c = ref.at(i).toUpper();
        if (c < u'A' || c > u'Z')
            break;
        col = col * 26 + (c.unicode() - 'A' + 1);
    }
    return i == 0 || col > 16384 ? 0 : col;
}

int columnOf(QByteArrayView ref)
{
    int col = 0;
    qsizetype i = 0;
    for (; i < ref.size() && i < 4; ++i) {
        const char c = ref.at(i) & ~0x20;   // upper case
        if (c < 'A' || c > 'Z')
            break;
        col = col * 26 + (c - 'A' + 1);
    }
    return i == 0 || col > 16384 ? 0 : col;
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

// One part of the package, read through a budget shared by all parts, so a
// small file cannot unpack into unbounded XML.
class BoundedPart : public QIODevice {
public:
    BoundedPart(QuaZip *zip, qint64 *budget) : m_file(zip), m_budget(budget) {}
    bool start()
    {
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        return QIODevice::open(QIODevice::ReadOnly);
    }
    // False when the part's checksum did not match.
    bool finish()
    {
        QIODevice::close();
        m_file.close();
        return m_file.getZipError() == UNZ_OK;
    }
    bool overBudget() const { return m_over; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 max) override
    {
        const qint64 n = m_file.read(data, max);
        if (n < 0)
            return -1;
        *m_budget -= n;
        if (*m_budget < 0) {
            m_over = true;
            return -1;
        }
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QuaZipFile m_file;
    qint64 *m_budget;
    bool m_over = false;
};

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

    // Runs parse over the XML of one part; parse reports content errors
    // through xml.raiseError().
    template <typename Parse> bool parsePart(const QString &name, Parse &&parse)
    {
        if (!hasPart(name))
            return fail(ReadStatus::Damaged, name + QStringLiteral(" is missing"));
        QuaZipFileInfo64 info;
        if (m_zip.getCurrentFileInfo(&info) && qint64(info.uncompressedSize) > m_budget)
            return fail(ReadStatus::TooLarge, name + QStringLiteral(" unpacks beyond the limit"));
        BoundedPart part(&m_zip, &m_budget);
        if (!part.start())
            return fail(ReadStatus::Damaged, name + QStringLiteral(" cannot be unpacked"));
        QXmlStreamReader xml(&part);
        parse(xml);
        if (part.overBudget())
            return fail(ReadStatus::TooLarge, name + QStringLiteral(" unpacks beyond the limit"));
        if (xml.hasError())
            return fail(ReadStatus::Damaged, QStringLiteral("%1, line %2: %3")
                                                 .arg(name)
                                                 .arg(xml.lineNumber())
                                                 .arg(xml.errorString()));
        if (!part.finish())
            return fail(ReadStatus::Damaged, name + QStringLiteral(": checksum mismatch"));
        return true;
    }

    // Runs scan over one part with the quick reader. A part in another
    // encoding than UTF-8 is not scanned: *otherEncoding tells the caller to
    // parse it with parsePart instead.
    template <typename Scan> bool scanPart(const QString &name, Scan &&scan, bool *otherEncoding)
    {
        *otherEncoding = false;
        if (!hasPart(name))
            return fail(ReadStatus::Damaged, name + QStringLiteral(" is missing"));
        QuaZipFileInfo64 info;
        if (m_zip.getCurrentFileInfo(&info) && qint64(info.uncompressedSize) > m_budget)
            return fail(ReadStatus::TooLarge, name + QStringLiteral(" unpacks beyond the limit"));
        BoundedPart part(&m_zip, &m_budget);
        if (!part.start())
            return fail(ReadStatus::Damaged, name + QStringLiteral(" cannot be unpacked"));
        XmlScanner xml(&part);
        if (xml.otherEncoding()) {
            *otherEncoding = true;
            part.finish();
            return false;
        }
        scan(xml);
        if (part.overBudget())
            return fail(ReadStatus::TooLarge, name + QStringLiteral(" unpacks beyond the limit"));
        if (xml.hasError())
            return fail(ReadStatus::Damaged, name + QStringLiteral(": ") + xml.errorString());
        if (!part.finish())
            return fail(ReadStatus::Damaged, name + QStringLiteral(": checksum mismatch"));
        return true;
    }

    // Refuses document type declarations: no workbook has one, and entity
    // tricks live there.
    static bool next(QXmlStreamReader &xml)
    {
        if (xml.readNext() == QXmlStreamReader::DTD) {
            xml.raiseError(QStringLiteral("document type declaration"));
            return false;
        }
        return !xml.atEnd();
    }

    QList<Relationship> readRelationships(const QString &relsPart)
    {
        QList<Relationship> rels;
        if (!hasPart(relsPart))
            return rels;
        parsePart(relsPart, [&](QXmlStreamReader &xml) {
            while (next(xml)) {
                if (xml.isStartElement() && xml.name() == QLatin1String("Relationship")
                    && xml.attributes().value(QLatin1String("TargetMode")) != QLatin1String("External")) {
                    const auto a = xml.attributes();
                    rels.append({a.value(QLatin1String("Id")).toString(), a.value(QLatin1String("Type")).toString(),
                                 resolvePart(dirOf(dirOf(relsPart)), a.value(QLatin1String("Target")).toString())});
                }
            }
        });
        return rels;
    }

    static QString targetOfType(const QList<Relationship> &rels, QLatin1String typeEnd)
    {
        for (const Relationship &r : rels)
            if (r.type.endsWith(typeEnd))
                return r.target;
        return QString();
    }

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

        QStringList sheetIds;
        const bool parsed = parsePart(workbook, [&](QXmlStreamReader &xml) {
            while (next(xml)) {
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == QLatin1String("workbookPr")) {
                    const auto v = xml.attributes().value(QLatin1String("date1904"));
                    m_date1904 = v == QLatin1String("1") || v == QLatin1String("true");
                } else if (xml.name() == QLatin1String("sheet")) {
                    for (const QXmlStreamAttribute &a : xml.attributes())
                        if (a.name() == QLatin1String("id") && !a.namespaceUri().isEmpty())
                            sheetIds << a.value().toString();
                }
            }
        });
        if (!parsed)
            return false;

        const QList<Relationship> rels = readRelationships(relsOf(workbook));
        if (m_result.status != ReadStatus::Ok)
            return false;
        for (const QString &id : sheetIds) {
            for (const Relationship &r : rels) {
                if (r.id == id && r.type.endsWith(QLatin1String("/worksheet"))) {
                    m_sheetPart = r.target;
                    break;
                }
            }
            if (!m_sheetPart.isEmpty())
                break;
        }
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
        QHash<int, QString> custom;
        QList<int> xfFormats;
        const bool parsed = parsePart(m_stylesPart, [&](QXmlStreamReader &xml) {
            enum { Other, Formats, CellFormats } section = Other;
            while (next(xml)) {
                if (xml.isEndElement() && (xml.name() == QLatin1String("numFmts") || xml.name() == QLatin1String("cellXfs")))
                    section = Other;
                if (!xml.isStartElement())
                    continue;
                const auto a = xml.attributes();
                if (xml.name() == QLatin1String("numFmts")) {
                    section = Formats;
                } else if (xml.name() == QLatin1String("cellXfs")) {
                    section = CellFormats;
                } else if (section == Formats && xml.name() == QLatin1String("numFmt")) {
                    custom.insert(a.value(QLatin1String("numFmtId")).toInt(),
                                  a.value(QLatin1String("formatCode")).toString());
                } else if (section == CellFormats && xml.name() == QLatin1String("xf")) {
                    xfFormats << a.value(QLatin1String("numFmtId")).toInt();
                    xml.skipCurrentElement();
                }
            }
        });
        if (!parsed)
            return false;
        m_styleKinds.reserve(xfFormats.size());
        for (int id : xfFormats)
            m_styleKinds << (custom.contains(id) ? formatKind(custom.value(id)) : builtinKind(id));
        return true;
    }

    // The text of an <si> or <is> element: its own <t> and those of its
    // rich text runs, not the phonetic guide (<rPh>).
    static QString richText(QXmlStreamReader &xml)
    {
        QString text;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("t")) {
                text += xml.readElementText();
            } else if (xml.name() == QLatin1String("r")) {
                while (xml.readNextStartElement()) {
                    if (xml.name() == QLatin1String("t"))
                        text += xml.readElementText();
                    else
                        xml.skipCurrentElement();
                }
            } else {
                xml.skipCurrentElement();
            }
        }
        return decodeEscapes(text);
    }

    // The same with the quick reader.
    static QString richText(XmlScanner &xml)
    {
        QString text;
        while (xml.readNextStartElement()) {
            if (xml.isName("t")) {
                text += xml.readElementText();
            } else if (xml.isName("r")) {
                while (xml.readNextStartElement()) {
                    if (xml.isName("t"))
                        text += xml.readElementText();
                    else
                        xml.skipCurrentElement();
                }
            } else {
                xml.skipCurrentElement();
            }
        }
        return decodeEscapes(text);
    }

    bool readSharedStrings()
    {
        if (m_stringsPart.isEmpty())
            return true;
        bool otherEncoding = false;
        const bool scanned = scanPart(m_stringsPart, [&](XmlScanner &xml) {
            while (xml.next() != XmlScanner::Token::EndOfDocument && !xml.hasError()) {
                if (xml.token() == XmlScanner::Token::StartElement && xml.isName("si"))
                    m_strings << richText(xml);
            }
        }, &otherEncoding);
        if (!otherEncoding)
            return scanned;
        return parsePart(m_stringsPart, [&](QXmlStreamReader &xml) {
            while (next(xml)) {
                if (xml.isStartElement() && xml.name() == QLatin1String("si"))
                    m_strings << richText(xml);
            }
        });
    }

    // The cell types of the t attribute; anything else reads as a number.
    enum class CellType { Number, Shared, Inline, Formula, Boolean, Error, Date };

    template <typename Text> static CellType cellType(const Text &t)
    {
        if (t == "s")
            return CellType::Shared;
        if (t == "inlineStr")
            return CellType::Inline;
        if (t == "str")
            return CellType::Formula;
        if (t == "b")
            return CellType::Boolean;
        if (t == "e")
            return CellType::Error;
        if (t == "d")
            return CellType::Date;
        return CellType::Number;
    }

    // The text of a cell; an error (a shared string that does not exist)
    // goes to *error.
    QString cellText(CellType type, const QString &value, const QString &inlineText, int style, QString *error)
    {
        if (type == CellType::Shared) {
            if (value.isEmpty())
                return QString();
            bool ok = false;
            const qint64 index = value.toLongLong(&ok);
            if (!ok || index < 0 || index >= m_strings.size()) {
                *error = QStringLiteral("shared string %1 does not exist").arg(value);
                return QString();
            }
            return m_strings.at(index);
        }
        if (type == CellType::Inline)
            return inlineText;
        if (type == CellType::Formula)
            return decodeEscapes(value);
        if (type == CellType::Boolean)
            return value == u"1" ? QStringLiteral("TRUE") : value == u"0" ? QStringLiteral("FALSE") : value;
        if (type == CellType::Error)
            return value;
        if (type == CellType::Date) {
            const QDateTime when = QDateTime::fromString(value, Qt::ISODate);
            if (!when.isValid())
                return value;
            return when.time() == QTime(0, 0) ? when.date().toString(QStringLiteral("yyyy-MM-dd"))
                                              : when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        }
        if (value.isEmpty())
            return QString();
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok)
            return value;
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

    // Reads the cells of one <row> into texts for columns 1 … m_columns.
    QStringList readRow(QXmlStreamReader &xml)
    {
        QStringList cells(m_columns);
        int lastColumn = 0;
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("c")) {
                xml.skipCurrentElement();
                continue;
            }
            const auto a = xml.attributes();
            const int ref = columnOf(a.value(QLatin1String("r")));
            const int column = ref > 0 ? ref : lastColumn + 1;
            lastColumn = column;
            const CellType type = cellType(a.value(QLatin1String("t")).toLatin1());
            const int style = a.hasAttribute(QLatin1String("s")) ? a.value(QLatin1String("s")).toInt() : 0;
            QString value, inlineText;
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("v"))
                    value = xml.readElementText();
                else if (xml.name() == QLatin1String("is"))
                    inlineText = richText(xml);
                else
                    xml.skipCurrentElement();
            }
            if (column <= m_columns) {
                QString error;
                cells[column - 1] = cellText(type, value, inlineText, style, &error);
                if (!error.isEmpty())
                    xml.raiseError(error);
            }
        }
        return cells;
    }

    // The same with the quick reader.
    QStringList readRow(XmlScanner &xml)
    {
        QStringList cells(m_columns);
        int lastColumn = 0;
        while (xml.readNextStartElement()) {
            if (!xml.isName("c")) {
                xml.skipCurrentElement();
                continue;
            }
            const int ref = columnOf(xml.attribute("r"));
            const int column = ref > 0 ? ref : lastColumn + 1;
            lastColumn = column;
            if (column > m_columns) {
                xml.skipCurrentElement();
                continue;
            }
            const CellType type = cellType(xml.attribute("t"));
            const QByteArrayView s = xml.attribute("s");
            const int style = s.isNull() ? 0 : s.toByteArray().toInt();
            QString value, inlineText;
            while (xml.readNextStartElement()) {
                if (xml.isName("v"))
                    value = xml.readElementText();
                else if (xml.isName("is"))
                    inlineText = richText(xml);
                else
                    xml.skipCurrentElement();
            }
            if (xml.hasError())
                break;
            QString error;
            cells[column - 1] = cellText(type, value, inlineText, style, &error);
            if (!error.isEmpty()) {
                xml.raiseError(error);
                break;
            }
        }
        return cells;
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

    void readSheet()
    {
        bool otherEncoding = false;
        scanPart(m_sheetPart, [&](XmlScanner &xml) {
            qint64 expected = 2, lastRow = 0;
            bool inData = false;
            for (;;) {
                const XmlScanner::Token token = xml.next();
                if (token == XmlScanner::Token::EndOfDocument || token == XmlScanner::Token::Invalid)
                    return;
                if (token == XmlScanner::Token::EndElement && xml.isName("sheetData"))
                    return;
                if (token != XmlScanner::Token::StartElement)
                    continue;
                if (xml.isName("sheetData")) {
                    inData = true;
                    continue;
                }
                if (!inData || !xml.isName("row"))
                    continue;
                bool ok = false;
                const qint64 r = xml.attribute("r").toByteArray().toLongLong(&ok);
                lastRow = ok && r > 0 ? r : lastRow + 1;
                if (lastRow < expected) {
                    xml.skipCurrentElement();
                    continue;
                }
                if (lastRow > expected)
                    return;  // row `expected` is missing, so blank
                QStringList cells = readRow(xml);
                if (xml.hasError() || !takeRow(std::move(cells)))
                    return;
                ++expected;
            }
        }, &otherEncoding);
        if (!otherEncoding)
            return;
        parsePart(m_sheetPart, [&](QXmlStreamReader &xml) {
            qint64 expected = 2, lastRow = 0;
            bool inData = false;
            while (next(xml)) {
                if (xml.isEndElement() && xml.name() == QLatin1String("sheetData"))
                    return;
                if (!xml.isStartElement())
                    continue;
                if (xml.name() == QLatin1String("sheetData")) {
                    inData = true;
                    continue;
                }
                if (!inData || xml.name() != QLatin1String("row"))
                    continue;
                bool ok = false;
                const qint64 r = xml.attributes().value(QLatin1String("r")).toLongLong(&ok);
                lastRow = ok && r > 0 ? r : lastRow + 1;
                if (lastRow < expected) {
                    xml.skipCurrentElement();
                    continue;
                }
                if (lastRow > expected)
                    return;  // row `expected` is missing, so blank
                QStringList cells = readRow(xml);
                if (xml.hasError() || !takeRow(std::move(cells)))
                    return;
                ++expected;
            }
        });
    }

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
    QStringList m_strings;
};

} // namespace

ReadResult ReadFirstSheet(const QString &path, int columns, const ReadOptions &options)
{
    if (columns < 1)
        columns = 1;
    return WorkbookReader(path, qMin(columns, 16384), options).run();
}

} // namespace cg::Sheet
