#pragma once
// Database access: one connection type over two backends (the shared SQL
// Server through ODBC, or an embedded SQLite file) and a recordset with a
// client-side static cursor.
//
// Statements keep the T-SQL shape the whole program uses; values are never
// spliced into the text but bound to positional '?' placeholders, so a quote
// in a value can never end a literal and Chinese text survives on SQL Server.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

class QSqlDatabase;

namespace cg {

enum class Backend { None, Sqlite, SqlServer };

// Server address that selects the embedded database: the database name is
// then a SQLite file, relative to the working folder unless absolute; login
// and password are not used.
inline constexpr const char *kEmbeddedServer = "sqlite";

class DbConnection {
public:
    explicit DbConnection(const QString &connectionName);
    ~DbConnection();
    DbConnection(const DbConnection &) = delete;
    DbConnection &operator=(const DbConnection &) = delete;

    // The connection text "DRIVER=SQL Server;SERVER=…;UID=…;PWD=…;DATABASE=…;".
    static QString sqlServerConnectionText(const QString &server, const QString &database,
                                           const QString &login, const QString &password);

    void setConnectionTimeout(int seconds) { m_timeout = seconds; }
    int connectionTimeout() const { return m_timeout; }

    // Opens a SQLite file (created when missing), WAL journal, busy time-out.
    bool openSqlite(const QString &path);
    bool openSqlServer(const QString &server, const QString &database, const QString &login,
                       const QString &password);
    // Either of the two, chosen by the four connection values.
    bool open(const QString &server, const QString &database, const QString &login,
              const QString &password, const QString &workFolder);

    bool isConnected() const;
    void close();
    Backend backend() const { return m_backend; }
    QString lastError() const { return m_lastError; }
    QSqlDatabase database() const;

    // INSERT, UPDATE, DELETE, CREATE, DROP. True when the statement ran.
    bool execute(const QString &sql, const QVariantList &params = {});
    // Rows affected by the last successful execute (-1 when unknown).
    int rowsAffected() const { return m_rowsAffected; }

    bool tableExists(const QString &table);

    // Unit of work. On SQLite the write lock is taken at the start
    // (BEGIN IMMEDIATE), so read-then-write units of several workstations
    // queue instead of failing.
    bool beginTransaction();
    bool commit();
    bool rollback();
    bool inTransaction() const { return m_inTransaction; }

    // The statement text as the backend runs it.
    QString translate(const QString &sql) const;

private:
    friend class Recordset;
    QString m_name;
    Backend m_backend = Backend::None;
    int m_timeout = 30;
    QString m_lastError;
    int m_rowsAffected = -1;
    bool m_inTransaction = false;
};

// Runs fn inside a unit of work; commits when it returns true, rolls back
// otherwise (or when the commit fails).
bool inTransaction(DbConnection &db, const std::function<bool()> &fn);

class Recordset {
public:
    enum Kind { SelectText = 1, TableName = 2 };
    explicit Recordset(DbConnection &db);

    bool open(const QString &source, const QVariantList &params = {}, Kind kind = SelectText);
    bool openTable(const QString &table) { return open(table, {}, TableName); }
    bool isOpen() const { return m_open; }
    void close();

    bool eof() const;
    int recordCount() const;   // -1 when the last open failed
    int columnCount() const { return m_columns.size(); }
    QString columnName(int index) const { return m_columns.value(index); }
    int columnIndex(const QString &name) const;

    QString text(int column) const;
    QString text(const QString &column) const;
    qint64 number(int column) const;
    qint64 number(const QString &column) const;
    QByteArray bytes(const QString &column) const;
    QVariant value(int column) const;
    // Stores the bytes in an image column of the current row at once
    // (rows are addressed by their id column).
    bool writeBytes(const QString &column, const QByteArray &data);

    void moveFirst();
    void moveLast();
    void moveNext();
    int position() const { return m_pos; }

    // Criteria: comparisons "column op value" (=, <>, <, >, <=, >=, LIKE with
    // * or % wildcards), values quoted with ' or plain numbers, joined by
    // AND / OR. find() searches from the current row on.
    bool find(const QString &criteria, int direction = 1);
    void setFilter(const QString &criteria);
    bool deleteCurrent();

private:
    const QVector<QVariant> *currentRow() const;
    QString sourceTable() const;
    bool matches(const QVector<QVariant> &row, const QString &criteria) const;

    DbConnection &m_db;
    bool m_open = false;
    bool m_failed = false;
    QString m_source;
    QStringList m_columns;
    QVector<QVector<QVariant>> m_all;
    QVector<int> m_visible;   // indexes into m_all that pass the filter
    int m_pos = 0;            // index into m_visible
};

// Leading integer of a text the way the old number reads work: leading
// blanks skipped, optional sign, then digits; 0 when there are none.
qint64 leadingInteger(const QString &text);

} // namespace cg
