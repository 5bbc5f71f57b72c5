#include "data/Permissions.h"
#include "data/Context.h"
#include "data/Schema.h"

namespace cg {

bool IsPermissionFlag(const QString &flag) { return Schema::permissionFlags().contains(flag); }

bool HasPermission(DbConnection &db, const QString &user, const QString &flag)
{
    // The flag becomes a column name: only the fixed names get that far.
    if (!IsPermissionFlag(flag))
        return false;
    Recordset rs(db);
    if (!rs.open(QStringLiteral("select 用户名,") + flag + QStringLiteral(" from yhb where 用户名=?"), {user}))
        return false;
    // The server may match the name loosely ("Admin", "admin "): only the
    // row of exactly this user counts.
    for (; !rs.eof(); rs.moveNext())
        if (rs.text(0) == user)
            return rs.number(1) == 1;
    return false;
}

bool HasPermission(const QString &flag) { return HasPermission(Ctx().db(), Ctx().login.userName, flag); }

} // namespace cg
