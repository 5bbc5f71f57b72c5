// The contract query: filter statements, grouping into head and
// continuation rows, and the query window.
#include "contracts/AttachmentBrowseWindow.h"
#include "contracts/ContractChangeWindow.h"
#include "contracts/ContractQuery.h"
#include "contracts/ContractQueryWindow.h"
#include "contracts/ResultPrompt.h"
#include "support/PdfFiles.h"
#include "support/TestEnv.h"
#include "support/UserInput.h"
#include "ui/Gates.h"
#include "ui/PdfPane.h"
#include "ui/Shell.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QtTest>

using namespace cg;

namespace {

template <typename T> T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("missing control %s", qPrintable(name));
    return c;
}

QString table() { return Ctx().login.contractTable; }

// One stored line with fixed header values; its id.
qint64 addLine(cgtest::TestEnv &env, const QString &number, const QString &product,
               const QString &date = QStringLiteral("2024-03-05"), const QString &state = QStringLiteral("已审核"))
{
    const bool ok = env.db().execute(
        QStringLiteral("insert into ") + table()
            + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
                             "制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,"
                             "第四次付款,剩余尾款,税率) values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        {state, number, number + QStringLiteral("52"), QStringLiteral("张三"), QStringLiteral("采购部"),
         QStringLiteral("李四"), QStringLiteral("华东机电"), product, QStringLiteral("2"), QStringLiteral("台"), date,
         QStringLiteral("2024-03-01"), QStringLiteral("2025-03-01"), QStringLiteral("10000"), QStringLiteral("月结"),
         QStringLiteral("3000"), QStringLiteral("2000"), QStringLiteral("0"), QStringLiteral("0"),
         QStringLiteral("5000"), QStringLiteral("13%")});
    if (!ok)
        qWarning("insert failed: %s", qPrintable(env.db().lastError()));
    return env.rows(QStringLiteral("select max(id) from ") + table()).value(0).value(0).toLongLong();
}

void setAttachment(cgtest::TestEnv &env, qint64 id, const QByteArray &bytes)
{
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 附件=? where id=?"), {bytes, id}));
}

// Rows of the list as "column 1|column 6|column 21" (number, product, id).
QStringList shown(const ContractListModel *m)
{
    QStringList out;
    for (int r = 0; r < m->rowCount(); ++r)
        out << m->cell(r, ListColumn::Number) + QLatin1Char('|') + m->cell(r, ListColumn::Product) + QLatin1Char('|')
                + m->cell(r, ListColumn::Id);
    return out;
}

QString id(qint64 v) { return QString::number(v); }

ContractQueryWindow *openQueryWindow()
{
    Windows::registerFactory(WindowKey::ContractQuery, CreateContractQueryWindow);
    return qobject_cast<ContractQueryWindow *>(Windows::open(WindowKey::ContractQuery));
}

void setDates(QWidget *w, const QDate &start, const QDate &end)
{
    child<QDateEdit>(w, QStringLiteral("日期框_起始"))->setDate(start);
    child<QDateEdit>(w, QStringLiteral("日期框_终止"))->setDate(end);
}

void selectRows(ContractQueryWindow *w, const QList<int> &rows)
{
    QItemSelectionModel *sel = w->list()->selectionModel();
    sel->clearSelection();
    for (int r : rows)
        sel->select(w->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (!rows.isEmpty())
        sel->setCurrentIndex(w->model()->index(rows.last(), 0), QItemSelectionModel::NoUpdate);
}

QString countText(QWidget *w) { return child<QLabel>(w, QStringLiteral("标签_统计"))->text(); }

// A test world logged in on this year's set, its clock fixed on 15 March 2024.
class Env : public cgtest::TestEnv {
public:
    explicit Env(const QString &user = QStringLiteral("admin"))
    {
        loginAs(user);
        Clock::setFixed(QDateTime(QDate(2024, 3, 15), QTime(9, 30)));
    }
};

} // namespace

class TstQuery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filterStatements();
    void groupingHeadAndContinuationRows();
    void productFilterAndFailingStatements();
    void openingRemembersColumnsAndFilters();
    void findMarksRowsOnly();
    void enterInFilterAndFindControls_data();
    void enterInFilterAndFindControls();
    void selectionMenuAndGates();
    void previewAndModifyRefusal();
    void browseWindowShowsTheStoredPdf();
    void doubleClickNeedsTheModifyRight_data();
    void doubleClickNeedsTheModifyRight();
    void everyWayIntoAGatedActionAsksItsGate();
    void resultPromptComesForwardWithNewLines();
    void closingWithAndWithoutChangeWindow();
    void fillCannotBeReentered();
    void largeListFromOneStatement();
    void textsReadWhenShownMatchAFullRead();
};

void TstQuery::filterStatements()
{
    Env env;
    const ContractQuery q(env.db(), table());
    const QDate s(2024, 3, 1), e(2024, 3, 15);
    addLine(env, QStringLiteral("Q1"), QStringLiteral("泵"), QStringLiteral("2024-03-01"));
    addLine(env, QStringLiteral("Q2"), QStringLiteral("阀"), QStringLiteral("2024-03-02"));
    QVector<ContractLine> lines;

    QVERIFY(q.buildFilter({e, s, QString(), QString()}).datesOutOfOrder);
    QVERIFY(!q.read(q.buildFilter({e, s, QString(), QString()}), lines));
    // One day is a valid range.
    QVERIFY(q.read(q.buildFilter({s, s, QStringLiteral("申请人"), QString()}), lines));
    QCOMPARE(lines.size(), 1);

    // A column name only ever comes from the fixed list; anything else is
    // no condition at all.
    QVERIFY(q.read(q.buildFilter({s, e, QStringLiteral("税率 from yhb --"), QStringLiteral("x")}), lines));
    QCOMPARE(lines.size(), 2);
    // An empty condition filters on the dates alone, whatever the column.
    QVERIFY(q.read(q.buildFilter({s, e, QStringLiteral("供应商"), QString()}), lines));
    QCOMPARE(lines.size(), 2);
    // The condition is a bound value: a quote in it is just a character.
    const Filter quoted = q.buildFilter({s, e, QStringLiteral("供应商"), QStringLiteral("O'Neil")});
    QVERIFY(!q.listSql(quoted).contains(QStringLiteral("O'Neil")));
    QVERIFY(q.read(quoted, lines));
    QVERIFY(lines.isEmpty());
    QVERIFY(q.read(q.buildFilter({s, e, QStringLiteral("供应商"), QStringLiteral("东机")}), lines));
    QCOMPARE(lines.size(), 2);
    // A date column matches by its year-month-day text.
    QVERIFY(q.read(q.buildFilter({s, e, QStringLiteral("制单日期"), QStringLiteral("03-02")}), lines));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(lines.at(0).number(), QStringLiteral("Q2"));
    QVERIFY(q.read(q.buildFilter({s, e, QStringLiteral("失效日期"), QStringLiteral("2025-")}), lines));
    QCOMPARE(lines.size(), 2);
}

void TstQuery::groupingHeadAndContinuationRows()
{
    Env env;
    // A and B interleaved in id order; C alone with a PDF on its first row;
    // B carries a PDF on its second row only, which does not count.
    const qint64 a1 = addLine(env, QStringLiteral("A"), QStringLiteral("泵"));
    const qint64 b1 = addLine(env, QStringLiteral("B"), QStringLiteral("阀"));
    const qint64 a2 = addLine(env, QStringLiteral("A"), QStringLiteral("电机"));
    const qint64 b2 = addLine(env, QStringLiteral("B"), QStringLiteral("法兰"));
    const qint64 a3 = addLine(env, QStringLiteral("A"), QStringLiteral("管道"));
    const qint64 c1 = addLine(env, QStringLiteral("C"), QStringLiteral("螺栓"));
    addLine(env, QStringLiteral("D"), QStringLiteral("外"), QStringLiteral("2024-02-29"));
    setAttachment(env, c1, QByteArray("%PDF-1.4"));
    setAttachment(env, b2, QByteArray("%PDF-1.4"));
    setAttachment(env, b1, QByteArray());

    const ContractQuery q(env.db(), table());
    const Filter f = q.buildFilter({QDate(2024, 3, 1), QDate(2024, 3, 15), QString(), QString()});
    QVector<ContractLine> lines;
    QVERIFY(q.read(f, lines));
    QCOMPARE(lines.size(), 6);

    ContractListModel m;
    m.setLines(lines);
    QCOMPARE(m.contractCount(), 3);
    QCOMPARE(q.countContracts(f), 3);
    // Newest line first; each contract's further lines follow its head row.
    QCOMPARE(shown(&m), QStringList({"C|螺栓|" + id(c1), "A|管道|" + id(a3), "|电机|" + id(a3), "|泵|" + id(a3),
                                     "B|法兰|" + id(b2), "|阀|" + id(b2)}));
    QCOMPARE(m.cell(0, ListColumn::Attachment), kAttachmentMark);
    QCOMPARE(m.cell(1, ListColumn::Attachment), QString());
    QCOMPARE(m.cell(4, ListColumn::Attachment), QString());
    // A head row carries every value; a continuation row only its line's.
    QCOMPARE(m.cell(1, ListColumn::State), QStringLiteral("已审核"));
    QCOMPARE(m.cell(1, ListColumn::DocumentDate), QStringLiteral("2024-03-05"));
    QCOMPARE(m.cell(1, ListColumn::TaxRate), QStringLiteral("13%"));
    QCOMPARE(m.cell(2, ListColumn::Quantity), QStringLiteral("2"));
    QCOMPARE(m.cell(2, ListColumn::Unit), QStringLiteral("台"));
    for (int c : {ListColumn::State, ListColumn::Number, ListColumn::Supplier, ListColumn::Amount, ListColumn::Attachment})
        QCOMPARE(m.cell(2, c), QString());
    QCOMPARE(m.lineId(3), a1);

    // Any selection of one contract's rows is one entry; bottom first.
    QCOMPARE(m.selection({1, 2, 3}).size(), 1);
    const QVector<SelectedContract> two = m.selection({3, 5, 0});
    QCOMPARE(two.size(), 3);
    QCOMPARE(two.at(0).headRow, 4);
    QCOMPARE(two.at(0).id, b2);
    QCOMPARE(two.at(1).headRow, 1);
    QCOMPARE(two.at(2).id, c1);

    // Removing a head line hands the head to the next line of the contract.
    m.removeLine(a3);
    QCOMPARE(shown(&m), QStringList({"C|螺栓|" + id(c1), "A|电机|" + id(a2), "|泵|" + id(a2), "B|法兰|" + id(b2),
                                     "|阀|" + id(b2)}));
    QCOMPARE(m.removeContract(3, b2), 2);
    QCOMPARE(m.contractCount(), 2);
}

void TstQuery::productFilterAndFailingStatements()
{
    Env env;
    // The second line matches; the first lies before the range.
    const qint64 early = addLine(env, QStringLiteral("P1"), QStringLiteral("水泵"), QStringLiteral("2024-02-10"));
    const qint64 match = addLine(env, QStringLiteral("P1"), QStringLiteral("变频器"), QStringLiteral("2024-03-02"));
    addLine(env, QStringLiteral("P2"), QStringLiteral("变频器"), QStringLiteral("2024-02-10"));
    addLine(env, QStringLiteral("P3"), QStringLiteral("电缆"), QStringLiteral("2024-03-03"));
    addLine(env, QString(QLatin1String("")), QStringLiteral("变频器"), QStringLiteral("2024-03-04"));

    const ContractQuery q(env.db(), table());
    const QDate s(2024, 3, 1), e(2024, 3, 15);
    QVector<ContractLine> lines;
    QVERIFY(q.read(q.buildFilter({s, e, QStringLiteral("产品"), QStringLiteral("变频")}), lines));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0).id, match);
    QCOMPARE(lines.at(1).id, early);

    // A plain column condition keeps the date range.
    QVERIFY(q.read(q.buildFilter({s, e, QStringLiteral("合同编号"), QStringLiteral("P")}), lines));
    QCOMPARE(lines.size(), 2);

    // Nothing matching is an empty list; 申请日期 is no column and fails.
    QVERIFY(q.read(q.buildFilter({s, e, QStringLiteral("产品"), QStringLiteral("无此产品")}), lines));
    QVERIFY(lines.isEmpty());
    const Filter noColumn = q.buildFilter({s, e, QStringLiteral("申请日期"), QStringLiteral("2024")});
    QVERIFY(!q.read(noColumn, lines));
    QCOMPARE(q.countContracts(noColumn), -1);

    // The window shows both failures as an empty list with 0 contracts.
    ContractQueryWindow *w = openQueryWindow();
    QVERIFY(w);
    child<QComboBox>(w, QStringLiteral("组合框_编号名称"))->setCurrentText(QStringLiteral("产品"));
    child<QLineEdit>(w, QStringLiteral("编辑框_条件"))->setText(QStringLiteral("变频"));
    w->filter();
    QCOMPARE(countText(w), QStringLiteral("过滤出：1 份合同"));
    QCOMPARE(w->model()->rowCount(), 2);
    child<QComboBox>(w, QStringLiteral("组合框_编号名称"))->setCurrentText(QStringLiteral("申请日期"));
    w->filter();
    QCOMPARE(countText(w), QStringLiteral("过滤出：0 份合同"));
    QCOMPARE(w->model()->rowCount(), 0);
    QVERIFY(cgtest::messageTexts().isEmpty());
}

void TstQuery::openingRemembersColumnsAndFilters()
{
    Env env;
    const qint64 x1 = addLine(env, QStringLiteral("X"), QStringLiteral("泵"), QStringLiteral("2024-03-01"));
    const qint64 x2 = addLine(env, QStringLiteral("X"), QStringLiteral("阀"), QStringLiteral("2024-03-15"));
    addLine(env, QStringLiteral("Y"), QStringLiteral("泵"), QStringLiteral("2024-03-16"));

    ContractQueryWindow *w = openQueryWindow();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--合同查询"));
    QCOMPARE(child<QDateEdit>(w, QStringLiteral("日期框_起始"))->date(), QDate(2024, 3, 1));
    QCOMPARE(child<QDateEdit>(w, QStringLiteral("日期框_终止"))->date(), QDate(2024, 3, 15));
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签2"))->buddy(), child<QDateEdit>(w, QStringLiteral("日期框_起始")));
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签3"))->text(), QStringLiteral(" 终止时间："));
    auto *filterField = child<QComboBox>(w, QStringLiteral("组合框_编号名称"));
    auto *findField = child<QComboBox>(w, QStringLiteral("组合框_查找名称"));
    QCOMPARE(filterField->count(), 19);
    QCOMPARE(findField->count(), 21);
    QCOMPARE(filterField->currentText(), QStringLiteral("申请人"));
    QCOMPARE(findField->currentText(), QStringLiteral("产品"));
    QCOMPARE(countText(w), QStringLiteral("过滤出：0份合同"));
    QCOMPARE(child<QPushButton>(w, QStringLiteral("按钮_过滤"))->text(), QStringLiteral("&F.过滤"));
    QCOMPARE(w->model()->headerData(19, Qt::Horizontal).toString(), QStringLiteral("税    率"));
    QVERIFY(w->list()->isColumnHidden(ListColumn::Id));
    QCOMPARE(w->list()->columnWidth(ListColumn::Number), 150);

    // Choices are remembered; choosing a filter column moves to the condition.
    filterField->setCurrentIndex(filterField->findText(QStringLiteral("供应商")));
    emit filterField->activated(filterField->currentIndex());
    findField->setCurrentIndex(findField->findText(QStringLiteral("税率")));
    emit findField->activated(findField->currentIndex());
    QCOMPARE(env.setting(QStringLiteral("查询"), QStringLiteral("合同过滤字段类型")), QStringLiteral("供应商"));
    QCOMPARE(env.setting(QStringLiteral("查询"), QStringLiteral("合同字段类型")), QStringLiteral("税率"));

    // Enter in the condition filters; the day range includes both ends.
    QVERIFY(cgtest::pressReturn(child<QLineEdit>(w, QStringLiteral("编辑框_条件"))));
    QCOMPARE(shown(w->model()), QStringList({"X|阀|" + id(x2), "|泵|" + id(x2)}));
    QCOMPARE(countText(w), QStringLiteral("过滤出：1 份合同"));
    QVERIFY(child<QPushButton>(w, QStringLiteral("按钮_过滤"))->isEnabled());

    // Dates out of order: a message, the list stays, the query is logged.
    setDates(w, QDate(2024, 3, 16), QDate(2024, 3, 1));
    child<QPushButton>(w, QStringLiteral("按钮_过滤"))->click();
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(MessageSeam::shown().at(0).text, QStringLiteral("终止时间不能小于起始时间，请重新设定过滤时间！"));
    QCOMPARE(MessageSeam::shown().at(0).title, QStringLiteral("系统提示"));
    QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Information);
    QCOMPARE(w->model()->rowCount(), 2);
    QCOMPARE(env.logTriples(), QStringList({"开始|打开合同查询窗口|合同查询", "操作|查询合同|合同查询",
                                            "操作|查询合同|合同查询"}));

    // The next window starts from the remembered choices.
    delete w;
    ContractQueryWindow *again = openQueryWindow();
    QCOMPARE(child<QComboBox>(again, QStringLiteral("组合框_编号名称"))->currentText(), QStringLiteral("供应商"));
    QCOMPARE(child<QComboBox>(again, QStringLiteral("组合框_查找名称"))->currentText(), QStringLiteral("税率"));
}

void TstQuery::findMarksRowsOnly()
{
    Env env;
    addLine(env, QStringLiteral("F1"), QStringLiteral("Pump"));
    addLine(env, QStringLiteral("F1"), QStringLiteral("pump housing"));
    addLine(env, QStringLiteral("F2"), QStringLiteral("Valve Pump"));
    ContractQueryWindow *w = openQueryWindow();
    w->filter();
    QCOMPARE(w->model()->rowCount(), 3);
    selectRows(w, {0});

    auto *findField = child<QComboBox>(w, QStringLiteral("组合框_查找名称"));
    findField->setCurrentText(QStringLiteral("产品"));
    child<QLineEdit>(w, QStringLiteral("编辑框_查找条件"))->setText(QStringLiteral("Pump"));
    child<QPushButton>(w, QStringLiteral("按钮_合同查找"))->click();
    // Letter case counts; continuation rows are searched in their columns.
    QList<int> marked;
    for (int r = 0; r < w->model()->rowCount(); ++r)
        if (w->model()->isHighlighted(r))
            marked << r;
    QCOMPARE(marked, QList<int>({0, 2}));
    QCOMPARE(w->model()->data(w->model()->index(2, 6), Qt::BackgroundRole).value<QColor>(), QColor(96, 96, 96));
    QCOMPARE(w->model()->data(w->model()->index(2, 6), Qt::ForegroundRole).value<QColor>(), QColor(Qt::white));
    QCOMPARE(w->model()->data(w->model()->index(1, 6), Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));
    QCOMPARE(w->list()->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(countText(w), QStringLiteral("过滤出：2 份合同"));

    // Another column; then an empty text clears every mark.
    findField->setCurrentText(QStringLiteral("合同编号"));
    child<QLineEdit>(w, QStringLiteral("编辑框_查找条件"))->setText(QStringLiteral("F1"));
    QVERIFY(cgtest::pressReturn(child<QLineEdit>(w, QStringLiteral("编辑框_查找条件"))));
    QVERIFY(!w->model()->isHighlighted(0));
    QVERIFY(w->model()->isHighlighted(1));
    child<QLineEdit>(w, QStringLiteral("编辑框_查找条件"))->clear();
    w->find();
    for (int r = 0; r < w->model()->rowCount(); ++r)
        QVERIFY(!w->model()->isHighlighted(r));
    // A filter removes the marks too.
    child<QLineEdit>(w, QStringLiteral("编辑框_查找条件"))->setText(QStringLiteral("F"));
    w->find();
    QVERIFY(w->model()->isHighlighted(0));
    w->filter();
    QVERIFY(!w->model()->isHighlighted(0));
}

void TstQuery::enterInFilterAndFindControls_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<bool>("filters");
    for (const char *c : {"日期框_起始", "日期框_终止", "组合框_编号名称", "编辑框_条件"}) {
        QTest::addRow("%s, Return", c) << QString::fromUtf8(c) << false << true;
        QTest::addRow("%s, keypad", c) << QString::fromUtf8(c) << true << true;
    }
    for (const char *c : {"组合框_查找名称", "编辑框_查找条件"}) {
        QTest::addRow("%s, Return", c) << QString::fromUtf8(c) << false << false;
        QTest::addRow("%s, keypad", c) << QString::fromUtf8(c) << true << false;
    }
}

void TstQuery::enterInFilterAndFindControls()
{
    QFETCH(QString, control);
    QFETCH(bool, keypad);
    QFETCH(bool, filters);
    Env env;
    addLine(env, QStringLiteral("X"), QStringLiteral("泵"), QStringLiteral("2024-03-01"));
    const qint64 x2 = addLine(env, QStringLiteral("X"), QStringLiteral("阀"), QStringLiteral("2024-03-15"));
    ContractQueryWindow *w = openQueryWindow();
    if (!filters) {
        w->filter();
        child<QLineEdit>(w, QStringLiteral("编辑框_查找条件"))->setText(QStringLiteral("泵"));
    }
    const int logged = env.logTriples().size();
    QWidget *c = child<QWidget>(w, control);
    QVERIFY(keypad ? cgtest::pressKeypadEnter(c) : cgtest::pressReturn(c));
    QCOMPARE(MessageSeam::shown().size(), 0);
    if (filters) {
        QCOMPARE(shown(w->model()), QStringList({"X|阀|" + id(x2), "|泵|" + id(x2)}));
        QCOMPARE(countText(w), QStringLiteral("过滤出：1 份合同"));
        QCOMPARE(env.logTriples().mid(logged), QStringList{"操作|查询合同|合同查询"});
    } else {
        // Find marks the line; nothing is queried or logged.
        QVERIFY(!w->model()->isHighlighted(0));
        QVERIFY(w->model()->isHighlighted(1));
        QCOMPARE(env.logTriples().mid(logged), QStringList());
    }
}

void TstQuery::selectionMenuAndGates()
{
    Env env;
    env.addUser(QStringLiteral("王五"), QStringLiteral("pw"), {QStringLiteral("审核"), QStringLiteral("变更")});
    env.loginAs(QStringLiteral("王五"));
    ApplyPermissions();
    const qint64 g1 = addLine(env, QStringLiteral("G"), QStringLiteral("甲"));
    addLine(env, QStringLiteral("G"), QStringLiteral("乙"));
    addLine(env, QStringLiteral("G"), QStringLiteral("丙"));
    const qint64 h1 = addLine(env, QStringLiteral("H"), QStringLiteral("丁"));
    setAttachment(env, g1, QByteArray("%PDF"));

    ContractQueryWindow *w = openQueryWindow();
    w->filter();
    QCOMPARE(shown(w->model()).size(), 4);
    QMenu *menu = w->popupMenu();
    QStringList texts;
    for (QAction *a : menu->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(texts, QStringList({"&L.浏览附件", "&B.变 更", "-", "&X.修 改", "&D.删除整份合同", "-", "&H.审 核",
                                 "&F.反 审", "-", "&P.打印合同…", "&E.保存为PDF…"}));
    auto action = [menu](const QString &text) {
        for (QAction *a : menu->actions())
            if (a->objectName() == text)
                return a;
        return static_cast<QAction *>(nullptr);
    };
    // The gates of the login: audit and change granted, the rest not.
    QVERIFY(action(QStringLiteral("&H.审 核"))->isEnabled());
    QVERIFY(action(QStringLiteral("&B.变 更"))->isEnabled());
    QVERIFY(!action(QStringLiteral("&F.反 审"))->isEnabled());
    QVERIFY(!action(QStringLiteral("&X.修 改"))->isEnabled());
    QVERIFY(!action(QStringLiteral("&D.删除整份合同"))->isEnabled());
    QVERIFY(!child<QPushButton>(w, QStringLiteral("按钮_导出"))->isEnabled());

    // Nothing selected: no menu.
    emit w->list()->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(!menu->isVisible());

    // Head and two continuation rows of G: one contract, with a PDF.
    selectRows(w, {1, 2, 3});
    QCOMPARE(w->selectedContracts().size(), 1);
    QCOMPARE(w->currentContractId(), w->model()->contractId(1));
    emit w->list()->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(menu->isVisible());
    QVERIFY(action(QStringLiteral("&L.浏览附件"))->isEnabled());
    menu->hide();
    selectRows(w, {0});
    QCOMPARE(w->currentContractId(), h1);
    emit w->list()->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(!action(QStringLiteral("&L.浏览附件"))->isEnabled());
    menu->hide();
}

void TstQuery::previewAndModifyRefusal()
{
    Env env;
    const qint64 p1 = addLine(env, QStringLiteral("PV"), QStringLiteral("甲"));
    addLine(env, QStringLiteral("PV"), QStringLiteral("乙"));
    setAttachment(env, p1, QByteArray("%PDF-1.7 stored"));

    ContractQueryWindow *w = openQueryWindow();
    w->filter();
    // The continuation row's contract: the stored bytes of its first row.
    selectRows(w, {1});
    w->previewAttachment();
    const QString path = env.workFolder() + QStringLiteral("合同PDF预览.pdf");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("%PDF-1.7 stored"));
    QCOMPARE(Launcher::started(), QStringList({"xdg-open " + path}));

    // An installed preview takes over.
    qint64 asked = 0;
    SetAttachmentPreview([&](qint64 lineId) { asked = lineId; });
    w->previewAttachment();
    SetAttachmentPreview({});
    QCOMPARE(asked, w->model()->contractId(1));
    QCOMPARE(Launcher::started().size(), 1);

    // An audited contract is not opened for modification.
    w->openModify();
    QCOMPARE(cgtest::messageTexts(), QStringList({"不能直接修改已审核的数据，请反审核后再修改！"}));
    QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Information);
    QVERIFY(!w->changeWindow());
}

// "&L.浏览附件" shows the contract's PDF inside the program without writing
// a file; its button opens the system viewer as the preview did.
void TstQuery::browseWindowShowsTheStoredPdf()
{
    Env env;
    const qint64 a1 = addLine(env, QStringLiteral("BA"), QStringLiteral("甲"));
    const qint64 a2 = addLine(env, QStringLiteral("BA"), QStringLiteral("乙"));
    const qint64 b1 = addLine(env, QStringLiteral("BB"), QStringLiteral("丙"));
    const QByteArray three = cgtest::pdfWithPages(3);
    setAttachment(env, a1, three);
    setAttachment(env, b1, cgtest::passwordProtectedPdf());

    ContractQueryWindow *w = openQueryWindow();
    QPointer<ContractQueryWindow> guard(w);
    w->filter();
    QCOMPARE(shown(w->model()), QStringList({"BB|丙|" + id(b1), "BA|乙|" + id(a2), "|甲|" + id(a2)}));
    QMenu *menu = w->popupMenu();
    QAction *browse = nullptr;
    for (QAction *a : menu->actions())
        if (a->objectName() == QStringLiteral("&L.浏览附件"))
            browse = a;
    QVERIFY(browse);
    const auto browseRow = [&](int row) {
        selectRows(w, {row});
        emit w->list()->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(browse->isEnabled());
        browse->trigger();
        menu->hide();
    };
    // The continuation row shows its contract's copy, stored on its first line.
    browseRow(2);
    QPointer<QWidget> window;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top->objectName() == QStringLiteral("浏览附件窗口") && top->isVisible())
            window = top;
    QVERIFY(window);
    QCOMPARE(window.data(), static_cast<QWidget *>(w->browseWindow()));
    QCOMPARE(window->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--浏览附件"));
    QCOMPARE(child<QLabel>(window, QStringLiteral("标签_合同编号"))->text(), QStringLiteral("合同编号：BA"));
    QCOMPARE(child<QLabel>(window, QStringLiteral("标签_页码"))->text(), QStringLiteral("1 / 3"));
    child<QPushButton>(window, QStringLiteral("按钮_下一页"))->click();
    QCOMPARE(child<QLabel>(window, QStringLiteral("标签_页码"))->text(), QStringLiteral("2 / 3"));
    QVERIFY(!QFile::exists(env.workFolder() + QStringLiteral("合同PDF预览.pdf")));
    QVERIFY(Launcher::started().isEmpty());

    // The system viewer, one click away.
    QPushButton *open = child<QPushButton>(window, QStringLiteral("按钮_系统打开"));
    QCOMPARE(open->text(), QStringLiteral("用系统程序打开"));
    open->click();
    const QString path = env.workFolder() + QStringLiteral("合同PDF预览.pdf");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), three);
    QCOMPARE(Launcher::started(), QStringList({"xdg-open " + path}));

    // The same window follows the next contract chosen; a protected copy says so.
    browseRow(0);
    QCOMPARE(static_cast<QWidget *>(w->browseWindow()), window.data());
    QCOMPARE(child<QLabel>(window, QStringLiteral("标签_合同编号"))->text(), QStringLiteral("合同编号：BB"));
    QCOMPARE(window->findChild<PdfPane *>()->notice(), QStringLiteral("此PDF文件有密码保护，无法显示内容。"));
    QVERIFY(open->isEnabled());

    // It closes with the query window; both are logged.
    w->close();
    QTRY_VERIFY(!window);
    QCOMPARE(env.logTriples(), QStringList({"开始|打开合同查询窗口|合同查询", "操作|查询合同|合同查询",
                                            "开始|打开浏览附件窗口|合同查询", "结束|关闭浏览附件窗口|合同查询"}));
}

// A real double-click on the list row.
void doubleClickRow(ContractQueryWindow *w, int row)
{
    QWidget *viewport = w->list()->viewport();
    const QPoint at = w->list()->visualRect(w->model()->index(row, ListColumn::Product)).center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
}

void TstQuery::doubleClickNeedsTheModifyRight_data()
{
    QTest::addColumn<bool>("granted");
    QTest::addColumn<QString>("state");
    QTest::newRow("without the right") << false << "未审核";
    QTest::newRow("without the right, audited") << false << "已审核";
    QTest::newRow("with the right") << true << "未审核";
    QTest::newRow("with the right, audited") << true << "已审核";
}

void TstQuery::doubleClickNeedsTheModifyRight()
{
    QFETCH(bool, granted);
    QFETCH(QString, state);
    Env env;
    env.addUser(QStringLiteral("王五"), QStringLiteral("pw"),
                granted ? QStringList{QStringLiteral("修改")} : QStringList{QStringLiteral("变更")});
    env.loginAs(QStringLiteral("王五"));
    ApplyPermissions();
    addLine(env, QStringLiteral("D1"), QStringLiteral("甲"), QStringLiteral("2024-03-05"), state);
    addLine(env, QStringLiteral("D1"), QStringLiteral("乙"), QStringLiteral("2024-03-05"), state);
    ContractQueryWindow *w = openQueryWindow();
    w->filter();
    const int logged = env.logTriples().size();
    // On the continuation row: the contract of the row is opened.
    doubleClickRow(w, 1);
    QCOMPARE(w->currentRow(), 1);
    const bool audited = state == QStringLiteral("已审核");
    if (!granted) {
        // The closed gate shows nothing, as its disabled menu entry does.
        QVERIFY(!w->changeWindow());
        QCOMPARE(MessageSeam::shown().size(), 0);
        QCOMPARE(env.logTriples().mid(logged), QStringList());
    } else if (audited) {
        QVERIFY(!w->changeWindow());
        QCOMPARE(MessageSeam::shown().size(), 1);
        QCOMPARE(MessageSeam::shown().at(0).text, QStringLiteral("不能直接修改已审核的数据，请反审核后再修改！"));
        QCOMPARE(MessageSeam::shown().at(0).title, QStringLiteral("系统提示"));
        QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Information);
    } else {
        QVERIFY(w->changeWindow());
        QCOMPARE(w->changeWindow()->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--合同修改"));
        QCOMPARE(env.logTriples().mid(logged), QStringList{"开始|打开合同修改窗口|合同修改"});
        QCOMPARE(MessageSeam::shown().size(), 0);
    }
}

void TstQuery::everyWayIntoAGatedActionAsksItsGate()
{
    // A clerk with none of the list's rights.
    Env env;
    env.addUser(QStringLiteral("王五"), QStringLiteral("pw"), {});
    env.loginAs(QStringLiteral("王五"));
    ApplyPermissions();
    addLine(env, QStringLiteral("E1"), QStringLiteral("甲"), QStringLiteral("2024-03-05"), QStringLiteral("未审核"));
    addLine(env, QStringLiteral("E2"), QStringLiteral("乙"), QStringLiteral("2024-03-05"), QStringLiteral("已审核"));
    int exported = 0;
    ContractQueryWindow::setExportHandler([&exported](ContractQueryWindow *) { ++exported; });
    ContractQueryWindow *w = openQueryWindow();
    w->filter();
    selectRows(w, {0, 1});
    const QStringList before = shown(w->model());
    const int logged = env.logTriples().size();
    const std::pair<const char *, std::function<void()>> ways[] = {
        {"变更", [w] { w->openChange(); }},   {"修改", [w] { w->openModify(); }},
        {"删除", [w] { w->deleteSelected(); }}, {"审核", [w] { w->auditSelected(); }},
        {"反审", [w] { w->unauditSelected(); }},
        {"导出", [w] { child<QPushButton>(w, QStringLiteral("按钮_导出"))->click(); }}};
    for (const auto &[what, way] : ways) {
        MessageSeam::setNextAnswer(QMessageBox::Yes);
        way();
        QVERIFY2(!w->changeWindow(), what);
        QVERIFY2(MessageSeam::shown().isEmpty(), what);
    }
    ContractQueryWindow::setExportHandler({});
    QCOMPARE(exported, 0);
    QVERIFY(!ResultPrompt::window());
    QCOMPARE(shown(w->model()), before);
    QCOMPARE(env.logTriples().mid(logged), QStringList());
    QCOMPARE(env.rows(QStringLiteral("select 合同编号,单据状态 from ") + table() + QStringLiteral(" order by id")),
             QList<QStringList>({{"E1", "未审核"}, {"E2", "已审核"}}));
}

void TstQuery::resultPromptComesForwardWithNewLines()
{
    Env env;
    addLine(env, QStringLiteral("R1"), QStringLiteral("甲"), QStringLiteral("2024-03-05"), QStringLiteral("未审核"));
    addLine(env, QStringLiteral("R2"), QStringLiteral("乙"), QStringLiteral("2024-03-05"), QStringLiteral("未审核"));
    ContractQueryWindow *w = openQueryWindow();
    w->filter();
    selectRows(w, {0, 1});
    w->auditSelected();
    QPointer<ResultPromptWindow> prompt = ResultPrompt::window();
    QVERIFY(prompt);
    QTRY_COMPARE(QApplication::activeWindow(), prompt.data());

    // The user goes back to the list; the next batch's lines bring the
    // prompt forward again.
    QVERIFY(cgtest::focus(w->list()));
    QCOMPARE(QApplication::activeWindow(), w);
    w->unauditSelected();
    QCOMPARE(ResultPrompt::window(), prompt.data());
    QCOMPARE(prompt->lines().size(), 4);
    QTRY_COMPARE(QApplication::activeWindow(), prompt.data());

    // Also from the task bar.
    prompt->showMinimized();
    QVERIFY(cgtest::focus(w->list()));
    w->auditSelected();
    QVERIFY(!prompt->isMinimized());
    QVERIFY(prompt->isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), prompt.data());
    QCOMPARE(prompt->lines().size(), 6);
    delete prompt.data();
}

void TstQuery::closingWithAndWithoutChangeWindow()
{
    Env env;
    addLine(env, QStringLiteral("K"), QStringLiteral("甲"), QStringLiteral("2024-03-05"), QStringLiteral("未审核"));

    ContractQueryWindow *w = openQueryWindow();
    QPointer<ContractQueryWindow> guard(w);
    w->close();
    QCOMPARE(env.logTriples(), QStringList({"开始|打开合同查询窗口|合同查询"}));

    w = openQueryWindow();
    w->filter();
    selectRows(w, {0});
    // A double-click modifies an unaudited contract.
    emit w->list()->doubleClicked(w->model()->index(0, 0));
    QPointer<ContractChangeWindow> change = w->changeWindow();
    QVERIFY(change);
    QCOMPARE(change->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--合同修改"));
    w->close();
    QTRY_VERIFY(!change);
    QCOMPARE(env.logTriples().mid(1), QStringList({"开始|打开合同查询窗口|合同查询", "操作|查询合同|合同查询",
                                                   "开始|打开合同修改窗口|合同修改", "结束|关闭合同查询窗口|合同查询",
                                                   "结束|关闭合同修改窗口|合同修改"}));
}

void TstQuery::fillCannotBeReentered()
{
    Env env;
    addLine(env, QStringLiteral("R"), QStringLiteral("甲"));
    ContractQueryWindow *w = openQueryWindow();
    QPointer<ContractQueryWindow> guard(w);
    auto *button = child<QPushButton>(w, QStringLiteral("按钮_过滤"));

    int probes = 0;
    bool buttonWasEnabled = true;
    w->setFillProbe([&] {
        ++probes;
        buttonWasEnabled = button->isEnabled();
        // A second click and a close while the list is being filled.
        QTest::mouseClick(button, Qt::LeftButton);
        w->filter();
        w->close();
        QVERIFY(w->isVisible());
    });
    button->click();
    QCOMPARE(probes, 1);
    QVERIFY(!buttonWasEnabled);
    // The fill completed, was logged once, and the close followed it.
    QCOMPARE(env.logTriples(), QStringList({"开始|打开合同查询窗口|合同查询", "操作|查询合同|合同查询"}));
    QTRY_VERIFY(!guard);
}

void TstQuery::largeListFromOneStatement()
{
    Env env;
    // 100,000 lines: 25,000 contracts of four lines each.
    constexpr int kLines = 100000;
    {
        QSqlQuery q(env.db().database());
        QVERIFY(q.exec(QStringLiteral("BEGIN")));
        QVERIFY(q.prepare(QStringLiteral("insert into ") + table()
                          + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,"
                                           "计量单位,制单日期,生效日期,失效日期,合同金额,付款方式,税率) "
                                           "values('已审核',?,?,'张三','采购部','李四','华东机电',?,'1','台',"
                                           "'2024-03-05','2024-03-01','2025-03-01','100','月结','13%')")));
        QVariantList numbers, subs, products;
        for (int i = 0; i < kLines; ++i) {
            const QString n = QStringLiteral("L%1").arg(i / 4, 6, 10, QLatin1Char('0'));
            numbers << n;
            subs << n + QString::number(52 + 2 * (i % 4));
            products << QStringLiteral("产品%1").arg(i);
        }
        q.addBindValue(numbers);
        q.addBindValue(subs);
        q.addBindValue(products);
        QVERIFY(q.execBatch());
        QVERIFY(q.exec(QStringLiteral("COMMIT")));
    }
    ContractQueryWindow *w = openQueryWindow();
    QElapsedTimer t;
    t.start();
    w->filter();
    qInfo("filled %d rows in %lld ms", w->model()->rowCount(), static_cast<long long>(t.elapsed()));
    QCOMPARE(w->model()->rowCount(), kLines);
    QCOMPARE(countText(w), QStringLiteral("过滤出：25000 份合同"));
    QCOMPARE(w->model()->cell(0, ListColumn::Number), QStringLiteral("L024999"));
    QCOMPARE(w->model()->cell(3, ListColumn::Product), QStringLiteral("产品99996"));
    QVERIFY(w->model()->isHead(4));
    // The view asks only for what it shows.
    w->resize(1088, 609);
    w->list()->scrollToBottom();
    QCOMPARE(w->model()->cell(kLines - 1, ListColumn::Product), QStringLiteral("产品0"));
}

void TstQuery::textsReadWhenShownMatchAFullRead()
{
    Env env;
    // 6,000 lines of 2,000 contracts, each contract's lines 2,000 ids apart:
    // more lines than the list keeps texts of, and blocks of rows whose ids
    // lie far apart.
    constexpr int kLines = 6000, kContracts = 2000;
    {
        QSqlQuery q(env.db().database());
        QVERIFY(q.exec(QStringLiteral("BEGIN")));
        QVERIFY(q.prepare(QStringLiteral("insert into ") + table()
                          + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,"
                                           "计量单位,制单日期,生效日期,失效日期,合同金额,付款方式,税率) "
                                           "values(?,?,'-','张三','采购部','李四',?,?,?,'台','2024-03-05',"
                                           "'2024-03-01','2025-03-01','100','月结','13%')")));
        QVariantList states, numbers, suppliers, products, quantities;
        for (int i = 0; i < kLines; ++i) {
            states << (i % 3 ? QStringLiteral("已审核") : QStringLiteral("未审核"));
            numbers << QStringLiteral("Z%1").arg(i % kContracts, 5, 10, QLatin1Char('0'));
            suppliers << QStringLiteral("供应商%1").arg(i % kContracts);
            products << QStringLiteral("产品%1").arg(i);
            quantities << QString::number(i % 7);
        }
        for (const QVariantList &v : {states, numbers, suppliers, products, quantities})
            q.addBindValue(v);
        QVERIFY(q.execBatch());
        QVERIFY(q.exec(QStringLiteral("COMMIT")));
    }
    // PDFs: on the first row of every seventh contract; on a second row
    // only (does not count); empty bytes on a first row (do not count);
    // and on the first row of a contract that lies before the date range
    // while its later lines lie inside it (counts).
    QVERIFY(env.db().execute(QStringLiteral("update ") + table()
                                 + QStringLiteral(" set 附件=? where id<=? and id%7=0"),
                             {QByteArray("%PDF-1.4"), kContracts}));
    setAttachment(env, kContracts + 2, QByteArray("%PDF-1.4"));
    setAttachment(env, 3, QByteArray());
    setAttachment(env, 5, QByteArray("%PDF-1.4"));
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 制单日期='2024-02-01' where id=5")));
    const ContractQuery q(env.db(), table());
    const Filter f = q.buildFilter({QDate(2024, 3, 1), QDate(2024, 3, 15), QString(), QString()});
    QVector<ContractLine> all;
    QVERIFY(q.read(f, all));
    QCOMPARE(all.size(), kLines - 1);
    ContractListModel full;
    full.setLines(all);
    auto readList = [&](ContractListModel &m) {
        ListLines lines;
        QVERIFY(q.read(f, lines));
        m.setLines(std::move(lines));
    };
    ContractListModel lazy;
    readList(lazy);
    QCOMPARE(lazy.rowCount(), kLines - 1);
    // The marks on their own, before any text is read.
    auto markOf = [](const ContractListModel &m, const QString &number) {
        for (int r = 0; r < m.rowCount(); ++r)
            if (m.cell(r, ListColumn::Number) == number)
                return m.cell(r, ListColumn::Attachment);
        return QStringLiteral("not shown");
    };
    QCOMPARE(markOf(lazy, QStringLiteral("Z00006")), kAttachmentMark);
    QCOMPARE(markOf(lazy, QStringLiteral("Z00004")), kAttachmentMark);
    QCOMPARE(markOf(lazy, QStringLiteral("Z00001")), QString());
    QCOMPARE(markOf(lazy, QStringLiteral("Z00002")), QString());
    QCOMPARE(markOf(lazy, QStringLiteral("Z00005")), QString());
    int marked = 0;
    for (int r = 0; r < lazy.rowCount(); ++r)
        marked += lazy.cell(r, ListColumn::Attachment) == kAttachmentMark ? 1 : 0;
    QCOMPARE(marked, kContracts / 7 + 1);
    QCOMPARE(lazy.contractCount(), kContracts);
    QCOMPARE(q.countContracts(f), kContracts);

    auto sameRow = [&](int r) {
        for (int c = 0; c < ListColumn::Count; ++c)
            if (lazy.cell(r, c) != full.cell(r, c))
                return QStringLiteral("row %1 column %2: %3 / %4").arg(r).arg(c).arg(lazy.cell(r, c), full.cell(r, c));
        return QString();
    };
    // Far rows first, then down the list as an export reads it, then up it
    // as someone scrolls back: every cell as a full read has it.
    for (int r : {kLines - 2, kLines / 2, 4500, 7, 3001})
        QCOMPARE(sameRow(r), QString());
    for (int r = 0; r < kLines - 1; ++r)
        QCOMPARE(sameRow(r), QString());
    for (int r = kLines - 2; r >= 0; r -= 3)
        QCOMPARE(sameRow(r), QString());
    QCOMPARE(lazy.lineId(kLines - 2), full.lineId(kLines - 2));

    // A find in a list just filled reads its column for all lines at once
    // and finds what the full list finds; continuation rows count in the
    // product column only.
    ContractListModel fresh;
    readList(fresh);
    QCOMPARE(fresh.highlightMatching(ListColumn::Product, QStringLiteral("产品59")),
             full.highlightMatching(ListColumn::Product, QStringLiteral("产品59")));
    QCOMPARE(fresh.highlightMatching(ListColumn::Supplier, QStringLiteral("供应商19")),
             full.highlightMatching(ListColumn::Supplier, QStringLiteral("供应商19")));

    // What the list is told stays, whatever is read or dropped meanwhile.
    ContractListModel told;
    readList(told);
    const int far = told.rowCount() - 3;
    const int farHead = told.selection({far}).value(0).headRow;
    told.setState(farHead, QStringLiteral("已审核*"));
    const qint64 edited = told.lineId(far);
    QString requesterSeen;
    told.editLines({edited}, [&](ContractLine &line) {
        requesterSeen = line.cells[ListColumn::Requester];
        line.cells[ListColumn::Product] = QStringLiteral("改过的产品");
    });
    QCOMPARE(requesterSeen, QStringLiteral("张三"));
    for (int r = 0; r < told.rowCount(); ++r)
        told.cell(r, ListColumn::Product);
    QCOMPARE(told.cell(farHead, ListColumn::State), QStringLiteral("已审核*"));
    QCOMPARE(told.cell(far, ListColumn::Product), QStringLiteral("改过的产品"));
    QCOMPARE(told.cell(far, ListColumn::Quantity), full.cell(far, ListColumn::Quantity));
    QCOMPARE(told.highlightMatching(ListColumn::State, QStringLiteral("*")), QVector<int>({farHead}));
    QCOMPARE(told.highlightMatching(ListColumn::Product, QStringLiteral("改过")), QVector<int>({far}));

    // A head line removed: the next line of its contract shows every column.
    const int head = told.selection({told.rowCount() / 2}).value(0).headRow;
    QVERIFY(told.isHead(head) && !told.isHead(head + 1));
    const QString supplier = full.cell(head, ListColumn::Supplier);
    const QString nextProduct = full.cell(head + 1, ListColumn::Product);
    told.removeLine(told.lineId(head));
    QCOMPARE(told.cell(head, ListColumn::Supplier), supplier);
    QCOMPARE(told.cell(head, ListColumn::Product), nextProduct);

    // A line deleted elsewhere before it is shown keeps its number and
    // shows nothing else; its neighbours are not mixed up with it.
    ContractListModel stale;
    readList(stale);
    const int gone = 4998;
    QVERIFY(stale.isHead(gone));
    QVERIFY(env.db().execute(QStringLiteral("delete from ") + table() + QStringLiteral(" where id=?"),
                             {stale.lineId(gone)}));
    QCOMPARE(stale.cell(gone, ListColumn::Number), full.cell(gone, ListColumn::Number));
    QCOMPARE(stale.cell(gone, ListColumn::Supplier), QString());
    QCOMPARE(stale.cell(gone + 1, ListColumn::Product), full.cell(gone + 1, ListColumn::Product));
    QCOMPARE(stale.cell(gone - 1, ListColumn::Product), full.cell(gone - 1, ListColumn::Product));
}

QTEST_MAIN(TstQuery)
#include "tst_query.moc"
