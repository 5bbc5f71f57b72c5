#include "data/OperationLog.h"
#include "app/Seams.h"
#include "data/Context.h"

namespace cg {

static QString two(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

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

void WriteLogEntry(const QString &status, const QString &description, const QString &module)
{
    const QString computer = HostInfo::computerName();
    const QString ip = HostInfo::ipv4Address();
    const QString shown = LogDateTime(Clock::now());
    const QString filter = LogFilterDate(Clock::now());
    AppContext &ctx = Ctx();
    const bool ok = ctx.db().execute(
        QStringLiteral("insert into rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
                       "values (?,?,?,?,?,?,?,?)"),
        {filter, shown, ctx.login.userName, module, status, description, computer, ip});
    if (!ok)
        ShowMessage(QStringLiteral("没有写入成功"));
}

int LogRowCount()
{
    // Counted by the server: the log may hold a hundred thousand rows.
    Recordset rs(Ctx().db());
    if (!rs.open(QStringLiteral("select count(*) from rzb")))
        return -1;
    return static_cast<int>(rs.number(0));
}

qint64 LogLimit(const QString &accountSet)
{
    Recordset rs(Ctx().db());
    if (!rs.open(QStringLiteral("select 日志数 from ztb where 账套名=?"), {accountSet}))
        return 0;
    return rs.number(0);
}

} // namespace cg
