// The backup window, the restore back to the login window, the daily backup
// at login, the retention setting and the warning for a database file on a
// network folder, driven through the program's windows.
#include "app/BackupSession.h"
#include "app/Catalog.h"
#include "app/ConnectionWindow.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/SystemConfigWindow.h"
#include "backup/BackupWindow.h"
#include "backup/FileSystemInfo.h"
#include "data/Schema.h"
#include "ui/Gates.h"
#include "ui/Shell.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

using namespace cg;

namespace {

const QString kOpened = QStringLiteral("开始|打开数据备份窗口|数据备份");
const QString kMenu = QStringLiteral("&B.数据备份…");

QString contractTable(cgtest::TestEnv &env) { return env.rows(QStringLiteral("select 引用合同表 from ztb")).value(0).value(0); }

bool addLine(cgtest::TestEnv &env, const QString &number)
{
    return env.db().execute(QStringLiteral("insert into ") + contractTable(env)
                                + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,"
                                                 "计量单位,制单日期,生效日期,失效日期,合同金额,付款方式,税率) "
                                                 "values('未审核',?,?,'张三','采购部','李四','华东机电','产品','1','台',"
                                                 "'2035-05-20','2035-05-20','2036-05-20','100','月结','13%')"),
                            {number, number + QStringLiteral("1")});
}

QStringList contractNumbers(cgtest::TestEnv &env)
{
    QStringList out;
    for (const QStringList &r : env.rows(QStringLiteral("select 合同编号 from ") + contractTable(env)
                                         + QStringLiteral(" order by id")))
        out << r.value(0);
    return out;
}

template <typename T> T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qFatal("missing control %s", qPrintable(name));
    return c;
}

QWidget *loginWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("用户登录") && w->isVisible())
            return w;
    return nullptr;
}

void expectMessage(int index, const QString &text, MsgIcon icon)
{
    QVERIFY(MessageSeam::shown().size() > index);
    const ShownMessage m = MessageSeam::shown().at(index);
    QCOMPARE(m.text, text);
    QCOMPARE(m.title, QStringLiteral("系统提示"));
    QCOMPARE(int(m.icon), int(icon));
}

struct Fixture {
    cgtest::TestEnv env;
    MainWindow *main = nullptr;
    explicit Fixture(const QString &user = QStringLiteral("admin"), bool loggedIn = true)
    {
        RegisterWindows();
        if (user != QLatin1String("admin"))
            env.addUser(user, QStringLiteral("x"), {});
        if (loggedIn)
            env.loginAs(user);
        main = new MainWindow;
        main->start();
        if (loggedIn)
            main->showAfterLogin();
    }
    ~Fixture()
    {
        QList<QPointer<QWidget>> logins;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QStringLiteral("用户登录"))
                logins << w;
        for (const QPointer<QWidget> &w : logins)
            delete w.data();
        delete main;
    }
    Backups backups() const { return Backups(env.dbPath(), Backups::folderIn(env.workFolder())); }
    BackupWindow *open()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        main->menuAction(kMenu)->trigger();
        auto *w = qobject_cast<BackupWindow *>(Windows::find(kBackupWindowKey));
        if (!w)
            qFatal("backup window not opened");
        return w;
    }
};

bool settle(BackupWindow *w)
{
    return QTest::qWaitFor([w] { return !w->isBusy(); }, 20000);
}

QStringList listed(BackupWindow *w)
{
    QStringList out;
    auto *list = child<QTreeWidget>(w, QStringLiteral("超级列表框_备份"));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cols;
        for (int c = 0; c < list->columnCount(); ++c)
            cols << list->topLevelItem(i)->text(c);
        out << cols.join(u'|');
    }
    return out;
}

void selectRow(BackupWindow *w, int row)
{
    auto *list = child<QTreeWidget>(w, QStringLiteral("超级列表框_备份"));
    const QRect r = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

void click(QWidget *w, const char *name) { QTest::mouseClick(child<QPushButton>(w, QString::fromUtf8(name)), Qt::LeftButton); }

} // namespace

class TstBackupWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        if (cgtest::TestEnv::onPostgreSql() && !QByteArray(QTest::currentTestFunction()).startsWith("onASharedServer"))
            QSKIP("the embedded database only");
        FileSystemInfo::setOverride({});
    }
    void menuEntryIsTheAdministrators();
    void backUpNowListAndFolder();
    void restoreReturnsToTheLoginWindow();
    void damagedBackupIsRefusedInTheWindow();
    void dailyBackupAtTheFirstLoginOfTheDay();
    void failedDailyBackupIsToldOnce();
    void retentionInTheSystemConfiguration();
    void networkFolderIsWarnedAbout();
    void onASharedServerOnlyTheNote();
};

void TstBackupWindow::menuEntryIsTheAdministrators()
{
    {
        Fixture f;
        QAction *a = f.main->menuAction(kMenu);
        QVERIFY(a);
        QCOMPARE(a->objectName(), kMenu);
        BackupWindow *w = f.open();
        QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--数据备份"));
        QCOMPARE(w->parentWidget(), f.main);
        QVERIFY(w->isVisible());
        QVERIFY(settle(w));
        QVERIFY(f.env.logTriples().contains(kOpened));
        QCOMPARE(child<QLabel>(w, QStringLiteral("标签_说明"))->text(),
                 QStringLiteral("本机内置数据库：%1\n备份文件夹：%2\n每天第一次登录时自动备份一次，保留最新的 30 份（在系统配置中设置）。")
                     .arg(f.env.dbPath(), f.env.workFolder() + QStringLiteral("备份/")));
        QCOMPARE(child<QPushButton>(w, QStringLiteral("按钮_立即备份"))->text(), QStringLiteral("立即备份"));
        QCOMPARE(child<QPushButton>(w, QStringLiteral("按钮_恢复备份"))->text(), QStringLiteral("恢复所选备份"));
        QCOMPARE(child<QPushButton>(w, QStringLiteral("按钮_打开文件夹"))->text(), QStringLiteral("打开备份文件夹"));
        click(w, "按钮_关闭");
        QCOMPARE(f.env.logTriples().last(), QStringLiteral("结束|关闭数据备份窗口|数据备份"));
    }
    {
        Fixture f(QStringLiteral("张三"));
        ApplyPermissions();
        QAction *a = f.main->menuAction(kMenu);
        QVERIFY(!a->isVisible());
        a->trigger();
        QVERIFY(!Windows::find(kBackupWindowKey));
        expectMessage(0, QStringLiteral("只有管理员才能备份和恢复数据！"), MsgIcon::Error);
        QVERIFY(!f.env.logTriples().contains(kOpened));
    }
}

void TstBackupWindow::backUpNowListAndFolder()
{
    Fixture f;
    BackupWindow *w = f.open();
    QVERIFY(settle(w));
    QCOMPARE(listed(w), QStringList());
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签_统计"))->text(), QStringLiteral("共 0 份备份"));
    click(w, "按钮_立即备份");
    QVERIFY(settle(w));
    const QString name = QStringLiteral("cgsys-20350520-093015.db");
    const QStringList rows = listed(w);
    QCOMPARE(rows.size(), 1);
    QVERIFY2(rows[0].startsWith(QStringLiteral("2035-05-20 09:30:15|") + name + u'|'), qPrintable(rows[0]));
    QVERIFY2(rows[0].endsWith(QStringLiteral(" KB|通过")), qPrintable(rows[0]));
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签_统计"))->text(), QStringLiteral("共 1 份备份"));
    auto *hint = child<QLabel>(w, QStringLiteral("标签_提示"));
    QCOMPARE(hint->text(), QStringLiteral("备份成功：") + name);
    QCOMPARE(hint->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    QCOMPARE(f.env.logTriples().last(), QStringLiteral("操作|手动备份成功：%1|数据备份").arg(name));
    QCOMPARE(cgtest::messageTexts(), QStringList());

    // Each backup keeps the newest of the configured number.
    QVERIFY(BackupSettings::setKeep(2));
    for (int i = 1; i <= 2; ++i) {
        Clock::setFixed(cgtest::kFixedNow.addSecs(i));
        click(w, "按钮_立即备份");
        QVERIFY(settle(w));
    }
    QCOMPARE(f.backups().names(),
             (QStringList{QStringLiteral("cgsys-20350520-093016.db"), QStringLiteral("cgsys-20350520-093017.db")}));
    QCOMPARE(listed(w).size(), 2);
    QVERIFY(listed(w)[0].contains(QStringLiteral("cgsys-20350520-093017.db")));   // newest on top

    click(w, "按钮_打开文件夹");
    QCOMPARE(Launcher::started().last(), QStringLiteral("xdg-open ") + f.backups().folder());
    QCOMPARE(f.env.logTriples().last(), QStringLiteral("操作|打开备份文件夹|数据备份"));

    // A backup that cannot be written says why.
    QVERIFY(QDir(f.backups().folder()).removeRecursively());
    QFile blocker(f.env.workFolder() + QStringLiteral("备份"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    click(w, "按钮_立即备份");
    QVERIFY(settle(w));
    const QString reason = QStringLiteral("无法建立备份文件夹：") + f.backups().folder();
    expectMessage(0, QStringLiteral("备份失败：") + reason, MsgIcon::Error);
    QCOMPARE(MessageSeam::shown().at(0).owner, w);
    QCOMPARE(hint->text(), QStringLiteral("备份失败"));
    QCOMPARE(hint->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(f.env.logTriples().last(), QStringLiteral("操作|手动备份失败：%1|数据备份").arg(reason));
}

void TstBackupWindow::restoreReturnsToTheLoginWindow()
{
    Fixture f;
    QVERIFY(addLine(f.env, QStringLiteral("HT-1")));
    QVERIFY(addLine(f.env, QStringLiteral("HT-2")));
    const Backups::Result taken = f.backups().create();
    QVERIFY(taken.ok());
    QVERIFY(f.env.db().execute(QStringLiteral("delete from ") + contractTable(f.env)));
    QVERIFY(addLine(f.env, QStringLiteral("HT-3")));
    Windows::open(WindowKey::Navigation);
    BackupWindow *w = f.open();
    QVERIFY(settle(w));

    // Nothing chosen, or the question answered No: nothing happens.
    click(w, "按钮_恢复备份");
    expectMessage(0, QStringLiteral("请先选择要恢复的备份！"), MsgIcon::Information);
    selectRow(w, 0);
    MessageSeam::setNextAnswer(QMessageBox::No);
    click(w, "按钮_恢复备份");
    const QString question = QStringLiteral("恢复将用备份 %1 中的数据替换当前数据库，替换前会先备份当前数据库；"
                                            "其他窗口会被关闭，恢复后需要重新登录。\n确定要恢复吗？")
                                 .arg(taken.name);
    expectMessage(1, question, MsgIcon::Question);
    QCOMPARE(MessageSeam::shown().size(), 2);
    QCOMPARE(contractNumbers(f.env), QStringList{QStringLiteral("HT-3")});
    QCOMPARE(f.backups().names().size(), 1);

    MessageSeam::clear();
    Clock::setFixed(cgtest::kFixedNow.addSecs(60));
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    QPointer<BackupWindow> guard(w);
    click(w, "按钮_恢复备份");
    QVERIFY2(QTest::qWaitFor([] { return loginWindow() != nullptr; }, 20000), qPrintable(cgtest::messageTexts().join(u'/')));
    const QString pre = QStringLiteral("cgsys-20350520-093115.db");
    expectMessage(0, question, MsgIcon::Question);
    expectMessage(1, QStringLiteral("恢复成功：数据库已恢复为备份 %1 中的数据，恢复前的数据已备份为 %2。\n请重新登录。")
                         .arg(taken.name, pre),
                  MsgIcon::Information);
    // The session is over: windows closed, main window hidden, nobody logged in.
    QVERIFY(!f.main->isVisible());
    QVERIFY(!Windows::find(WindowKey::Navigation) || !Windows::find(WindowKey::Navigation)->isVisible());
    QVERIFY(!guard || !guard->isVisible());
    QCOMPARE(Ctx().login.userName, QString());
    QVERIFY(!Ctx().login.loggedIn);
    // The rows of the backup, and the entry of the restore in its log.
    QCOMPARE(contractNumbers(f.env), (QStringList{QStringLiteral("HT-1"), QStringLiteral("HT-2")}));
    QCOMPARE(f.env.logTriples().last(),
             QStringLiteral("操作|恢复备份成功：%1，恢复前的数据已备份为 %2|数据备份").arg(taken.name, pre));
    QCOMPARE(f.env.rows(QStringLiteral("select 用户 from rzb order by id desc")).value(0).value(0), QStringLiteral("admin"));
    // The backup of the state before holds the start of the restore.
    QVERIFY(f.backups().names().contains(pre));
    QVERIFY(Backups::check(f.backups().folder() + pre).ok());

    // The login window works on the restored database.
    QWidget *login = loginWindow();
    child<QLineEdit>(login, QStringLiteral("编辑框_密码"))->setText(QString::fromLatin1(Schema::kAdminInitialPassword));
    click(login, "按钮_登录");
    QVERIFY(f.main->isVisible());
    QCOMPARE(Ctx().login.userName, QStringLiteral("admin"));
}

void TstBackupWindow::damagedBackupIsRefusedInTheWindow()
{
    Fixture f;
    QVERIFY(addLine(f.env, QStringLiteral("HT-1")));
    const QString bad = QStringLiteral("cgsys-20350101-000000.db");
    QVERIFY(QDir().mkpath(f.backups().folder()));
    {
        QFile x(f.backups().folder() + bad);
        QVERIFY(x.open(QIODevice::WriteOnly));
        x.write("这不是数据库");
    }
    BackupWindow *w = f.open();
    QVERIFY(settle(w));
    QVERIFY2(listed(w).value(0).endsWith(QStringLiteral("|未通过：文件不是 SQLite 数据库")), qPrintable(listed(w).value(0)));
    selectRow(w, 0);
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    click(w, "按钮_恢复备份");
    QVERIFY(settle(w));
    expectMessage(1, QStringLiteral("备份 %1 未通过检查，不能恢复：文件不是 SQLite 数据库。\n当前数据库没有任何改动。").arg(bad),
                  MsgIcon::Error);
    QCOMPARE(MessageSeam::shown().at(1).owner, w);
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签_提示"))->text(), QStringLiteral("恢复被拒绝"));
    const QStringList log = f.env.logTriples();
    QCOMPARE(log.mid(log.size() - 2),
             (QStringList{QStringLiteral("操作|开始恢复备份：%1|数据备份").arg(bad),
                          QStringLiteral("操作|恢复备份被拒绝：%1，文件不是 SQLite 数据库|数据备份").arg(bad)}));
    // Nothing changed: the session goes on, no backup of the current state.
    QVERIFY(f.main->isVisible());
    QVERIFY(w->isVisible());
    QCOMPARE(Ctx().login.userName, QStringLiteral("admin"));
    QCOMPARE(f.backups().names(), QStringList{bad});
    QCOMPARE(contractNumbers(f.env), QStringList{QStringLiteral("HT-1")});
}

void TstBackupWindow::dailyBackupAtTheFirstLoginOfTheDay()
{
    Fixture f(QStringLiteral("admin"), false);
    auto *login = new LoginWindow;
    login->show();
    child<QLineEdit>(login, QStringLiteral("编辑框_密码"))->setText(QString::fromLatin1(Schema::kAdminInitialPassword));
    click(login, "按钮_登录");
    QVERIFY(f.main->isVisible());
    const QString first = QStringLiteral("cgsys-20350520-093015.db");
    QVERIFY(QTest::qWaitFor([&] { return f.env.logTriples().contains(QStringLiteral("操作|自动备份成功：%1|数据备份").arg(first)); },
                            20000));
    QCOMPARE(f.backups().names(), QStringList{first});
    QVERIFY(Backups::check(f.backups().folder() + first).ok());
    QCOMPARE(f.env.setting(QStringLiteral("数据备份"), QStringLiteral("上次自动备份")), QStringLiteral("2035-05-20"));

    // Another login the same day: nothing.
    Clock::setFixed(cgtest::kFixedNow.addSecs(3600));
    StartDailyBackup();
    QTest::qWait(300);
    QCOMPARE(f.backups().names(), QStringList{first});
    // The next days: one each, the newest kept.
    QVERIFY(BackupSettings::setKeep(2));
    for (int day = 1; day <= 2; ++day) {
        Clock::setFixed(cgtest::kFixedNow.addDays(day));
        StartDailyBackup();
        const QString name = Backups::fileName(cgtest::kFixedNow.addDays(day));
        QVERIFY(QTest::qWaitFor([&] { return f.backups().names().contains(name)
                                             && f.env.setting(QStringLiteral("数据备份"), QStringLiteral("上次自动备份"))
                                                    == DailyBackup::dayText(Clock::now().date()); },
                                20000));
    }
    QCOMPARE(f.backups().names(),
             (QStringList{QStringLiteral("cgsys-20350521-093015.db"), QStringLiteral("cgsys-20350522-093015.db")}));
    // 0: no automatic backup at all.
    QVERIFY(BackupSettings::setKeep(0));
    Clock::setFixed(cgtest::kFixedNow.addDays(3));
    StartDailyBackup();
    QTest::qWait(300);
    QCOMPARE(f.backups().names().size(), 2);
    QCOMPARE(cgtest::messageTexts(), QStringList());
}

void TstBackupWindow::failedDailyBackupIsToldOnce()
{
    Fixture f;
    QFile blocker(f.env.workFolder() + QStringLiteral("备份"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    StartDailyBackup();
    const QString text = QStringLiteral("自动备份失败：无法建立备份文件夹：") + f.backups().folder();
    QVERIFY(QTest::qWaitFor([&] { return f.env.logTriples().contains(QStringLiteral("操作|%1|数据备份").arg(text)); },
                            20000));
    auto *panel = f.main->statusBar()->findChild<QLabel *>(QStringLiteral("状态条1_备份"));
    QVERIFY(panel);
    QCOMPARE(panel->text(), text);
    QVERIFY(panel->isVisible());
    // The status bar's own panels stay.
    QCOMPARE(f.main->statusPanelText(1), QStringLiteral("admin"));
    // Not remembered as done, no message box in the way.
    QCOMPARE(f.env.setting(QStringLiteral("数据备份"), QStringLiteral("上次自动备份")), QString());
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QCOMPARE(f.env.logTriples().filter(QStringLiteral("自动备份失败")).size(), 1);
}

void TstBackupWindow::retentionInTheSystemConfiguration()
{
    {
        Fixture f;
        Windows::registerFactory(WindowKey::SystemConfig, CreateSystemConfigWindow);
        QWidget *w = Windows::open(WindowKey::SystemConfig);
        auto *keep = child<QSpinBox>(w, QStringLiteral("数字框_备份保留数"));
        QCOMPARE(child<QLabel>(w, QStringLiteral("标签_备份保留数"))->buddy(), keep);
        QCOMPARE(keep->value(), 30);
        QVERIFY(keep->isEnabled());
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        keep->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("7"));
        QCOMPARE(keep->value(), 7);
        click(w, "按钮_保存");
        expectMessage(0, QStringLiteral("保存成功！"), MsgIcon::Information);
        QCOMPARE(f.env.setting(QStringLiteral("数据备份"), QStringLiteral("保留份数")), QStringLiteral("7"));
        QCOMPARE(BackupSettings::keep(), 7);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w = Windows::open(WindowKey::SystemConfig);
        keep = child<QSpinBox>(w, QStringLiteral("数字框_备份保留数"));
        QCOMPARE(keep->value(), 7);
        click(w, "按钮_默认");
        QCOMPARE(keep->value(), 30);
    }
    {
        Fixture f(QStringLiteral("张三"));
        Windows::registerFactory(WindowKey::SystemConfig, CreateSystemConfigWindow);
        QWidget *w = Windows::open(WindowKey::SystemConfig);
        QVERIFY(!child<QSpinBox>(w, QStringLiteral("数字框_备份保留数"))->isEnabled());
    }
}

void TstBackupWindow::networkFolderIsWarnedAbout()
{
    cgtest::TestEnv env(false);
    RegisterWindows();
    auto *main = new MainWindow;
    main->start();
    const QString file = env.workFolder() + QStringLiteral("cgsys.db");
    QStringList asked;
    FileSystemInfo::setOverride([&asked](const QString &path) {
        asked << path;
        return true;
    });
    const QString warning = NetworkFolderWarning(file);
    QVERIFY(warning.contains(QStringLiteral("PostgreSQL 或 SQL Server")));

    // Yes: the connection window instead of the file.
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    auto *connection = new ConnectionWindow(main);
    connection->loadAndDecide();
    QCOMPARE(asked, QStringList{file});
    expectMessage(0, warning, MsgIcon::Question);
    QCOMPARE(MessageSeam::shown().at(0).owner, connection);
    QVERIFY(connection->isVisible());
    QVERIFY(!env.db().isConnected());
    QVERIFY(!loginWindow());
    QVERIFY(!QFileInfo::exists(file));

    // No: the file is opened all the same.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::No);
    click(connection, "按钮_连接");
    expectMessage(0, warning, MsgIcon::Question);
    QVERIFY(env.db().isConnected());
    QVERIFY(loginWindow());
    delete loginWindow();

    // A local folder: no question.
    env.db().close();
    FileSystemInfo::setOverride([](const QString &) { return false; });
    MessageSeam::clear();
    auto *again = new ConnectionWindow(main);
    again->loadAndDecide();
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QVERIFY(env.db().isConnected());
    delete loginWindow();
    FileSystemInfo::setOverride({});
    delete main;
}

void TstBackupWindow::onASharedServerOnlyTheNote()
{
    if (!cgtest::TestEnv::onPostgreSql())
        QSKIP("a shared server only");
    Fixture f;
    BackupWindow *w = f.open();
    QVERIFY(child<QLabel>(w, QStringLiteral("标签_说明"))->text().contains(QStringLiteral("PostgreSQL 用 pg_dump，SQL Server 用数据库备份")));
    for (const char *name : {"按钮_立即备份", "按钮_恢复备份", "按钮_打开文件夹"})
        QVERIFY2(!w->findChild<QPushButton *>(QString::fromUtf8(name)), name);
    QVERIFY(!w->findChild<QTreeWidget *>());
    QVERIFY(w->findChild<QPushButton *>(QStringLiteral("按钮_关闭")));
    // No automatic backup and no retention to set either.
    StartDailyBackup();
    QTest::qWait(200);
    QVERIFY(!QFileInfo::exists(Backups::folderIn(f.env.workFolder())));
    Windows::registerFactory(WindowKey::SystemConfig, CreateSystemConfigWindow);
    QWidget *config = Windows::open(WindowKey::SystemConfig);
    QVERIFY(!child<QSpinBox>(config, QStringLiteral("数字框_备份保留数"))->isEnabled());
}

QTEST_MAIN(TstBackupWindow)
#include "tst_backupwindow.moc"
