#include "spreadsheet/XmlScanner.h"

#include <QIODevice>

#include <cstring>

namespace cg::Sheet {

namespace {

constexpr qsizetype kChunk = 256 * 1024;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Appends the UTF-8 of a code point.
void appendUtf8(QByteArray &out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// A character XML may hold (XML 1.0, section 2.2).
bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

} // namespace

XmlScanner::XmlScanner(QIODevice *device) : m_device(device)
{
    m_buf.resize(kChunk);
    more();
    checkDeclaration();
}

// Drops the consumed bytes and reads more; false when nothing more came.
bool XmlScanner::more()
{
    if (m_deviceDone)
        return false;
    if (m_pos > 0) {
        std::memmove(m_buf.data(), m_buf.constData() + m_pos, size_t(m_end - m_pos));
        m_end -= m_pos;
        m_consumed += m_pos;
        m_pos = 0;
    }
    if (m_buf.size() - m_end < kChunk / 2)
        m_buf.resize(m_buf.size() * 2);
    const qint64 n = m_device->read(m_buf.data() + m_end, m_buf.size() - m_end);
    if (n <= 0) {
        m_deviceDone = true;
        if (n < 0)
            m_token = Token::Invalid, m_error = QStringLiteral("the part cannot be read");
        return false;
    }
    m_end += n;
    return true;
}

void XmlScanner::checkDeclaration()
{
    if (m_end >= 2 && ((uchar(m_buf[0]) == 0xFE && uchar(m_buf[1]) == 0xFF)
                       || (uchar(m_buf[0]) == 0xFF && uchar(m_buf[1]) == 0xFE))) {
        m_otherEncoding = true;
        return;
    }
    if (m_end >= 3 && uchar(m_buf[0]) == 0xEF && uchar(m_buf[1]) == 0xBB && uchar(m_buf[2]) == 0xBF)
        m_pos = 3;
    const QByteArrayView head(m_buf.constData() + m_pos, m_end - m_pos);
    if (!head.startsWith("<?xml"))
        return;
    const qsizetype close = head.indexOf("?>");
    const QByteArrayView declaration = close < 0 ? head : head.first(close);
    const qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return;
    qsizetype i = at + 8;
    while (i < declaration.size() && (isSpace(declaration[i]) || declaration[i] == '='))
        ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\''))
        return;
    const char quote = declaration[i];
    const qsizetype end = declaration.indexOf(quote, i + 1);
    const QByteArray encoding = declaration.sliced(i + 1, (end < 0 ? declaration.size() : end) - i - 1).toByteArray().toLower();
    m_otherEncoding = encoding != "utf-8" && encoding != "utf8";
}

XmlScanner::Token XmlScanner::fail(const QString &message)
{
    if (m_token != Token::Invalid) {
        m_token = Token::Invalid;
        m_error = message + QStringLiteral(" (byte %1)").arg(offset());
    }
    return m_token;
}

void XmlScanner::raiseError(const QString &message) { fail(message); }

XmlScanner::Token XmlScanner::next()
{
    if (m_token == Token::Invalid || m_token == Token::EndOfDocument)
        return m_token;
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_open.pop_back();
        return m_token = Token::EndElement;
    }
    for (;;) {
        if (m_pos >= m_end && !more()) {
            if (m_token == Token::Invalid)
                return m_token;
            if (!m_open.empty())
                return fail(QStringLiteral("premature end of document"));
            return m_token = Token::EndOfDocument;
        }
        if (m_buf[m_pos] != '<')
            break;
        // Comments and processing instructions are passed over.
        if (readMarkup())
            return m_token;
    }

    // Character data up to the next '<'.
    const char *lt;
    while (!(lt = static_cast<const char *>(std::memchr(m_buf.constData() + m_pos, '<', size_t(m_end - m_pos))))) {
        if (!more())
            break;
    }
    if (m_token == Token::Invalid)
        return m_token;
    const qsizetype end = lt ? lt - m_buf.constData() : m_end;
    m_textBegin = m_pos;
    m_textLength = end - m_pos;
    m_textIsCData = false;
    m_pos = end;
    return m_token = Token::Text;
}

// The '>' that ends the tag starting at from ('<'), outside quoted values;
// -1 when the buffer ends first.
qsizetype XmlScanner::findTagEnd(qsizetype from) const
{
    char quote = 0;
    for (qsizetype i = from + 1; i < m_end; ++i) {
        const char c = m_buf[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i;
        }
    }
    return -1;
}

bool XmlScanner::readMarkup()
{
    // Enough bytes to tell the kind of markup.
    while (m_end - m_pos < 9 && more()) {
    }
    const QByteArrayView head(m_buf.constData() + m_pos, m_end - m_pos);
    QByteArrayView terminator;
    if (head.startsWith("<!--"))
        terminator = "-->";
    else if (head.startsWith("<![CDATA["))
        terminator = "]]>";
    else if (head.startsWith("<?"))
        terminator = "?>";
    else if (head.startsWith("<!"))
        return fail(QStringLiteral("document type declaration")), true;

    if (terminator.isEmpty()) {
        qsizetype end;
        // Quotes are tracked from the start of the tag, so a longer buffer
        // is searched again from there.
        while ((end = findTagEnd(m_pos)) < 0) {
            if (!more()) {
                if (m_token != Token::Invalid)
                    fail(QStringLiteral("unterminated tag"));
                return true;
            }
        }
        readTag(end);
        return true;
    }

    const bool cdata = head.startsWith("<![CDATA[");
    const qsizetype skip = cdata ? 9 : head.startsWith("<!--") ? 4 : 2;
    qsizetype at;
    while ((at = QByteArrayView(m_buf.constData() + m_pos + skip, m_end - m_pos - skip).indexOf(terminator)) < 0) {
        if (!more()) {
            if (m_token != Token::Invalid)
                fail(QStringLiteral("unterminated markup"));
            return true;
        }
    }
    const qsizetype contentBegin = m_pos + skip;
    m_pos = contentBegin + at + terminator.size();
    if (!cdata)
        return false;
    if (m_open.empty())
        return fail(QStringLiteral("character data outside the document element")), true;
    m_textBegin = contentBegin;
    m_textLength = at;
    m_textIsCData = true;
    m_token = Token::Text;
    return true;
}

XmlScanner::Token XmlScanner::readTag(qsizetype end)
{
    const char *b = m_buf.constData();
    qsizetype i = m_pos + 1;
    const bool closing = b[i] == '/';
    if (closing)
        ++i;
    const qsizetype nameStart = i;
    while (i < end && !isSpace(b[i]) && b[i] != '/')
        ++i;
    if (i == nameStart)
        return fail(QStringLiteral("a tag without a name"));
    // The local name: after the prefix, if any.
    qsizetype local = nameStart;
    for (qsizetype k = nameStart; k < i; ++k)
        if (b[k] == ':')
            local = k + 1;
    m_nameBegin = local;
    m_nameLength = i - local;
    const std::string_view qualified(b + nameStart, size_t(i - nameStart));

    if (closing) {
        while (i < end && isSpace(b[i]))
            ++i;
        if (i != end)
            return fail(QStringLiteral("malformed end tag"));
        if (m_open.empty() || m_open.back() != qualified)
            return fail(QStringLiteral("end tag does not match the open element"));
        m_open.pop_back();
        m_pos = end + 1;
        return m_token = Token::EndElement;
    }

    m_attributes.clear();
    bool empty = false;
    for (;;) {
        while (i < end && isSpace(b[i]))
            ++i;
        if (i == end)
            break;
        if (b[i] == '/') {
            if (i + 1 != end)
                return fail(QStringLiteral("malformed tag"));
            empty = true;
            break;
        }
        const qsizetype attrName = i;
        while (i < end && b[i] != '=' && !isSpace(b[i]))
            ++i;
        const qsizetype attrNameEnd = i;
        while (i < end && isSpace(b[i]))
            ++i;
        if (i == end || b[i] != '=' || attrNameEnd == attrName)
            return fail(QStringLiteral("malformed attribute"));
        ++i;
        while (i < end && isSpace(b[i]))
            ++i;
        if (i == end || (b[i] != '"' && b[i] != '\''))
            return fail(QStringLiteral("attribute value without quotes"));
        const char quote = b[i++];
        const qsizetype valueBegin = i;
        while (i < end && b[i] != quote)
            ++i;
        if (i == end)
            return fail(QStringLiteral("unterminated attribute value"));
        m_attributes.append({attrName, attrNameEnd - attrName, valueBegin, i - valueBegin});
        ++i;
    }
    m_open.emplace_back(qualified);
    m_pendingEnd = empty;
    m_pos = end + 1;
    return m_token = Token::StartElement;
}

QByteArrayView XmlScanner::attribute(const char *attributeName) const
{
    const QByteArrayView wanted(attributeName);
    for (const Attribute &a : m_attributes)
        if (QByteArrayView(m_buf.constData() + a.nameBegin, a.nameLength) == wanted)
            return {m_buf.constData() + a.valueBegin, a.valueLength};
    return {};
}

void XmlScanner::appendText(QString &out) const
{
    const char *p = m_buf.constData() + m_textBegin;
    const qsizetype n = m_textLength;
    const bool plain = !std::memchr(p, '\r', size_t(n)) && (m_textIsCData || !std::memchr(p, '&', size_t(n)));
    if (plain) {
        out.append(QString::fromUtf8(p, n));
        return;
    }
    QByteArray bytes;
    bytes.reserve(n);
    for (qsizetype i = 0; i < n; ++i) {
        const char c = p[i];
        if (c == '\r') {
            // Line ends read as a line feed, "\r\n" included.
            bytes += '\n';
            if (i + 1 < n && p[i + 1] == '\n')
                ++i;
        } else if (c == '&' && !m_textIsCData) {
            const char *semi = static_cast<const char *>(std::memchr(p + i, ';', size_t(n - i)));
            if (!semi) {
                const_cast<XmlScanner *>(this)->fail(QStringLiteral("unterminated entity reference"));
                return;
            }
            const QByteArrayView entity(p + i + 1, semi - (p + i + 1));
            if (entity == "lt") {
                bytes += '<';
            } else if (entity == "gt") {
                bytes += '>';
            } else if (entity == "amp") {
                bytes += '&';
            } else if (entity == "quot") {
                bytes += '"';
            } else if (entity == "apos") {
                bytes += '\'';
            } else if (entity.startsWith('#')) {
                bool ok = false;
                const uint code = entity.startsWith("#x") ? entity.sliced(2).toByteArray().toUInt(&ok, 16)
                                                          : entity.sliced(1).toByteArray().toUInt(&ok, 10);
                if (!ok || !isXmlChar(code)) {
                    const_cast<XmlScanner *>(this)->fail(QStringLiteral("invalid character reference"));
                    return;
                }
                appendUtf8(bytes, code);
            } else {
                const_cast<XmlScanner *>(this)->fail(QStringLiteral("undeclared entity"));
                return;
            }
            i = semi - p;
        } else {
            bytes += c;
        }
    }
    out += QString::fromUtf8(bytes);
}

QString XmlScanner::readElementText()
{
    QString text;
    for (;;) {
        switch (next()) {
        case Token::Text:
            appendText(text);
            if (m_token == Token::Invalid)
                return QString();
            break;
        case Token::EndElement:
            return text;
        case Token::StartElement:
            fail(QStringLiteral("expected character data"));
            return QString();
        case Token::EndOfDocument:
        case Token::Invalid:
            return QString();
        }
    }
}

void XmlScanner::skipCurrentElement()
{
    int depth = 1;
    while (depth > 0) {
        switch (next()) {
        case Token::StartElement:
            ++depth;
            break;
        case Token::EndElement:
            --depth;
            break;
        case Token::Text:
            break;
        case Token::EndOfDocument:
        case Token::Invalid:
            return;
        }
    }
}

bool XmlScanner::readNextStartElement()
{
    for (;;) {
        switch (next()) {
        case Token::StartElement:
            return true;
        case Token::EndElement:
        case Token::EndOfDocument:
        case Token::Invalid:
            return false;
        case Token::Text:
            break;
        }
    }
}

} // namespace cg::Sheet
