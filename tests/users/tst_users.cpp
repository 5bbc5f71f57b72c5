#include "app/Login.h"
#include "app/MainWindow.h"
#include "data/Password.h"
#include "data/Permissions.h"
#include "ui/Gates.h"
#include "support/TestEnv.h"
#include "support/UserInput.h"
#include "users/UserManagementWindow.h"
#include "users/Users.h"

#include <QtTest>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

using namespace cg;

namespace {

const QString kTitle = QStringLiteral("系统提示");
const QString kModule = QStringLiteral("用户管理");

const QStringList kBoxes = {
    QStringLiteral("选择框_审核"),       QStringLiteral("选择框_反审"),     QStringLiteral("选择框_变更"),
    QStringLiteral("选择框_修改"),       QStringLiteral("选择框_删除"),     QStringLiteral("选择框_导出"),
    QStringLiteral("选择框_导入"),       QStringLiteral("选择框_供应商录入"), QStringLiteral("选择框_合同录入"),
    QStringLiteral("选择框_基础资料新增"), QStringLiteral("选择框_日志"),     QStringLiteral("选择框_用户管理")};

void flush()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

// Windows a test opened, deleted when the test ends (before its TestEnv).
struct Opened {
    QList<QPointer<QWidget>> windows;
    ~Opened()
    {
        for (const QPointer<QWidget> &w : windows)
            delete w.data();
    }
};

QWidget *openManagement(Opened &opened)
{
    QWidget *w = CreateUserManagementWindow(nullptr);
    opened.windows << w;
    w->show();
    return w;
}

QTreeWidget *userList(QWidget *w) { return w->findChild<QTreeWidget *>(QStringLiteral("超级列表框_用户列表")); }

QStringList listedNames(QWidget *w)
{
    QStringList out;
    QTreeWidget *list = userList(w);
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(0);
    return out;
}

void select(QWidget *w, const QString &name)
{
    QTreeWidget *list = userList(w);
    list->clearSelection();
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == name)
            list->setCurrentItem(list->topLevelItem(i));
}

void click(QWidget *root, const QString &name)
{
    auto *b = root->findChild<QPushButton *>(name);
    QVERIFY2(b, qPrintable(name));
    QVERIFY(b->isEnabled());
    b->click();
}

void menu(QWidget *w, const QString &action)
{
    QMenu *m = w->findChild<QMenu *>(QStringLiteral("菜单"));
    QVERIFY(m);
    for (QAction *a : m->actions())
        if (a->text() == action)
            return a->trigger();
    QFAIL(qPrintable(action));
}

QLineEdit *edit(QWidget *root, const QString &name) { return root->findChild<QLineEdit *>(name); }
QCheckBox *box(QWidget *root, const QString &name) { return root->findChild<QCheckBox *>(name); }
QString labelText(QWidget *root, const QString &name) { return root->findChild<QLabel *>(name)->text(); }

QWidget *sub(QWidget *w, const QString &objectName)
{
    flush();
    return w->findChild<QWidget *>(objectName);
}

// The only box shown since the last call: its text, title and icon.
void expectMessage(const QString &text, MsgIcon icon)
{
    const QList<ShownMessage> shown = MessageSeam::shown();
    QCOMPARE(cgtest::messageTexts(), QStringList{text});
    QCOMPARE(shown.first().title, kTitle);
    QCOMPARE(shown.first().icon, icon);
    MessageSeam::clear();
}

void expectNoMessage() { QCOMPARE(cgtest::messageTexts(), QStringList()); }

QStringList flagsOf(cgtest::TestEnv &env, const QString &user)
{
    return env.rows(QStringLiteral("select 审核,反审,变更,修改,删除,导出,导入,打印,供应商录入,合同录入,"
                                   "基础资料新增,日志,默认用户,用户管理 from yhb where 用户名=?"),
                    {user})
        .value(0);
}

int userCount(cgtest::TestEnv &env) { return env.rows(QStringLiteral("select 用户名 from yhb")).size(); }

QString triple(const QString &status, const QString &text) { return status + u'|' + text + u'|' + kModule; }

} // namespace

class TstUsers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void listShowsUsersAndTheirRights();
    void addUserStoresRightsAndLetsHimLogIn();
    void refusalsWithoutManagementRight();
    void deleteUser();
    void changeRights();
    void passwordOfOwnAccountNeedsOldPassword();
    void managerSetsOtherPasswordsButNotAdmins();
    void looselyMatchedNamesNeverReachTheAdminRow();
};

void TstUsers::listShowsUsersAndTheirRights()
{
    cgtest::TestEnv env;
    Opened opened;
    env.addUser(QStringLiteral("张三"), QStringLiteral("1"), {QStringLiteral("审核"), QStringLiteral("日志")});
    QVERIFY(env.db().execute(QStringLiteral("update yhb set 导出='2' where 用户名='张三'")));
    env.loginAs(QStringLiteral("admin"));

    QWidget *w = openManagement(opened);
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--用户管理"));
    QCOMPARE(userList(w)->headerItem()->text(0), QStringLiteral("用户列表"));
    QCOMPARE(listedNames(w), (QStringList{QStringLiteral("admin"), QStringLiteral("张三")}));
    QCOMPARE(labelText(w, QStringLiteral("标签_审核")), QStringLiteral("审 核："));
    QCOMPARE(labelText(w, QStringLiteral("标签5")), QStringLiteral("无【用户管理】权限的用户只能修改自己的密码。"));

    select(w, QStringLiteral("张三"));
    QCOMPARE(labelText(w, QStringLiteral("标签_审核")), QStringLiteral("审 核：√"));
    QCOMPARE(labelText(w, QStringLiteral("标签_反审")), QStringLiteral("反 审：×"));
    QCOMPARE(labelText(w, QStringLiteral("标签_导出")), QStringLiteral("导 出：×"));   // '2' is not granted
    QCOMPARE(labelText(w, QStringLiteral("标签_日志")), QStringLiteral("系统日志：√"));
    QCOMPARE(labelText(w, QStringLiteral("标签_用户管理")), QStringLiteral("用户管理：×"));
    select(w, QStringLiteral("admin"));
    QCOMPARE(labelText(w, QStringLiteral("标签_用户管理")), QStringLiteral("用户管理：√"));
    QCOMPARE(labelText(w, QStringLiteral("标签_供应商录入")), QStringLiteral("供应商录入：√"));

    // Closing takes the open password window along without an entry of its own.
    click(w, QStringLiteral("按钮_修改密码"));
    QWidget *pw = sub(w, QStringLiteral("密码修改窗口"));
    QVERIFY(pw && pw->isVisible());
    click(w, QStringLiteral("按钮_关闭"));
    flush();
    QVERIFY(!sub(w, QStringLiteral("密码修改窗口")));
    QCOMPARE(env.logTriples(), (QStringList{triple(QStringLiteral("开始"), QStringLiteral("打开用户管理窗口")),
                                            triple(QStringLiteral("开始"), QStringLiteral("打开密码修改窗口")),
                                            triple(QStringLiteral("结束"), QStringLiteral("关闭用户管理窗口"))}));
    expectNoMessage();
}

void TstUsers::addUserStoresRightsAndLetsHimLogIn()
{
    cgtest::TestEnv env;
    Opened opened;
    env.loginAs(QStringLiteral("admin"));
    QWidget *w = openManagement(opened);
    click(w, QStringLiteral("按钮_新增"));
    QWidget *nu = sub(w, QStringLiteral("新增用户窗口"));
    QVERIFY(nu && nu->isVisible());
    QCOMPARE(nu->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--新增用户"));
    QVERIFY(nu->isModal());
    QCOMPARE(labelText(nu, QStringLiteral("标签2")), QStringLiteral("提示：最大密码长度不超过18位"));
    QCOMPARE(edit(nu, QStringLiteral("编辑框_新密码"))->echoMode(), QLineEdit::Password);
    QCOMPARE(edit(nu, QStringLiteral("编辑框_确认密码"))->maxLength(), 18);
    for (const QString &b : kBoxes)
        QVERIFY2(box(nu, b) && !box(nu, b)->isChecked(), qPrintable(b));

    // The inputs are checked in order; a taken name keeps the window open.
    const QString pw = QStringLiteral("密码ab1");
    const struct {
        QString name, password, confirmation, message;
    } refused[] = {{"", "", "", "请输入用户名！"},
                   {"李四", "", "", "请输入新密码！"},
                   {"李四", pw, "", "请输入确认密码！"},
                   {"李四", pw, "x", "两次输入密码不一致！"},
                   {"admin", pw, pw, "admin 已存在，换个名再试！"}};
    for (const auto &r : refused) {
        edit(nu, QStringLiteral("编辑框_用户名"))->setText(r.name);
        edit(nu, QStringLiteral("编辑框_新密码"))->setText(r.password);
        edit(nu, QStringLiteral("编辑框_确认密码"))->setText(r.confirmation);
        click(nu, QStringLiteral("按钮_确定"));
        expectMessage(r.message, MsgIcon::Information);
        QVERIFY(sub(w, QStringLiteral("新增用户窗口")));
    }
    QCOMPARE(userCount(env), 1);

    click(nu, QStringLiteral("按钮_全选"));
    for (const QString &b : kBoxes)
        QVERIFY(box(nu, b)->isChecked());
    box(nu, QStringLiteral("选择框_日志"))->setChecked(false);
    click(nu, QStringLiteral("按钮_反选"));
    for (const QString &b : kBoxes)
        QVERIFY(!box(nu, b)->isChecked());
    box(nu, QStringLiteral("选择框_审核"))->setChecked(true);
    box(nu, QStringLiteral("选择框_用户管理"))->setChecked(true);

    edit(nu, QStringLiteral("编辑框_用户名"))->setText(QStringLiteral("李四"));
    QVERIFY(cgtest::pressReturn(edit(nu, QStringLiteral("编辑框_确认密码"))));   // Enter adds
    expectMessage(QStringLiteral("添加成功"), MsgIcon::Information);
    QVERIFY(!sub(w, QStringLiteral("新增用户窗口")));
    QCOMPARE(listedNames(w), (QStringList{QStringLiteral("admin"), QStringLiteral("李四")}));
    //                                          审核 反审 变更 修改 删除 导出 导入 打印 供应商 合同 基础 日志 默认 用户管理
    QCOMPARE(flagsOf(env, QStringLiteral("李四")),
             (QStringList{"1", "0", "0", "0", "0", "0", "0", "1", "0", "0", "0", "0", "0", "1"}));
    const QString digest = env.rows(QStringLiteral("select 密码 from yhb where 用户名='李四'")).value(0).value(0);
    QCOMPARE(digest, PasswordDigest(pw));
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(digest).hasMatch());
    QVERIFY(VerifyPassword(Ctx().db(), QStringLiteral("李四"), pw));
    QVERIFY(!VerifyPassword(Ctx().db(), QStringLiteral("李四"), QStringLiteral("密码AB1")));
    QCOMPARE(env.logTriples(), (QStringList{triple(QStringLiteral("开始"), QStringLiteral("打开用户管理窗口")),
                                            triple(QStringLiteral("开始"), QStringLiteral("打开新增用户窗口")),
                                            triple(QStringLiteral("操作"), QStringLiteral("成功添加：李四")),
                                            triple(QStringLiteral("结束"), QStringLiteral("关闭新增用户窗口"))}));

    // His gates at his next login: no contract entry, no system log.
    env.loginAs(QStringLiteral("李四"));
    MainWindow main;
    ApplyPermissions();
    QVERIFY(!main.menuAction(QStringLiteral("&T.合同录入"))->isEnabled());
    QVERIFY(!main.menuAction(QStringLiteral("&R.系统日志"))->isEnabled());
    QVERIFY(!main.menuAction(QStringLiteral("&T.帐套管理"))->isVisible());
}

void TstUsers::refusalsWithoutManagementRight()
{
    cgtest::TestEnv env;
    Opened opened;
    env.addUser(QStringLiteral("李四"), QStringLiteral("abc"), {QStringLiteral("审核"), QStringLiteral("删除")});
    env.addUser(QStringLiteral("王五"), QStringLiteral("xyz"), {});
    env.loginAs(QStringLiteral("李四"));
    QWidget *w = openManagement(opened);

    click(w, QStringLiteral("按钮_修改密码"));
    expectMessage(QStringLiteral("请选中需要修改的用户名！"), MsgIcon::Information);
    click(w, QStringLiteral("按钮_新增"));
    expectMessage(QStringLiteral("你没有用户管理权限，无法新增！"), MsgIcon::Error);
    QVERIFY(!sub(w, QStringLiteral("新增用户窗口")));

    select(w, QStringLiteral("admin"));
    menu(w, QStringLiteral("删除用户"));   // refused before the right is asked
    expectMessage(QStringLiteral("不能删除管理员账户！"), MsgIcon::Error);
    menu(w, QStringLiteral("修改权限"));
    expectMessage(QStringLiteral("你无权修改管理员权限！"), MsgIcon::Information);

    select(w, QStringLiteral("李四"));
    menu(w, QStringLiteral("删除用户"));
    expectMessage(QStringLiteral("不能删除自身账户！"), MsgIcon::Error);

    select(w, QStringLiteral("王五"));
    menu(w, QStringLiteral("删除用户"));
    expectMessage(QStringLiteral("你没有用户管理权限，无法删除！"), MsgIcon::Error);
    menu(w, QStringLiteral("修改权限"));
    expectMessage(QStringLiteral("你没有用户管理权限，无法修改！"), MsgIcon::Information);
    click(w, QStringLiteral("按钮_修改密码"));
    expectMessage(QStringLiteral("你无权修改其他用户密码！"), MsgIcon::Information);
    // Below the rows as well as on one: the double-click asks for the selected user.
    QTest::mouseDClick(userList(w)->viewport(), Qt::LeftButton, {},
                       QPoint(10, userList(w)->viewport()->height() - 5));
    expectMessage(QStringLiteral("你无权修改其他用户密码！"), MsgIcon::Information);
    QVERIFY(!sub(w, QStringLiteral("密码修改窗口")));
    QVERIFY(!sub(w, QStringLiteral("权限修改窗口")));

    QCOMPARE(userCount(env), 3);
    QCOMPARE(env.logTriples(), QStringList{triple(QStringLiteral("开始"), QStringLiteral("打开用户管理窗口"))});
}

void TstUsers::deleteUser()
{
    cgtest::TestEnv env;
    Opened opened;
    env.addUser(QStringLiteral("赵六"), QStringLiteral("1"), {QStringLiteral("用户管理")});
    env.addUser(QStringLiteral("王五"), QStringLiteral("2"), {});
    env.loginAs(QStringLiteral("admin"));
    QWidget *w = openManagement(opened);

    select(w, QStringLiteral("admin"));
    menu(w, QStringLiteral("删除用户"));
    expectMessage(QStringLiteral("不能删除管理员账户！"), MsgIcon::Error);

    select(w, QStringLiteral("王五"));
    menu(w, QStringLiteral("删除用户"));   // answered No
    expectMessage(QStringLiteral("删除用户后无法恢复，是否要删除！"), MsgIcon::Question);
    QCOMPARE(userCount(env), 3);

    select(w, QStringLiteral("王五"));
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    menu(w, QStringLiteral("删除用户"));
    QCOMPARE(cgtest::messageTexts(),
             (QStringList{QStringLiteral("删除用户后无法恢复，是否要删除！"), QStringLiteral("成功删除！")}));
    QCOMPARE(MessageSeam::shown().last().icon, MsgIcon::Information);
    MessageSeam::clear();
    QVERIFY(env.rows(QStringLiteral("select 用户名 from yhb where 用户名='王五'")).isEmpty());
    QCOMPARE(listedNames(w), (QStringList{QStringLiteral("admin"), QStringLiteral("赵六")}));
    QVERIFY(env.logTriples().contains(triple(QStringLiteral("操作"), QStringLiteral("成功删除“王五”"))));
    w->close();

    // A manager cannot delete himself either.
    env.loginAs(QStringLiteral("赵六"));
    w = openManagement(opened);
    select(w, QStringLiteral("赵六"));
    menu(w, QStringLiteral("删除用户"));
    expectMessage(QStringLiteral("不能删除自身账户！"), MsgIcon::Error);
    QCOMPARE(userCount(env), 2);
}

void TstUsers::changeRights()
{
    cgtest::TestEnv env;
    Opened opened;
    env.addUser(QStringLiteral("赵六"), QStringLiteral("1"), {QStringLiteral("用户管理")});
    env.addUser(QStringLiteral("王五"), QStringLiteral("2"), {QStringLiteral("审核"), QStringLiteral("默认用户")});
    env.loginAs(QStringLiteral("admin"));
    QWidget *w = openManagement(opened);

    select(w, QStringLiteral("admin"));
    menu(w, QStringLiteral("修改权限"));
    expectMessage(QStringLiteral("不能修改自身权限"), MsgIcon::Information);

    select(w, QStringLiteral("王五"));
    menu(w, QStringLiteral("修改权限"));
    QWidget *rw = sub(w, QStringLiteral("权限修改窗口"));
    QVERIFY(rw && rw->isVisible() && rw->isModal());
    QCOMPARE(rw->windowTitle(), QStringLiteral("用户权限修改"));
    QCOMPARE(edit(rw, QStringLiteral("编辑框_姓名"))->text(), QStringLiteral("王五"));
    QVERIFY(box(rw, QStringLiteral("选择框_审核"))->isChecked());
    QVERIFY(!box(rw, QStringLiteral("选择框_用户管理"))->isChecked());

    box(rw, QStringLiteral("选择框_审核"))->setChecked(false);
    box(rw, QStringLiteral("选择框_用户管理"))->setChecked(true);
    box(rw, QStringLiteral("选择框_合同录入"))->setChecked(true);
    click(rw, QStringLiteral("按钮_确定"));
    expectMessage(QStringLiteral("用户权限修改成功！"), MsgIcon::Information);
    QVERIFY(sub(w, QStringLiteral("权限修改窗口"))->isVisible());   // stays open
    //                                          审核 反审 变更 修改 删除 导出 导入 打印 供应商 合同 基础 日志 默认 用户管理
    QCOMPARE(flagsOf(env, QStringLiteral("王五")),
             (QStringList{"0", "0", "0", "0", "0", "0", "0", "1", "0", "1", "0", "0", "1", "1"}));
    QCOMPARE(labelText(w, QStringLiteral("标签_审核")), QStringLiteral("审 核：×"));
    QCOMPARE(labelText(w, QStringLiteral("标签_用户管理")), QStringLiteral("用户管理：√"));

    // The user vanished meanwhile (another workstation): the update changes nothing.
    QVERIFY(env.db().execute(QStringLiteral("delete from yhb where 用户名='王五'")));
    click(rw, QStringLiteral("按钮_确定"));
    expectMessage(QStringLiteral("用户权限修改失败！"), MsgIcon::Error);
    click(rw, QStringLiteral("按钮_关闭"));
    QCOMPARE(env.logTriples(), (QStringList{triple(QStringLiteral("开始"), QStringLiteral("打开用户管理窗口")),
                                            triple(QStringLiteral("开始"), QStringLiteral("打开权限修改窗口")),
                                            triple(QStringLiteral("操作"), QStringLiteral("用户权限修改成功：王五")),
                                            triple(QStringLiteral("结束"), QStringLiteral("关闭权限修改窗口"))}));
    w->close();

    // A manager other than admin: not admin's rights, not his own.
    env.loginAs(QStringLiteral("赵六"));
    w = openManagement(opened);
    select(w, QStringLiteral("admin"));
    menu(w, QStringLiteral("修改权限"));
    expectMessage(QStringLiteral("你无权修改管理员权限！"), MsgIcon::Information);
    select(w, QStringLiteral("赵六"));
    menu(w, QStringLiteral("修改权限"));
    expectMessage(QStringLiteral("你无法修改自己的权限！"), MsgIcon::Information);
    QVERIFY(!sub(w, QStringLiteral("权限修改窗口")));
}

void TstUsers::passwordOfOwnAccountNeedsOldPassword()
{
    cgtest::TestEnv env;
    Opened opened;
    env.addUser(QStringLiteral("李四"), QStringLiteral("old"), {});
    env.loginAs(QStringLiteral("李四"));
    QWidget *w = openManagement(opened);
    select(w, QStringLiteral("李四"));
    click(w, QStringLiteral("按钮_修改密码"));
    QWidget *pw = sub(w, QStringLiteral("密码修改窗口"));
    QVERIFY(pw && pw->isVisible() && !pw->isModal());
    QCOMPARE(pw->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--密码修改"));
    QCOMPARE(edit(pw, QStringLiteral("编辑框_用户名"))->text(), QStringLiteral("李四"));
    QLineEdit *oldBox = edit(pw, QStringLiteral("编辑框_原密码"));
    QLineEdit *newBox = edit(pw, QStringLiteral("编辑框_新密码"));
    QLineEdit *confirm = edit(pw, QStringLiteral("编辑框_确认密码"));
    QVERIFY(oldBox->isEnabled());
    QCOMPARE(oldBox->maxLength(), 18);
    QCOMPARE(labelText(pw, QStringLiteral("标签7")), QStringLiteral("有【用户管理】权限可不输原密码"));

    newBox->setText(QStringLiteral("new"));
    confirm->setText(QStringLiteral("new"));
    click(pw, QStringLiteral("按钮_确认"));
    expectMessage(QStringLiteral("请输入旧密码！"), MsgIcon::Information);
    oldBox->setText(QStringLiteral("old"));
    confirm->setText(QStringLiteral("neu"));
    click(pw, QStringLiteral("按钮_确认"));
    expectMessage(QStringLiteral("两次输入密码不一致！"), MsgIcon::Information);

    oldBox->setText(QStringLiteral("OLD"));
    confirm->setText(QStringLiteral("new"));
    click(pw, QStringLiteral("按钮_确认"));
    expectMessage(QStringLiteral("旧密码输入错误，不能修改密码！"), MsgIcon::Error);
    QVERIFY(oldBox->text().isEmpty() && newBox->text().isEmpty() && confirm->text().isEmpty());
    QVERIFY(VerifyPassword(Ctx().db(), QStringLiteral("李四"), QStringLiteral("old")));

    oldBox->setText(QStringLiteral("old"));
    newBox->setText(QStringLiteral("新密码"));
    confirm->setText(QStringLiteral("新密码"));
    QVERIFY(cgtest::pressKeypadEnter(edit(pw, QStringLiteral("编辑框_用户名"))));   // Enter in the name box
    expectMessage(QStringLiteral("修改成功"), MsgIcon::Information);
    QVERIFY(!sub(w, QStringLiteral("密码修改窗口")));
    QVERIFY(VerifyPassword(Ctx().db(), QStringLiteral("李四"), QStringLiteral("新密码")));
    QVERIFY(!VerifyPassword(Ctx().db(), QStringLiteral("李四"), QStringLiteral("old")));
    QCOMPARE(env.logTriples(), (QStringList{triple(QStringLiteral("开始"), QStringLiteral("打开用户管理窗口")),
                                            triple(QStringLiteral("开始"), QStringLiteral("打开密码修改窗口")),
                                            triple(QStringLiteral("操作"), QStringLiteral("修改密码成功")),
                                            triple(QStringLiteral("结束"), QStringLiteral("关闭密码修改窗口"))}));
}

void TstUsers::managerSetsOtherPasswordsButNotAdmins()
{
    cgtest::TestEnv env;
    Opened opened;
    env.addUser(QStringLiteral("赵六"), QStringLiteral("mine"), {QStringLiteral("用户管理")});
    env.addUser(QStringLiteral("李四"), QStringLiteral("old"), {});
    const QString adminDigest = PasswordDigest(QStringLiteral("123456"));
    env.loginAs(QStringLiteral("赵六"));
    QWidget *w = openManagement(opened);

    select(w, QStringLiteral("admin"));
    click(w, QStringLiteral("按钮_修改密码"));
    expectMessage(QStringLiteral("你无权修改管理员权限！"), MsgIcon::Information);

    // Another user's password without the old one: the box is disabled.
    select(w, QStringLiteral("李四"));
    click(w, QStringLiteral("按钮_修改密码"));
    QWidget *pw = sub(w, QStringLiteral("密码修改窗口"));
    QVERIFY(!edit(pw, QStringLiteral("编辑框_原密码"))->isEnabled());
    edit(pw, QStringLiteral("编辑框_新密码"))->setText(QStringLiteral("given"));
    edit(pw, QStringLiteral("编辑框_确认密码"))->setText(QStringLiteral("given"));
    click(pw, QStringLiteral("按钮_确认"));
    expectMessage(QStringLiteral("修改成功"), MsgIcon::Information);
    QVERIFY(VerifyPassword(Ctx().db(), QStringLiteral("李四"), QStringLiteral("given")));

    // His own only with the old one; a typed "admin" is refused.
    select(w, QStringLiteral("赵六"));
    click(w, QStringLiteral("按钮_修改密码"));
    pw = sub(w, QStringLiteral("密码修改窗口"));
    QLineEdit *oldBox = edit(pw, QStringLiteral("编辑框_原密码"));
    QVERIFY(oldBox->isEnabled());
    auto fill = [&](const QString &name, const QString &old, const QString &password) {
        edit(pw, QStringLiteral("编辑框_用户名"))->setText(name);
        oldBox->setText(old);
        edit(pw, QStringLiteral("编辑框_新密码"))->setText(password);
        edit(pw, QStringLiteral("编辑框_确认密码"))->setText(password);
        click(pw, QStringLiteral("按钮_确认"));
    };
    fill(QStringLiteral("赵六"), QString(), QStringLiteral("p"));
    expectMessage(QStringLiteral("旧密码输入错误，不能修改密码！"), MsgIcon::Error);
    fill(QStringLiteral("admin"), QString(), QStringLiteral("p"));
    expectMessage(QStringLiteral("不能修改管理员账户"), MsgIcon::Error);
    QCOMPARE(env.rows(QStringLiteral("select 密码 from yhb where 用户名='admin'")).value(0).value(0), adminDigest);
    fill(QString(), QString(), QStringLiteral("p"));
    expectMessage(QStringLiteral("请输入要修改密码的用户名！"), MsgIcon::Information);
    // A name nobody has: nothing changes, the failure is said, the window stays.
    fill(QStringLiteral("无此人"), QString(), QStringLiteral("p"));
    expectMessage(QStringLiteral("修改失败"), MsgIcon::Error);
    QVERIFY(sub(w, QStringLiteral("密码修改窗口"))->isVisible());
    QCOMPARE(userCount(env), 3);
    fill(QStringLiteral("赵六"), QStringLiteral("mine"), QStringLiteral("p"));
    expectMessage(QStringLiteral("修改成功"), MsgIcon::Information);
    QVERIFY(VerifyPassword(Ctx().db(), QStringLiteral("赵六"), QStringLiteral("p")));
    w->close();

    // Only admin sets admin's password, with the old one.
    env.loginAs(QStringLiteral("admin"));
    w = openManagement(opened);
    select(w, QStringLiteral("admin"));
    click(w, QStringLiteral("按钮_修改密码"));
    pw = sub(w, QStringLiteral("密码修改窗口"));
    edit(pw, QStringLiteral("编辑框_原密码"))->setText(QStringLiteral("123456"));
    edit(pw, QStringLiteral("编辑框_新密码"))->setText(QStringLiteral("654321"));
    edit(pw, QStringLiteral("编辑框_确认密码"))->setText(QStringLiteral("654321"));
    click(pw, QStringLiteral("按钮_确认"));
    expectMessage(QStringLiteral("修改成功"), MsgIcon::Information);
    QVERIFY(VerifyPassword(Ctx().db(), QStringLiteral("admin"), QStringLiteral("654321")));
}

namespace {
// Gives yhb.用户名 a collation that, like the server's, ignores letter case
// (NOCASE) or trailing blanks (RTRIM). PostgreSQL has neither; there ICU
// collations do the like: one that ignores case, and one that ignores
// blanks (anywhere, which covers trailing ones).
void collateUserNames(cgtest::TestEnv &env, const char *collation)
{
    DbConnection &db = env.db();
    if (db.backend() == Backend::PostgreSql) {
        const bool caseless = QLatin1String(collation) == QLatin1String("NOCASE");
        QVERIFY(db.execute(QStringLiteral("create collation loose (provider = icu, locale = '%1', deterministic = false)")
                               .arg(caseless ? QStringLiteral("und-u-ks-level2") : QStringLiteral("und-u-ka-shifted"))));
        QVERIFY(db.execute(QStringLiteral("alter table yhb alter column 用户名 type varchar(50) collate loose")));
        return;
    }
    const QString sql = env.rows(QStringLiteral("select sql from sqlite_master where name='yhb'")).value(0).value(0);
    QString loose = sql;
    loose.replace(QStringLiteral("用户名 nvarchar(50)"), QStringLiteral("用户名 nvarchar(50) COLLATE ") + QLatin1String(collation));
    QVERIFY2(loose != sql, qPrintable(sql));
    QVERIFY(db.execute(QStringLiteral("alter table yhb rename to yhb_old")));
    QVERIFY(db.execute(loose));
    QVERIFY(db.execute(QStringLiteral("insert into yhb select * from yhb_old")));
    QVERIFY(db.execute(QStringLiteral("drop table yhb_old")));
}
} // namespace

void TstUsers::looselyMatchedNamesNeverReachTheAdminRow()
{
    for (const char *collation : {"NOCASE", "RTRIM"}) {
        cgtest::TestEnv env;
        env.addUser(QStringLiteral("赵六"), QStringLiteral("mine"), {QStringLiteral("用户管理")});
        env.addUser(QStringLiteral("李四"), QStringLiteral("old"), {});
        collateUserNames(env, collation);
        env.loginAs(QStringLiteral("赵六"));
        const QString look = QStringLiteral("select 用户名,密码,审核,用户管理 from yhb order by 用户名");
        const QList<QStringList> before = env.rows(look);
        const QString typed = QLatin1String(collation) == QLatin1String("NOCASE") ? QStringLiteral("Admin")
                                                                                 : QStringLiteral("admin ");
        // The server finds the admin row for the typed name...
        QCOMPARE(env.rows(QStringLiteral("select count(*) from yhb where 用户名=?"), {typed}).value(0).value(0),
                 QStringLiteral("1"));
        // ...but no write goes through with it.
        Users users(env.db(), QStringLiteral("赵六"));
        Refusal r;
        QCOMPARE(users.changePassword({typed, QString(), QStringLiteral("taken"), QStringLiteral("taken")}, &r),
                 Users::PasswordOutcome::Failed);
        QVERIFY(!users.setRights(typed, {QStringLiteral("用户管理")}));
        QVERIFY(!users.remove(typed));
        QCOMPARE(env.rows(look), before);
        QVERIFY(VerifyPassword(env.db(), QStringLiteral("admin"), QStringLiteral("123456")));
        QVERIFY(!VerifyPassword(env.db(), typed, QStringLiteral("123456")));
        // A loose variant of an existing name is an existing user.
        QCOMPARE(users.add(typed, QStringLiteral("x"), {}), Users::AddOutcome::Exists);
        // The exact names still work.
        QCOMPARE(users.changePassword({QStringLiteral("李四"), QString(), QStringLiteral("n"), QStringLiteral("n")}, &r),
                 Users::PasswordOutcome::Changed);
        QVERIFY(VerifyPassword(env.db(), QStringLiteral("李四"), QStringLiteral("n")));
        QCOMPARE(env.rows(QStringLiteral("select count(*) from yhb")).value(0).value(0), QStringLiteral("3"));
    }
}

QTEST_MAIN(TstUsers)
#include "tst_users.moc"
