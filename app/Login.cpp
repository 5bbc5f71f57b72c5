#include "app/Login.h"
#include "data/Context.h"
#include "data/Password.h"

namespace cg {

static QStringList firstColumn(const QString &sql)
{
    QStringList out;
    Recordset rs(Ctx().db());
    if (rs.open(sql))
        for (; !rs.eof(); rs.moveNext())
            out << rs.text(0);
    return out;
}

QStringList AllUserNames() { return firstColumn(QStringLiteral("select * from yhb")); }
QStringList AllAccountSetNames() { return firstColumn(QStringLiteral("select * from ztb")); }

bool AccountSetIsOfYear(const QString &accountSet, int year)
{
    Recordset rs(Ctx().db());
    rs.open(QStringLiteral("select 账套名 from ztb where 账套名=?"), {accountSet});
    return leadingInteger(rs.text(0)) == year;
}

void LoadAccountSet(const QString &accountSet)
{
    Recordset rs(Ctx().db());
    rs.open(QStringLiteral("select * from ztb where 账套名=?"), {accountSet});
    Ctx().login.accountSetName = rs.text(0);
    Ctx().login.contractTable = rs.text(3);
}

QString MissingTableMessage(const QString &contractTable)
{
    const struct {
        QString table;
        const char *message;
    } checks[] = {{contractTable, "合同关联的数据库表不存在，系统无法使用"},
                  {QStringLiteral("yhb"), "用户关联的数据库表不存在，系统无法使用"},
                  {QStringLiteral("gysb"), "供应商关联的数据库表不存在，系统无法使用"},
                  {QStringLiteral("jczlb"), "基础资料关联的数据库表不存在，系统无法使用"}};
    for (const auto &c : checks)
        if (!Ctx().db().tableExists(c.table))
            return QString::fromUtf8(c.message);
    return {};
}

bool VerifyPassword(const QString &user, const QString &password)
{
    const QString digest = PasswordDigest(password);
    Recordset rs(Ctx().db());
    if (!rs.open(QStringLiteral("select 用户名,密码 from yhb where 用户名=? and 密码=?"), {user, digest}))
        return false;
    // Compared again here: the database may compare without regard to case.
    return !rs.eof() && rs.text(0) == user && rs.text(1) == digest;
}

QString ContractPrefixOf(const QString &accountSet)
{
    Recordset rs(Ctx().db());
    rs.open(QStringLiteral("select 合同编号 from ztb where 账套名=?"), {accountSet});
    const QString prefix = rs.text(0);
    return prefix.isEmpty() ? QStringLiteral("KQLM") : prefix;
}

} // namespace cg
