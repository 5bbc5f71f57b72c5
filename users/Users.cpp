#include "users/Users.h"
#include "app/Login.h"
#include "data/Context.h"
#include "data/Password.h"
#include "data/Permissions.h"
#include "data/Schema.h"

namespace cg {

namespace {
RightInfo right(const char *flag, const char *caption)
{
    const QString f = QString::fromUtf8(flag);
    return {f, QStringLiteral("选择框_") + f, QString::fromUtf8(caption), QStringLiteral("标签_") + f};
}

QString flagValue(const RightSet &granted, const QString &flag)
{
    return granted.contains(flag) ? QStringLiteral("1") : QStringLiteral("0");
}

const QString kPrint = QStringLiteral("打印");
const QString kDefaultUser = QStringLiteral("默认用户");
} // namespace

const QList<RightInfo> &EditableRights()
{
    static const QList<RightInfo> rights = {
        right("审核", "审 核"),         right("反审", "反 审"),
        right("变更", "变 更"),         right("修改", "修 改"),
        right("删除", "删 除"),         right("导出", "导 出"),
        right("导入", "导 入"),         right("供应商录入", "供应商录入"),
        right("合同录入", "合同录入"),  right("基础资料新增", "基础资料新增"),
        right("日志", "系统日志"),      right("用户管理", "用户管理"),
    };
    return rights;
}

QString RightDisplayText(const RightInfo &right, bool granted)
{
    return RightBlankText(right) + (granted ? QStringLiteral("√") : QStringLiteral("×"));
}

QString RightBlankText(const RightInfo &right) { return right.caption + QStringLiteral("："); }

namespace Users {

QStringList names() { return AllUserNames(); }

bool currentUserManages() { return HasPermission(kManageFlag); }

QString currentUser() { return Ctx().login.userName; }

bool readRights(const QString &name, RightSet *granted)
{
    granted->clear();
    Recordset rs(Ctx().db());
    if (!rs.open(QStringLiteral("select 用户名,密码,审核,反审,变更,修改,删除,导出,导入,打印,供应商录入,"
                                "合同录入,基础资料新增,日志,默认用户,用户管理 from yhb where 用户名=?"),
                 {name})
        || rs.eof())
        return false;
    const QStringList &flags = Schema::permissionFlags();
    for (int i = 0; i < flags.size(); ++i)
        if (rs.number(i + 2) == 1)
            granted->insert(flags.at(i));
    return true;
}

bool add(const QString &name, const QString &password, const RightSet &granted)
{
    QString columns = QStringLiteral("用户名,密码");
    QString marks = QStringLiteral("?,?");
    QVariantList values{name, PasswordDigest(password)};
    for (const QString &flag : Schema::permissionFlags()) {
        columns += QLatin1Char(',') + flag;
        marks += QStringLiteral(",?");
        if (flag == kPrint)
            values << flagValue(granted, kManageFlag);
        else if (flag == kDefaultUser)
            values << QStringLiteral("0");
        else
            values << flagValue(granted, flag);
    }
    return Ctx().db().execute(
        QStringLiteral("insert into yhb(") + columns + QStringLiteral(") values(") + marks + QStringLiteral(")"),
        values);
}

bool remove(const QString &name)
{
    DbConnection &db = Ctx().db();
    return db.execute(QStringLiteral("delete from yhb where 用户名=?"), {name}) && db.rowsAffected() > 0;
}

bool setRights(const QString &name, const RightSet &granted)
{
    QString sets;
    QVariantList values;
    for (const QString &flag : Schema::permissionFlags()) {
        if (flag == kDefaultUser)
            continue;
        if (!sets.isEmpty())
            sets += QLatin1Char(',');
        sets += flag + QStringLiteral("=?");
        values << flagValue(granted, flag == kPrint ? kManageFlag : flag);
    }
    values << name;
    DbConnection &db = Ctx().db();
    return db.execute(QStringLiteral("update yhb set ") + sets + QStringLiteral(" where 用户名=?"), values)
        && db.rowsAffected() > 0;
}

bool setPassword(const QString &name, const QString &password)
{
    DbConnection &db = Ctx().db();
    return db.execute(QStringLiteral("update yhb set 用户名=?,密码=? where 用户名=?"),
                      {name, PasswordDigest(password), name})
        && db.rowsAffected() > 0;
}

Refusal checkAdd()
{
    if (!currentUserManages())
        return Refusal::error(QStringLiteral("你没有用户管理权限，无法新增！"));
    return {};
}

Refusal checkNewUser(const QString &name, const QString &password, const QString &confirmation)
{
    if (name.isEmpty())
        return Refusal::info(QStringLiteral("请输入用户名！"));
    if (password.isEmpty())
        return Refusal::info(QStringLiteral("请输入新密码！"));
    if (confirmation.isEmpty())
        return Refusal::info(QStringLiteral("请输入确认密码！"));
    if (password != confirmation)
        return Refusal::info(QStringLiteral("两次输入密码不一致！"));
    Recordset rs(Ctx().db());
    rs.open(QStringLiteral("select 用户名 from yhb where 用户名=?"), {name});
    if (!rs.text(0).isEmpty())
        return Refusal::info(name + QStringLiteral(" 已存在，换个名再试！"));
    return {};
}

Refusal checkDelete(const QString &selected)
{
    if (selected == kAdmin)
        return Refusal::error(QStringLiteral("不能删除管理员账户！"));
    if (selected == currentUser())
        return Refusal::error(QStringLiteral("不能删除自身账户！"));
    if (!currentUserManages())
        return Refusal::error(QStringLiteral("你没有用户管理权限，无法删除！"));
    return {};
}

Refusal checkRights(const QString &selected)
{
    if (currentUser() == kAdmin && selected == kAdmin)
        return Refusal::info(QStringLiteral("不能修改自身权限"));
    if (selected == kAdmin)
        return Refusal::info(QStringLiteral("你无权修改管理员权限！"));
    if (currentUserManages()) {
        if (selected == currentUser())
            return Refusal::info(QStringLiteral("你无法修改自己的权限！"));
        return {};
    }
    return Refusal::info(QStringLiteral("你没有用户管理权限，无法修改！"));
}

Refusal checkSaveRights(const QString &name)
{
    if (name == kAdmin)
        return Refusal::info(QStringLiteral("不能修改管理员权限！"));
    return {};
}

Refusal checkPasswordWindow(const QString &selected)
{
    if (selected.isEmpty())
        return Refusal::info(QStringLiteral("请选中需要修改的用户名！"));
    if (currentUserManages()) {
        if (currentUser() != kAdmin && selected == kAdmin)
            return Refusal::info(QStringLiteral("你无权修改管理员权限！"));
        return {};
    }
    if (selected == currentUser())
        return {};
    return Refusal::info(QStringLiteral("你无权修改其他用户密码！"));
}

PasswordOutcome changePassword(const PasswordRequest &r, Refusal *refusal)
{
    *refusal = {};
    if (r.name.isEmpty()) {
        *refusal = Refusal::info(QStringLiteral("请输入要修改密码的用户名！"));
        return PasswordOutcome::Refused;
    }
    const bool manages = currentUserManages();
    if (!manages && r.oldPassword.isEmpty()) {
        *refusal = Refusal::info(QStringLiteral("请输入旧密码！"));
        return PasswordOutcome::Refused;
    }
    if (r.newPassword.isEmpty()) {
        *refusal = Refusal::info(QStringLiteral("请输入新密码！"));
        return PasswordOutcome::Refused;
    }
    if (r.confirmation.isEmpty()) {
        *refusal = Refusal::info(QStringLiteral("请输入确认密码！"));
        return PasswordOutcome::Refused;
    }
    if (r.newPassword != r.confirmation) {
        *refusal = Refusal::info(QStringLiteral("两次输入密码不一致！"));
        return PasswordOutcome::Refused;
    }
    if ((r.name == currentUser() || !manages) && !VerifyPassword(r.name, r.oldPassword)) {
        *refusal = Refusal::error(QStringLiteral("旧密码输入错误，不能修改密码！"));
        return PasswordOutcome::WrongOld;
    }
    if (r.name == kAdmin && currentUser() != kAdmin) {
        *refusal = Refusal::error(QStringLiteral("不能修改管理员账户"));
        return PasswordOutcome::Refused;
    }
    return setPassword(r.name, r.confirmation) ? PasswordOutcome::Changed : PasswordOutcome::Failed;
}

} // namespace Users
} // namespace cg
