// Expiry reminders on a fixed clock: days counted in calendar dates across a
// month end, a year end and 29 February, which past contracts are still
// owed money, the login's reminder and the window with its double-click
// into the contract query window.
#include "app/SystemConfigWindow.h"
#include "contracts/ContractQueryWindow.h"
#include "contracts/ContractRecord.h"
#include "reports/ExpiryReminderWindow.h"
#include "reports/ExpiryReminders.h"
#include "data/RowTableModel.h"
#include "support/Controls.h"
#include "support/TestEnv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

using namespace cg;

namespace {

using cgtest::child;

struct Env : cgtest::TestEnv {
    Env()
    {
        loginAs(QStringLiteral("admin"));
        Clock::setFixed(cgtest::kFixedNow);
        Windows::registerFactory(WindowKey::ExpiryReminders, CreateExpiryReminderWindow);
        Windows::registerFactory(WindowKey::ContractQuery, CreateContractQueryWindow);
    }
    ~Env()
    {
        for (const QString &key : {WindowKey::ExpiryReminders, WindowKey::ContractQuery})
            delete Windows::find(key);
        Windows::clearFactories();
    }
    // A contract of `lines` lines with these header values.
    void add(const QString &number, const QString &expiry, const QString &balance, int lines = 1,
             const QString &supplier = QStringLiteral("华东机电"), const QString &documentDate = QStringLiteral("2035-01-10"))
    {
        QList<ContractRow> rows;
        for (int k = 1; k <= lines; ++k) {
            ContractRow r;
            r.state = AuditState::Audited;
            r.requester = QStringLiteral("张三");
            r.department = QStringLiteral("采购部");
            r.buyer = QStringLiteral("李四");
            r.unit = QStringLiteral("台");
            r.paymentTerms = QStringLiteral("月结");
            r.taxRate = QStringLiteral("13%");
            r.number = number;
            r.subNumber = LineSubNumber(number, k);
            r.supplier = supplier;
            r.product = QStringLiteral("产品%1").arg(k);
            r.quantity = QStringLiteral("1");
            r.documentDate = documentDate;
            r.effectiveDate = documentDate;
            r.expiryDate = expiry;
            r.amount = QStringLiteral("1000");
            r.first = r.second = r.third = r.fourth = QStringLiteral("0");
            r.remaining = balance.isNull() ? QStringLiteral("") : balance;
            if (r.expiryDate.isNull())
                r.expiryDate = QStringLiteral("");
            rows << r;
        }
        QVERIFY(ContractStore(db(), ctx().login.contractTable, ctx().login.accountSetName).insertRows(rows));
    }
    QVector<ExpiringContract> list(const QDate &today, int days)
    {
        QVector<ExpiringContract> out;
        if (!ExpiryReminders(db(), ctx().login.contractTable).list(today, days, out))
            qWarning("list failed: %s", qPrintable(db().lastError()));
        return out;
    }
};

} // namespace

class TstReminders : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { MessageSeam::startRecording(); }
    void daysAndBalances_data();
    void daysAndBalances();
    void oneRowPerContractInDateOrder();
    void storedTextsThatAreNoDates();
    void reminderAtLogin();
    void windowAndDoubleClick();
    void daysSetInTheConfiguration();
};

void TstReminders::daysAndBalances_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<int>("days");
    QTest::addColumn<QString>("expiry");
    QTest::addColumn<QString>("balance");
    QTest::addColumn<int>("expected");   // days left, or INT_MIN when not listed
    const int no = INT_MIN;
    const QDate may20(2035, 5, 20);
    QTest::newRow("today") << may20 << 30 << "2035-05-20" << "500" << 0;
    QTest::newRow("tomorrow") << may20 << 30 << "2035-05-21" << "500" << 1;
    QTest::newRow("last day of the range") << may20 << 30 << "2035-06-19" << "500" << 30;
    QTest::newRow("a day beyond") << may20 << 30 << "2035-06-20" << "500" << no;
    QTest::newRow("soon and paid is still listed") << may20 << 30 << "2035-05-25" << "0" << 5;
    QTest::newRow("month end") << QDate(2035, 1, 31) << 30 << "2035-02-01" << "1" << 1;
    QTest::newRow("month end, a month on") << QDate(2035, 1, 31) << 30 << "2035-03-02" << "1" << 30;
    QTest::newRow("year end") << QDate(2035, 12, 31) << 30 << "2036-01-01" << "1" << 1;
    QTest::newRow("year end, past") << QDate(2036, 1, 1) << 30 << "2035-12-31" << "1" << -1;
    QTest::newRow("29 February") << QDate(2036, 2, 28) << 30 << "2036-02-29" << "1" << 1;
    QTest::newRow("1 March after 29 February") << QDate(2036, 2, 28) << 30 << "2036-03-01" << "1" << 2;
    QTest::newRow("past across 29 February") << QDate(2036, 3, 1) << 30 << "2036-02-28" << "1" << -2;
    QTest::newRow("not a leap year") << QDate(2035, 2, 28) << 30 << "2035-03-01" << "1" << 1;
    QTest::newRow("past, owed") << may20 << 30 << "2034-05-20" << "12.5" << -365;
    QTest::newRow("past, owed as negative") << may20 << 30 << "2035-05-19" << "-3" << -1;
    QTest::newRow("past, paid") << may20 << 30 << "2035-05-19" << "0" << no;
    QTest::newRow("past, paid with decimals") << may20 << 30 << "2035-05-19" << "0.00" << no;
    QTest::newRow("past, paid as -0") << may20 << 30 << "2035-05-19" << " -0" << no;
    QTest::newRow("past, tiny amount owed") << may20 << 30 << "2035-05-19" << "0.000001" << -1;
    QTest::newRow("past, empty balance") << may20 << 30 << "2035-05-19" << "" << -1;
    QTest::newRow("past, balance no number") << may20 << 30 << "2035-05-19" << "待定" << -1;
    QTest::newRow("N = 0: today") << may20 << 0 << "2035-05-20" << "1" << 0;
    QTest::newRow("N = 0: tomorrow") << may20 << 0 << "2035-05-21" << "1" << no;
    QTest::newRow("N = 0: past, owed") << may20 << 0 << "2035-05-01" << "1" << -19;
}

void TstReminders::daysAndBalances()
{
    QFETCH(QDate, today);
    QFETCH(int, days);
    QFETCH(QString, expiry);
    QFETCH(QString, balance);
    QFETCH(int, expected);
    Env env;
    env.add(QStringLiteral("KQLM0001"), expiry, balance);
    const QVector<ExpiringContract> got = env.list(today, days);
    if (expected == INT_MIN) {
        QCOMPARE(got.size(), 0);
        return;
    }
    QCOMPARE(got.size(), 1);
    QCOMPARE(got.at(0).daysLeft, expected);
    QCOMPARE(ExpiryReminders::daysText(got.at(0)), QString::number(expected));
    QCOMPARE(got.at(0).expiryText, expiry);
}

void TstReminders::oneRowPerContractInDateOrder()
{
    Env env;
    env.add(QStringLiteral("KQLM0003"), QStringLiteral("2035-06-01"), QStringLiteral("1"), 3, QStringLiteral("丙公司"));
    env.add(QStringLiteral("KQLM0001"), QStringLiteral("2035-05-30"), QStringLiteral("1"), 2, QStringLiteral("甲公司"));
    env.add(QStringLiteral("KQLM0002"), QStringLiteral("2035-05-30"), QStringLiteral("1"), 1, QStringLiteral("乙公司"));
    env.add(QStringLiteral("KQLM0004"), QStringLiteral("2035-04-01"), QStringLiteral("7"), 2);
    const QVector<ExpiringContract> got = env.list(cgtest::kFixedNow.date(), 30);
    QStringList numbers;
    for (const ExpiringContract &c : got)
        numbers << c.number + u'/' + c.supplier + u'/' + QString::number(c.daysLeft);
    QCOMPARE(numbers, QStringList({"KQLM0004/华东机电/-49", "KQLM0001/甲公司/10", "KQLM0002/乙公司/10",
                                   "KQLM0003/丙公司/12"}));
}

void TstReminders::storedTextsThatAreNoDates()
{
    if (cgtest::TestEnv::onPostgreSql())
        QSKIP("the server's date column holds dates only");
    Env env;
    env.add(QStringLiteral("KQLM0001"), QStringLiteral("2035/5/21"), QStringLiteral("100"));
    env.add(QStringLiteral("KQLM0002"), QStringLiteral("2035-02-30"), QStringLiteral("100"));
    env.add(QStringLiteral("KQLM0003"), QString(), QStringLiteral("0"));   // paid: nothing to remind of
    env.add(QStringLiteral("KQLM0004"), QStringLiteral("2035-05-21"), QStringLiteral("100"));
    env.add(QStringLiteral("KQLM0005"), QStringLiteral("2099/1/1"), QStringLiteral("100"));
    const QVector<ExpiringContract> got = env.list(cgtest::kFixedNow.date(), 30);
    QStringList rows;
    for (const ExpiringContract &c : got)
        rows << c.number + u'/' + c.expiryText + u'/' + ExpiryReminders::daysText(c);
    // Not dropped: listed after the dated ones, their days unknown.
    QCOMPARE(rows, QStringList({"KQLM0004/2035-05-21/1", "KQLM0002/2035-02-30/日期无法识别",
                                "KQLM0001/2035/5/21/日期无法识别", "KQLM0005/2099/1/1/日期无法识别"}));
}

void TstReminders::reminderAtLogin()
{
    Env env;
    // Nothing due: no window.
    env.add(QStringLiteral("KQLM0001"), QStringLiteral("2035-12-01"), QStringLiteral("100"));
    QVERIFY(!ShowExpiryRemindersAtLogin());
    QVERIFY(!Windows::find(WindowKey::ExpiryReminders));
    env.add(QStringLiteral("KQLM0002"), QStringLiteral("2035-06-01"), QStringLiteral("100"));
    // Turned off by 0 days, or by the check box's setting.
    QVERIFY(ReminderSettings::setDays(0));
    QVERIFY(!ShowExpiryRemindersAtLogin());
    QVERIFY(ReminderSettings::setDays(10));
    QVERIFY(!ShowExpiryRemindersAtLogin());   // 12 days away
    QVERIFY(ReminderSettings::setDays(12));
    QVERIFY(ReminderSettings::setQuietAtLogin(true));
    QVERIFY(!ShowExpiryRemindersAtLogin());
    QVERIFY(!Windows::find(WindowKey::ExpiryReminders));
    QVERIFY(ReminderSettings::setQuietAtLogin(false));
    QVERIFY(ShowExpiryRemindersAtLogin());
    auto *w = qobject_cast<ExpiryReminderWindow *>(Windows::find(WindowKey::ExpiryReminders));
    QVERIFY(w);
    QVERIFY(w->isVisible());
    QVERIFY(!w->isModal());
    QCOMPARE(cgtest::shownRows(w->model()), QList<QStringList>({{"KQLM0002", "华东机电", "2035-06-01", "12", "1000", "100"}}));
    // A stored day count out of range reads as the default.
    QVERIFY(Settings::write(ReminderSettings::kSection, ReminderSettings::kDaysKey, QStringLiteral("-5")));
    QCOMPARE(ReminderSettings::days(), 30);
}

void TstReminders::windowAndDoubleClick()
{
    Env env;
    env.add(QStringLiteral("KQLM0007"), QStringLiteral("2035-05-25"), QStringLiteral("300"), 3, QStringLiteral("甲公司"),
            QStringLiteral("2034-11-02"));
    env.add(QStringLiteral("KQLM00071"), QStringLiteral("2035-05-26"), QStringLiteral("300"));
    env.add(QStringLiteral("KQLM0008"), QStringLiteral("2035-05-19"), QStringLiteral("0"));
    auto *w = qobject_cast<ExpiryReminderWindow *>(Windows::open(WindowKey::ExpiryReminders));
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--合同到期提醒"));
    QCOMPARE(env.logTriples(), QStringList({"开始|打开合同到期提醒窗口|合同到期提醒"}));
    QCOMPARE(child<QLabel>(w, "标签_说明")->text(), QStringLiteral("今后30天内到期的合同，以及已过期仍有剩余尾款的合同："));
    auto *list = child<QTableView>(w, "超级列表框_到期提醒");
    QStringList headers;
    for (int c = 0; c < w->model()->columnCount(); ++c)
        headers << w->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, QStringList({"合同编号", "供应商", "失效日期", "剩余天数", "合同总金额(元)", "剩余尾款(元)"}));
    QCOMPARE(cgtest::shownRows(w->model()), QList<QStringList>({{"KQLM0007", "甲公司", "2035-05-25", "5", "1000", "300"},
                                                     {"KQLM00071", "华东机电", "2035-05-26", "6", "1000", "300"}}));
    QCOMPARE(child<QLabel>(w, "标签_统计")->text(), QStringLiteral("共：2 份合同"));

    // The check box is this workstation's setting at once.
    auto *quiet = child<QCheckBox>(w, "选择框_不再提醒");
    QCOMPARE(quiet->text(), QStringLiteral("登录时不再提醒"));
    QVERIFY(!quiet->isChecked());
    quiet->click();
    QCOMPARE(env.setting(ReminderSettings::kSection, ReminderSettings::kQuietKey), QStringLiteral("1"));
    quiet->click();
    QCOMPARE(env.setting(ReminderSettings::kSection, ReminderSettings::kQuietKey), QStringLiteral("0"));

    // A double-click on the first row shows that contract, all its lines,
    // in the query window, filtered over its own document date (outside
    // this month, where the window starts).
    list->show();
    const QRect cell = list->visualRect(w->model()->index(0, 1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
    auto *query = qobject_cast<ContractQueryWindow *>(Windows::find(WindowKey::ContractQuery));
    QVERIFY(query);
    QCOMPARE(child<QComboBox>(query, "组合框_编号名称")->currentText(), QStringLiteral("合同编号"));
    QCOMPARE(child<QLineEdit>(query, "编辑框_条件")->text(), QStringLiteral("KQLM0007"));
    QCOMPARE(child<QDateEdit>(query, "日期框_起始")->date(), QDate(2034, 11, 2));
    QCOMPARE(query->model()->rowCount(), 3);
    QCOMPARE(query->model()->cell(0, 1), QStringLiteral("KQLM0007"));
    QCOMPARE(child<QLabel>(query, "标签_统计")->text(), QStringLiteral("过滤出：1 份合同"));
    QCOMPARE(env.logTriples().mid(1), QStringList({"开始|打开合同查询窗口|合同查询", "操作|查询合同|合同查询"}));
    // The filter column the user chose stays remembered as it was.
    QCOMPARE(env.setting(QStringLiteral("查询"), QStringLiteral("合同过滤字段类型")), QString());

    child<QPushButton>(w, "按钮_关闭")->click();
    QCOMPARE(env.logTriples().last(), QStringLiteral("结束|关闭合同到期提醒窗口|合同到期提醒"));
}

void TstReminders::daysSetInTheConfiguration()
{
    Env env;
    QPointer<QWidget> w = CreateSystemConfigWindow(nullptr);
    auto *days = child<QSpinBox>(w, "数字框_提醒天数");
    QCOMPARE(days->value(), 30);
    QVERIFY(days->isEnabled());
    QCOMPARE(child<QLabel>(w, "标签_提醒天数")->buddy(), days);
    days->setValue(7);
    child<QPushButton>(w, "按钮_保存")->click();
    QCOMPARE(cgtest::messageTexts().last(), QStringLiteral("保存成功！"));
    QCOMPARE(env.setting(ReminderSettings::kSection, ReminderSettings::kDaysKey), QStringLiteral("7"));
    QCOMPARE(ReminderSettings::days(), 7);
    delete w.data();
}

QTEST_MAIN(TstReminders)
#include "tst_reminders.moc"
