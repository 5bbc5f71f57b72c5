// The login window driven through its controls against a real database.
#include "app/Catalog.h"
#include "app/LoginWindow.h"
#include "data/Context.h"
#include "app/MainWindow.h"
#include "contracts/ContractRecord.h"
#include "ui/Shell.h"
#include "data/Permissions.h"
#include "data/Schema.h"
#include "support/TestEnv.h"
#include "support/UserInput.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using namespace cg;

class TstLogin : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { LoginFlow::resetFailedAttempts(); }
    void prepareOffersRememberedUserAndThisYearsSet();
    void threeWrongPasswordsEndTheProcess();
    void successfulLoginFixesContextAndOpensNavigation();
    void inputChecksStopInOrder();
    void setOfAnotherYearWarnsAndStillLogsIn();
    void missingContractTableEndsTheProgram();
    void passwordIsComparedThroughItsDigest();
    void gatesOfAnOrdinaryUser();
    void expiringContractsAreShownAfterLogin();
};

namespace {
struct Fixture {
    cgtest::TestEnv env;
    MainWindow *main = nullptr;
    Fixture()
    {
        RegisterWindows();
        main = new MainWindow;
        main->start();
    }
    LoginWindow *open()
    {
        auto *w = new LoginWindow;
        w->show();
        return w;
    }
};
QComboBox *combo(QWidget *w, const char *name) { return w->findChild<QComboBox *>(QString::fromUtf8(name)); }
QLineEdit *edit(QWidget *w, const char *name) { return w->findChild<QLineEdit *>(QString::fromUtf8(name)); }
void clickLogin(QWidget *w) { w->findChild<QPushButton *>(QStringLiteral("按钮_登录"))->click(); }
QString yearSet() { return QStringLiteral("%1年度").arg(cg::Clock::now().date().year()); }
} // namespace

void TstLogin::prepareOffersRememberedUserAndThisYearsSet()
{
    Fixture f;
    f.env.addUser(QStringLiteral("张三"), QStringLiteral("密码"), {});
    Settings::write(QStringLiteral("登录"), QStringLiteral("默认"), QStringLiteral("张三"));
    LoginWindow *w = f.open();
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--用户登录"));
    QComboBox *user = combo(w, "组合框_用户名");
    QCOMPARE(user->count(), 2);
    QCOMPARE(user->itemText(0), QStringLiteral("admin"));
    QCOMPARE(user->currentText(), QStringLiteral("张三"));
    QCOMPARE(combo(w, "组合框_账套")->currentText(), yearSet());
    QCOMPARE(f.env.setting(QStringLiteral("账套"), QStringLiteral("默认")), yearSet());
    QCOMPARE(QApplication::focusWidget() == edit(w, "编辑框_密码") || !QApplication::focusWidget(), true);
    QCOMPARE(w->findChild<QPushButton *>(QStringLiteral("按钮_取消"))->text(), QStringLiteral("取消(&X)"));
    // Labels name their fields.
    auto *label = w->findChild<QLabel *>(QStringLiteral("标签1"));
    QCOMPARE(label->text(), QStringLiteral("密  码："));
    QCOMPARE(label->buddy(), edit(w, "编辑框_密码"));
}

void TstLogin::threeWrongPasswordsEndTheProcess()
{
    Fixture f;
    LoginWindow *w = f.open();
    QLineEdit *pw = edit(w, "编辑框_密码");
    combo(w, "组合框_用户名")->setEditText(QStringLiteral("admin"));
    for (int i = 0; i < 3; ++i) {
        pw->setText(QStringLiteral("wrong"));
        clickLogin(w);
    }
    const auto &shown = MessageSeam::shown();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[0].text, QStringLiteral("密码错误，你还有2机会"));
    QCOMPARE(shown[0].icon, MsgIcon::Error);
    QCOMPARE(shown[0].title, QStringLiteral("系统提示"));
    QCOMPARE(shown[0].owner, w);
    QCOMPARE(shown[1].text, QStringLiteral("密码错误，你还有1机会"));
    QCOMPARE(shown[2].text, QStringLiteral("密码错误次数超限，你无权进入"));
    QCOMPARE(shown[2].icon, MsgIcon::Information);
    QCOMPARE(ProcessExit::requests().size(), 1);
    QCOMPARE(ProcessExit::requests()[0].code, 0);
    QCOMPARE(ProcessExit::requests()[0].mode, ProcessExit::Mode::Immediate);
    const auto rows = f.env.rows(QStringLiteral("select 用户,操作模块,状态,内容描述 from rzb"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0], (QStringList{QStringLiteral("admin"), QStringLiteral("登录"), QStringLiteral("结束"),
                                   QStringLiteral("密码错误次数超出系统限制次数，被强制结束登录")}));
    QVERIFY(!f.main->isVisible());
}

void TstLogin::successfulLoginFixesContextAndOpensNavigation()
{
    Fixture f;
    LoginWindow *w = f.open();
    combo(w, "组合框_用户名")->setEditText(QStringLiteral("admin"));
    edit(w, "编辑框_密码")->setText(QStringLiteral("123456"));
    // Enter in the user box does nothing (and adds no name); in the
    // password field it logs in.
    const int names = combo(w, "组合框_用户名")->count();
    QVERIFY(cgtest::pressReturn(combo(w, "组合框_用户名")));
    QVERIFY(w->isVisible());
    QCOMPARE(combo(w, "组合框_用户名")->count(), names);
    QCOMPARE(combo(w, "组合框_用户名")->currentText(), QStringLiteral("admin"));
    QVERIFY(cgtest::pressReturn(edit(w, "编辑框_密码")));
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QVERIFY(!w->isVisible());
    const LoginContext &lc = f.env.ctx().login;
    QCOMPARE(lc.userName, QStringLiteral("admin"));
    QCOMPARE(lc.accountSetName, yearSet());
    QCOMPARE(lc.contractTable, QStringLiteral("htb1"));
    QCOMPARE(lc.contractPrefix, QStringLiteral("KQLM"));
    QVERIFY(lc.logCheckArmed);
    QCOMPARE(f.env.setting(QStringLiteral("登录"), QStringLiteral("默认")), QStringLiteral("admin"));
    QVERIFY(f.main->isVisible());
    QCOMPARE(f.main->statusPanelText(1), QStringLiteral("admin"));
    QCOMPARE(f.main->statusPanelText(3), yearSet());
    QCOMPARE(f.main->logTimer()->interval(), 2000);
    QVERIFY(f.main->logTimer()->isActive());
    QWidget *nav = Windows::find(WindowKey::Navigation);
    QVERIFY(nav && nav->isVisible());
    QCOMPARE(f.env.logTriples(), (QStringList{QStringLiteral("开始|打开导航窗口|导航"),
                                              QStringLiteral("操作记录|登录成功，登录账套为：") + yearSet()
                                                  + QStringLiteral("|登录")}));
    // The administrator keeps every entry.
    QVERIFY(f.main->menuAction(QStringLiteral("&T.帐套管理"))->isVisible());
    QVERIFY(f.main->menuAction(QStringLiteral("&T.合同录入"))->isEnabled());
    QVERIFY(!nav->findChild<QToolButton *>(QStringLiteral("按钮_帐套管理"))->isHidden());
    // The first tick of the log timer runs the size check once.
    f.main->checkLogSize();
    QVERIFY(!lc.logCheckArmed);
    QVERIFY(!f.main->logTimer()->isActive());
}

void TstLogin::inputChecksStopInOrder()
{
    Fixture f;
    LoginWindow *w = f.open();
    combo(w, "组合框_用户名")->setEditText(QString());
    clickLogin(w);
    combo(w, "组合框_用户名")->setEditText(QStringLiteral("admin"));
    clickLogin(w);
    QCOMPARE(cgtest::messageTexts(), (QStringList{QStringLiteral("必须输入一个用户名或者选择一个用户名"),
                                                  QStringLiteral("必须输入密码才能登录系统！")}));
    // No set chosen and none remembered: the year message comes first.
    MessageSeam::clear();
    Settings::write(QStringLiteral("账套"), QStringLiteral("默认"), QString());
    edit(w, "编辑框_密码")->setText(QStringLiteral("123456"));
    clickLogin(w);
    QCOMPARE(cgtest::messageTexts(), (QStringList{QStringLiteral("你现在选择的账套不是今年的，你将不能新增合同，其他不影响。"),
                                                  QStringLiteral("请选择账套后再登录系统！")}));
    QCOMPARE(w->remainingAttempts(), 3);
    QVERIFY(w->isVisible());
}

void TstLogin::setOfAnotherYearWarnsAndStillLogsIn()
{
    Fixture f;
    QVERIFY(Schema::createAccountSet(f.env.db(), QStringLiteral("2019"), QString(), QString(), QStringLiteral("htb2"),
                                     QString(), QStringLiteral("2019")));
    LoginWindow *w = f.open();
    QComboBox *set = combo(w, "组合框_账套");
    set->setCurrentIndex(set->findText(QStringLiteral("2019")));
    Q_EMIT set->activated(set->currentIndex());
    QCOMPARE(f.env.setting(QStringLiteral("账套"), QStringLiteral("默认")), QStringLiteral("2019"));
    combo(w, "组合框_用户名")->setEditText(QStringLiteral("admin"));
    edit(w, "编辑框_密码")->setText(QStringLiteral("123456"));
    clickLogin(w);
    QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("你现在选择的账套不是今年的，你将不能新增合同，其他不影响。")});
    QCOMPARE(f.env.ctx().login.accountSetName, QStringLiteral("2019"));
    QCOMPARE(f.env.ctx().login.contractTable, QStringLiteral("htb2"));
    // An empty prefix falls back to KQLM.
    QCOMPARE(f.env.ctx().login.contractPrefix, QStringLiteral("KQLM"));
    QVERIFY(f.main->isVisible());
}

void TstLogin::missingContractTableEndsTheProgram()
{
    Fixture f;
    QVERIFY(f.env.db().execute(QStringLiteral("insert into ztb(账套名,隶属部门,备注,引用合同表,合同编号,日志数,默认启动,账套年份) "
                                              "values(?,'','','htb99','KQLM','50000','False','2026')"),
                               {yearSet() + QStringLiteral("B")}));
    Settings::write(QStringLiteral("账套"), QStringLiteral("默认"), yearSet() + QStringLiteral("B"));
    LoginWindow *w = f.open();
    combo(w, "组合框_用户名")->setEditText(QStringLiteral("admin"));
    edit(w, "编辑框_密码")->setText(QStringLiteral("123456"));
    clickLogin(w);
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(MessageSeam::shown()[0].text, QStringLiteral("合同关联的数据库表不存在，系统无法使用"));
    QCOMPARE(MessageSeam::shown()[0].icon, MsgIcon::Error);
    QCOMPARE(ProcessExit::requests().size(), 1);
    QCOMPARE(ProcessExit::requests()[0].mode, ProcessExit::Mode::Orderly);
    QCOMPARE(f.env.logTriples(), QStringList{QStringLiteral("结束|取消登录操作|登录")});
    QVERIFY(!f.main->isVisible());

    // gysb missing: its own message.
    MessageSeam::clear();
    f.env.reconnect();
    QVERIFY(f.env.db().execute(QStringLiteral("drop table gysb")));
    QCOMPARE(QStringLiteral("供应商关联的数据库表不存在，系统无法使用"), [&] {
        Settings::write(QStringLiteral("账套"), QStringLiteral("默认"), yearSet());
        LoginWindow *w2 = f.open();
        combo(w2, "组合框_用户名")->setEditText(QStringLiteral("admin"));
        edit(w2, "编辑框_密码")->setText(QStringLiteral("123456"));
        clickLogin(w2);
        return cgtest::messageTexts().value(0);
    }());
}

void TstLogin::passwordIsComparedThroughItsDigest()
{
    Fixture f;
    // A row holding the password itself, and one with an uppercase digest.
    QVERIFY(f.env.db().execute(QStringLiteral("insert into yhb(用户名,密码) values('plain','secret')")));
    QVERIFY(f.env.db().execute(QStringLiteral("insert into yhb(用户名,密码) values('upper','E10ADC3949BA59ABBE56E057F20F883E')")));
    f.env.addUser(QStringLiteral("张三"), QStringLiteral("密码"), {});
    LoginWindow *w = f.open();
    combo(w, "组合框_用户名")->setEditText(QStringLiteral("plain"));
    edit(w, "编辑框_密码")->setText(QStringLiteral("secret"));
    clickLogin(w);
    combo(w, "组合框_用户名")->setEditText(QStringLiteral("upper"));
    edit(w, "编辑框_密码")->setText(QStringLiteral("123456"));
    clickLogin(w);
    QCOMPARE(cgtest::messageTexts(), (QStringList{QStringLiteral("密码错误，你还有2机会"),
                                                  QStringLiteral("密码错误，你还有1机会")}));
    QVERIFY(edit(w, "编辑框_密码")->text().isEmpty());
    // A Chinese password, stored as the digest of its GBK bytes.
    combo(w, "组合框_用户名")->setEditText(QStringLiteral("张三"));
    edit(w, "编辑框_密码")->setText(QStringLiteral("密码"));
    clickLogin(w);
    QCOMPARE(f.env.ctx().login.userName, QStringLiteral("张三"));
    QVERIFY(f.main->isVisible());
    QCOMPARE(ProcessExit::requests().size(), 0);
}

void TstLogin::gatesOfAnOrdinaryUser()
{
    Fixture f;
    f.env.addUser(QStringLiteral("clerk"), QStringLiteral("pw"),
                  {QStringLiteral("审核"), QStringLiteral("供应商录入"), QStringLiteral("日志")});
    LoginWindow *w = f.open();
    combo(w, "组合框_用户名")->setEditText(QStringLiteral("clerk"));
    edit(w, "编辑框_密码")->setText(QStringLiteral("pw"));
    clickLogin(w);
    QVERIFY(f.main->isVisible());
    QVERIFY(!f.main->menuAction(QStringLiteral("&T.帐套管理"))->isVisible());
    QVERIFY(!f.main->menuAction(QStringLiteral("&T.合同录入"))->isEnabled());
    QVERIFY(!f.main->menuAction(QStringLiteral("&G.基础资料录入"))->isEnabled());
    QVERIFY(f.main->menuAction(QStringLiteral("&C.供应商录入"))->isEnabled());
    QVERIFY(f.main->menuAction(QStringLiteral("&R.系统日志"))->isEnabled());
    QVERIFY(f.main->menuAction(QStringLiteral("&H.合同查询"))->isEnabled());
    QWidget *nav = Windows::find(WindowKey::Navigation);
    QVERIFY(nav);
    QVERIFY(nav->findChild<QToolButton *>(QStringLiteral("按钮_帐套管理"))->isHidden());
    QVERIFY(!nav->findChild<QToolButton *>(QStringLiteral("按钮_合同录入"))->isEnabled());
    QVERIFY(!nav->findChild<QToolButton *>(QStringLiteral("按钮_基础资料"))->isEnabled());
    QVERIFY(!nav->findChild<QToolButton *>(QStringLiteral("按钮1_基础资料"))->isEnabled());
    QVERIFY(nav->findChild<QToolButton *>(QStringLiteral("按钮_供应商"))->isEnabled());
    // A navigation window opened again later shows the same gates.
    nav->close();
    QTRY_VERIFY(!Windows::find(WindowKey::Navigation));
    f.main->menuAction(QStringLiteral("&D.导航窗口"))->trigger();
    nav = Windows::find(WindowKey::Navigation);
    QVERIFY(nav && nav->findChild<QToolButton *>(QStringLiteral("按钮_帐套管理"))->isHidden());
    QVERIFY(!nav->findChild<QToolButton *>(QStringLiteral("按钮_合同录入"))->isEnabled());
    // The account-set entry refuses anyone but admin.
    MessageSeam::clear();
    f.main->menuAction(QStringLiteral("&T.帐套管理"))->trigger();
    QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("你没有账套修改权限，醒醒吧那是不可能的！")});
    QCOMPARE(MessageSeam::shown()[0].icon, MsgIcon::Error);
}

void TstLogin::expiringContractsAreShownAfterLogin()
{
    Fixture f;
    // One contract runs out in five days; the other in three months.
    QList<ContractRow> rows;
    const QDate today = Clock::now().date();
    for (const auto &[number, expiry] : {std::pair{QStringLiteral("KQLM0001"), today.addDays(5)},
                                         std::pair{QStringLiteral("KQLM0002"), today.addMonths(3)}}) {
        ContractRow r;
        r.state = AuditState::Audited;
        r.number = number;
        r.subNumber = LineSubNumber(number, 1);
        r.requester = QStringLiteral("张三");
        r.department = QStringLiteral("采购部");
        r.buyer = QStringLiteral("李四");
        r.quantity = QStringLiteral("1");
        r.unit = QStringLiteral("台");
        r.paymentTerms = QStringLiteral("现金");
        r.taxRate = QStringLiteral("6%");
        r.first = r.second = r.third = r.fourth = QStringLiteral("0");
        r.supplier = QStringLiteral("华东机电");
        r.product = QStringLiteral("水泵");
        r.documentDate = r.effectiveDate = today.toString(Qt::ISODate);
        r.expiryDate = expiry.toString(Qt::ISODate);
        r.amount = r.remaining = QStringLiteral("100");
        rows << r;
    }
    QVERIFY(ContractStore(f.env.db(), QStringLiteral("htb1"), yearSet()).insertRows(rows));
    LoginWindow *w = f.open();
    combo(w, "组合框_用户名")->setEditText(QStringLiteral("admin"));
    edit(w, "编辑框_密码")->setText(QStringLiteral("123456"));
    clickLogin(w);
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QWidget *reminders = Windows::find(WindowKey::ExpiryReminders);
    QVERIFY(reminders && reminders->isVisible());
    const QAbstractItemModel *list = reminders->findChild<QTableView *>(QStringLiteral("超级列表框_到期提醒"))->model();
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(list->index(0, 0).data().toString(), QStringLiteral("KQLM0001"));
    QCOMPARE(list->index(0, 3).data().toString(), QStringLiteral("5"));
}

QTEST_MAIN(TstLogin)
#include "tst_login.moc"
