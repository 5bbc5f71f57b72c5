#include "app/Login.h"
#include "ui/Seams.h"
#include "data/Context.h"
#include "data/Schema.h"
#include "masterdata/AccountSetWindow.h"
#include "masterdata/AccountSets.h"
#include "support/TestEnv.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

using namespace cg;

namespace {

const QString kTitle = QStringLiteral("系统提示");

// The window as the administrator sees it, opened on a fixed date.
struct Fixture {
    cgtest::TestEnv env;
    QString current;   // the set logged in to
    QPointer<QWidget> w;

    explicit Fixture(const QString &prefix = QString())
    {
        Clock::setFixed(QDateTime(QDate(2031, 3, 9), QTime(10, 0)));
        current = env.rows(QStringLiteral("select 账套名 from ztb")).value(0).value(0);
        if (!prefix.isEmpty())
            QVERIFY(env.db().execute(QStringLiteral("update ztb set 合同编号=?"), {prefix}));
        env.loginAs(QStringLiteral("admin"));
    }
    void open()
    {
        w = CreateAccountSetWindow(nullptr);
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->show();
    }
    template <typename T> T *get(const QString &name)
    {
        T *c = w->findChild<T *>(name);
        if (!c)
            qFatal("control %s missing", qPrintable(name));
        return c;
    }
    void click(const QString &button) { get<QPushButton>(button)->click(); }
    QTableWidget *grid() { return get<QTableWidget>(QStringLiteral("高级表格_账套")); }
    QLabel *hint() { return get<QLabel>(QStringLiteral("标签_提示")); }
    int page() { return get<QTabWidget>(QStringLiteral("高级选择夹1"))->currentIndex(); }
    void type(const QString &box, const QString &text) { get<QLineEdit>(box)->setText(text); }
    QString text(const QString &box) { return get<QLineEdit>(box)->text(); }
    QStringList names()
    {
        QStringList out;
        for (int r = 0; r < grid()->rowCount(); ++r)
            out << grid()->item(r, 0)->text();
        return out;
    }
    void select(const QString &name)
    {
        const int r = names().indexOf(name);
        QVERIFY2(r >= 0, qPrintable(name));
        grid()->setCurrentCell(r, 0);
    }
    void addSet(const QString &name, const QString &table, const QString &department = QString(),
                const QString &remark = QString())
    {
        QVERIFY(env.db().execute(QStringLiteral("insert into ztb(账套名,隶属部门,备注,引用合同表,合同编号,日志数,默认启动,账套年份) "
                                                "values(?,?,?,?,'KQLM',50000,'False','2030')"),
                                 {name, department, remark, table}));
    }
    // Log triples written after the window opened.
    QStringList actions()
    {
        QStringList all = env.logTriples();
        const int at = all.indexOf(QStringLiteral("开始|打开账套管理窗口|账套管理"));
        return at < 0 ? all : all.mid(at + 1);
    }
    QList<QStringList> ztb() { return env.rows(QStringLiteral("select * from ztb")); }
};

QColor colour(QLabel *l) { return l->palette().color(QPalette::WindowText); }

void expectBox(int index, const QString &text, MsgIcon icon)
{
    const auto &shown = MessageSeam::shown();
    QVERIFY2(index < shown.size(), qPrintable(QStringLiteral("no box %1: %2").arg(index).arg(text)));
    QCOMPARE(shown[index].text, text);
    QCOMPARE(shown[index].title, kTitle);
    QCOMPARE(int(shown[index].icon), int(icon));
}

} // namespace

class TstAccountSets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void opensWithListAndClosesOnce();
    void addsSetThatCanBeLoggedInTo();
    void newTableIsFreeAndMadeWithItsRow();
    void modifiesNameDepartmentAndRemark();
    void renameToExistingNameIsRefused();
    void currentSetIsProtectedAndSelectionRequired();
    void deletesSetAndItsTable();
    void databaseFailuresAreReported();
    void dropsOnlyUnusedPlainTables();
};

void TstAccountSets::opensWithListAndClosesOnce()
{
    Fixture f;
    f.addSet(QStringLiteral("2030年度"), QStringLiteral("htb7"), QStringLiteral("采购部"), QStringLiteral("旧账"));
    f.open();
    QCOMPARE(f.w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--账套管理"));
    QCOMPARE(f.page(), 0);
    QCOMPARE(f.w->height(), 265);
    QCOMPARE(f.hint()->text(), QStringLiteral("推荐一年建一个账套"));

    QTableWidget *g = f.grid();
    const QStringList titles = {QStringLiteral("      账 套 名"), QStringLiteral("  公司(部门)名称"),
                                QStringLiteral("       备 注"), QString()};
    const int widths[] = {110, 113, 120, 136};
    QCOMPARE(g->columnCount(), 4);
    for (int c = 0; c < 4; ++c) {
        QCOMPARE(g->horizontalHeaderItem(c)->text(), titles[c]);
        QCOMPARE(g->columnWidth(c), widths[c]);
    }
    QCOMPARE(f.names(), QStringList({f.current, QStringLiteral("2030年度")}));
    QCOMPARE(g->item(1, 2)->text(), QStringLiteral("旧账"));
    QVERIFY(!(g->item(1, 0)->flags() & Qt::ItemIsEditable));

    QCOMPARE(f.get<QLabel>(QStringLiteral("标签3"))->buddy(), f.get<QLineEdit>(QStringLiteral("编辑框_账套名")));

    // The edit page's close button closes the whole window, logged once.
    f.click(QStringLiteral("按钮_新增"));
    f.click(QStringLiteral("按钮_取消"));
    QTRY_VERIFY(f.w.isNull());
    QCOMPARE(f.env.logTriples().filter(QStringLiteral("账套管理窗口")),
             QStringList({QStringLiteral("开始|打开账套管理窗口|账套管理"),
                          QStringLiteral("结束|关闭账套管理窗口|账套管理")}));
    QVERIFY(MessageSeam::shown().isEmpty());
}

void TstAccountSets::addsSetThatCanBeLoggedInTo()
{
    Fixture f(QStringLiteral("HT"));
    f.open();
    f.click(QStringLiteral("按钮_新增"));
    QCOMPARE(f.page(), 1);
    QCOMPARE(f.w->height(), 217);
    QCOMPARE(f.text(QStringLiteral("编辑框_账套名")), QStringLiteral("2031年度"));
    f.type(QStringLiteral("编辑框_部门"), QStringLiteral("砚禾'澄屿"));
    f.type(QStringLiteral("编辑框_备注"), QStringLiteral("明年"));
    f.click(QStringLiteral("按钮_确定"));

    expectBox(0, QStringLiteral("新增“2031年度”账套成功！"), MsgIcon::Information);
    QCOMPARE(f.page(), 0);
    QCOMPARE(f.w->height(), 265);
    QCOMPARE(f.hint()->text(), QStringLiteral("新增账套成功"));
    QCOMPARE(colour(f.hint()), QColor(0, 128, 0));
    QCOMPARE(f.names(), QStringList({f.current, QStringLiteral("2031年度")}));
    const QStringList row = f.ztb().value(1);
    QCOMPARE(row, QStringList({QStringLiteral("2031年度"), QStringLiteral("砚禾'澄屿"), QStringLiteral("明年"),
                               QStringLiteral("htb2"), QStringLiteral("HT"), QStringLiteral("50000"),
                               QStringLiteral("False"), QStringLiteral("2031")}));
    QCOMPARE(f.actions(), QStringList({QStringLiteral("操作|点击新增账套按钮|账套管理"),
                                       QStringLiteral("操作|账套新建成功，名称：2031年度|账套管理")}));

    // The login window offers it next time, and logging in to it finds its table.
    LoginFlow flow(Ctx().db(), Ctx().login);
    QVERIFY(flow.accountSetNames().contains(QStringLiteral("2031年度")));
    flow.loadAccountSet(QStringLiteral("2031年度"));
    QCOMPARE(Ctx().login.contractTable, QStringLiteral("htb2"));
    QCOMPARE(flow.missingTableMessage(Ctx().login.contractTable), QString());

    // The default name again: refused, naming the set; the edit page stays.
    MessageSeam::clear();
    f.click(QStringLiteral("按钮_新增"));
    f.click(QStringLiteral("按钮_确定"));
    expectBox(0, QStringLiteral("已添加过2031年度账套，名称不能重复！"), MsgIcon::Error);
    QCOMPARE(f.page(), 1);
    QCOMPARE(f.ztb().size(), 2);

    // A name the server takes for the same one (trailing blanks, letter
    // case) is a duplicate too: every statement keyed by it would be ambiguous.
    f.type(QStringLiteral("编辑框_账套名"), QStringLiteral("2031年度 "));
    f.click(QStringLiteral("按钮_确定"));
    expectBox(1, QStringLiteral("已添加过2031年度 账套，名称不能重复！"), MsgIcon::Error);
    QCOMPARE(f.ztb().size(), 2);
    QVERIFY(AccountSets(f.env.db(), QString()).nameTaken(QStringLiteral("2035年度")));
    QVERIFY(f.env.db().execute(QStringLiteral("update ztb set 账套名='Set-A' where 账套名='2035年度'")));
    QVERIFY(AccountSets(f.env.db(), QString()).nameTaken(QStringLiteral("set-a  ")));
    QVERIFY(!AccountSets(f.env.db(), QString()).nameTaken(QStringLiteral("set-a  "), QStringLiteral("Set-A")));
    QVERIFY(!AccountSets(f.env.db(), QString()).nameTaken(QStringLiteral(" set-a")));

    // An empty name is refused in add mode as well.
    f.click(QStringLiteral("按钮_新增"));
    f.type(QStringLiteral("编辑框_账套名"), QString());
    f.click(QStringLiteral("按钮_确定"));
    expectBox(2, QStringLiteral("账套名不可为空，且不可和以前的账套名重复！"), MsgIcon::Information);
    QCOMPARE(f.page(), 1);
    QCOMPARE(f.ztb().size(), 2);
}

void TstAccountSets::newTableIsFreeAndMadeWithItsRow()
{
    Fixture f;
    // A set whose table was lost, a stray table no set refers to, and an
    // index under the next free name (no table, but the name is taken), on
    // which the create statement fails.
    f.addSet(QStringLiteral("2029年度"), QStringLiteral("htb2"));
    QVERIFY(f.env.db().execute(QStringLiteral("create table htb3(id int)")));
    QVERIFY(f.env.db().execute(QStringLiteral("create index htb4 on htb3(id)")));
    f.open();
    f.click(QStringLiteral("按钮_新增"));
    f.type(QStringLiteral("编辑框_部门"), QStringLiteral("采购部"));
    f.click(QStringLiteral("按钮_确定"));
    expectBox(0, QStringLiteral("新增“2031年度”账套失败！"), MsgIcon::Error);
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(f.ztb().size(), 2);
    QCOMPARE(f.page(), 1);
    QCOMPARE(f.text(QStringLiteral("编辑框_部门")), QStringLiteral("采购部"));
    QCOMPARE(f.hint()->text(), QStringLiteral("推荐一年建一个账套"));
    QCOMPARE(f.actions(), QStringList({QStringLiteral("操作|点击新增账套按钮|账套管理")}));

    QVERIFY(f.env.db().execute(QStringLiteral("drop index htb4")));
    f.click(QStringLiteral("按钮_确定"));
    expectBox(1, QStringLiteral("新增“2031年度”账套成功！"), MsgIcon::Information);
    QCOMPARE(f.ztb().value(2).value(3), QStringLiteral("htb4"));
    QVERIFY(f.env.db().tableExists(QStringLiteral("htb4")));
}

void TstAccountSets::modifiesNameDepartmentAndRemark()
{
    Fixture f;
    f.addSet(QStringLiteral("2030年度"), QStringLiteral("htb5"), QStringLiteral("采购部"), QStringLiteral("旧账"));
    f.open();
    f.select(QStringLiteral("2030年度"));
    f.click(QStringLiteral("按钮_修改"));
    QCOMPARE(f.page(), 1);
    QCOMPARE(f.w->height(), 217);
    QCOMPARE(f.text(QStringLiteral("编辑框_账套名")), QStringLiteral("2030年度"));
    QCOMPARE(f.text(QStringLiteral("编辑框_部门")), QStringLiteral("采购部"));
    QCOMPARE(f.text(QStringLiteral("编辑框_备注")), QStringLiteral("旧账"));

    f.type(QStringLiteral("编辑框_账套名"), QStringLiteral("2030年度(归档)"));
    f.type(QStringLiteral("编辑框_部门"), QStringLiteral("设备部"));
    f.type(QStringLiteral("编辑框_备注"), QStringLiteral("已归档"));
    f.click(QStringLiteral("按钮_确定"));
    QVERIFY(MessageSeam::shown().isEmpty());
    QCOMPARE(f.page(), 0);
    QCOMPARE(f.w->height(), 265);
    QCOMPARE(f.hint()->text(), QStringLiteral("账套修改成功"));
    QCOMPARE(colour(f.hint()), QColor(0, 128, 0));
    QCOMPARE(f.names(), QStringList({f.current, QStringLiteral("2030年度(归档)")}));
    QCOMPARE(f.grid()->item(1, 1)->text(), QStringLiteral("设备部"));
    QCOMPARE(f.ztb().value(1).mid(0, 4), QStringList({QStringLiteral("2030年度(归档)"), QStringLiteral("设备部"),
                                                      QStringLiteral("已归档"), QStringLiteral("htb5")}));

    // Same name, another remark: the log names the set on both sides.
    f.select(QStringLiteral("2030年度(归档)"));
    f.click(QStringLiteral("按钮_修改"));
    f.type(QStringLiteral("编辑框_备注"), QStringLiteral("只读"));
    f.click(QStringLiteral("按钮_确定"));
    QCOMPARE(f.ztb().value(1).value(2), QStringLiteral("只读"));
    QCOMPARE(f.actions(),
             QStringList({QStringLiteral("操作|点击修改账套按钮|账套管理"),
                          QStringLiteral("操作|账套修改成功原账套：2030年度--修改为：2030年度(归档)|账套管理"),
                          QStringLiteral("操作|点击修改账套按钮|账套管理"),
                          QStringLiteral("操作|账套修改成功原账套：2030年度(归档)--修改为：2030年度(归档)|账套管理")}));
}

void TstAccountSets::renameToExistingNameIsRefused()
{
    Fixture f;
    f.addSet(QStringLiteral("2029年度"), QStringLiteral("htb4"));
    f.addSet(QStringLiteral("2030年度"), QStringLiteral("htb5"), QStringLiteral("采购部"));
    f.open();
    const auto before = f.ztb();
    for (const QString &taken : {QStringLiteral("2029年度"), f.current}) {
        MessageSeam::clear();
        f.select(QStringLiteral("2030年度"));
        f.click(QStringLiteral("按钮_修改"));
        f.type(QStringLiteral("编辑框_账套名"), taken);
        f.type(QStringLiteral("编辑框_部门"), QStringLiteral("设备部"));
        f.click(QStringLiteral("按钮_确定"));
        expectBox(0, QStringLiteral("已有名为“") + taken + QStringLiteral("”的账套，名称不能重复！"), MsgIcon::Error);
        QCOMPARE(MessageSeam::shown().size(), 1);
        QCOMPARE(f.page(), 1);
        QVERIFY(!f.w.isNull());
        QCOMPARE(f.ztb(), before);
        f.get<QTabWidget>(QStringLiteral("高级选择夹1"))->setCurrentIndex(0);
    }
    QCOMPARE(f.actions(), QStringList({QStringLiteral("操作|点击修改账套按钮|账套管理"),
                                       QStringLiteral("操作|点击修改账套按钮|账套管理")}));
}

void TstAccountSets::currentSetIsProtectedAndSelectionRequired()
{
    Fixture f;
    f.addSet(QStringLiteral("2030年度"), QStringLiteral("htb5"));
    f.open();
    f.grid()->setCurrentCell(-1, -1);
    f.click(QStringLiteral("按钮_修改"));
    f.click(QStringLiteral("按钮_删除"));
    f.select(f.current);
    f.click(QStringLiteral("按钮_修改"));
    f.click(QStringLiteral("按钮_删除"));
    QCOMPARE(MessageSeam::shown().size(), 4);
    expectBox(0, QStringLiteral("未选择需要修改的项目，请重新选择！"), MsgIcon::Information);
    expectBox(1, QStringLiteral("未选择需删除的账套，请重新选择！"), MsgIcon::Information);
    expectBox(2, QStringLiteral("不能修改正在使用的账套！"), MsgIcon::Error);
    expectBox(3, QStringLiteral("不能删除正在使用的账套！"), MsgIcon::Error);
    QCOMPARE(f.page(), 0);
    QCOMPARE(f.ztb().size(), 2);
    QVERIFY(f.env.db().tableExists(QStringLiteral("htb1")));
    QCOMPARE(f.actions(), QStringList());
}

void TstAccountSets::deletesSetAndItsTable()
{
    Fixture f;
    // 2028 and 2029 share one table, as sets of older versions could.
    for (const char *t : {"htb5", "htb6"})
        QVERIFY(f.env.db().execute(Schema::createContractTableSql(QString::fromLatin1(t))));
    f.addSet(QStringLiteral("2030年度"), QStringLiteral("htb5"));
    f.addSet(QStringLiteral("2028年度"), QStringLiteral("htb6"));
    f.addSet(QStringLiteral("2029年度"), QStringLiteral("htb6"));
    f.open();

    // No: nothing happens and nothing is logged.
    f.select(QStringLiteral("2030年度"));
    f.click(QStringLiteral("按钮_删除"));
    expectBox(0, QStringLiteral("删除账套后将不可再恢复，确定要删除“2030年度”账套吗？"), MsgIcon::Question);
    QCOMPARE(f.ztb().size(), 4);
    QCOMPARE(f.actions(), QStringList());

    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    f.click(QStringLiteral("按钮_删除"));
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(f.names(), QStringList({f.current, QStringLiteral("2028年度"), QStringLiteral("2029年度")}));
    QCOMPARE(f.hint()->text(), QStringLiteral("账套删除成功"));
    QCOMPARE(colour(f.hint()), QColor(0, 128, 0));
    QVERIFY(!f.env.db().tableExists(QStringLiteral("htb5")));
    // Coming back to the window from another one resets the hint line.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    QCOMPARE(f.hint()->text(), QStringLiteral("账套删除成功"));
    QApplication::setActiveWindow(f.w);
    QCOMPARE(f.hint()->text(), QStringLiteral("推荐一年建一个账套"));
    QCOMPARE(colour(f.hint()), QColor(0, 0, 0));
    QCOMPARE(f.actions(), QStringList({QStringLiteral("操作|成功删除账套，被删除的账套：2030年度|账套管理")}));

    // A table another set still uses stays.
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    f.select(QStringLiteral("2028年度"));
    f.click(QStringLiteral("按钮_删除"));
    QCOMPARE(f.names(), QStringList({f.current, QStringLiteral("2029年度")}));
    QVERIFY(f.env.db().tableExists(QStringLiteral("htb6")));
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    f.select(QStringLiteral("2029年度"));
    f.click(QStringLiteral("按钮_删除"));
    QVERIFY(!f.env.db().tableExists(QStringLiteral("htb6")));
    QVERIFY(f.env.db().tableExists(QStringLiteral("htb1")));
    QCOMPARE(f.actions().size(), 3);
}

void TstAccountSets::databaseFailuresAreReported()
{
    Fixture f;
    f.addSet(QStringLiteral("2030年度"), QStringLiteral("htb5"));
    QVERIFY(f.env.db().execute(Schema::createContractTableSql(QStringLiteral("htb5"))));
    QVERIFY(f.env.refuse(QStringLiteral("ztb"), QStringLiteral("delete")));
    QVERIFY(f.env.refuse(QStringLiteral("ztb"), QStringLiteral("update")));
    f.open();

    MessageSeam::setNextAnswer(QMessageBox::Yes);
    f.select(QStringLiteral("2030年度"));
    f.click(QStringLiteral("按钮_删除"));
    expectBox(1, QStringLiteral("账套删除失败，请与管理员联系！"), MsgIcon::Error);
    QCOMPARE(f.hint()->text(), QStringLiteral("账套删除失败"));
    QCOMPARE(colour(f.hint()), QColor(255, 0, 0));
    QCOMPARE(f.ztb().size(), 2);
    QVERIFY(f.env.db().tableExists(QStringLiteral("htb5")));
    QCOMPARE(f.actions(), QStringList());

    // A failed modification closes the window.
    MessageSeam::clear();
    f.select(QStringLiteral("2030年度"));
    f.click(QStringLiteral("按钮_修改"));
    QLabel *hint = f.hint();
    f.type(QStringLiteral("编辑框_备注"), QStringLiteral("x"));
    f.click(QStringLiteral("按钮_确定"));
    expectBox(0, QStringLiteral("修改账套信息失败，请重新修改！"), MsgIcon::Error);
    QCOMPARE(hint->text(), QStringLiteral("账套修改失败"));
    QCOMPARE(colour(hint), QColor(255, 0, 0));
    QTRY_VERIFY(f.w.isNull());
    QCOMPARE(f.ztb().value(1).value(2), QString());
    QCOMPARE(f.actions(), QStringList({QStringLiteral("操作|点击修改账套按钮|账套管理"),
                                       QStringLiteral("结束|关闭账套管理窗口|账套管理")}));
}

void TstAccountSets::dropsOnlyUnusedPlainTables()
{
    cgtest::TestEnv env;
    AccountSets sets(env.db(), QStringLiteral("x"));
    QVERIFY(env.db().execute(QStringLiteral("create table htb9(id int)")));
    for (const QString &bad : {QStringLiteral("yhb"), QStringLiteral("RZB"), QStringLiteral("htb9;drop table yhb"),
                               QStringLiteral("htb1"), QStringLiteral("htb404"), QString()})
        QVERIFY2(!sets.dropUnusedContractTable(bad), qPrintable(bad));
    QVERIFY(env.db().tableExists(QStringLiteral("yhb")));
    QVERIFY(env.db().tableExists(QStringLiteral("htb1")));
    QVERIFY(sets.dropUnusedContractTable(QStringLiteral("htb9")));
    QVERIFY(!env.db().tableExists(QStringLiteral("htb9")));
    // Removing a set that is gone is not a success.
    QCOMPARE(int(sets.remove(QStringLiteral("没有的账套"))), int(AccountSets::Outcome::NotFound));
    QCOMPARE(int(sets.modify(QStringLiteral("没有的账套"), QStringLiteral("新"), {}, {})),
             int(AccountSets::Outcome::NotFound));
}

QTEST_MAIN(TstAccountSets)
#include "tst_accountsets.moc"
