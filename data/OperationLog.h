#pragma once
// The operation log (table rzb): one row for every window opening and
// closing and every action.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

namespace cg {
class DbConnection;

// 过滤日期: "2021-03-07"
QString LogFilterDate(const QDateTime &when);
// 日期: "2021-03-07 09:05:03"
QString LogDateTime(const QDateTime &when);

// Writes log rows on one connection for one user (empty before a login).
// Inside a unit of work on that connection (WriteUnit, inTransaction) the
// row joins the unit and is committed or rolled back with it: a change and
// the log row that describes it are written that way, and a false result
// must fail the unit, so that neither is stored without the other.
class LogWriter {
public:
    LogWriter(DbConnection &db, const QString &user) : m_db(db), m_user(user) {}
    // One row: both date columns from one clock read, the computer name and
    // the IPv4 address of this workstation. False when the row was not stored.
    bool write(const QString &status, const QString &description, const QString &module);
    // One row per description, all with one clock read, in as few
    // statements as the servers' limits on values allow. False when not
    // every row was stored (in a unit of work, the caller rolls back).
    bool writeAll(const QString &status, const QStringList &descriptions, const QString &module);

private:
    DbConnection &m_db;
    QString m_user;
};

// Called when a log row could not be stored; the application shows
// "没有写入成功". Nothing is reported while none is installed.
using LogFailureReporter = std::function<void()>;
void SetLogFailureReporter(LogFailureReporter reporter);

// One row of rzb on the main connection for the logged-in user. A failure
// goes to the reporter; the caller is not told.
void WriteLogEntry(const QString &status, const QString &description, const QString &module);
// The same on a given connection for a given user (GUI thread only: a
// failure goes to the reporter).
void WriteLogEntry(DbConnection &db, const QString &user, const QString &status, const QString &description,
                   const QString &module);

// The check a login arms: is the log over its limit?
class LogSizeCheck {
public:
    static constexpr int kHardLimit = 100000;
    struct Result {
        bool overSetLimit = false;   // rows >= the account set's 日志数
        bool overHardLimit = false;  // rows >= 100000
    };
    LogSizeCheck(DbConnection &db, const QString &accountSet) : m_db(db), m_set(accountSet) {}
    Result run() const;

    // Rows in rzb (-1 when the count failed) and the limit of the set (0
    // when it has none).
    int rowCount() const;
    qint64 limit() const;

private:
    DbConnection &m_db;
    QString m_set;
};

} // namespace cg
