// The spend overview: its sums against sums worked out here in whole cents
// from the rows the test wrote, and the window as a user drives it.
#include "spend/SpendOverview.h"
#include "spend/SpendOverviewWindow.h"
#include "spreadsheet/WorkbookProbe.h"
#include "support/TestEnv.h"
#include "support/UserInput.h"
#include "ui/Gates.h"
#include "ui/Shell.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>

using namespace cg;

namespace {

QString table() { return Ctx().login.contractTable; }

struct Contract {
    QString number, supplier, department, state, date, amount, remaining;
};

bool addLine(cgtest::TestEnv &env, const Contract &c, int line)
{
    const bool ok = env.db().execute(
        QStringLiteral("insert into ") + table()
            + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
                             "制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,"
                             "第四次付款,剩余尾款,税率) values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        {c.state, c.number, LineSubNumber(c.number, line), QStringLiteral("张三"), c.department, QStringLiteral("李四"),
         c.supplier, QStringLiteral("产品") + QString::number(line), QStringLiteral("1"), QStringLiteral("台"), c.date,
         c.date, QStringLiteral("2036-12-31"), c.amount, QStringLiteral("月结"), QStringLiteral("0"),
         QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0"),
         c.remaining.isNull() ? QVariant() : QVariant(c.remaining), QStringLiteral("13%")});
    if (!ok)
        qWarning("insert failed: %s", qPrintable(env.db().lastError()));
    return ok;
}

// Cents as the overview writes a sum: no trailing zeros, no "-0".
QString yuan(qint64 cents)
{
    const qint64 a = cents < 0 ? -cents : cents;
    QString t = QString::number(a / 100);
    if (a % 100) {
        t += QStringLiteral(".%1").arg(a % 100, 2, 10, QLatin1Char('0'));
        if (t.endsWith(u'0'))
            t.chop(1);
    }
    return (cents < 0 ? QStringLiteral("-") : QString()) + t;
}

struct Expected {
    int contracts = 0, amountNaN = 0, remainingNaN = 0;
    qint64 amount = 0, remaining = 0;
    void add(const std::optional<qint64> &a, const std::optional<qint64> &r)
    {
        ++contracts;
        a ? void(amount += *a) : void(++amountNaN);
        r ? void(remaining += *r) : void(++remainingNaN);
    }
    void add(const Expected &e)
    {
        contracts += e.contracts;
        amount += e.amount;
        remaining += e.remaining;
        amountNaN += e.amountNaN;
        remainingNaN += e.remainingNaN;
    }
};

QString line(const QString &label, const Expected &e)
{
    return QStringList{label, QString::number(e.contracts), yuan(e.amount), QString::number(e.amountNaN),
                       yuan(e.remaining), QString::number(e.remainingNaN)}
        .join(u'|');
}

QString line(const SpendGroup &g)
{
    return QStringList{g.label,
                       QString::number(g.contracts),
                       g.amount.text(),
                       QString::number(g.amountNotNumber),
                       g.remaining.text(),
                       QString::number(g.remainingNotNumber)}
        .join(u'|');
}

QStringList lines(const QList<SpendGroup> &groups)
{
    QStringList out;
    for (const SpendGroup &g : groups)
        out << line(g);
    return out;
}

// Largest first, equal sums by name.
QStringList ranked(const QMap<QString, Expected> &groups, int top = -1)
{
    QList<QPair<QString, Expected>> all;
    for (auto it = groups.constBegin(); it != groups.constEnd(); ++it)
        all.append({it.key(), it.value()});
    std::stable_sort(all.begin(), all.end(), [](const auto &a, const auto &b) { return a.second.amount > b.second.amount; });
    QStringList out;
    Expected rest;
    for (int k = 0; k < all.size(); ++k) {
        if (top >= 0 && k >= top)
            rest.add(all[k].second);
        else
            out << line(all[k].first, all[k].second);
    }
    if (top >= 0 && all.size() > top)
        out << line(QStringLiteral("其他"), rest);
    return out;
}

template <typename T> T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("missing control %s", qPrintable(name));
    return c;
}

QStringList tableLines(QWidget *w)
{
    auto *t = child<QTableWidget>(w, QStringLiteral("表格_统计"));
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < t->columnCount(); ++c)
            row << t->item(r, c)->text();
        out << row.join(u'|');
    }
    return out;
}

QAbstractBarSeries *barSeries(QWidget *w, int *count)
{
    QChart *chart = child<QChartView>(w, QStringLiteral("图表_统计"))->chart();
    *count = int(chart->series().size());
    return chart->series().isEmpty() ? nullptr : qobject_cast<QAbstractBarSeries *>(chart->series().first());
}

QList<qreal> barValues(QAbstractBarSeries *s)
{
    QList<qreal> v;
    for (int k = 0; s && !s->barSets().isEmpty() && k < s->barSets().first()->count(); ++k)
        v << s->barSets().first()->at(k);
    return v;
}

QStringList categories(QAbstractBarSeries *s)
{
    for (QAbstractAxis *axis : s->attachedAxes())
        if (auto *c = qobject_cast<QBarCategoryAxis *>(axis))
            return c->categories();
    return {};
}

} // namespace

class TstSpendOverview : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sumsMatchTheRowsWritten();
    void rangeOrderAndDefaults();
    void windowShowsChartsTableAndExports();
};

void TstSpendOverview::sumsMatchTheRowsWritten()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    const QDate from(2035, 2, 1), to(2035, 6, 30);
    // The days either side of the range's ends; April stays empty.
    const QStringList dates = {"2035-01-31", "2035-02-01", "2035-02-17", "2035-03-09", "2035-05-05",
                               "2035-05-31", "2035-06-30", "2035-07-01"};
    const QStringList departments = {"采购部", "生产部", "行政部", "研发部"};
    const QStringList notNumbers = {"待定", "1,000", "", "12元", " "};

    QList<Contract> contracts;
    Expected total;
    QMap<QString, Expected> months, suppliers, byDepartment, states;
    for (int k = 0; k < 70; ++k) {
        Contract c;
        c.number = QStringLiteral("KQLM2035%1").arg(k, 4, 10, QLatin1Char('0'));
        c.supplier = QStringLiteral("供应商%1").arg(k % 13, 2, 10, QLatin1Char('0'));
        c.department = departments[k % 4];
        c.state = k % 9 == 4 ? QStringLiteral("作废") : k % 3 == 1 ? QStringLiteral("未审核") : QStringLiteral("已审核");
        c.date = dates[k % dates.size()];
        std::optional<qint64> amount = qint64(k) * 791937 % 9000000 + 101;
        if (k % 5 == 0)
            amount = *amount / 100 * 100;
        c.amount = k % 5 == 0 ? QString::number(*amount / 100)
                 : k % 2     ? QStringLiteral("%1.%2").arg(*amount / 100).arg(*amount % 100, 2, 10, QLatin1Char('0'))
                             : yuan(*amount);
        if (k % 11 == 3) {
            c.amount = notNumbers[k % notNumbers.size()];
            amount.reset();
        }
        std::optional<qint64> remaining = k % 7 == 0 ? -qint64(k) * 37 : qint64(k) * 12345 % 700000;
        c.remaining = yuan(*remaining);
        if (k % 13 == 5) {
            c.remaining = k % 2 ? QString() : QStringLiteral("abc");
            remaining.reset();
        }
        contracts << c;
        if (c.date < from.toString(Qt::ISODate) || c.date > to.toString(Qt::ISODate))
            continue;
        total.add(amount, remaining);
        months[c.date.left(7)].add(amount, remaining);
        suppliers[c.supplier].add(amount, remaining);
        byDepartment[c.department].add(amount, remaining);
        states[c.state].add(amount, remaining);
    }
    // Lines of one contract lie apart: every first line, then every second ...
    for (int lineNo = 1; lineNo <= 3; ++lineNo)
        for (int k = 0; k < contracts.size(); ++k)
            if (lineNo <= 1 + k % 3)
                QVERIFY(addLine(env, contracts[k], lineNo));
    months[QStringLiteral("2035-04")];
    QVERIFY(suppliers.size() > SpendOverview::kTopSuppliers);
    QVERIFY(total.amountNaN > 0 && total.remainingNaN > 0);

    SpendFigures f;
    QCOMPARE(SpendOverview(env.db(), table()).compute(from, to, &f), SpendOverview::Outcome::Done);
    QCOMPARE(line(f.total), line(QString(), total));
    QStringList expectedMonths;
    for (auto it = months.constBegin(); it != months.constEnd(); ++it)
        expectedMonths << line(it.key(), it.value());
    QCOMPARE(lines(f.months), expectedMonths);
    QCOMPARE(lines(f.suppliers), ranked(suppliers, SpendOverview::kTopSuppliers));
    QCOMPARE(lines(f.departments), ranked(byDepartment));
    QCOMPARE(lines(f.auditStates), QStringList({line("已审核", states["已审核"]), line("未审核", states["未审核"]),
                                                line("作废", states["作废"])}));
}

void TstSpendOverview::rangeOrderAndDefaults()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    const SpendOverview overview(env.db(), table());
    SpendFigures f;
    QCOMPARE(overview.compute(QDate(2035, 3, 2), QDate(2035, 3, 1), &f), SpendOverview::Outcome::DatesOutOfOrder);
    // Nothing in the range: both states shown with nothing, no months.
    QCOMPARE(overview.compute(QDate(2035, 1, 1), QDate(2035, 12, 31), &f), SpendOverview::Outcome::Done);
    QCOMPARE(lines(f.auditStates), QStringList({"已审核|0|0|0|0|0", "未审核|0|0|0|0|0"}));
    QVERIFY(f.months.isEmpty() && f.suppliers.isEmpty());
    QCOMPARE(SpendOverview(env.db(), QStringLiteral("htb1 where 1=1 --")).compute(QDate(2035, 1, 1), QDate(2035, 1, 2), &f),
             SpendOverview::Outcome::Failed);
    QCOMPARE(SpendOverview(env.db(), QStringLiteral("htb999")).compute(QDate(2035, 1, 1), QDate(2035, 1, 2), &f),
             SpendOverview::Outcome::Failed);

    QDate from, to;
    SpendOverview::defaultRange(QStringLiteral("2024"), QDate(2035, 5, 20), &from, &to);
    QCOMPARE(from, QDate(2024, 1, 1));
    QCOMPARE(to, QDate(2024, 12, 31));
    SpendOverview::defaultRange(QStringLiteral("本年"), QDate(2035, 5, 20), &from, &to);
    QCOMPARE(from, QDate(2035, 1, 1));
    QCOMPARE(to, QDate(2035, 12, 31));
}

void TstSpendOverview::windowShowsChartsTableAndExports()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    Windows::registerFactory(WindowKey::SpendOverview, CreateSpendOverviewWindow);
    const Contract a{"KQLM20350001", "甲机电", "采购部", "已审核", "2035-03-05", "1000.50", "200"};
    const Contract b{"KQLM20350002", "乙五金", "生产部", "未审核", "2035-05-01", "待定", "0"};
    const Contract c{"KQLM20350003", "甲机电", "采购部", "已审核", "2035-05-20", "0.25", "-0.25"};
    const Contract old{"KQLM20340009", "丙仪表", "采购部", "已审核", "2034-12-31", "99", "0"};
    QVERIFY(addLine(env, a, 1) && addLine(env, b, 1) && addLine(env, a, 2) && addLine(env, c, 1) && addLine(env, old, 1));

    auto *w = Windows::open(WindowKey::SpendOverview);
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--合同金额统计"));
    QCOMPARE(env.logTriples().last(), QStringLiteral("开始|打开合同金额统计窗口|合同金额统计"));
    // The account set's year, figures shown at once, by month.
    QCOMPARE(child<QDateEdit>(w, "日期框_起始")->date(), QDate(2035, 1, 1));
    QCOMPARE(child<QDateEdit>(w, "日期框_终止")->date(), QDate(2035, 12, 31));
    QCOMPARE(child<QLabel>(w, "标签_合计")->text(), QStringLiteral("合同：3 份，合同金额合计：1000.75 元，剩余尾款合计：199.75 元"));
    QCOMPARE(child<QLabel>(w, "标签_非数字")->text(), QStringLiteral("非数字金额：1 份"));
    const QStringList byMonth = {"2035-03|1|1000.5|0|200|0", "2035-04|0|0|0|0|0", "2035-05|2|0.25|1|-0.25|0",
                                 "合计|3|1000.75|1|199.75|0"};
    QCOMPARE(tableLines(w), byMonth);
    int count = 0;
    QAbstractBarSeries *s = barSeries(w, &count);
    QCOMPARE(count, 1);
    QVERIFY(qobject_cast<QBarSeries *>(s));
    QCOMPARE(barValues(s), QList<qreal>({1000.5, 0, 0.25}));
    QCOMPARE(categories(s), QStringList({"2035-03", "2035-04", "2035-05"}));

    // By supplier, from the keyboard: a horizontal chart, largest at the top.
    auto *grouping = child<QComboBox>(w, "组合框_分组");
    QVERIFY(cgtest::press(grouping, Qt::Key_Down));
    QCOMPARE(grouping->currentText(), QStringLiteral("按供应商"));
    QCOMPARE(tableLines(w), QStringList({"甲机电|2|1000.75|0|199.75|0", "乙五金|1|0|1|0|0", "合计|3|1000.75|1|199.75|0"}));
    QCOMPARE(child<QTableWidget>(w, "表格_统计")->horizontalHeaderItem(0)->text(), QStringLiteral("供应商"));
    s = barSeries(w, &count);
    QCOMPARE(count, 1);
    QVERIFY(qobject_cast<QHorizontalBarSeries *>(s));
    QCOMPARE(barValues(s), QList<qreal>({0, 1000.75}));
    QCOMPARE(categories(s), QStringList({"乙五金", "甲机电"}));
    QVERIFY(cgtest::press(grouping, Qt::Key_Down));
    QVERIFY(cgtest::press(grouping, Qt::Key_Down));
    QCOMPARE(tableLines(w), QStringList({"已审核|2|1000.75|0|199.75|0", "未审核|1|0|1|0|0", "合计|3|1000.75|1|199.75|0"}));

    // A range that takes in the old contract; then one out of order.
    auto *compute = child<QPushButton>(w, "按钮_统计");
    child<QDateEdit>(w, "日期框_起始")->setDate(QDate(2034, 12, 31));
    QTest::mouseClick(compute, Qt::LeftButton);
    QCOMPARE(tableLines(w).last(), QStringLiteral("合计|4|1099.75|1|199.75|0"));
    child<QDateEdit>(w, "日期框_起始")->setDate(QDate(2036, 1, 1));
    QTest::mouseClick(compute, Qt::LeftButton);
    QCOMPARE(cgtest::messageTexts(), QStringList({"终止时间不能小于起始时间，请重新设定统计时间！"}));
    QCOMPARE(tableLines(w), QStringList({"合计|0|0|0|0|0"}));

    // The table as shown goes to the workbook.
    MessageSeam::clear();
    child<QDateEdit>(w, "日期框_起始")->setDate(QDate(2035, 1, 1));
    QTest::mouseClick(compute, Qt::LeftButton);
    const QString path = env.folder() + QStringLiteral("/统计.xlsx");
    FileDialogs::setNextPath(path);
    QTest::mouseClick(child<QPushButton>(w, "按钮_导出"), Qt::LeftButton);
    QCOMPARE(cgtest::messageTexts(), QStringList({"成功导出：" + QDir::toNativeSeparators(path)}));
    QCOMPARE(env.logTriples().last(), QStringLiteral("操作|成功导出合同金额统计，共导出：3行|合同金额统计"));
    const QJsonObject book = probe::dumpWorkbook(path);
    QCOMPARE(probe::values(book.value("rows").toArray().at(0).toArray()),
             QStringList({"审核状态", "合同份数", "合同金额", "非数字金额份数", "剩余尾款", "非数字尾款份数"}));
    QList<QStringList> rows;
    for (const QString &l : tableLines(w))
        rows << l.split(u'|');
    probe::checkExportRows(book, rows);
    w->close();
    QCOMPARE(env.logTriples().last(), QStringLiteral("结束|关闭合同金额统计窗口|合同金额统计"));

    // Without the 导出 flag the button is shut, as in the other lists.
    env.addUser(QStringLiteral("clerk"), QStringLiteral("pw"), {QStringLiteral("审核")});
    env.loginAs(QStringLiteral("clerk"));
    ApplyPermissions();
    w = Windows::open(WindowKey::SpendOverview);
    QVERIFY(w && !child<QPushButton>(w, "按钮_导出")->isEnabled());
    Gates::clear();
}

QTEST_MAIN(TstSpendOverview)
#include "tst_spendoverview.moc"
