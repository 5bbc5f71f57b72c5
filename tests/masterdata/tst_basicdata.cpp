#include "ui/Shell.h"
#include "masterdata/BasicData.h"
#include "masterdata/BasicDataWindow.h"
#include "support/TestEnv.h"
#include "support/UserInput.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

using namespace cg;
using BasicData::Kind;

namespace {

const QString kTitle = QStringLiteral("系统提示");

template <typename T> T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("missing control %s", qPrintable(name));
    return c;
}

QStringList listTexts(QWidget *w)
{
    QStringList out;
    auto *list = child<QTreeWidget>(w, QStringLiteral("超级列表框_基础资料"));
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << list->topLevelItem(i)->text(0);
    return out;
}

QStringList comboTexts(QComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

QString hintText(QWidget *w) { return child<QLabel>(w, QStringLiteral("标签_提示"))->text(); }
QColor hintColour(QWidget *w)
{
    return child<QLabel>(w, QStringLiteral("标签_提示"))->palette().color(QPalette::WindowText);
}
QString countText(QWidget *w) { return child<QLabel>(w, QStringLiteral("标签_统计"))->text(); }

void insertRow(cgtest::TestEnv &env, const QString &column, const QString &value)
{
    QVariantList values;
    for (const auto &k : BasicData::kinds())
        values << (k.column == column ? value : QString(QLatin1String("")));
    QVERIFY(env.db().execute(QStringLiteral("insert into jczlb(申请部门,采购员,计量单位,付款方式,申请人,税率) "
                                            "values(?,?,?,?,?,?)"),
                             values));
}

QWidget *openWindow()
{
    Windows::registerFactory(WindowKey::BasicData, CreateBasicDataWindow);
    return Windows::open(WindowKey::BasicData);
}

// Deletes the window (with its popup menu and combo popups, which are
// top-level widgets of their own) before the test environment goes away.
struct WindowGuard {
    QPointer<QWidget> w;
    ~WindowGuard() { delete w.data(); }
};

void typeAndAdd(QWidget *w, const QString &value, bool viaEnter = false)
{
    auto *edit = child<QLineEdit>(w, QStringLiteral("编辑框_数据"));
    edit->setText(value);
    if (viaEnter)
        QVERIFY(cgtest::pressReturn(edit));
    else
        child<QPushButton>(w, QStringLiteral("按钮_添加"))->click();
}

void chooseKind(QWidget *w, const QString &item)
{
    auto *combo = child<QComboBox>(w, QStringLiteral("组合框_项目"));
    combo->setCurrentIndex(combo->findText(item));
}

void selectRow(QWidget *w, const QString &value)
{
    auto *list = child<QTreeWidget>(w, QStringLiteral("超级列表框_基础资料"));
    const auto found = list->findItems(value, Qt::MatchExactly);
    QVERIFY(!found.isEmpty());
    list->setCurrentItem(found.first());
}

// Right-click in the list, then the menu's only entry.
bool deleteViaMenu(QWidget *w)
{
    auto *list = child<QTreeWidget>(w, QStringLiteral("超级列表框_基础资料"));
    auto *menu = child<QMenu>(w, QStringLiteral("菜单"));
    emit list->customContextMenuRequested(QPoint(10, 10));
    if (!menu->isVisible())
        return false;
    const QList<QAction *> actions = menu->actions();
    if (actions.size() != 1 || actions.first()->text() != QStringLiteral("&D.删 除"))
        return false;
    menu->hide();
    actions.first()->trigger();
    return true;
}

} // namespace

class TstBasicData : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void storageRules();
    void openShowsDepartmentsAndLogs();
    void addThroughButtonAndEnter();
    void taxRateReachesOtherWindowsCombo();
    void comboRefillKeepsTheUsersChoice();
    void deleteThroughContextMenu();
    void failuresAreReportedInRed();
    void refreshOfAnotherKindLeavesTheShownList();
};

void TstBasicData::storageRules()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    // Only the fixed items name a column; 采购人员 is stored in 采购员.
    QCOMPARE(BasicData::kindByItem(QStringLiteral("采购人员"))->column, QStringLiteral("采购员"));
    QVERIFY(!BasicData::kindByItem(QStringLiteral("采购员")));
    QVERIFY(!BasicData::kindByItem(QStringLiteral("税率 from yhb --")));

    QCOMPARE(BasicData::add(db, Kind::Buyer, QStringLiteral("O'Brien")), BasicData::AddResult::Added);
    QCOMPARE(BasicData::add(db, Kind::Buyer, QStringLiteral("O'Brien")), BasicData::AddResult::Exists);
    QCOMPARE(BasicData::add(db, Kind::PaymentTerms, QStringLiteral("O'Brien")), BasicData::AddResult::Added);
    QCOMPARE(BasicData::add(db, Kind::TaxRate, QString()), BasicData::AddResult::Empty);
    // With other kinds present the list query also yields the empty text.
    bool ok = false;
    QStringList buyers = BasicData::query(db, Kind::Buyer, &ok);
    QVERIFY(ok);
    buyers.sort();
    QCOMPARE(buyers, QStringList({"", "O'Brien"}));

    // Deleting removes every row of that kind holding the value, no other.
    insertRow(env, QStringLiteral("采购员"), QStringLiteral("O'Brien"));
    QVERIFY(BasicData::remove(db, Kind::Buyer, QStringLiteral("O'Brien")));
    QCOMPARE(env.rows(QStringLiteral("select 采购员,付款方式 from jczlb")), QList<QStringList>({{"", "O'Brien"}}));
}

void TstBasicData::openShowsDepartmentsAndLogs()
{
    cgtest::TestEnv env;
    env.addUser(QStringLiteral("李娜"), QStringLiteral("pw"), {QStringLiteral("基础资料新增")});
    env.loginAs(QStringLiteral("李娜"));
    insertRow(env, QStringLiteral("申请部门"), QStringLiteral("采购部"));
    insertRow(env, QStringLiteral("申请部门"), QStringLiteral("工程部"));
    insertRow(env, QStringLiteral("采购员"), QStringLiteral("王强"));
    insertRow(env, QStringLiteral("税率"), QStringLiteral("9%"));

    QWidget *w = openWindow();
    WindowGuard guard{w};
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--基础资料"));
    auto *combo = child<QComboBox>(w, QStringLiteral("组合框_项目"));
    QCOMPARE(comboTexts(combo), QStringList({"申请部门", "采购人员", "计量单位", "付款方式", "申请人", "税率"}));
    QCOMPARE(combo->currentText(), QStringLiteral("申请部门"));
    auto *caption = child<QLabel>(w, QStringLiteral("标签3"));
    QCOMPARE(caption->text(), QStringLiteral("选择项目："));
    QCOMPARE(caption->buddy(), combo);
    QCOMPARE(child<QPushButton>(w, QStringLiteral("按钮_添加"))->text(), QStringLiteral("&S.添加"));
    auto *list = child<QTreeWidget>(w, QStringLiteral("超级列表框_基础资料"));
    QCOMPARE(list->columnCount(), 1);
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("内                        容"));
    QCOMPARE(list->columnWidth(0), 345);
    QCOMPARE(hintText(w), QStringLiteral(" 提示：点击鼠标右键可删除操作"));

    // Departments only, without the empty text of the other kinds' rows.
    QCOMPARE(listTexts(w), QStringList({"采购部", "工程部"}));
    QCOMPARE(countText(w), QStringLiteral(" 共计：2行"));
    QCOMPARE(env.logTriples(), QStringList({"开始|打开基础资料窗口|基础资料"}));

    chooseKind(w, QStringLiteral("采购人员"));
    QCOMPARE(listTexts(w), QStringList({"王强"}));
    QCOMPARE(countText(w), QStringLiteral(" 共计：1行"));
    chooseKind(w, QStringLiteral("计量单位"));
    QCOMPARE(listTexts(w), QStringList());
    QCOMPARE(countText(w), QStringLiteral(" 共计：0行"));

    w->close();
    QCOMPARE(env.logTriples(), QStringList({"开始|打开基础资料窗口|基础资料", "操作|选择 采购人员|基础资料",
                                            "操作|选择 计量单位|基础资料", "结束|关闭基础资料窗口|基础资料"}));
    QCOMPARE(env.rows(QStringLiteral("select distinct 用户 from rzb")), QList<QStringList>({{"李娜"}}));
    QVERIFY(cgtest::messageTexts().isEmpty());
}

void TstBasicData::addThroughButtonAndEnter()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    QWidget *w = openWindow();
    WindowGuard guard{w};
    chooseKind(w, QStringLiteral("采购人员"));
    auto *edit = child<QLineEdit>(w, QStringLiteral("编辑框_数据"));
    const int logBefore = env.logTriples().size();

    // Empty input: nothing at all happens.
    typeAndAdd(w, QString());
    QCOMPARE(env.logTriples().size(), logBefore);
    QCOMPARE(hintText(w), QStringLiteral(" 提示：点击鼠标右键可删除操作"));

    typeAndAdd(w, QStringLiteral("张伟"));
    QCOMPARE(hintText(w), QStringLiteral("添加成功！"));
    QCOMPARE(hintColour(w), QColor(0, 128, 0));
    QCOMPARE(edit->text(), QString());
    QCOMPARE(listTexts(w), QStringList({"张伟"}));
    QCOMPARE(countText(w), QStringLiteral(" 共计：1行"));
    QCOMPARE(env.rows(QStringLiteral("select 申请部门,采购员,计量单位,付款方式,申请人,税率 from jczlb")),
             QList<QStringList>({{"", "张伟", "", "", "", ""}}));

    // Enter in the edit box does the same as the button.
    typeAndAdd(w, QStringLiteral("赵敏"), true);
    QCOMPARE(listTexts(w), QStringList({"张伟", "赵敏"}));
    QCOMPARE(countText(w), QStringLiteral(" 共计：2行"));
    QCOMPARE(edit->text(), QString());

    // A duplicate: information box, input emptied, nothing written.
    typeAndAdd(w, QStringLiteral("张伟"));
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(MessageSeam::shown().first().text, QStringLiteral("数据已经存在了，无需重复添加！"));
    QCOMPARE(MessageSeam::shown().first().title, kTitle);
    QCOMPARE(MessageSeam::shown().first().icon, MsgIcon::Information);
    QCOMPARE(edit->text(), QString());
    QCOMPARE(env.rows(QStringLiteral("select count(*) from jczlb")).value(0).value(0), QStringLiteral("2"));

    // The tax rate item stores in its own column, after the five others.
    chooseKind(w, QStringLiteral("税率"));
    typeAndAdd(w, QStringLiteral("张伟"));
    QCOMPARE(listTexts(w), QStringList({"张伟"}));
    QCOMPARE(env.rows(QStringLiteral("select 采购员,税率 from jczlb where 税率<>''")),
             QList<QStringList>({{"", "张伟"}}));

    QStringList log = env.logTriples().mid(logBefore);
    QCOMPARE(log, QStringList({"操作|成功添加采购人员，添加的内容：张伟|基础资料",
                               "操作|成功添加采购人员，添加的内容：赵敏|基础资料", "操作|选择 税率|基础资料",
                               "操作|成功添加税率，添加的内容：张伟|基础资料"}));
}

void TstBasicData::taxRateReachesOtherWindowsCombo()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    insertRow(env, QStringLiteral("付款方式"), QStringLiteral("月结30天"));

    // Stands in for the tax-rate and payment combos of an entry window.
    QWidget other;
    auto *rates = new QComboBox(&other);
    auto *terms = new QComboBox(&other);
    BasicData::bindCombo(rates, Kind::TaxRate);
    BasicData::bindCombo(terms, Kind::PaymentTerms);
    QCOMPARE(comboTexts(rates), QStringList({""}));

    QWidget *w = openWindow();
    WindowGuard guard{w};
    chooseKind(w, QStringLiteral("税率"));
    typeAndAdd(w, QStringLiteral("13%"));

    QStringList offered = comboTexts(rates);
    QCOMPARE(offered.count(QString()), 1);
    offered.sort();
    QCOMPARE(offered, QStringList({"", "13%"}));
    QCOMPARE(listTexts(w), QStringList({"13%"}));
    QCOMPARE(countText(w), QStringLiteral(" 共计：1行"));

    // The same text as payment terms reaches the payment combo only.
    chooseKind(w, QStringLiteral("付款方式"));
    typeAndAdd(w, QStringLiteral("13%"));
    QStringList termTexts = comboTexts(terms);
    termTexts.sort();
    QCOMPARE(termTexts, QStringList({"", "13%", "月结30天"}));
    QCOMPARE(comboTexts(rates).size(), 2);
    QStringList shown = listTexts(w);
    shown.sort();
    QCOMPARE(shown, QStringList({"13%", "月结30天"}));

    // A closed window is no target any more; the basic data window still is.
    QCOMPARE(ListTargets::count(ListTargets::TaxRate), 2);
    delete rates;
    BasicData::refresh(Kind::TaxRate);
    QCOMPARE(ListTargets::count(ListTargets::TaxRate), 1);
}

void TstBasicData::comboRefillKeepsTheUsersChoice()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    insertRow(env, QStringLiteral("税率"), QStringLiteral("13%"));
    insertRow(env, QStringLiteral("税率"), QStringLiteral("9%"));
    QWidget other;
    auto *department = new QComboBox(&other);
    department->setEditable(true);
    auto *rate = new QComboBox(&other);
    BasicData::bindCombo(department, Kind::Department);
    BasicData::bindCombo(rate, Kind::TaxRate);
    QCOMPARE(rate->currentIndex(), -1);   // nothing chosen for the user
    department->setEditText(QStringLiteral("新部"));
    rate->setCurrentIndex(rate->findText(QStringLiteral("9%")));

    BasicData::refreshAll();
    QCOMPARE(department->currentText(), QStringLiteral("新部"));
    QCOMPARE(rate->currentText(), QStringLiteral("9%"));
    // A choice that is gone leaves the combo with nothing chosen.
    QVERIFY(BasicData::remove(env.db(), Kind::TaxRate, QStringLiteral("9%")));
    BasicData::refresh(Kind::TaxRate);
    QCOMPARE(rate->currentIndex(), -1);
}

void TstBasicData::deleteThroughContextMenu()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    insertRow(env, QStringLiteral("申请部门"), QStringLiteral("采购部"));
    insertRow(env, QStringLiteral("申请部门"), QStringLiteral("采购部"));   // a second row, same value
    insertRow(env, QStringLiteral("申请部门"), QStringLiteral("财务部"));
    insertRow(env, QStringLiteral("申请人"), QStringLiteral("采购部"));

    QWidget other;
    auto *departments = new QComboBox(&other);
    BasicData::bindCombo(departments, Kind::Department);

    QWidget *w = openWindow();
    WindowGuard guard{w};
    QCOMPARE(listTexts(w), QStringList({"采购部", "财务部"}));

    // Without a selected row the menu does not open.
    QVERIFY(!deleteViaMenu(w));
    QVERIFY(env.logTriples().size() == 1);

    selectRow(w, QStringLiteral("采购部"));
    QVERIFY(deleteViaMenu(w));
    QCOMPARE(hintText(w), QStringLiteral("删除成功！"));
    QCOMPARE(hintColour(w), QColor(0, 128, 0));
    QCOMPARE(listTexts(w), QStringList({"财务部"}));
    QCOMPARE(countText(w), QStringLiteral(" 共计：1行"));
    QCOMPARE(env.rows(QStringLiteral("select count(*) from jczlb where 申请部门='采购部'")).value(0).value(0),
             QStringLiteral("0"));
    QCOMPARE(env.rows(QStringLiteral("select count(*) from jczlb where 申请人='采购部'")).value(0).value(0),
             QStringLiteral("1"));
    QCOMPARE(env.logTriples().last(), QStringLiteral("操作|成功删除：采购部|基础资料"));
    // The other windows stop offering it at once.
    QVERIFY(!comboTexts(departments).contains(QStringLiteral("采购部")));
    QVERIFY(comboTexts(departments).contains(QStringLiteral("财务部")));
    QVERIFY(MessageSeam::shown().isEmpty());
}

void TstBasicData::failuresAreReportedInRed()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    insertRow(env, QStringLiteral("计量单位"), QStringLiteral("台"));
    QVERIFY(env.refuse(QStringLiteral("jczlb"), QStringLiteral("insert")));
    QVERIFY(env.refuse(QStringLiteral("jczlb"), QStringLiteral("delete")));

    QWidget *w = openWindow();
    WindowGuard guard{w};
    chooseKind(w, QStringLiteral("计量单位"));
    const int logBefore = env.logTriples().size();

    typeAndAdd(w, QStringLiteral("套"));
    QCOMPARE(hintText(w), QStringLiteral("添加失败！"));
    QCOMPARE(hintColour(w), QColor(255, 0, 0));
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(MessageSeam::shown().first().text, QStringLiteral("添加失败！"));
    QCOMPARE(MessageSeam::shown().first().title, kTitle);
    QCOMPARE(MessageSeam::shown().first().icon, MsgIcon::Error);
    QCOMPARE(child<QLineEdit>(w, QStringLiteral("编辑框_数据"))->text(), QString());
    QCOMPARE(listTexts(w), QStringList({"台"}));

    selectRow(w, QStringLiteral("台"));
    QVERIFY(deleteViaMenu(w));
    QCOMPARE(hintText(w), QStringLiteral("删除失败！"));
    QCOMPARE(hintColour(w), QColor(255, 0, 0));
    QCOMPARE(MessageSeam::shown().size(), 2);
    QCOMPARE(MessageSeam::shown().last().text, QStringLiteral("删除失败！"));
    QCOMPARE(MessageSeam::shown().last().icon, MsgIcon::Error);
    QCOMPARE(listTexts(w), QStringList({"台"}));
    QCOMPARE(countText(w), QStringLiteral(" 共计：1行"));
    QCOMPARE(env.logTriples().size(), logBefore);
}

void TstBasicData::refreshOfAnotherKindLeavesTheShownList()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    insertRow(env, QStringLiteral("申请部门"), QStringLiteral("采购部"));
    insertRow(env, QStringLiteral("申请部门"), QStringLiteral("13%"));
    insertRow(env, QStringLiteral("税率"), QStringLiteral("13%"));
    insertRow(env, QStringLiteral("付款方式"), QStringLiteral("现金"));

    QWidget *w = openWindow();
    WindowGuard guard{w};
    QCOMPARE(listTexts(w), QStringList({"采购部", "13%"}));

    // What a supplier entry window does when it opens.
    BasicData::refresh(Kind::TaxRate);
    BasicData::refresh(Kind::PaymentTerms);
    QCOMPARE(child<QComboBox>(w, QStringLiteral("组合框_项目"))->currentText(), QStringLiteral("申请部门"));
    QCOMPARE(listTexts(w), QStringList({"采购部", "13%"}));

    // A delete still acts on the kind the window shows.
    selectRow(w, QStringLiteral("13%"));
    QVERIFY(deleteViaMenu(w));
    QCOMPARE(env.rows(QStringLiteral("select count(*) from jczlb where 申请部门='13%'")).value(0).value(0),
             QStringLiteral("0"));
    QCOMPARE(env.rows(QStringLiteral("select count(*) from jczlb where 税率='13%'")).value(0).value(0),
             QStringLiteral("1"));
}

QTEST_MAIN(TstBasicData)
#include "tst_basicdata.moc"
