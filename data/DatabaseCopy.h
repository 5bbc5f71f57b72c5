#pragma once
// Moves the whole contract database from one connection to another: the
// embedded file to a shared PostgreSQL or SQL Server database. Used by the
// promotion window and by cgsys-initdb --copy-from.
//
// The steps, each of which can refuse or fail with nothing switched over:
//   1. precheck: every value of the source fits the target's columns (SQLite
//      keeps any length and any text in a date column, the servers do not);
//   2. target check: the target holds none of the program's tables, or only
//      what cgsys-initdb puts on an empty database; a target left by an
//      earlier attempt (it still carries the incomplete marker) is cleaned;
//   3. prepare: the marker table first, then the tables through
//      Schema::initialise, emptied of its first rows;
//   4. copy: every row with its id, in batches, one unit of work per batch
//      (PostgreSQL through COPY, SQL Server through multi-row inserts); the
//      identities continue after the highest id afterwards;
//   5. verify: row count and a digest of every value, in id order: the
//      source's taken from the values as they were read for the copy, the
//      target's read back from the server; only then the marker goes.
// The source is read in one read transaction, so the copy is one moment of it.

#include "data/SqlDialect.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>

namespace cg {
class DbConnection;

// The table that marks a target whose copy has not been verified yet. A
// workstation refuses to work on a database that has it.
inline constexpr const char *kIncompleteCopyTable = "cgsys_copy_incomplete";

struct ColumnDef {
    enum Kind { Text, Integer, Date, Binary };
    QString name;
    Kind kind = Text;
    int length = 0;         // for Text: the declared length, 0 for no limit
    bool identity = false;  // the id column
};

// The columns of a table as the program creates it, in table order; empty
// for a table the program does not know. Contract tables are "htb" + number.
QList<ColumnDef> ProgramTableColumns(const QString &table);
bool IsContractTableName(const QString &table);

// A value the target would not take.
struct CopyProblem {
    enum Kind { TooLong, NotADate, NotANumber, NulCharacter };
    QString table;
    QString rowId;   // the id, or the row's position (1-based) in tables without one
    bool byPosition = false;
    QString column;
    Kind kind = TooLong;
    int length = 0;   // the value's length in the target's units
    int limit = 0;    // what the column allows
    // "htb1 表 id 5 的 产品：长度 201，服务器只允许 200", "ztb 表第 2 行的 日志数：…"
    QString text() const;
};

struct TableCopy {
    QString table;
    qint64 rows = 0;
    QString sourceDigest;   // hex SHA-256
    QString targetDigest;
    bool verified() const { return !sourceDigest.isEmpty() && sourceDigest == targetDigest; }
};

class DatabaseCopy {
public:
    enum class Outcome {
        Verified,        // everything copied and equal; the marker is gone
        Refused,         // values the target would not take: problems() lists them
        TargetNotEmpty,  // the target holds data of its own: message() says which
        Cancelled,       // the target stays marked incomplete
        Failed,          // a database refused, or the verification differed
    };

    DatabaseCopy(DbConnection &source, DbConnection &target);

    // done and total count rows of every table (the copy, then the
    // verification reading both sides once more).
    using Progress = std::function<void(const QString &step, const QString &table, qint64 tableDone,
                                        qint64 tableTotal, qint64 done, qint64 total)>;
    void setProgress(Progress progress) { m_progress = std::move(progress); }
    void setCancelFlag(const std::atomic_bool *cancel) { m_cancel = cancel; }
    // Rows per INSERT statement (capped by the server's limit on values; SQL
    // Server only) and rows per unit of work.
    void setBatchRows(int rowsPerStatement, int rowsPerUnit);

    // Runs every step. year: the year of the account set cgsys-initdb makes
    // (it is removed again; the source's sets are copied).
    Outcome run(int year);

    // The steps on their own.
    QList<CopyProblem> precheck();
    // True when the target may be used; *found lists what was found when not.
    // *leftover is set when an earlier unfinished copy is there.
    bool checkTarget(QStringList *found, bool *leftover);

    QString message() const { return m_message; }
    const QList<CopyProblem> &problems() const { return m_problems; }
    const QList<TableCopy> &tables() const { return m_tables; }
    qint64 totalRows() const;
    // SHA-256 over the tables' names, counts and digests, in order.
    QString digest() const;

    // The tables of the source in the order they are copied: the basic data,
    // suppliers, the log and the contract tables first, the users and the
    // account sets last, so a broken copy has no account set to log in to.
    QStringList sourceTables();

    // Statement texts, for the target's backend (tests read them).
    // "insert into t(c1,…) values(?,…),(?,…)" with rows groups; SQL Server
    // and PostgreSQL take the ids as given.
    static QString insertStatement(const QString &table, const QList<ColumnDef> &columns, int rows);
    // Around the inserts of a table with an id: SQL Server's
    // "SET IDENTITY_INSERT t ON" and "… OFF"; nothing on the others.
    static QStringList beforeInserts(Backend backend, const QString &table);
    static QStringList afterInserts(Backend backend, const QString &table);
    // The statements that make the next id highestId + 1.
    static QStringList identityStatements(Backend backend, const QString &table, qint64 highestId);
    // Values per statement the server takes.
    static int maxValuesPerStatement(Backend backend);

private:
    bool fail(const QString &message);
    bool cancelled() const { return m_cancel && m_cancel->load(); }
    bool cleanTarget();
    bool prepareTarget(int year, const QStringList &tables);
    bool copyTable(const QString &table);
    bool verifyTable(TableCopy &t);
    qint64 highestId(const QString &table);
    void tell(const QString &step, const QString &table, qint64 tableDone, qint64 tableTotal);

    DbConnection &m_source;
    DbConnection &m_target;
    Progress m_progress;
    const std::atomic_bool *m_cancel = nullptr;
    int m_rowsPerStatement = 500;
    int m_rowsPerUnit = 5000;
    QString m_message;
    QList<CopyProblem> m_problems;
    QList<TableCopy> m_tables;
    qint64 m_done = 0;
    qint64 m_total = 0;
};

} // namespace cg
