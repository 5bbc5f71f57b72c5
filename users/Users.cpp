#include "users/Users.h"
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


Users Users::current() { return Users(Ctx().db(), Ctx().login.userName); }

QStringList Users::names() const
{
    QStringList out;
    Recordset rs(m_db);
    if (rs.open(QStringLiteral("select 用户名 from yhb")))
        for (; !rs.eof(); rs.moveNext())
            out << rs.text(0);
    return out;
}

bool Users::currentUserManages() const { return HasPermission(m_db, m_current, kManageFlag); }

bool Users::isExactlyOneUser(const QString &name) const
{
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 用户名 from yhb where 用户名=?"), {name}))
        return false;
    return rs.recordCount() == 1 && rs.text(0) == name;
}

bool Users::readRights(const QString &name, RightSet *granted) const
{
    granted->clear();
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 用户名,密码,审核,反审,变更,修改,删除,导出,导入,打印,供应商录入,"
                                "合同录入,基础资料新增,日志,默认用户,用户管理 from yhb where 用户名=?"),
                 {name}))
        return false;
    while (!rs.eof() && rs.text(0) != name)
        rs.moveNext();
    if (rs.eof())
        return false;
    const QStringList &flags = Schema::permissionFlags();
    for (int i = 0; i < flags.size(); ++i)
        if (rs.number(i + 2) == 1)
            granted->insert(flags.at(i));
    return true;
}

Users::AddOutcome Users::add(const QString &name, const QString &password, const RightSet &granted)
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
    AddOutcome outcome = AddOutcome::Failed;
    const bool committed = inTransaction(m_db, [&] {
        // A name exists when the server returns a row for it, whatever the
        // row's spelling: the server would treat the two as one user.
        Recordset rs(m_db);
        if (!rs.open(QStringLiteral("select 用户名 from yhb where 用户名=?"), {name}))
            return false;
        if (!rs.eof()) {
            outcome = AddOutcome::Exists;
            return false;
        }
        if (!m_db.execute(QStringLiteral("insert into yhb(") + columns + QStringLiteral(") values(") + marks
                              + QStringLiteral(")"),
                          values))
            return false;
        outcome = AddOutcome::Added;
        return true;
    });
    if (outcome == AddOutcome::Added && !committed)
        outcome = AddOutcome::Failed;
    return outcome;
}

bool Users::changeOneUser(const QString &name, const QString &sql, const QVariantList &values)
{
    return inTransaction(m_db, [&] {
        return isExactlyOneUser(name) && m_db.execute(sql, values) && m_db.rowsAffected() == 1;
    });
}

bool Users::remove(const QString &name)
{
    return changeOneUser(name, QStringLiteral("delete from yhb where 用户名=?"), {name});
}

bool Users::setRights(const QString &name, const RightSet &granted)
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
    return changeOneUser(name, QStringLiteral("update yhb set ") + sets + QStringLiteral(" where 用户名=?"), values);
}

bool Users::setPassword(const QString &name, const QString &password)
{
    return changeOneUser(name, QStringLiteral("update yhb set 密码=? where 用户名=?"), {PasswordDigest(password), name});
}

Refusal Users::checkAdd() const
{
    if (!currentUserManages())
        return Refusal::error(QStringLiteral("你没有用户管理权限，无法新增！"));
    return {};
}

Refusal Users::checkNewUser(const QString &name, const QString &password, const QString &confirmation) const
{
    if (name.isEmpty())
        return Refusal::info(QStringLiteral("请输入用户名！"));
    if (password.isEmpty())
        return Refusal::info(QStringLiteral("请输入新密码！"));
    if (confirmation.isEmpty())
        return Refusal::info(QStringLiteral("请输入确认密码！"));
    if (password != confirmation)
        return Refusal::info(QStringLiteral("两次输入密码不一致！"));
    return {};
}

Refusal Users::existsRefusal(const QString &name)
{
    return Refusal::info(name + QStringLiteral(" 已存在，换个名再试！"));
}

Refusal Users::checkDelete(const QString &selected) const
{
    if (selected == kAdmin)
        return Refusal::error(QStringLiteral("不能删除管理员账户！"));
    if (selected == currentUser())
        return Refusal::error(QStringLiteral("不能删除自身账户！"));
    if (!currentUserManages())
        return Refusal::error(QStringLiteral("你没有用户管理权限，无法删除！"));
    return {};
}

Refusal Users::checkRights(const QString &selected) const
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

Refusal Users::checkSaveRights(const QString &name) const
{
    if (name == kAdmin)
        return Refusal::info(QStringLiteral("不能修改管理员权限！"));
    return {};
}

Refusal Users::checkPasswordWindow(const QString &selected) const
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

Users::PasswordOutcome Users::changePassword(const PasswordRequest &r, Refusal *refusal)
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
    if ((r.name == currentUser() || !manages) && !VerifyPassword(m_db, r.name, r.oldPassword)) {
        *refusal = Refusal::error(QStringLiteral("旧密码输入错误，不能修改密码！"));
        return PasswordOutcome::WrongOld;
    }
    if (r.name == kAdmin && currentUser() != kAdmin) {
        *refusal = Refusal::error(QStringLiteral("不能修改管理员账户"));
        return PasswordOutcome::Refused;
    }
    return setPassword(r.name, r.confirmation) ? PasswordOutcome::Changed : PasswordOutcome::Failed;
}

} // namespace cg
