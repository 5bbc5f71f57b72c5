#pragma once
// The program writes its statements in T-SQL. This is the one place that
// knows how each database server wants them: the rewrites for SQLite and
// PostgreSQL, the national literals for SQL Server, and the statements that
// begin, commit and roll back a unit of work that writes.
//
// Adding a server means one more Backend value and one more case in each
// function below; nothing outside this file and DbConnection looks at the
// backend.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>
#include <QVector>

namespace cg {

enum class Backend { None, Sqlite, SqlServer, PostgreSql };

namespace SqlDialect {

// One piece of a statement text. Rewrites touch only Word and Other pieces:
// literals, comments and quoted names ([…] or "…") pass through unchanged.
struct Token {
    enum Kind { Space, Word, Literal, Comment, QuotedName, Other };
    Kind kind = Other;
    qsizetype start = 0;
    qsizetype length = 0;
    bool national = false;   // a Literal written N'…'
};

// Splits a statement into tokens that cover it completely, in order. An
// unterminated literal, comment or quoted name runs to the end of the text.
// Block comments do not nest.
QVector<Token> tokenize(QStringView sql);

// The forms SQLite does not know, rewritten outside literals and comments:
// "int IDENTITY(1,1) PRIMARY KEY", information_schema.TABLES, the (max) of
// nvarchar/varchar/varbinary, getdate(), "select [distinct] top N" (also
// "top (N)", in subqueries too: becomes "limit N" at the end of that select)
// and N'…' literals.
QString forSqlite(const QString &sql);

// Every literal becomes a national (N'…') literal, so fixed Chinese texts in
// statements survive whatever the server's code page is.
QString forSqlServer(const QString &sql);

// The forms PostgreSQL does not know, rewritten outside literals, comments
// and quoted names: "int IDENTITY(1,1) PRIMARY KEY" (an identity column),
// nvarchar/nchar/ntext (varchar/char/text), nvarchar(max) and varchar(max)
// (text), varbinary(max) and, as a column type in CREATE or ALTER TABLE,
// image (bytea), getdate() (localtimestamp), information_schema.TABLES (the
// tables of the current schema), "select [distinct] top N" (limit N, as for
// SQLite), LIKE (ILIKE: letter case does not count, as on the other two
// servers) and N'…' literals. Names are left as written: unquoted, the
// server folds ASCII letters to lower case and keeps Chinese ones.
QString forPostgreSql(const QString &sql);

// The statement text as the backend runs it.
QString translate(Backend backend, const QString &sql);

// A statement in the backend's own text with its positional values.
struct Statement {
    QString sql;
    QVariantList params;
};

// What the outermost unit of work that writes sends at its start. Every
// backend serialises writers here: SQLite takes its write lock with BEGIN
// IMMEDIATE, SQL Server takes an exclusive application lock owned by the
// transaction right after BEGIN TRANSACTION, PostgreSQL an advisory lock
// held to the end of the transaction right after BEGIN. Both servers stay
// at READ COMMITTED: each statement after the lock sees what the previous
// holder committed. Backend-native text; not translated again.
QStringList beginWriteUnit(Backend backend);
QString commitWriteUnit(Backend backend);
QString rollbackWriteUnit(Backend backend);

// The statement of beginWriteUnit() whose first value tells whether the
// write lock was granted (empty when beginning the transaction is the lock),
// and how to read that value.
QString writeLockStatement(Backend backend);
bool writeLockGranted(Backend backend, const QVariant &firstValue);

// True when a statement that fails inside a transaction ends it on the
// server: PostgreSQL refuses everything after it and turns COMMIT into a
// rollback. The unit of work can then only roll back.
bool failureAbortsTransaction(Backend backend);

// Creates an index on one column unless an index of that name exists; the
// names must be plain identifiers (letters, digits, '_'), else sql is empty.
Statement createIndexIfMissing(Backend backend, const QString &index, const QString &table,
                               const QString &column);

// True for a plain identifier that may stand unquoted in a statement.
bool isPlainIdentifier(const QString &name);

// A text as a quoted literal with every quote doubled. For the rare place
// where a value cannot be bound (scripts written for other tools).
QString quoted(const QString &value);

// The expression giving the size in bytes of a binary column (an image
// column on SQL Server, a bytea on PostgreSQL, a blob on SQLite).
QString byteLength(Backend backend, const QString &column);

} // namespace SqlDialect
} // namespace cg
