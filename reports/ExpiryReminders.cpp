#include "reports/ExpiryReminders.h"
#include "contracts/ContractRecord.h"
#include "data/Context.h"
#include "data/Db.h"
#include "data/SqlDialect.h"

#include <QRegularExpression>
#include <algorithm>

namespace cg {

namespace ReminderSettings {
int days()
{
    bool ok = false;
    const int n = Settings::read(kSection, kDaysKey).toInt(&ok);
    return ok && n >= 0 && n <= kMaxDays ? n : kDefaultDays;
}
bool setDays(int days) { return Settings::write(kSection, kDaysKey, QString::number(days)); }
bool quietAtLogin() { return Settings::read(kSection, kQuietKey) == QLatin1String("1"); }
bool setQuietAtLogin(bool quiet)
{
    return Settings::write(kSection, kQuietKey, quiet ? QStringLiteral("1") : QStringLiteral("0"));
}
} // namespace ReminderSettings

ExpiryReminders::ExpiryReminders(DbConnection &db, const QString &table)
    : m_db(db), m_table(SqlDialect::isPlainIdentifier(table) ? table : QString())
{
}

bool ExpiryReminders::balanceSettled(const QString &balance)
{
    // A number must begin the text; what follows it is ignored, as
    // everywhere amounts are read.
    static const QRegularExpression number(QStringLiteral("^[ \\t\\n\\r\\v\\f]*[+-]?([0-9]|\\.[0-9])"));
    if (!number.match(balance).hasMatch())
        return false;
    return RemainingBalance(balance, QString(), QString(), QString(), QString()) == QLatin1String("0");
}

QString ExpiryReminders::daysText(const ExpiringContract &c)
{
    return c.dateKnown() ? QString::number(c.daysLeft) : QStringLiteral("日期无法识别");
}

bool ExpiryReminders::list(const QDate &today, int days, QVector<ExpiringContract> &out) const
{
    out.clear();
    if (m_table.isEmpty() || !today.isValid())
        return false;
    days = qMax(0, days);
    const QDate last = today.addDays(days);
    const QString T = m_table;
    // Dates are compared as the texts they are stored as. The embedded
    // database holds whatever text was written, so a value that is no
    // yyyy-MM-dd text is fetched too and judged below; the servers' date
    // columns hold dates only.
    QString condition;
    if (m_db.backend() == Backend::Sqlite)
        condition = QStringLiteral("(+失效日期<=? or +失效日期 not glob '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]')");
    else
        condition = QStringLiteral("失效日期<=?");
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select id,合同编号,供应商,失效日期,制单日期,合同金额,剩余尾款 from ") + T
                     + QStringLiteral(" where id in (select min(id) from ") + T + QStringLiteral(" where ") + condition
                     + QStringLiteral(" group by 合同编号) order by 失效日期,合同编号,id"),
                 {last.toString(QStringLiteral("yyyy-MM-dd"))}))
        return false;
    for (; !rs.eof(); rs.moveNext()) {
        ExpiringContract c;
        c.id = rs.number(0);
        c.number = rs.text(1);
        c.supplier = rs.text(2);
        c.expiryText = rs.text(3);
        c.documentDate = rs.text(4);
        c.amount = rs.text(5);
        c.balance = rs.text(6);
        if (c.expiryText.size() == 10)
            c.expiry = QDate::fromString(c.expiryText, QStringLiteral("yyyy-MM-dd"));
        const bool settled = balanceSettled(c.balance);
        if (c.dateKnown()) {
            c.daysLeft = int(today.daysTo(c.expiry));
            if (c.daysLeft > days || (c.daysLeft < 0 && settled))
                continue;
        } else if (settled) {
            continue;
        }
        out << c;
    }
    // The server ordered the dates; undated contracts go last.
    std::stable_partition(out.begin(), out.end(), [](const ExpiringContract &c) { return c.dateKnown(); });
    return true;
}

} // namespace cg
