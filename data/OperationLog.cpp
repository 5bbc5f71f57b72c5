#include "data/OperationLog.h"
#include "data/AccountSetRecord.h"
#include "data/Context.h"
#include "data/Seams.h"

namespace cg {

namespace {
LogFailureReporter &reporter()
{
    static LogFailureReporter r;
    return r;
}
QString two(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }
} // namespace

QString LogFilterDate(const QDateTime &when)
{
    const QDate d = when.date();
    return two(d.year()) + u'-' + two(d.month()) + u'-' + two(d.day());
}

QString LogDateTime(const QDateTime &when)
{
    const QTime t = when.time();
    return LogFilterDate(when) + u' ' + two(t.hour()) + u':' + two(t.minute()) + u':' + two(t.second());
}

bool LogWriter::write(const QString &status, const QString &description, const QString &module)
{
    // One clock read: an entry written at midnight must not get the new day
    // in one column and the old one in the other.
    const QDateTime when = Clock::now();
    // Before a login the user is the empty text, never NULL.
    const QString user = m_user.isNull() ? QStringLiteral("") : m_user;
    return m_db.execute(QStringLiteral("insert into rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
                                       "values (?,?,?,?,?,?,?,?)"),
                        {LogFilterDate(when), LogDateTime(when), user, module, status, description,
                         HostInfo::computerName(), HostInfo::ipv4Address()});
}

bool LogWriter::writeAll(const QString &status, const QStringList &descriptions, const QString &module)
{
    // 8 values a row, 100 rows a statement: under every server's limit on
    // bound values (999 on old SQLite, 2100 on SQL Server).
    constexpr int kRowsPerStatement = 100;
    const QDateTime when = Clock::now();
    const QString user = m_user.isNull() ? QStringLiteral("") : m_user;
    const QVariantList fixedBefore = {LogFilterDate(when), LogDateTime(when), user, module, status};
    const QVariantList fixedAfter = {HostInfo::computerName(), HostInfo::ipv4Address()};
    for (qsizetype from = 0; from < descriptions.size(); from += kRowsPerStatement) {
        const qsizetype to = qMin(descriptions.size(), from + kRowsPerStatement);
        QString sql = QStringLiteral("insert into rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) values ");
        QVariantList values;
        values.reserve((to - from) * 8);
        for (qsizetype i = from; i < to; ++i) {
            sql += i == from ? QStringLiteral("(?,?,?,?,?,?,?,?)") : QStringLiteral(",(?,?,?,?,?,?,?,?)");
            values << fixedBefore << descriptions.at(i) << fixedAfter;
        }
        if (!m_db.execute(sql, values) || m_db.rowsAffected() != to - from)
            return false;
    }
    return true;
}

void SetLogFailureReporter(LogFailureReporter r) { reporter() = std::move(r); }

void WriteLogEntry(DbConnection &db, const QString &user, const QString &status, const QString &description,
                   const QString &module)
{
    if (!LogWriter(db, user).write(status, description, module) && reporter())
        reporter()();
}

void WriteLogEntry(const QString &status, const QString &description, const QString &module)
{
    AppContext &ctx = Ctx();
    WriteLogEntry(ctx.db(), ctx.login.userName, status, description, module);
}

int LogSizeCheck::rowCount() const
{
    // Counted by the server: the log may hold a hundred thousand rows.
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select count(*) from rzb")) || rs.eof())
        return -1;
    return static_cast<int>(rs.number(0));
}

qint64 LogSizeCheck::limit() const
{
    return leadingInteger(FindAccountSetRow(m_db, m_set).value_or(QStringList()).value(ZtbColumn::LogLimit));
}

LogSizeCheck::Result LogSizeCheck::run() const
{
    Result r;
    const int rows = rowCount();
    if (rows < 0)
        return r;
    r.overSetLimit = rows >= limit();
    r.overHardLimit = rows >= kHardLimit;
    return r;
}

} // namespace cg
