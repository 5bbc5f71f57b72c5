#pragma once
// Database access: one connection type over three backends (a shared SQL
// Server through ODBC, a shared PostgreSQL server, or an embedded SQLite
// file) and a recordset with a client-side static cursor for small lookups.
// Large lists go through RowStore and RowTableModel instead.
//
// Statements keep the T-SQL shape the whole program uses; values are never
// spliced into the text but bound to positional '?' placeholders, so a quote
// in a value can never end a literal and Chinese text survives on SQL Server.
//
// Every statement that fails is logged under the category "cgsys.db" with
// its text and the driver's message, never with its bound values.

#include "data/SqlDialect.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

namespace cg {

Q_DECLARE_LOGGING_CATEGORY(lcDb)

// Server address that selects the embedded database: the database name is
// then a SQLite file, relative to the working folder unless absolute; login
// and password are not used.
inline constexpr const char *kEmbeddedServer = "sqlite";
// Server addresses "postgresql://host[:port]" select a PostgreSQL server
// (port 5432 unless given; an IPv6 host in brackets). Any other address is a
// SQL Server.
inline constexpr const char *kPostgreSqlScheme = "postgresql://";
inline constexpr int kPostgreSqlDefaultPort = 5432;

// What it takes to open another connection to the database a connection
// is open on: a worker thread opens its own with it (a connection belongs
// to the thread that opened it). Holds the password; never logged.
struct ConnectionSpec {
    Backend backend = Backend::None;
    QString databaseName;   // the file, the database, or the ODBC connection text
    QString hostName;
    int port = -1;
    QString userName;
    QString password;
    int timeout = 30;
};

class DbConnection {
public:
    explicit DbConnection(const QString &connectionName);
    ~DbConnection();
    DbConnection(const DbConnection &) = delete;
    DbConnection &operator=(const DbConnection &) = delete;

    // The ODBC connection text
    // "DRIVER={SQL Server};SERVER={…};UID={…};PWD={…};DATABASE={…};": every
    // value between braces with '}' doubled, so a ';' or '=' in a password
    // stays part of it and cannot add attributes.
    static QString sqlServerConnectionText(const QString &server, const QString &database,
                                           const QString &login, const QString &password);

    // A driver message as the support log may carry it: every bound value
    // of the statement taken out (servers quote the value they could not
    // take).
    static QString withoutBoundValues(const QString &text, const QVariantList &params);

    // The backend a server address selects.
    static Backend backendOf(const QString &server);
    // Host and port of a "postgresql://host[:port]" address; false when the
    // address has another form, no host or a port outside 1 to 65535.
    static bool parsePostgreSqlAddress(const QString &server, QString *host, int *port);

    void setConnectionTimeout(int seconds) { m_timeout = seconds; }
    int connectionTimeout() const { return m_timeout; }

    // Opens a SQLite file (created when missing), WAL journal, busy time-out.
    [[nodiscard]] bool openSqlite(const QString &path);
    bool openSqlServer(const QString &server, const QString &database, const QString &login,
                       const QString &password);
    // A PostgreSQL database; waits for locks (the write lock included) as
    // long as the connection time-out, and at least a moment when it is 0.
    bool openPostgreSql(const QString &host, int port, const QString &database, const QString &login,
                        const QString &password);
    // One of the three, chosen by the four connection values.
    [[nodiscard]] bool open(const QString &server, const QString &database, const QString &login,
              const QString &password, const QString &workFolder);

    // How this connection was opened; backend None when it is not open.
    ConnectionSpec connectionValues() const;
    // Opens a connection to the same database as the one connectionValues() came from.
    [[nodiscard]] bool open(const ConnectionSpec &values);

    bool isConnected() const;
    // Closing ends an open unit of work without committing it.
    void close();
    Backend backend() const { return m_backend; }
    // The message of the last failure; kept until the next failure.
    QString lastError() const { return m_lastError; }
    QSqlDatabase database() const;

    // INSERT, UPDATE, DELETE, CREATE, DROP. True when the statement ran.
    [[nodiscard]] bool execute(const QString &sql, const QVariantList &params = {});
    // Rows affected by the last successful execute (-1 when unknown).
    int rowsAffected() const { return m_rowsAffected; }

    bool tableExists(const QString &table);

    // Unit-of-work steps under WriteUnit (see there); use WriteUnit or
    // inTransaction() rather than these. beginTransaction() opens the
    // outermost unit or enters a nested one, commit() and rollback() leave
    // the innermost.
    [[nodiscard]] bool beginTransaction();
    [[nodiscard]] bool commit();
    bool rollback();
    bool inTransaction() const { return m_depth > 0; }
    int transactionDepth() const { return m_depth; }

    // The statement text as the backend runs it.
    QString translate(const QString &sql) const;

    // Called with every statement text as it goes to the driver, the unit
    // of work's own statements included. For tracing; empty to stop.
    void setStatementObserver(std::function<void(const QString &)> observer)
    {
        m_observer = std::move(observer);
    }

    // Runs a statement already in the backend's text on q: the observer is
    // told, values are bound, a failure is logged and kept as lastError().
    bool run(QSqlQuery &q, const QString &nativeSql, const QVariantList &params = {});

private:
    friend class WriteUnit;
    bool openOdbc(const QString &connectionText, const QString &server, const QString &database);
    bool runUnitStatement(const QString &nativeSql, QVariant *firstValue = nullptr);
    bool endUnit(bool commit);
    void fail(const QString &message);
    QString errorText(const QSqlError &error) const;

    QString m_name;
    Backend m_backend = Backend::None;
    int m_timeout = 30;
    QString m_lastError;
    int m_rowsAffected = -1;
    int m_depth = 0;
    bool m_doomed = false;         // the outer unit can only roll back ...
    QString m_doomReason;          // ... because an inner unit rolled back or the server ended it
    quint64 m_unitSerial = 0;      // counts outermost units, so a stale WriteUnit stays out
    std::function<void(const QString &)> m_observer;
};

// A unit of work that writes, as a scope guard:
//
//     WriteUnit unit(db);
//     if (!unit.isOpen() || !db.execute(...) || !db.execute(...))
//         return false;            // the destructor rolls back
//     return unit.commit();
//
// The outermost unit on a connection begins the transaction and takes the
// write lock at once (SqlDialect::beginWriteUnit), so writers of all
// workstations queue instead of failing half-way. Units nest by depth: an
// inner unit sends nothing; its commit hands its work on to the enclosing
// unit. An inner unit that rolls back (or ends without commit) fails the
// whole outer unit: nothing can be committed any more, further inner units
// do not open, and the outer commit rolls everything back and returns false.
// There is no partial rollback to a savepoint. On a server that ends the
// transaction when a statement fails (PostgreSQL), any failed statement
// inside the unit fails it the same way.
class WriteUnit {
public:
    explicit WriteUnit(DbConnection &db);
    ~WriteUnit();
    WriteUnit(const WriteUnit &) = delete;
    WriteUnit &operator=(const WriteUnit &) = delete;

    // Begun and neither committed nor rolled back yet.
    bool isOpen() const { return m_open; }
    bool isOutermost() const { return m_level == 1; }
    // True when the work is committed (for an inner unit: handed on to an
    // enclosing unit that has not failed). Ends the unit either way.
    [[nodiscard]] bool commit();
    // Ends the unit without its work. False when nothing was open or the
    // backend refused; the unit is ended either way.
    bool rollback();
    // Why beginning, committing or rolling back failed.
    QString lastError() const { return m_error; }

private:
    bool current() const;
    DbConnection &m_db;
    bool m_open = false;
    int m_level = 0;
    quint64 m_serial = 0;
    QString m_error;
};

// Runs fn inside a unit of work; commits when it returns true, rolls back
// otherwise (or when the commit fails). Nested calls join the enclosing unit.
[[nodiscard]] bool inTransaction(DbConnection &db, const std::function<bool()> &fn);

class Recordset {
public:
    enum Kind { SelectText = 1, TableName = 2 };
    explicit Recordset(DbConnection &db);

    [[nodiscard]] bool open(const QString &source, const QVariantList &params = {}, Kind kind = SelectText);
    [[nodiscard]] bool openTable(const QString &table) { return open(table, {}, TableName); }
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

// A value as the program shows it: dates as year-month-day, date-times with
// the time after a space, NULL as the empty text.
QString valueText(const QVariant &value);

// Leading integer of a text the way the old number reads work: leading
// blanks skipped, optional sign, then digits; 0 when there are none.
qint64 leadingInteger(const QString &text);

} // namespace cg
