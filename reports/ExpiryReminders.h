#pragma once
// Which contracts of an account set run out soon or have run out with money
// still owed, apart from the window. Days are counted in calendar dates from
// the day the caller gives (the clock's date), so a contract expiring today
// has 0 days left, tomorrow 1, yesterday -1.

#include <QDate>
#include <QString>
#include <QVector>

namespace cg {
class DbConnection;

// Per workstation, in the settings file.
namespace ReminderSettings {
inline const QString kSection = QStringLiteral("到期提醒");
inline const QString kDaysKey = QStringLiteral("提前天数");          // 0: no reminder at login
inline const QString kQuietKey = QStringLiteral("登录时不再提醒");   // "1": no reminder at login
inline constexpr int kDefaultDays = 30;
inline constexpr int kMaxDays = 3650;
// The stored number of days; kDefaultDays when missing or not a number
// from 0 to kMaxDays.
int days();
bool setDays(int days);
bool quietAtLogin();
bool setQuietAtLogin(bool quiet);
}

// One contract of the list: its first line's header values (every line of a
// contract carries the same ones).
struct ExpiringContract {
    qint64 id = 0;             // the contract's first line
    QString number;            // 合同编号
    QString supplier;          // 供应商
    QString expiryText;        // 失效日期 as stored
    QString documentDate;      // 制单日期 as stored
    QString amount;            // 合同金额
    QString balance;           // 剩余尾款
    QDate expiry;              // invalid when the stored text is no yyyy-MM-dd date
    int daysLeft = 0;          // meaningful only when expiry is valid

    bool dateKnown() const { return expiry.isValid(); }
};

class ExpiryReminders {
public:
    // table: the account set's contract table.
    ExpiryReminders(DbConnection &db, const QString &table);

    // The contracts whose 失效日期 lies from today up to today + days, and
    // those already past whose balance is not settled; ordered by expiry
    // date, then number. A contract whose stored expiry is no date cannot be
    // placed in time: it is listed at the end when its balance is not
    // settled. days below 0 count as 0. False when the query failed.
    bool list(const QDate &today, int days, QVector<ExpiringContract> &out) const;

    // A balance is settled when it is written as a number that is zero
    // ("0", "0.00", "-0"); an empty text or one that is no number tells
    // nothing and so is not settled.
    static bool balanceSettled(const QString &balance);

    // The text of the days-left column: the number, or "日期无法识别".
    static QString daysText(const ExpiringContract &c);

private:
    DbConnection &m_db;
    QString m_table;
};

} // namespace cg
