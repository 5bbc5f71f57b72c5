// The system log window against a real database: the filter by entry date
// and condition, paging through the list, the export read back by openpyxl,
// and clearing with its two questions.
#include "app/Catalog.h"
#include "app/MainWindow.h"
#include "data/RowTableModel.h"
#include "logview/SystemLogWindow.h"
#include "spreadsheet/WorkbookProbe.h"
#include "support/TestEnv.h"
#include "support/UserInput.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using namespace cg;

namespace {

// The clock of these tests: a day after every seeded entry, so the
// window's own entries fall outside the ranges the tests ask for.
const QDateTime kNow(QDate(2035, 6, 30), QTime(10, 0, 0));

const QString kWarning = QString(22, u' ')
    + QStringLiteral("请注意！！！\r\n清除日志动作不仅仅是清除当前已过滤出来的数据，而是全部删除！");
const QString kAskExport = QStringLiteral("是否要导出Excel文件！");

template <typename T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromUtf8(name));
    if (!c)
        qFatal("missing control %s", name);
    return c;
}

struct LogWindow {
    cgtest::TestEnv env;
    QPointer<SystemLogWindow> w;

    explicit LogWindow(const QString &user = QStringLiteral("admin"))
    {
        if (user != QLatin1String("admin"))
            env.addUser(user, QStringLiteral("pw"), {QStringLiteral("导出")});
        env.loginAs(user);
        Clock::setFixed(kNow);
        Windows::registerFactory(WindowKey::SystemLog, CreateSystemLogWindow);
        w = qobject_cast<SystemLogWindow *>(Windows::open(WindowKey::SystemLog));
    }
    ~LogWindow() { delete w.data(); }

    // One entry of rzb, as the writer would have stored it on that day.
    void add(const QString &day, const QString &time, const QString &user, const QString &description,
             const QString &ip = QStringLiteral("10.0.0.5"))
    {
        QVERIFY(env.db().execute(QStringLiteral("insert into rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
                                                "values (?,?,?,?,?,?,?,?)"),
                                 {day, day + u' ' + time, user, QStringLiteral("合同录入"), QStringLiteral("操作"),
                                  description, QStringLiteral("PC-") + user, ip}));
    }
    void setRange(const QDate &start, const QDate &end)
    {
        child<QDateEdit>(w, "日期框_起始")->setDate(start);
        child<QDateEdit>(w, "日期框_终止")->setDate(end);
    }
    void setCondition(const QString &column, const QString &text)
    {
        auto *box = child<QComboBox>(w, "组合框_编号名称");
        box->setCurrentIndex(box->findText(column));
        child<QLineEdit>(w, "编辑框_条件")->setText(text);
    }
    void click(const char *name) { child<QPushButton>(w, name)->click(); }
    QString count() { return child<QLabel>(w, "标签_统计")->text(); }
    // Column 4 (内容描述) of the rows read so far.
    QStringList descriptions()
    {
        QStringList out;
        for (int r = 0; r < w->model()->rowCount(); ++r)
            out << w->model()->text(r, 4);
        return out;
    }
    int entries() { return env.rows(QStringLiteral("select count(*) from rzb")).value(0).value(0).toInt(); }
};

} // namespace

class TstLogView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void openingAndFilters();
    void pagesAndExportsEveryEntry();
    void clearingAsksTwice();
    void clearingRefusedOrFailed();
    void openedFromTheMenuAndModally();
};

void TstLogView::openingAndFilters()
{
    LogWindow t;
    QCOMPARE(t.w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--系统日志查询"));
    QCOMPARE(t.env.logTriples(), QStringList({"开始|打开系统日志查询窗口|日志"}));
    QCOMPARE(t.count(), QStringLiteral(" 共计：0条"));
    QCOMPARE(t.w->model()->rowCount(), 0);
    QCOMPARE(child<QDateEdit>(t.w, "日期框_起始")->date(), QDate(2034, 6, 30));
    QCOMPARE(child<QDateEdit>(t.w, "日期框_终止")->date(), QDate(2035, 6, 30));
    QCOMPARE(child<QLabel>(t.w, "标签3")->buddy(), child<QDateEdit>(t.w, "日期框_起始"));
    auto *box = child<QComboBox>(t.w, "组合框_编号名称");
    QCOMPARE(box->currentIndex(), -1);
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    QCOMPARE(items, QStringList({"日期", "用户", "操作模块", "状态", "内容描述", "机器名", "IP地址"}));
    QStringList headers;
    QTableView *list = child<QTableView>(t.w, "超级列表框_日志");
    for (int c = 0; c < 7; ++c)
        headers << list->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, QStringList({"日期\\时间", "用  户", "操作模块", "状 态", "内容描述", "机器名", "IP地址"}));
    QVERIFY(list->isColumnHidden(7));

    t.add("2035-05-09", "23:59:59", "甲", "前一天");
    t.add("2035-05-10", "00:00:00", "乙", "起始日", "192.168.1.7");
    t.add("2035-05-20", "23:59:59", "丙", "终止日", "10.192.168.1");
    t.add("2035-05-15", "08:00:00", "O'Brien", "中间", "192.168.3.9");
    t.add("2035-05-21", "00:00:00", "丁", "后一天", "192.168.1.8");

    // Both ends of the range count; newest entry first.
    t.setRange(QDate(2035, 5, 10), QDate(2035, 5, 20));
    t.click("按钮_过滤_");
    QCOMPARE(t.descriptions(), QStringList({"中间", "终止日", "起始日"}));
    QCOMPARE(t.count(), QStringLiteral(" 共计：3条"));
    QCOMPARE(t.w->model()->text(0, 0), QStringLiteral("2035-05-15 08:00:00"));
    QCOMPARE(t.w->model()->text(0, 1), QStringLiteral("O'Brien"));
    QCOMPARE(t.w->model()->text(0, 6), QStringLiteral("192.168.3.9"));
    QCOMPARE(t.env.logTriples().last(), QStringLiteral("操作|查询系统日志|日志"));

    // A fragment of the address, anywhere in it.
    t.setCondition(QStringLiteral("IP地址"), QStringLiteral("192.168"));
    t.click("按钮_过滤_");
    QCOMPARE(t.descriptions(), QStringList({"中间", "终止日", "起始日"}));
    t.setCondition(QStringLiteral("IP地址"), QStringLiteral("192.168.1"));
    t.click("按钮_过滤_");
    QCOMPARE(t.descriptions(), QStringList({"终止日", "起始日"}));
    QCOMPARE(t.count(), QStringLiteral(" 共计：2条"));
    // A quote is a character like any other; Enter in the condition filters.
    t.setCondition(QStringLiteral("用户"), QStringLiteral("O'B"));
    QVERIFY(cgtest::pressReturn(child<QLineEdit>(t.w, "编辑框_条件")));
    QCOMPARE(t.descriptions(), QStringList({"中间"}));
    // Enter in either date picker filters as well: the picker has the
    // focus, and a date typed into it counts.
    t.setRange(QDate(2035, 5, 15), QDate(2035, 5, 20));
    t.setCondition(QString(), QString());
    QVERIFY(cgtest::pressKeypadEnter(child<QDateEdit>(t.w, "日期框_终止")));
    QCOMPARE(t.descriptions(), QStringList({"中间", "终止日"}));
    t.setRange(QDate(2035, 5, 10), QDate(2035, 5, 15));
    QVERIFY(cgtest::pressReturn(child<QDateEdit>(t.w, "日期框_起始")));
    QCOMPARE(t.descriptions(), QStringList({"中间", "起始日"}));
    t.setRange(QDate(2035, 5, 10), QDate(2035, 5, 20));
    // An empty condition, or no column, asks by date only.
    t.setCondition(QStringLiteral("用户"), QString());
    t.click("按钮_过滤_");
    QCOMPARE(t.descriptions().size(), 3);
    t.setCondition(QString(), QStringLiteral("无此用户"));
    t.click("按钮_过滤_");
    QCOMPARE(t.descriptions().size(), 3);

    // Start after end: nothing asked or logged, the end back on today.
    const QStringList log = t.env.logTriples();
    MessageSeam::clear();
    t.setRange(QDate(2035, 5, 21), QDate(2035, 5, 20));
    t.click("按钮_过滤_");
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(MessageSeam::shown().at(0).text, QStringLiteral("终止日期不可小于起始时间，请重新设定过滤时间！"));
    QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Information);
    QCOMPARE(child<QDateEdit>(t.w, "日期框_终止")->date(), kNow.date());
    QCOMPARE(t.descriptions().size(), 3);
    QCOMPARE(t.env.logTriples(), log);

    t.w->close();
    QCOMPARE(t.env.logTriples().last(), QStringLiteral("结束|关闭系统日志窗口|日志"));
}

void TstLogView::pagesAndExportsEveryEntry()
{
    LogWindow t;
    constexpr int kEntries = 1234;
    QVERIFY(t.env.db().execute(QStringLiteral("begin")));
    for (int i = 0; i < kEntries; ++i)
        t.add(QStringLiteral("2035-05-%1").arg(1 + i % 28, 2, 10, QLatin1Char('0')), "12:00:00",
              QStringLiteral("用户%1").arg(i % 7), QStringLiteral("第%1条").arg(i));
    QVERIFY(t.env.db().execute(QStringLiteral("commit")));
    t.setRange(QDate(2035, 5, 1), QDate(2035, 5, 31));
    t.click("按钮_过滤_");
    QCOMPARE(t.count(), QStringLiteral(" 共计：1234条"));
    // The list reads a page at a time, as the view asks for more.
    RowTableModel *model = t.w->model();
    QCOMPARE(model->rowCount(), 500);
    QVERIFY(model->canFetchMore({}));
    model->fetchMore({});
    QCOMPARE(model->rowCount(), 1000);
    // Entries written after the query are not part of it.
    t.add("2035-05-31", "12:00:00", "后来", "查询之后");

    // Cancelled: logged as failed, nothing deleted.
    MessageSeam::clear();
    t.click("按钮_导出_");
    QCOMPARE(cgtest::messageTexts(), QStringList({"用户取消导出！"}));
    QCOMPARE(t.env.logTriples().last(), QStringLiteral("操作|导出系统日志失败|日志"));
    const int entries = t.entries();

    // Every entry of the query, not only the rows read so far.
    MessageSeam::clear();
    const QString path = t.env.folder() + QStringLiteral("/日志.xlsx");
    FileDialogs::setNextPath(path);
    t.click("按钮_导出_");
    QCOMPARE(cgtest::messageTexts(), QStringList({"成功导出：" + QDir::toNativeSeparators(path)}));
    QCOMPARE(t.env.logTriples().last(), QStringLiteral("操作|导出系统日志成功|日志"));
    QCOMPARE(t.entries(), entries + 1);
    QList<QStringList> expected;
    for (int i = kEntries - 1; i >= 0; --i) {
        const QString day = QStringLiteral("2035-05-%1").arg(1 + i % 28, 2, 10, QLatin1Char('0'));
        const QString user = QStringLiteral("用户%1").arg(i % 7);
        expected << QStringList{day + QStringLiteral(" 12:00:00"), user, "合同录入", "操作",
                                QStringLiteral("第%1条").arg(i), "PC-" + user, "10.0.0.5"};
    }
    const QJsonObject book = probe::dumpWorkbook(path);
    probe::checkExportTitles(book, {"日期/时间", "用户", "操作模块", "状态", "内容描述", "机器名", "IP地址"});
    probe::checkExportRows(book, expected);

    // A log longer than a worksheet holds goes on over the next worksheets,
    // each with the title row (here with 500 rows to a sheet).
    Sheet::SetRowsPerSheetForTests(500);
    MessageSeam::clear();
    const QString longPath = t.env.folder() + QStringLiteral("/长日志.xlsx");
    FileDialogs::setNextPath(longPath);
    t.click("按钮_导出_");
    Sheet::SetRowsPerSheetForTests(0);
    QCOMPARE(cgtest::messageTexts(), QStringList({"成功导出：" + QDir::toNativeSeparators(longPath)}));
    QCOMPARE(t.env.logTriples().last(), QStringLiteral("操作|导出系统日志成功|日志"));
    for (int sheet = 0; sheet < 3; ++sheet) {
        const QJsonObject part = probe::dumpWorkbook(longPath, sheet);
        QCOMPARE(part.value("sheets").toInt(), 3);
        probe::checkExportTitles(part, {"日期/时间", "用户", "操作模块", "状态", "内容描述", "机器名", "IP地址"});
        probe::checkExportRows(part, expected.mid(500 * sheet, 500));
    }
}

void TstLogView::clearingAsksTwice()
{
    LogWindow t;
    const QString today = kNow.date().toString(Qt::ISODate);
    t.add(today, "08:00:00", "甲", "今天早上", "192.168.1.7");
    t.add("2035-05-15", "08:00:00", "乙", "上个月");
    t.click("按钮_过滤_");
    QCOMPARE(t.count(), QStringLiteral(" 共计：3条"));   // with the window's opening entry
    MessageSeam::clear();

    // No to the first question: nothing happens.
    t.click("按钮_清空");
    QCOMPARE(MessageSeam::shown().size(), 1);
    const ShownMessage q = MessageSeam::shown().at(0);
    QCOMPARE(q.text, kWarning);
    QCOMPARE(q.icon, MsgIcon::Question);
    QCOMPARE(q.title, QStringLiteral("系统提示"));
    QCOMPARE(q.owner, t.w.data());
    QCOMPARE(t.entries(), 4);

    // Yes and Yes, with the export dialog cancelled: the user asked for a
    // copy first and has none, so nothing is deleted.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    t.click("按钮_清空");
    QCOMPARE(cgtest::messageTexts(),
             QStringList({kWarning, kAskExport, "用户取消导出！", "没有导出系统日志，日志未清除！"}));
    QCOMPARE(t.entries(), 5);
    QCOMPARE(t.env.logTriples().last(), QStringLiteral("操作|导出系统日志失败|日志"));

    // Yes and Yes: exported first, then everything is gone but the
    // clearing and the query that followed it.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    const QString path = t.env.folder() + QStringLiteral("/日志.xlsx");
    FileDialogs::setNextPath(path);
    t.click("按钮_清空");
    QCOMPARE(cgtest::messageTexts(),
             QStringList({kWarning, kAskExport, "成功导出：" + QDir::toNativeSeparators(path), "所有日志已清除！"}));
    QCOMPARE(MessageSeam::shown().last().icon, MsgIcon::Information);
    QCOMPARE(MessageSeam::shown().last().owner, t.w.data());
    QCOMPARE(t.env.logTriples(), QStringList({"操作|删除系统日志|日志", "操作|查询系统日志|日志"}));
    // The list shows the new entry (today lies in the range).
    QCOMPARE(t.descriptions(), QStringList({"删除系统日志"}));
    QCOMPARE(t.count(), QStringLiteral(" 共计：1条"));
    const QJsonObject book = probe::dumpWorkbook(path);
    probe::checkExportTitles(book, {"日期/时间", "用户", "操作模块", "状态", "内容描述", "机器名", "IP地址"});
    const QString ip = HostInfo::ipv4Address(), pc = HostInfo::computerName();
    probe::checkExportRows(book, {{"2035-05-15 08:00:00", "乙", "合同录入", "操作", "上个月", "PC-乙", "10.0.0.5"},
                                  {today + " 08:00:00", "甲", "合同录入", "操作", "今天早上", "PC-甲", "192.168.1.7"},
                                  {today + " 10:00:00", "admin", "日志", "开始", "打开系统日志查询窗口", pc, ip}});

    // Yes, then No: deleted without a copy.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    MessageSeam::setNextAnswer(QMessageBox::No);
    t.click("按钮_清空");
    QCOMPARE(cgtest::messageTexts(), QStringList({kWarning, kAskExport, "所有日志已清除！"}));
    QCOMPARE(t.env.logTriples(), QStringList({"操作|删除系统日志|日志", "操作|查询系统日志|日志"}));
}

void TstLogView::clearingRefusedOrFailed()
{
    {
        // The window opens for everyone when the log is too large; only
        // holders of the log right may empty it.
        LogWindow t(QStringLiteral("张三"));
        const int entries = t.entries();
        MessageSeam::setNextAnswer(QMessageBox::Yes);
        MessageSeam::setNextAnswer(QMessageBox::Yes);
        t.click("按钮_清空");
        QCOMPARE(MessageSeam::shown().size(), 1);
        QCOMPARE(MessageSeam::shown().at(0).text, QStringLiteral("你没有系统日志权限，不能清除系统日志！"));
        QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Error);
        QCOMPARE(t.entries(), entries);
    }
    {
        LogWindow t;
        QVERIFY(t.env.db().execute(
            QStringLiteral("create trigger keep before delete on rzb begin select raise(abort,'no'); end")));
        const QStringList log = t.env.logTriples();
        MessageSeam::setNextAnswer(QMessageBox::Yes);
        MessageSeam::setNextAnswer(QMessageBox::No);
        t.click("按钮_清空");
        QCOMPARE(cgtest::messageTexts(), QStringList({kWarning, kAskExport, "清除失败！"}));
        QCOMPARE(MessageSeam::shown().last().icon, MsgIcon::Error);
        QCOMPARE(t.env.logTriples(), log);
    }
}

void TstLogView::openedFromTheMenuAndModally()
{
    cgtest::TestEnv env;
    RegisterWindows();
    env.loginAs(QStringLiteral("admin"));
    auto *main = new MainWindow;
    main->start();
    main->showAfterLogin();
    main->menuAction(QStringLiteral("&R.系统日志"))->trigger();
    QWidget *w = Windows::find(WindowKey::SystemLog);
    QVERIFY(qobject_cast<SystemLogWindow *>(w));
    QCOMPARE(w->parentWidget(), main);
    QVERIFY(!w->isModal());
    w->close();

    // A log of 100000 entries opens the window modally after login; the
    // check returns once the window is closed.
    QVERIFY(env.db().execute(QStringLiteral(
        "insert into rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
        "select '2030-01-01','2030-01-01 00:00:00','admin','日志','操作','x','pc','1.2.3.4' from "
        "(with recursive n(i) as (select 1 union all select i+1 from n limit 100000) select i from n)")));
    MessageSeam::clear();
    bool modal = false;
    QString count, expected;
    QTimer::singleShot(0, [&] {
        expected = QStringLiteral(" 共计：%1条")
                       .arg(env.rows(QStringLiteral("select count(*) from rzb where 过滤日期>='2034-05-20'"))
                                .value(0)
                                .value(0));
        auto *shown = qobject_cast<SystemLogWindow *>(QApplication::activeModalWidget());
        if (!shown)
            return;
        modal = shown->windowModality() == Qt::ApplicationModal && !shown->parentWidget();
        shown->findChild<QPushButton *>(QStringLiteral("按钮_过滤_"))->click();
        count = shown->findChild<QLabel *>(QStringLiteral("标签_统计"))->text();
        shown->close();
    });
    main->armLogCheck();
    main->checkLogSize();
    QVERIFY(modal);
    // Only the last year's entries are listed.
    QCOMPARE(count, expected);
    QCOMPARE(cgtest::messageTexts(), QStringList({"系统日志已超出设定值，请管理员及时清除系统日志！",
                                                  "日志数超过10万条，请管理员及时清除系统日志！"}));
    delete main;
}

QTEST_MAIN(TstLogView)
#include "tst_logview.moc"
