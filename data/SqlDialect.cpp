#include "data/SqlDialect.h"

#include <QRegularExpression>

namespace cg::SqlDialect {

namespace {

bool isWordChar(QChar c)
{
    return c.isLetterOrNumber() || c.isMark() || c.isSurrogate() || c == u'_' || c == u'@' || c == u'#'
        || c == u'$';
}

// End of a quoted piece opened at `from` (the opening character): `close`
// doubled stands for itself; an unterminated piece ends with the text.
qsizetype quotedEnd(QStringView s, qsizetype from, QChar close)
{
    qsizetype i = from + 1;
    const qsizetype n = s.size();
    while (i < n) {
        if (s[i] == close) {
            if (i + 1 < n && s[i + 1] == close) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return n;
}

} // namespace

QVector<Token> tokenize(QStringView s)
{
    QVector<Token> out;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s[i];
        const QChar next = i + 1 < n ? s[i + 1] : QChar();
        Token t;
        t.start = i;
        qsizetype end;
        if (c.isSpace()) {
            t.kind = Token::Space;
            end = i + 1;
            while (end < n && s[end].isSpace())
                ++end;
        } else if (c == u'-' && next == u'-') {
            t.kind = Token::Comment;
            end = i + 2;
            while (end < n && s[end] != u'\n')
                ++end;
        } else if (c == u'/' && next == u'*') {
            t.kind = Token::Comment;
            const qsizetype close = s.indexOf(u"*/", i + 2);
            end = close < 0 ? n : close + 2;
        } else if (c == u'\'') {
            t.kind = Token::Literal;
            end = quotedEnd(s, i, u'\'');
        } else if ((c == u'N' || c == u'n') && next == u'\'') {
            // Only at the start of a token: "xN'" is the word xN and a literal.
            t.kind = Token::Literal;
            t.national = true;
            end = quotedEnd(s, i + 1, u'\'');
        } else if (c == u'[') {
            t.kind = Token::QuotedName;
            end = quotedEnd(s, i, u']');
        } else if (c == u'"') {
            t.kind = Token::QuotedName;
            end = quotedEnd(s, i, u'"');
        } else if (isWordChar(c)) {
            t.kind = Token::Word;
            end = i + 1;
            while (end < n && isWordChar(s[end]))
                ++end;
        } else {
            t.kind = Token::Other;
            end = i + 1;
        }
        t.length = end - i;
        out.append(t);
        i = end;
    }
    return out;
}

namespace {

// Rewrites a statement token by token. Positions are counted in code tokens
// (everything but spaces and comments), so "getdate ( )" and "getdate()"
// look the same; the pieces between code tokens of a replaced span go too.
class Rewriter {
public:
    explicit Rewriter(QStringView sql) : m_sql(sql), m_tokens(tokenize(sql))
    {
        m_text.resize(m_tokens.size());
        m_suffix.resize(m_tokens.size());
        for (int i = 0; i < m_tokens.size(); ++i) {
            const Token &t = m_tokens.at(i);
            m_text[i] = m_sql.mid(t.start, t.length).toString();
            if (t.kind != Token::Space && t.kind != Token::Comment)
                m_code.append(i);
        }
    }

    int codeCount() const { return m_code.size(); }
    const Token &token(int ci) const { return m_tokens.at(m_code.at(ci)); }
    QStringView view(int ci) const { return m_sql.mid(token(ci).start, token(ci).length); }

    bool isWord(int ci, const char *word) const
    {
        return ci >= 0 && ci < m_code.size() && token(ci).kind == Token::Word
            && view(ci).compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool isOther(int ci, char16_t c) const
    {
        return ci >= 0 && ci < m_code.size() && token(ci).kind == Token::Other && view(ci).front() == c;
    }
    bool isText(int ci, QStringView text) const
    {
        return ci >= 0 && ci < m_code.size() && view(ci) == text;
    }
    bool isNumber(int ci) const
    {
        if (ci < 0 || ci >= m_code.size() || token(ci).kind != Token::Word)
            return false;
        for (QChar c : view(ci))
            if (c < u'0' || c > u'9')
                return false;
        return true;
    }

    void replace(int firstCi, int lastCi, const QString &with)
    {
        m_text[m_code.at(firstCi)] = with;
        for (int t = m_code.at(firstCi) + 1; t <= m_code.at(lastCi); ++t)
            m_text[t].clear();
    }
    void setText(int ci, const QString &text) { m_text[m_code.at(ci)] = text; }
    // Drops the space right after a code token.
    void dropSpaceAfter(int ci)
    {
        const int t = m_code.at(ci) + 1;
        if (t < m_tokens.size() && m_tokens.at(t).kind == Token::Space)
            m_text[t].clear();
    }
    void appendAfter(int ci, const QString &text) { m_suffix[m_code.at(ci)] += text; }

    QString result() const
    {
        QString out;
        out.reserve(m_sql.size() + 32);
        for (int i = 0; i < m_tokens.size(); ++i)
            out += m_text.at(i) + m_suffix.at(i);
        return out;
    }

private:
    QStringView m_sql;
    QVector<Token> m_tokens;
    QVector<int> m_code;
    QVector<QString> m_text;
    QVector<QString> m_suffix;
};

// "select [distinct|all] top N" or "top (N)" at ci: moves the limit to the
// end of that select, which is the closing parenthesis of its subquery, a
// ';' or the end of the text.
int rewriteTop(Rewriter &r, int ci)
{
    int at = ci + 1;
    if (r.isWord(at, "distinct") || r.isWord(at, "all"))
        ++at;
    if (!r.isWord(at, "top"))
        return ci;
    const int topAt = at;
    int numberAt;
    int last;
    if (r.isNumber(at + 1)) {
        numberAt = at + 1;
        last = numberAt;
    } else if (r.isOther(at + 1, u'(') && r.isNumber(at + 2) && r.isOther(at + 3, u')')) {
        numberAt = at + 2;
        last = at + 3;
    } else {
        return ci;
    }
    // "top 5 percent" and "with ties" have no SQLite form; left to fail there.
    if (r.isWord(last + 1, "percent"))
        return ci;
    const QString count = r.view(numberAt).toString();
    r.replace(topAt, last, QString());
    r.dropSpaceAfter(last);

    int depth = 0;
    int end = last;
    for (int cj = last + 1; cj < r.codeCount(); ++cj) {
        if (r.isOther(cj, u'(')) {
            ++depth;
        } else if (r.isOther(cj, u')')) {
            if (depth == 0)
                break;
            --depth;
        } else if (r.isOther(cj, u';') && depth == 0) {
            break;
        }
        end = cj;
    }
    r.appendAfter(end, QStringLiteral(" limit ") + count);
    return last;
}

} // namespace

QString forSqlite(const QString &sql)
{
    Rewriter r(sql);
    for (int ci = 0; ci < r.codeCount(); ++ci) {
        const Token &t = r.token(ci);
        if (t.kind == Token::Literal) {
            if (t.national)
                r.setText(ci, r.view(ci).mid(1).toString());
            continue;
        }
        if (t.kind != Token::Word)
            continue;
        if (r.isWord(ci, "int") && r.isWord(ci + 1, "identity") && r.isOther(ci + 2, u'(')
            && r.isText(ci + 3, u"1") && r.isOther(ci + 4, u',') && r.isText(ci + 5, u"1")
            && r.isOther(ci + 6, u')') && r.isWord(ci + 7, "primary") && r.isWord(ci + 8, "key")) {
            r.replace(ci, ci + 8, QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"));
            ci += 8;
        } else if (r.isWord(ci, "information_schema") && r.isOther(ci + 1, u'.')
                   && r.isWord(ci + 2, "tables")) {
            r.replace(ci, ci + 2,
                      QStringLiteral("(select name as table_name from sqlite_master where type='table')"));
            ci += 2;
        } else if ((r.isWord(ci, "nvarchar") || r.isWord(ci, "varchar") || r.isWord(ci, "varbinary"))
                   && r.isOther(ci + 1, u'(') && r.isWord(ci + 2, "max") && r.isOther(ci + 3, u')')) {
            r.replace(ci + 1, ci + 3, QString());
            ci += 3;
        } else if (r.isWord(ci, "getdate") && r.isOther(ci + 1, u'(') && r.isOther(ci + 2, u')')) {
            r.replace(ci, ci + 2, QStringLiteral("datetime('now','localtime')"));
            ci += 2;
        } else if (r.isWord(ci, "select")) {
            ci = rewriteTop(r, ci);
        }
    }
    return r.result();
}

namespace {

// Words after a table in FROM that are no alias of it.
bool isClauseWord(const Rewriter &r, int ci)
{
    static const char *const words[] = {"where", "order", "group", "having", "join", "inner", "left", "right",
                                        "full", "cross", "on", "union", "except", "intersect", "limit", "offset",
                                        "for", "window"};
    for (const char *w : words)
        if (r.isWord(ci, w))
            return true;
    return false;
}

} // namespace

QString forPostgreSql(const QString &sql)
{
    Rewriter r(sql);
    bool tableStatement = false;   // CREATE TABLE or ALTER TABLE: column types follow names
    for (int ci = 0; ci < r.codeCount(); ++ci) {
        const Token &t = r.token(ci);
        if (ci == 0 || r.isOther(ci - 1, u';'))
            tableStatement = (r.isWord(ci, "create") || r.isWord(ci, "alter")) && r.isWord(ci + 1, "table");
        if (t.kind == Token::Literal) {
            if (t.national)
                r.setText(ci, r.view(ci).mid(1).toString());
            continue;
        }
        if (t.kind != Token::Word)
            continue;
        if (r.isWord(ci, "int") && r.isWord(ci + 1, "identity") && r.isOther(ci + 2, u'(')
            && r.isText(ci + 3, u"1") && r.isOther(ci + 4, u',') && r.isText(ci + 5, u"1")
            && r.isOther(ci + 6, u')') && r.isWord(ci + 7, "primary") && r.isWord(ci + 8, "key")) {
            r.replace(ci, ci + 8, QStringLiteral("int GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"));
            ci += 8;
        } else if (r.isWord(ci, "information_schema") && r.isOther(ci + 1, u'.')
                   && r.isWord(ci + 2, "tables")) {
            // A subquery in FROM needs a name; the statement may give its own.
            const bool named = r.isWord(ci + 3, "as")
                || (ci + 3 < r.codeCount() && r.token(ci + 3).kind == Token::Word && !isClauseWord(r, ci + 3));
            r.replace(ci, ci + 2,
                      QStringLiteral("(select table_name::text as table_name from information_schema.tables "
                                     "where table_schema=current_schema())")
                          + (named ? QString() : QStringLiteral(" as information_schema_tables")));
            ci += 2;
        } else if ((r.isWord(ci, "nvarchar") || r.isWord(ci, "varchar") || r.isWord(ci, "varbinary"))
                   && r.isOther(ci + 1, u'(') && r.isWord(ci + 2, "max") && r.isOther(ci + 3, u')')) {
            r.replace(ci, ci + 3, r.isWord(ci, "varbinary") ? QStringLiteral("bytea") : QStringLiteral("text"));
            ci += 3;
        } else if (r.isWord(ci, "nvarchar")) {
            r.setText(ci, QStringLiteral("varchar"));
        } else if (r.isWord(ci, "nchar")) {
            r.setText(ci, QStringLiteral("char"));
        } else if (r.isWord(ci, "ntext")) {
            r.setText(ci, QStringLiteral("text"));
        } else if (r.isWord(ci, "image") && tableStatement && ci > 0
                   && (r.token(ci - 1).kind == Token::Word || r.token(ci - 1).kind == Token::QuotedName)) {
            r.setText(ci, QStringLiteral("bytea"));
        } else if (r.isWord(ci, "getdate") && r.isOther(ci + 1, u'(') && r.isOther(ci + 2, u')')) {
            r.replace(ci, ci + 2, QStringLiteral("localtimestamp"));
            ci += 2;
        } else if (r.isWord(ci, "like")) {
            r.setText(ci, QStringLiteral("ILIKE"));
        } else if (r.isWord(ci, "select")) {
            ci = rewriteTop(r, ci);
        }
    }
    return r.result();
}

QString forSqlServer(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    for (const Token &t : tokenize(sql)) {
        if (t.kind == Token::Literal && !t.national)
            out += u'N';
        out += QStringView(sql).mid(t.start, t.length);
    }
    return out;
}

QString translate(Backend backend, const QString &sql)
{
    switch (backend) {
    case Backend::Sqlite:
        return forSqlite(sql);
    case Backend::SqlServer:
        return forSqlServer(sql);
    case Backend::PostgreSql:
        return forPostgreSql(sql);
    case Backend::None:
        break;
    }
    return sql;
}

QString writeLockStatement(Backend backend)
{
    switch (backend) {
    case Backend::SqlServer:
        // Owned by the transaction: released by its commit or rollback.
        return QStringLiteral(
            "declare @r int; exec @r = sp_getapplock @Resource=N'cgsys-write', @LockMode=N'Exclusive', "
            "@LockOwner=N'Transaction', @LockTimeout=30000; select @r");
    case Backend::PostgreSql:
        // Held until the transaction ends; one key for the whole database
        // (the bytes of "cgsy"). Waits as long as the connection's
        // lock_timeout allows.
        return QStringLiteral("select pg_advisory_xact_lock(1667724153)");
    case Backend::Sqlite:   // BEGIN IMMEDIATE is the lock
    case Backend::None:
        break;
    }
    return {};
}

bool writeLockGranted(Backend backend, const QVariant &firstValue)
{
    switch (backend) {
    case Backend::SqlServer: {
        // 0 granted, 1 granted after waiting; negative: time-out, deadlock, error.
        bool ok = false;
        const int code = firstValue.toInt(&ok);
        return !firstValue.isNull() && ok && code >= 0;
    }
    case Backend::PostgreSql:   // a lock that cannot be had fails the statement
    case Backend::Sqlite:
    case Backend::None:
        break;
    }
    return true;
}

bool failureAbortsTransaction(Backend backend)
{
    return backend == Backend::PostgreSql;
}

QStringList beginWriteUnit(Backend backend)
{
    switch (backend) {
    case Backend::Sqlite:
        return {QStringLiteral("BEGIN IMMEDIATE")};
    case Backend::SqlServer:
        return {QStringLiteral("BEGIN TRANSACTION"), writeLockStatement(backend)};
    case Backend::PostgreSql:
        return {QStringLiteral("BEGIN"), writeLockStatement(backend)};
    case Backend::None:
        break;
    }
    return {};
}

QString commitWriteUnit(Backend backend)
{
    switch (backend) {
    case Backend::Sqlite:
    case Backend::PostgreSql:
        return QStringLiteral("COMMIT");
    case Backend::SqlServer:
        return QStringLiteral("COMMIT TRANSACTION");
    case Backend::None:
        break;
    }
    return {};
}

QString rollbackWriteUnit(Backend backend)
{
    switch (backend) {
    case Backend::Sqlite:
    case Backend::PostgreSql:   // outside a transaction only a warning
        return QStringLiteral("ROLLBACK");
    case Backend::SqlServer:
        // The server may have ended the transaction itself (deadlock victim,
        // aborting error); rolling back nothing must not fail.
        return QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
    case Backend::None:
        break;
    }
    return {};
}

bool isPlainIdentifier(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[^\\W\\d]\\w*$"),
                                       QRegularExpression::UseUnicodePropertiesOption);
    return re.match(name).hasMatch();
}

Statement createIndexIfMissing(Backend backend, const QString &index, const QString &table,
                               const QString &column)
{
    if (!isPlainIdentifier(index) || !isPlainIdentifier(table) || !isPlainIdentifier(column))
        return {};
    const QString create = QStringLiteral("create index %1 on %2(%3)").arg(index, table, column);
    switch (backend) {
    case Backend::Sqlite:
    case Backend::PostgreSql:
        return {QStringLiteral("create index if not exists %1 on %2(%3)").arg(index, table, column), {}};
    case Backend::SqlServer:
        return {QStringLiteral("if not exists (select * from sys.indexes where name=? and object_id=object_id(?)) ")
                    + create,
                {index, table}};
    case Backend::None:
        break;
    }
    return {create, {}};
}

QString quoted(const QString &value)
{
    QString v = value;
    v.replace(u'\'', QStringLiteral("''"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

QString byteLength(Backend backend, const QString &column)
{
    switch (backend) {
    case Backend::SqlServer:
        return QStringLiteral("DATALENGTH(") + column + QLatin1Char(')');
    case Backend::PostgreSql:
        return QStringLiteral("octet_length(") + column + QLatin1Char(')');
    case Backend::Sqlite:
    case Backend::None:
        break;
    }
    return QStringLiteral("length(") + column + QLatin1Char(')');
}

} // namespace cg::SqlDialect
