#pragma once
// A pull reader for the large XML parts of a workbook (the worksheet and
// the shared strings), several times quicker than QXmlStreamReader on them:
// it works on the UTF-8 bytes in a buffer refilled from the device, keeps
// names and attribute values as byte ranges of that buffer and decodes only
// the texts it is asked for. It checks what a workbook part needs checked:
// tags close in order, entities are known, no document type declaration.
// Namespaces are not resolved: elements are known by their local name and
// attributes by their unprefixed name. Parts in another encoding than UTF-8
// are left to QXmlStreamReader (otherEncoding()).

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVarLengthArray>

#include <string>
#include <vector>

class QIODevice;

namespace cg::Sheet {

class XmlScanner {
public:
    enum class Token { StartElement, EndElement, Text, EndOfDocument, Invalid };

    explicit XmlScanner(QIODevice *device);

    // True when the part declares (or starts with the mark of) an encoding
    // other than UTF-8. Known before the first token.
    bool otherEncoding() const { return m_otherEncoding; }

    Token next();
    Token token() const { return m_token; }
    bool hasError() const { return m_token == Token::Invalid; }
    QString errorString() const { return m_error; }
    // Bytes of the part consumed so far.
    qint64 offset() const { return m_consumed + m_pos; }

    // Local name of the current start or end element.
    QByteArrayView name() const { return {m_buf.constData() + m_nameBegin, m_nameLength}; }
    bool isName(const char *local) const { return name() == QByteArrayView(local); }

    // Raw value of an unprefixed attribute of the current start element
    // (entities not decoded); null when it has none.
    QByteArrayView attribute(const char *attributeName) const;

    // Appends the current text, entities decoded and line ends normalised.
    void appendText(QString &out) const;

    // Inside the current start element: its text up to its end element.
    // An element inside is an error.
    QString readElementText();
    // Skips to the end element of the current start element.
    void skipCurrentElement();
    // Reads up to the next start element within the current element; false
    // when its end element (or an error) came first.
    bool readNextStartElement();

    void raiseError(const QString &message);

private:
    struct Attribute {
        qsizetype nameBegin, nameLength, valueBegin, valueLength;
    };

    bool more();
    Token fail(const QString &message);
    // Reads markup at '<': true when it made a token (or an error), false
    // when it passed over a comment or a processing instruction.
    bool readMarkup();
    Token readTag(qsizetype end);
    qsizetype findTagEnd(qsizetype from) const;
    void checkDeclaration();

    QIODevice *m_device;
    QByteArray m_buf;
    qsizetype m_pos = 0;      // next unread byte
    qsizetype m_end = 0;      // end of the valid bytes
    qint64 m_consumed = 0;    // bytes dropped from the front of the buffer
    bool m_deviceDone = false;
    bool m_otherEncoding = false;

    Token m_token = Token::Text;
    QString m_error;
    qsizetype m_nameBegin = 0, m_nameLength = 0;
    qsizetype m_textBegin = 0, m_textLength = 0;
    bool m_textIsCData = false;
    bool m_pendingEnd = false;    // <x/>: its end element comes next
    QVarLengthArray<Attribute, 8> m_attributes;
    std::vector<std::string> m_open;   // names of the open elements
};

} // namespace cg::Sheet
