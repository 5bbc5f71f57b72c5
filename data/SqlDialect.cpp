#include "data/SqlDialect.h"

#include <QRegularExpression>

namespace cg::SqlDialect {

QString forSqlite(const QString &sql)
{
    static const QRegularExpression identity(
        QStringLiteral("\\bint\\s+IDENTITY\\s*\\(\\s*1\\s*,\\s*1\\s*\\)\\s+PRIMARY\\s+KEY"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tables(
        QStringLiteral("SELECT\\s+table_name\\s+FROM\\s+information_schema\\.TABLES\\s+WHERE\\s+table_name\\s*="),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression maxLen(QStringLiteral("\\(\\s*max\\s*\\)"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression now(QStringLiteral("\\bgetdate\\s*\\(\\s*\\)"),
                                        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression top(QStringLiteral("^(\\s*select\\s+(?:distinct\\s+)?)top\\s+(\\d+)\\s+"),
                                        QRegularExpression::CaseInsensitiveOption);
    QString out = sql;
    out.replace(identity, QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"));
    out.replace(tables, QStringLiteral("SELECT name FROM sqlite_master WHERE type='table' AND name ="));
    out.replace(maxLen, QString());
    out.replace(now, QStringLiteral("datetime('now','localtime')"));
    const auto m = top.match(out);
    if (m.hasMatch()) {
        const QString n = m.captured(2);
        out = m.captured(1) + out.mid(m.capturedEnd(0)) + QStringLiteral(" limit ") + n;
    }
    return out;
}

QString forSqlServer(const QString &sql)
{
    QString out;
    out.reserve(sql.size() + 16);
    bool inQuote = false;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (c == u'\'') {
            if (!inQuote) {
                const bool hasN = i > 0 && (sql.at(i - 1) == u'N' || sql.at(i - 1) == u'n')
                    && (i < 2 || !(sql.at(i - 2).isLetterOrNumber() || sql.at(i - 2) == u'_'));
                if (!hasN)
                    out += u'N';
                inQuote = true;
            } else if (i + 1 < sql.size() && sql.at(i + 1) == u'\'') {
                out += QStringLiteral("''");
                ++i;
                continue;
            } else {
                inQuote = false;
            }
        }
        out += c;
    }
    return out;
}

QString quoted(const QString &value)
{
    QString v = value;
    v.replace(u'\'', QStringLiteral("''"));
    return QLatin1Char('\'') + v + QLatin1Char('\'');
}

} // namespace cg::SqlDialect
