// The contract entry window against a real database: what a save stores,
// logs and shows, and what a refused or failed save leaves behind.
#include "app/NavigationWindow.h"
#include "contracts/ContractChangeWindow.h"
#include "contracts/ContractEntryWindow.h"
#include "contracts/ContractQueryWindow.h"
#include "masterdata/BasicData.h"
#include "suppliers/SupplierNames.h"
#include "support/PdfFiles.h"
#include "support/TestEnv.h"
#include "support/UserInput.h"

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

using namespace cg;
using BasicData::Kind;

namespace {

const QString kTitle = QStringLiteral("系统提示");

template <typename T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromUtf8(name));
    if (!c)
        qFatal("missing control %s", name);
    return c;
}
QComboBox *box(QWidget *w, const char *name) { return child<QComboBox>(w, name); }
QLineEdit *edit(QWidget *w, const char *name) { return child<QLineEdit>(w, name); }
QTableWidget *grid(QWidget *w) { return child<QTableWidget>(w, "高级表格_产品"); }
void clickSave(QWidget *w) { child<QPushButton>(w, "按钮_保存")->click(); }

QStringList items(QComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

QStringList listRow(QWidget *w, int row)
{
    QTreeWidgetItem *item = child<QTreeWidget>(w, "超级列表框_合同录入")->topLevelItem(row);
    QStringList out;
    for (int c = 0; item && c < item->columnCount(); ++c)
        out << item->text(c);
    return out;
}

// Right-click on a grid line, then the menu entry with that text.
void gridMenu(QWidget *w, int row, const QString &entry)
{
    QTableWidget *g = grid(w);
    auto *menu = child<QMenu>(w, "菜单");
    emit g->customContextMenuRequested(g->visualRect(g->model()->index(row, 0)).center());
    QVERIFY(menu->isVisible());
    menu->hide();
    QCOMPARE(g->currentRow(), row);
    for (QAction *a : menu->actions())
        if (a->text() == entry)
            return a->trigger();
    QFAIL(qPrintable(QStringLiteral("no menu entry ") + entry));
}

void setCell(QWidget *w, int row, int column, const QString &text)
{
    grid(w)->setItem(row, column, new QTableWidgetItem(text));
}

QStringList gridTexts(QWidget *w)
{
    QStringList out;
    QTableWidget *g = grid(w);
    for (int r = 0; r < g->rowCount(); ++r)
        for (int c = 0; c < 3; ++c)
            out << (g->item(r, c) ? g->item(r, c)->text() : QString());
    return out;
}

// A PDF that loads, of exactly size bytes.
QString writePdf(cgtest::TestEnv &env, const QString &name, qint64 size)
{
    const QByteArray bytes = cgtest::pdfOfSize(size);
    const QString path = env.folder() + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != size)
        return {};
    return path;
}

struct Entry {
    cgtest::TestEnv env;
    QPointer<QWidget> w;
    int year = cgtest::kFixedNow.date().year();

    Entry()
    {
        // Mid-March of the account set's year.
        Clock::setFixed(QDateTime(QDate(year, 3, 5), QTime(9, 5, 3)));
        env.loginAs(QStringLiteral("admin"));
        DbConnection &db = env.db();
        for (const auto &[kind, value] : std::initializer_list<std::pair<Kind, const char *>>{
                 {Kind::Department, "采购部"}, {Kind::Department, "行政部"}, {Kind::Buyer, "李四"},
                 {Kind::Buyer, "王五"},       {Kind::Unit, "个"},           {Kind::Unit, "台"},
                 {Kind::PaymentTerms, "现金"}, {Kind::PaymentTerms, "月结30天"}, {Kind::Requester, "张三"},
                 {Kind::TaxRate, "6%"},        {Kind::TaxRate, "13%"}})
            QCOMPARE(BasicData::add(db, kind, QString::fromUtf8(value)), BasicData::AddResult::Added);
        for (const auto &[name, rate, terms] : {std::tuple{"华东机电有限公司", "13%", "月结30天"},
                                                std::tuple{"北方五金", "6%", "现金"}})
            QVERIFY(db.execute(QStringLiteral("insert into gysb(单据状态,名称,税率,付款方式) values('已审核',?,?,?)"),
                               {QString::fromUtf8(name), QString::fromUtf8(rate), QString::fromUtf8(terms)}));
        Windows::registerFactory(WindowKey::ContractEntry, CreateContractEntryWindow);
        w = Windows::open(WindowKey::ContractEntry);
    }
    ~Entry() { delete w.data(); }

    // A complete form with the given product lines (added through the menu).
    void fill(const QStringList &products)
    {
        box(w, "组合框_供应商")->setEditText(QStringLiteral("华东机电有限公司"));
        box(w, "组合框_申请人")->setEditText(QStringLiteral("张三"));
        box(w, "组合框_申请部门")->setEditText(QStringLiteral("采购部"));
        box(w, "组合框_采购员")->setEditText(QStringLiteral("李四"));
        child<QDateEdit>(w, "日期框_生效日期")->setDate(QDate(year, 3, 10));
        child<QDateEdit>(w, "日期框_失效日期")->setDate(QDate(year, 12, 31));
        edit(w, "编辑框_合同总金额")->setText(QStringLiteral("10000"));
        edit(w, "编辑框_第一次付款")->setText(QStringLiteral("3000"));
        edit(w, "编辑框_第三次付款")->setText(QStringLiteral("2000.5"));
        for (int i = 0; i < products.size(); ++i) {
            if (i >= grid(w)->rowCount())
                gridMenu(w, i - 1, QStringLiteral("&N.增加一行"));
            setCell(w, i, 0, products[i]);
            setCell(w, i, 1, QString::number(i + 1));
            setCell(w, i, 2, i % 2 ? QStringLiteral("台") : QStringLiteral("个"));
        }
    }

    void attach(const QString &path)
    {
        FileDialogs::setNextPath(path);
        child<QPushButton>(w, "按钮_附件")->click();
    }

    const PendingAttachment &pending() { return static_cast<ContractEntryWindow *>(w.data())->pendingAttachment(); }

    int contractRows() { return env.rows(QStringLiteral("select count(*) from htb1")).value(0).value(0).toInt(); }
    QStringList actionLog()
    {
        QStringList out;
        for (const QString &t : env.logTriples())
            if (t.startsWith(QStringLiteral("操作|合同录入成功")))
                out << t;
        return out;
    }
    ShownMessage onlyMessage()
    {
        const QList<ShownMessage> shown = MessageSeam::shown();
        MessageSeam::clear();
        if (shown.size() != 1)
            qWarning() << "messages:" << cgtest::messageTexts();
        return shown.value(0, ShownMessage{QString(), QString(), MsgIcon::Question, nullptr});
    }
};

} // namespace

class TstContractEntry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void openPreparesTheForm();
    void saveStoresLogsAndListsEveryLine();
    void paidInFullStoresZero();
    void checksStopAtTheFirstEmptyValue();
    void datesAndYearRule();
    void failedSaveStoresNothingAndKeepsTheForm_data();
    void failedSaveStoresNothingAndKeepsTheForm();
    void numberTakenMeanwhile();
    void attachmentChoice();
    void productGridMenu();
    void enterInLookupBoxes_data();
    void enterInLookupBoxes();
    void enterElsewhereDoesNothing();
    void lookupsLeaveTheModifyWindowAlone();
    void listsFollowChanges();
    void closeLogsAndCounterSurvives();
};

void TstContractEntry::openPreparesTheForm()
{
    Entry e;
    QVERIFY(e.w);
    QCOMPARE(e.w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--合同录入"));
    QCOMPARE(e.env.logTriples(), QStringList{QStringLiteral("开始|打开合同录入窗口|合同录入")});
    QCOMPARE(edit(e.w, "编辑框_合同编号")->text(), QStringLiteral("KQLM0001"));
    QCOMPARE(edit(e.w, "编辑框_制单日期")->text(), QStringLiteral("%1-03-05").arg(e.year));
    QCOMPARE(edit(e.w, "编辑框_剩余尾款")->text(), QStringLiteral("0"));
    QCOMPARE(grid(e.w)->rowCount(), 1);
    QCOMPARE(child<QLabel>(e.w, "标签_统计")->text(), QStringLiteral(" 共录入：0份合同"));
    // Lists as stored; basic data combos keep the empty item of the other kinds.
    QCOMPARE(items(box(e.w, "组合框_供应商")), (QStringList{"华东机电有限公司", "北方五金"}));
    QStringList rates = items(box(e.w, "组合框_税率"));
    rates.sort();
    QCOMPARE(rates, (QStringList{"", "13%", "6%"}));
}

void TstContractEntry::saveStoresLogsAndListsEveryLine()
{
    Entry e;
    const int before = ContractEntryWindow::savedCount();
    e.fill({QStringLiteral("螺丝"), QStringLiteral("电机"), QStringLiteral("轴承")});
    // Picking the supplier brought its terms along.
    QCOMPARE(box(e.w, "组合框_税率")->currentText(), QStringLiteral("13%"));
    QCOMPARE(box(e.w, "组合框_付款方式")->currentText(), QStringLiteral("月结30天"));
    QCOMPARE(edit(e.w, "编辑框_剩余尾款")->text(), QStringLiteral("4999.5"));
    const QString pdf = writePdf(e.env, QStringLiteral("合同.pdf"), 2048);
    e.attach(pdf);
    QStringList statements;
    e.env.db().setStatementObserver([&statements](const QString &sql) { statements << sql; });
    clickSave(e.w);
    e.env.db().setStatementObserver({});
    // The log rows are written inside the save's unit: a save is never
    // committed without them, and none waits for the write lock afterwards.
    const auto isLogRow = [](const QString &sql) { return sql.startsWith(QStringLiteral("insert into rzb")); };
    const qsizetype commit = statements.indexOf(QStringLiteral("COMMIT"));
    QVERIFY2(commit > 0, qPrintable(statements.join(u'\n')));
    QCOMPARE(std::count_if(statements.begin(), statements.begin() + commit, isLogRow), 3);
    QCOMPARE(std::count_if(statements.begin() + commit, statements.end(), isLogRow), 0);

    const ShownMessage m = e.onlyMessage();
    QCOMPARE(m.text, QStringLiteral("添加成功！"));
    QCOMPARE(m.title, kTitle);
    QCOMPARE(m.icon, MsgIcon::Information);

    const QString y = QString::number(e.year);
    const QString header = QStringLiteral("华东机电有限公司|");
    QCOMPARE(e.env.rows(QStringLiteral("select 单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,"
                                       "计量单位,制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,"
                                       "第三次付款,第四次付款,剩余尾款,税率,length(附件) from htb1 order by id")),
             (QList<QStringList>{
                 {"已审核", "KQLM0001", "KQLM000152", "张三", "采购部", "李四", "华东机电有限公司", "螺丝", "1", "个",
                  y + "-03-05", y + "-03-10", y + "-12-31", "10000", "月结30天", "3000", "0", "2000.5", "0", "4999.5",
                  "13%", "2048"},
                 {"已审核", "KQLM0001", "KQLM000154", "张三", "采购部", "李四", "华东机电有限公司", "电机", "2", "台",
                  y + "-03-05", y + "-03-10", y + "-12-31", "10000", "月结30天", "3000", "0", "2000.5", "0", "4999.5",
                  "13%", ""},
                 {"已审核", "KQLM0001", "KQLM000156", "张三", "采购部", "李四", "华东机电有限公司", "轴承", "3", "个",
                  y + "-03-05", y + "-03-10", y + "-12-31", "10000", "月结30天", "3000", "0", "2000.5", "0", "4999.5",
                  "13%", ""}}));
    QCOMPARE(e.env.rows(QStringLiteral("select 附件 from htb1 order by id")).value(0).value(0).size(), 2048);

    const QString tail = QStringLiteral("|%1-03-05|%1-03-10|%1-12-31|10000|月结30天|3000|0|2000.5|0|4999.5|13%|合同录入|有PDF电子档")
                             .arg(e.year);
    QCOMPARE(e.actionLog(),
             (QStringList{"操作|合同录入成功：KQLM0001|张三|采购部|李四|华东机电有限公司|螺丝|1|个" + tail,
                          "操作|合同录入成功：KQLM0001|张三|采购部|李四|华东机电有限公司|电机|2|台" + tail,
                          "操作|合同录入成功：KQLM0001|张三|采购部|李四|华东机电有限公司|轴承|3|个" + tail}));

    // The list shows the header once, on the contract's first line.
    QCOMPARE(listRow(e.w, 0),
             (QStringList{"已审核", "KQLM0001", "KQLM000152", "张三", "采购部", "李四", "华东机电有限公司", "螺丝", "1",
                          "个", y + "-03-05", y + "-03-10", y + "-12-31", "10000", "月结30天", "3000", "0", "2000.5",
                          "0", "4999.5", "13%", "有附件"}));
    QStringList second(22);
    second[7] = QStringLiteral("电机");
    second[8] = QStringLiteral("2");
    second[9] = QStringLiteral("台");
    QCOMPARE(listRow(e.w, 1), second);
    QCOMPARE(child<QTreeWidget>(e.w, "超级列表框_合同录入")->topLevelItemCount(), 3);

    auto *count = child<QLabel>(e.w, "标签_统计");
    QCOMPARE(count->text(), QStringLiteral("共录入：%1 份合同").arg(before + 1));
    QCOMPARE(count->palette().color(QPalette::WindowText), QColor(0, 128, 0));

    // The form is ready for the next contract.
    QCOMPARE(edit(e.w, "编辑框_合同编号")->text(), QStringLiteral("KQLM0002"));
    QCOMPARE(gridTexts(e.w), (QStringList{"", "", ""}));
    QCOMPARE(box(e.w, "组合框_供应商")->currentText(), QString());
    QCOMPARE(box(e.w, "组合框_申请人")->currentText(), QString());
    QCOMPARE(box(e.w, "组合框_付款方式")->currentText(), box(e.w, "组合框_付款方式")->itemText(0));
    QCOMPARE(edit(e.w, "编辑框_合同总金额")->text(), QStringLiteral("0"));
    QCOMPARE(edit(e.w, "编辑框_剩余尾款")->text(), QStringLiteral("0"));
    QCOMPARE(edit(e.w, "编辑框_制单日期")->text(), QStringLiteral("%1-03-05").arg(e.year));
    QVERIFY(e.pending().isEmpty());

    // A second contract without attachment is logged as such.
    e.fill({QStringLiteral("垫片")});
    clickSave(e.w);
    QCOMPARE(e.onlyMessage().text, QStringLiteral("添加成功！"));
    QVERIFY(e.actionLog().last().endsWith(QStringLiteral("|合同录入|无PDF电子档")));
    QCOMPARE(listRow(e.w, 3).value(1), QStringLiteral("KQLM0002"));
    QCOMPARE(listRow(e.w, 3).value(21), QString());
}

void TstContractEntry::checksStopAtTheFirstEmptyValue()
{
    Entry e;
    for (const char *name : {"组合框_付款方式", "组合框_税率", "组合框_申请部门", "组合框_采购员"})
        box(e.w, name)->setEditText(QString());
    edit(e.w, "编辑框_合同编号")->clear();
    edit(e.w, "编辑框_制单日期")->clear();
    edit(e.w, "编辑框_合同总金额")->clear();

    // Each save names the first value still empty; then it is filled in.
    const std::pair<const char *, const char *> order[] = {
        {"编辑框_合同编号", "合同编号不能为空！"}, {"组合框_供应商", "供应商不能为空！"},
        {"编辑框_制单日期", "制单日期不能为空！"}, {"组合框_申请人", "申请人不能为空！"},
        {"组合框_申请部门", "申请部门不能为空！"}, {"组合框_采购员", "采购员不能为空！"},
        {"编辑框_合同总金额", "合同总金额不能为空！"}, {"组合框_付款方式", "付款方式不能为空！"},
        {"组合框_税率", "税率不能为空！"}};
    for (const auto &[name, message] : order) {
        clickSave(e.w);
        const ShownMessage m = e.onlyMessage();
        QCOMPARE(m.text, QString::fromUtf8(message));
        QCOMPARE(m.icon, MsgIcon::Information);
        // Blanks count as content.
        if (auto *c = e.w->findChild<QComboBox *>(QString::fromUtf8(name)))
            c->setEditText(QStringLiteral(" "));
        else
            edit(e.w, name)->setText(QStringLiteral(" "));
    }
    ::gridMenu(e.w, 0, QStringLiteral("&N.增加一行"));
    setCell(e.w, 0, 0, QStringLiteral("螺丝"));
    setCell(e.w, 0, 1, QStringLiteral("1"));
    setCell(e.w, 0, 2, QStringLiteral("个"));
    for (const auto &[column, message] : {std::pair{0, "购买产品不能为空！"}, std::pair{1, "产品数量不能为空！"},
                                          std::pair{2, "计量单位不能为空！"}}) {
        clickSave(e.w);
        QCOMPARE(e.onlyMessage().text, QString::fromUtf8(message));
        setCell(e.w, 1, column, QStringLiteral("x"));
    }
    QCOMPARE(e.contractRows(), 0);
    QVERIFY(e.actionLog().isEmpty());
    clickSave(e.w);
    QCOMPARE(e.onlyMessage().text, QStringLiteral("添加成功！"));
    QCOMPARE(e.env.rows(QStringLiteral("select 合同编号,申请人 from htb1")),
             (QList<QStringList>{{" ", " "}, {" ", " "}}));
}

// A contract paid in full as typed: the balance is exact, stored and logged as 0.
void TstContractEntry::paidInFullStoresZero()
{
    Entry e;
    e.fill({QStringLiteral("螺丝")});
    e.w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(e.w));
    const auto typeInto = [&](const char *name, const QString &text) {
        QLineEdit *field = edit(e.w, name);
        field->setFocus();
        QCOMPARE(QApplication::focusWidget(), field);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        for (const QChar ch : text)
            QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
        QCOMPARE(field->text(), text);
    };
    typeInto("编辑框_合同总金额", QStringLiteral("29709.06"));
    typeInto("编辑框_第一次付款", QStringLiteral("11937.08"));
    typeInto("编辑框_第二次付款", QStringLiteral("17771.98"));
    typeInto("编辑框_第三次付款", QStringLiteral("0"));
    QCOMPARE(edit(e.w, "编辑框_剩余尾款")->text(), QStringLiteral("0"));
    typeInto("编辑框_第四次付款", QStringLiteral("0.01"));
    QCOMPARE(edit(e.w, "编辑框_剩余尾款")->text(), QStringLiteral("-0.01"));
    typeInto("编辑框_第四次付款", QStringLiteral("0"));
    clickSave(e.w);
    QCOMPARE(e.onlyMessage().text, QStringLiteral("添加成功！"));
    QCOMPARE(e.env.rows(QStringLiteral("select 合同金额,第一次付款,第二次付款,剩余尾款 from htb1")),
             (QList<QStringList>{{"29709.06", "11937.08", "17771.98", "0"}}));
    QCOMPARE(e.actionLog().size(), 1);
    QVERIFY2(e.actionLog().at(0).contains(QStringLiteral("|29709.06|月结30天|11937.08|17771.98|0|0|0|13%|")),
             qPrintable(e.actionLog().at(0)));
}

void TstContractEntry::datesAndYearRule()
{
    Entry e;
    e.fill({QStringLiteral("螺丝")});
    auto *effective = child<QDateEdit>(e.w, "日期框_生效日期");
    auto *expiry = child<QDateEdit>(e.w, "日期框_失效日期");
    effective->setDate(QDate(e.year, 6, 2));
    expiry->setDate(QDate(e.year, 6, 1));
    clickSave(e.w);
    ShownMessage m = e.onlyMessage();
    QCOMPARE(m.text, QStringLiteral("失效日期不可小于生效日期，请重新设定！"));
    QCOMPARE(m.icon, MsgIcon::Information);
    QCOMPARE(expiry->date(), QDate(e.year, 3, 5));
    QCOMPARE(e.contractRows(), 0);

    // Next year the set is no longer this year's.
    Clock::setFixed(QDateTime(QDate(e.year + 1, 1, 2), QTime(8, 0)));
    effective->setDate(QDate(e.year, 6, 1));
    expiry->setDate(QDate(e.year, 6, 1));
    clickSave(e.w);
    m = e.onlyMessage();
    QCOMPARE(m.text, QStringLiteral("你选择的账套不是今年的，不能新增合同。"));
    QCOMPARE(m.icon, MsgIcon::Error);
    QCOMPARE(e.contractRows(), 0);

    // Equal dates are accepted.
    Clock::setFixed(QDateTime(QDate(e.year, 3, 5), QTime(9, 0)));
    clickSave(e.w);
    QCOMPARE(e.onlyMessage().text, QStringLiteral("添加成功！"));
    QCOMPARE(e.env.rows(QStringLiteral("select 生效日期,失效日期 from htb1")),
             (QList<QStringList>{{QStringLiteral("%1-06-01").arg(e.year), QStringLiteral("%1-06-01").arg(e.year)}}));
}

void TstContractEntry::failedSaveStoresNothingAndKeepsTheForm_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::newRow("second line refused")
        << "create trigger refuse before insert on htb1 when new.产品='坏零件' begin select raise(abort,'no'); end";
    QTest::newRow("attachment refused")
        << "create trigger refuse before update of 附件 on htb1 begin select raise(abort,'no'); end";
    QTest::newRow("column gone") << "alter table htb1 drop column 剩余尾款";
    QTest::newRow("log row refused")
        << "create trigger refuse before insert on rzb when new.内容描述 like '合同录入成功：%' "
           "begin select raise(abort,'no'); end";
}

void TstContractEntry::failedSaveStoresNothingAndKeepsTheForm()
{
    QFETCH(QString, trigger);
    Entry e;
    const int saved = ContractEntryWindow::savedCount();
    e.fill({QStringLiteral("螺丝"), QStringLiteral("坏零件")});
    e.attach(writePdf(e.env, QStringLiteral("a.pdf"), 1000));
    QVERIFY(e.env.db().execute(trigger));
    const QStringList cells = gridTexts(e.w);
    const QStringList logBefore = e.env.logTriples();

    clickSave(e.w);
    const ShownMessage m = e.onlyMessage();
    QCOMPARE(m.text, QStringLiteral("添加失败！"));
    QCOMPARE(m.icon, MsgIcon::Error);
    QCOMPARE(e.contractRows(), 0);
    QCOMPARE(e.env.logTriples(), logBefore);
    QCOMPARE(edit(e.w, "编辑框_合同编号")->text(), QStringLiteral("KQLM0001"));
    QCOMPARE(box(e.w, "组合框_供应商")->currentText(), QStringLiteral("华东机电有限公司"));
    QCOMPARE(gridTexts(e.w), cells);
    QCOMPARE(e.pending().bytes().size(), 1000);
    QCOMPARE(child<QTreeWidget>(e.w, "超级列表框_合同录入")->topLevelItemCount(), 0);
    QCOMPARE(ContractEntryWindow::savedCount(), saved);
}

void TstContractEntry::numberTakenMeanwhile()
{
    Entry e;
    // Another workstation stores a number first.
    auto storeElsewhere = [&e](const QString &number) {
        QVERIFY(e.env.db().execute(QStringLiteral("insert into htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,"
                                                  "供应商,产品,设备数量,计量单位,制单日期,生效日期,失效日期,合同金额,"
                                                  "付款方式,税率) values('已审核',?,?,'甲','乙','丙','丁','戊','1','个',"
                                                  "'2024-01-01','2024-01-01','2024-01-01','1','现金','6%')"),
                                   {number, number + QStringLiteral("52")}));
    };

    // The proposal the clerk left alone goes on to the next free number,
    // and the clerk is told which.
    e.fill({QStringLiteral("螺丝"), QStringLiteral("电机")});
    QCOMPARE(edit(e.w, "编辑框_合同编号")->text(), QStringLiteral("KQLM0001"));
    storeElsewhere(QStringLiteral("KQLM0001"));
    clickSave(e.w);
    ShownMessage m = e.onlyMessage();
    QCOMPARE(m.text, QStringLiteral("添加成功！\n合同编号 KQLM0001 已被其他工作站使用，本合同的编号为 KQLM0002。"));
    QCOMPARE(m.icon, MsgIcon::Information);
    QCOMPARE(e.env.rows(QStringLiteral("select 合同编号,合同子编号,产品 from htb1 where 申请人='张三' order by id")),
             (QList<QStringList>{{QStringLiteral("KQLM0002"), QStringLiteral("KQLM000252"), QStringLiteral("螺丝")},
                                 {QStringLiteral("KQLM0002"), QStringLiteral("KQLM000254"), QStringLiteral("电机")}}));
    QCOMPARE(e.env.rows(QStringLiteral("select count(*) from rzb where 内容描述 like ?"),
                        {QStringLiteral("合同录入成功：KQLM0002|张三|%")}),
             (QList<QStringList>{{QStringLiteral("2")}}));
    const auto *list = child<QTreeWidget>(e.w, "超级列表框_合同录入");
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("KQLM0002"));
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("KQLM000252"));
    QCOMPARE(edit(e.w, "编辑框_合同编号")->text(), QStringLiteral("KQLM0003"));

    // A number typed by hand is the clerk's: taken meanwhile, it is
    // refused and nothing is stored, also when it is the proposed one.
    for (const QString &typed : {QStringLiteral("KQLM0007"), QStringLiteral("KQLM0003")}) {
        e.fill({QStringLiteral("轴承")});
        QVERIFY(cgtest::typeText(edit(e.w, "编辑框_合同编号"), typed));
        storeElsewhere(typed);
        const int rowsBefore = e.contractRows();
        const QStringList logBefore = e.env.logTriples();
        clickSave(e.w);
        m = e.onlyMessage();
        QCOMPARE(m.text, QStringLiteral("合同编号重复，添加失败"));
        QCOMPARE(m.icon, MsgIcon::Error);
        QCOMPARE(e.contractRows(), rowsBefore);
        QCOMPARE(e.env.logTriples(), logBefore);
        QCOMPARE(edit(e.w, "编辑框_合同编号")->text(), typed);
    }
}

void TstContractEntry::attachmentChoice()
{
    Entry e;
    const QString over = writePdf(e.env, QStringLiteral("over.pdf"), kMaxAttachmentBytes + 1);
    e.attach(over);
    ShownMessage m = e.onlyMessage();
    QCOMPARE(m.text, QStringLiteral("添加的PDF文件不能超过5MB，请将文件转换后再试！"));
    QCOMPARE(m.icon, MsgIcon::Error);
    QVERIFY(e.pending().isEmpty());

    e.attach(writePdf(e.env, QStringLiteral("first.pdf"), 2000));
    QCOMPARE(e.pending().bytes().size(), 2000);
    // A chosen file is replaced only after a Yes, and not by one too large.
    e.attach(writePdf(e.env, QStringLiteral("second.pdf"), 1000));
    QCOMPARE(e.onlyMessage().text, QStringLiteral("你已经添加过电子档了，是否要修改！"));
    QCOMPARE(FileDialogs::captions().size(), 2);
    QCOMPARE(e.pending().bytes().size(), 2000);
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    child<QPushButton>(e.w, "按钮_附件")->click();
    QCOMPARE(e.pending().bytes().size(), 1000);
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    e.attach(over);
    QCOMPARE(e.pending().bytes().size(), 1000);
}

void TstContractEntry::productGridMenu()
{
    Entry e;
    setCell(e.w, 0, 0, QStringLiteral("第一行"));
    // The only line cannot be deleted.
    ::gridMenu(e.w, 0, QStringLiteral("&D.删除选中"));
    QCOMPARE(gridTexts(e.w), (QStringList{"第一行", "", ""}));
    ::gridMenu(e.w, 0, QStringLiteral("&N.增加一行"));
    ::gridMenu(e.w, 1, QStringLiteral("&N.增加一行"));
    setCell(e.w, 1, 0, QStringLiteral("第二行"));
    QCOMPARE(grid(e.w)->rowCount(), 3);
    ::gridMenu(e.w, 0, QStringLiteral("&D.删除选中"));
    QCOMPARE(gridTexts(e.w), (QStringList{"第二行", "", "", "", "", ""}));
}

void TstContractEntry::enterInLookupBoxes_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("logged");
    QTest::newRow("supplier, Return") << "组合框_供应商" << false << "五金" << "北方五金" << "操作|查询供应商名称|合同录入";
    QTest::newRow("supplier, keypad") << "组合框_供应商" << true << "机电" << "华东机电有限公司"
                                      << "操作|查询供应商名称|合同录入";
    QTest::newRow("buyer, keypad") << "组合框_采购员" << true << "五" << "王五" << "操作|查询采购员|合同录入";
    QTest::newRow("department, Return") << "组合框_申请部门" << false << "政" << "行政部" << "操作|查询申请部门|合同录入";
    QTest::newRow("requester, Return") << "组合框_申请人" << false << "三" << "张三" << "操作|查询申请人|合同录入";
    // No match clears the choice.
    QTest::newRow("no match") << "组合框_申请部门" << false << "不存在" << "" << "操作|查询申请部门|合同录入";
}

void TstContractEntry::enterInLookupBoxes()
{
    QFETCH(QString, control);
    QFETCH(bool, keypad);
    QFETCH(QString, typed);
    QFETCH(QString, chosen);
    QFETCH(QString, logged);
    Entry e;
    const int logRows = e.env.logTriples().size();
    QComboBox *c = box(e.w, control.toUtf8().constData());
    const QStringList before = items(c);
    QVERIFY(cgtest::typeText(c, typed));
    QCOMPARE(c->currentText(), typed);
    // Typing alone looks nothing up.
    QCOMPARE(e.env.logTriples().size(), logRows);
    QVERIFY(keypad ? cgtest::pressKeypadEnter(c) : cgtest::pressReturn(c));
    QCOMPARE(c->currentText(), chosen);
    QCOMPARE(e.env.logTriples().mid(logRows), QStringList{logged});
    // Enter adds nothing to the list and presses no button.
    QCOMPARE(items(c), before);
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QCOMPARE(e.contractRows(), 0);
    // The supplier brings its tax rate and payment terms.
    if (control == QStringLiteral("组合框_供应商")) {
        const bool north = chosen == QStringLiteral("北方五金");
        QCOMPARE(box(e.w, "组合框_税率")->currentText(), north ? QStringLiteral("6%") : QStringLiteral("13%"));
        QCOMPARE(box(e.w, "组合框_付款方式")->currentText(), north ? QStringLiteral("现金") : QStringLiteral("月结30天"));
    }
}

void TstContractEntry::enterElsewhereDoesNothing()
{
    Entry e;
    box(e.w, "组合框_供应商")->setEditText(QStringLiteral("五金"));
    const QStringList before = e.env.logTriples();
    const QStringList terms = items(box(e.w, "组合框_付款方式"));
    for (const char *name : {"编辑框_合同编号", "编辑框_制单日期", "日期框_生效日期", "日期框_失效日期", "组合框_付款方式",
                             "组合框_税率", "编辑框_合同总金额", "编辑框_第一次付款", "高级表格_产品"}) {
        QVERIFY2(cgtest::pressReturn(child<QWidget>(e.w, name)), name);
        QVERIFY2(cgtest::pressKeypadEnter(child<QWidget>(e.w, name)), name);
    }
    // No lookup, no save (which would ask for the empty fields), no item.
    QCOMPARE(e.env.logTriples(), before);
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QCOMPARE(e.contractRows(), 0);
    QCOMPARE(items(box(e.w, "组合框_付款方式")), terms);
    QCOMPARE(box(e.w, "组合框_供应商")->currentText(), QStringLiteral("五金"));
}

void TstContractEntry::lookupsLeaveTheModifyWindowAlone()
{
    // A lookup typed in the entry window never changes a contract being
    // modified in the modify window at the same time.
    Entry e;
    e.fill({QStringLiteral("泵")});
    clickSave(e.w);
    QCOMPARE(e.contractRows(), 1);
    QVERIFY(e.env.db().execute(QStringLiteral("update htb1 set 单据状态='未审核'")));
    Windows::registerFactory(WindowKey::ContractQuery, CreateContractQueryWindow);
    QPointer<ContractQueryWindow> query = qobject_cast<ContractQueryWindow *>(Windows::open(WindowKey::ContractQuery));
    QVERIFY(query);
    query->filter();
    QCOMPARE(query->model()->rowCount(), 1);
    query->list()->selectRow(0);
    query->openModify();
    QPointer<ContractChangeWindow> modify = query->changeWindow();
    QVERIFY(modify);

    QVERIFY(cgtest::typeText(box(e.w, "组合框_供应商"), QStringLiteral("五金")));
    QVERIFY(cgtest::pressReturn(box(e.w, "组合框_供应商")));
    QVERIFY(cgtest::typeText(box(e.w, "组合框_采购员"), QStringLiteral("五")));
    QVERIFY(cgtest::pressReturn(box(e.w, "组合框_采购员")));
    QCOMPARE(box(e.w, "组合框_供应商")->currentText(), QStringLiteral("北方五金"));
    QCOMPARE(box(e.w, "组合框_采购员")->currentText(), QStringLiteral("王五"));
    QCOMPARE(box(modify, "组合框_供应商")->currentText(), QStringLiteral("华东机电有限公司"));
    QCOMPARE(box(modify, "组合框_采购员")->currentText(), QStringLiteral("李四"));
    delete modify.data();
    delete query.data();
}

void TstContractEntry::listsFollowChanges()
{
    Entry e;
    QComboBox *supplier = box(e.w, "组合框_供应商");

    // New basic data and suppliers reach the open window; the typed text stays.
    supplier->setEditText(QStringLiteral("手输"));
    QCOMPARE(BasicData::add(e.env.db(), Kind::TaxRate, QStringLiteral("9%")), BasicData::AddResult::Added);
    BasicData::refresh(Kind::TaxRate);
    QVERIFY(items(box(e.w, "组合框_税率")).contains(QStringLiteral("9%")));
    QCOMPARE(BasicData::add(e.env.db(), Kind::Unit, QStringLiteral("套")), BasicData::AddResult::Added);
    BasicData::refresh(Kind::Unit);
    QTableWidget *g = grid(e.w);
    std::unique_ptr<QWidget> editor(g->itemDelegateForColumn(2)->createEditor(g->viewport(), {}, g->model()->index(0, 2)));
    QVERIFY(items(qobject_cast<QComboBox *>(editor.get())).contains(QStringLiteral("套")));
    QVERIFY(e.env.db().execute(QStringLiteral("insert into gysb(名称) values('新供应商')")));
    SupplierNames::refresh();
    QCOMPARE(items(supplier), (QStringList{"华东机电有限公司", "北方五金", "新供应商"}));
    QCOMPARE(supplier->currentText(), QStringLiteral("手输"));
}

void TstContractEntry::closeLogsAndCounterSurvives()
{
    Entry e;
    Windows::registerFactory(WindowKey::Navigation, [](QWidget *owner) { return new NavigationWindow(owner); });
    QWidget *navigation = Windows::open(WindowKey::Navigation);
    e.fill({QStringLiteral("螺丝")});
    e.attach(writePdf(e.env, QStringLiteral("a.pdf"), 640));
    clickSave(e.w);
    const int count = ContractEntryWindow::savedCount();
    e.attach(writePdf(e.env, QStringLiteral("b.pdf"), 640));
    const int logged = e.env.logTriples().size();
    child<QPushButton>(e.w, "按钮_关闭")->click();
    QCOMPARE(e.env.logTriples().mid(logged),
             (QStringList{"结束|关闭合同录入窗口|合同录入", "操作状态|点击数据查询|导航"}));
    QVERIFY(!Windows::find(WindowKey::ContractEntry));
    delete navigation;

    // Reopened: the design-time caption until the next save, then the count
    // goes on; the attachment chosen before closing is gone.
    e.w = Windows::open(WindowKey::ContractEntry);
    QCOMPARE(child<QLabel>(e.w, "标签_统计")->text(), QStringLiteral(" 共录入：0份合同"));
    QVERIFY(e.pending().isEmpty());
    QCOMPARE(edit(e.w, "编辑框_合同编号")->text(), QStringLiteral("KQLM0002"));
    e.fill({QStringLiteral("垫片")});
    clickSave(e.w);
    QCOMPARE(child<QLabel>(e.w, "标签_统计")->text(), QStringLiteral("共录入：%1 份合同").arg(count + 1));
}

QTEST_MAIN(TstContractEntry)
#include "tst_contractentry.moc"
