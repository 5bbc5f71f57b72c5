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
#include "support/TestEnv.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

using namespace cg;

namespace {

const QString kMenu = QStringLiteral("&B.数据备份…");

QString contractTable(cgtest::TestEnv &env) { return env.rows(QStringLiteral("select 引用合同表 from ztb")).value(0).value(0); }

bool addLine(cgtest::TestEnv &env, const QString &number)
{
    return env.db().execute(QStringLiteral("insert into ") + contractTable(env)
                                + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
                                                 "制单日期,生效日期,失效日期,合同金额,付款方式,税率) values('未审核',?,'1','张三',"
                                                 "'采购部','李四','华东机电','产品','1','台','2035-05-20','2035-05-20',"
                                                 "'2036-05-20','100','月结','13%')"),
                            {number});
}

QStringList contractNumbers(cgtest::TestEnv &env)
{
    QStringList out;
    for (const QStringList &r : env.rows(QStringLiteral("select 合同编号 from ") + contractTable(env) + QStringLiteral(" order by id")))
        out << r.value(0);
    return out;
}

template <typename T = QWidget> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromUtf8(name));
    if (!c)
        qFatal("missing control %s", name);
    return c;
}
QString labelText(QWidget *w, const char *name) { return child<QLabel>(w, name)->text(); }
void click(QWidget *w, const char *name) { QTest::mouseClick(child<QPushButton>(w, name), Qt::LeftButton); }

QWidget *loginWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("用户登录") && w->isVisible())
            return w;
    return nullptr;
}

void logIn(QWidget *login)
{
    child<QLineEdit>(login, "编辑框_密码")->setText(QString::fromLatin1(Schema::kAdminInitialPassword));
    click(login, "按钮_登录");
}

void expectMessage(int index, const QString &text, MsgIcon icon, QWidget *owner = nullptr)
{
    QVERIFY(MessageSeam::shown().size() > index);
    const ShownMessage m = MessageSeam::shown().at(index);
    QCOMPARE(m.text, text);
    QCOMPARE(m.title, QStringLiteral("系统提示"));
    QCOMPARE(int(m.icon), int(icon));
    if (owner)
        QCOMPARE(m.owner, owner);
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
        delete loginWindow();
        delete main;
    }
    Backups backups() const { return Backups(env.dbPath(), Backups::folderIn(env.workFolder())); }
    BackupWindow *open()
    {
        main->menuAction(kMenu)->trigger();
        auto *w = qobject_cast<BackupWindow *>(Windows::find(kBackupWindowKey));
        if (!w || !QTest::qWaitFor([w] { return !w->isBusy(); }, 20000))
            qFatal("backup window not ready");
        return w;
    }
    QString lastDay() { return env.setting(QStringLiteral("数据备份"), QStringLiteral("上次自动备份")); }
};

bool press(BackupWindow *w, const char *button)
{
    click(w, button);
    return QTest::qWaitFor([w] { return !w->isBusy(); }, 20000);
}

QStringList listed(BackupWindow *w)
{
    QStringList out;
    auto *list = child<QTreeWidget>(w, "超级列表框_备份");
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        out << QStringList{list->topLevelItem(i)->text(0), list->topLevelItem(i)->text(1), list->topLevelItem(i)->text(3)}.join(u'|');
    return out;
}

void selectRow(BackupWindow *w, int row)
{
    auto *list = child<QTreeWidget>(w, "超级列表框_备份");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->topLevelItem(row)).center());
}

// A file in the backup folder under a backup's name that is no database.
QString plantBadBackup(Fixture &f)
{
    const QString bad = QStringLiteral("cgsys-20350101-000000.db");
    QDir().mkpath(f.backups().folder());
    QFile x(f.backups().folder() + bad);
    x.open(QIODevice::WriteOnly);
    x.write("这不是数据库");
    return bad;
}

} // namespace

class TstBackupWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        if (cgtest::TestEnv::onPostgreSql() && qstrcmp(QTest::currentTestFunction(), "onASharedServerOnlyTheNote") != 0)
            QSKIP("the embedded database only");
        FileSystemInfo::setOverride({});
    }
    void windowOfTheAdministrator();
    void restoreReturnsToTheLoginWindow();
    void damagedBackupIsRefusedInTheWindow();
    void dailyBackupAtTheFirstLoginOfTheDay();
    void failedDailyBackupIsToldOnce();
    void retentionInTheSystemConfiguration();
    void networkFolderIsWarnedAbout();
    void onASharedServerOnlyTheNote();
};

void TstBackupWindow::windowOfTheAdministrator()
{
    {
        Fixture f(QStringLiteral("张三"));
        ApplyPermissions();
        QAction *a = f.main->menuAction(kMenu);
        QVERIFY(!a->isVisible());
        a->trigger();
        QVERIFY(!Windows::find(kBackupWindowKey));
        expectMessage(0, QStringLiteral("只有管理员才能备份和恢复数据！"), MsgIcon::Error, f.main);
    }
    Fixture f;
    QCOMPARE(f.main->menuAction(kMenu)->objectName(), kMenu);
    BackupWindow *w = f.open();
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--数据备份"));
    QCOMPARE(w->parentWidget(), f.main);
    QCOMPARE(labelText(w, "标签_说明"),
             QStringLiteral("本机内置数据库：%1\n备份文件夹：%2\n每天第一次登录时自动备份一次，保留最新的 30 份（在系统配置中设置）。")
                 .arg(f.env.dbPath(), f.backups().folder()));
    QCOMPARE(child<QPushButton>(w, "按钮_恢复备份")->text(), QStringLiteral("恢复所选备份"));
    QCOMPARE(labelText(w, "标签_统计"), QStringLiteral("共 0 份备份"));

    QVERIFY(press(w, "按钮_立即备份"));
    const QString name = QStringLiteral("cgsys-20350520-093015.db");
    QCOMPARE(listed(w), QStringList{QStringLiteral("2035-05-20 09:30:15|%1|通过").arg(name)});
    QCOMPARE(labelText(w, "标签_统计"), QStringLiteral("共 1 份备份"));
    QCOMPARE(labelText(w, "标签_提示"), QStringLiteral("备份成功：") + name);
    QCOMPARE(child<QLabel>(w, "标签_提示")->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    QCOMPARE(f.env.logTriples().last(), QStringLiteral("操作|手动备份成功：%1|数据备份").arg(name));
    // Each backup keeps the configured number, newest on top.
    BackupSettings::setKeep(2);
    for (int i = 1; i <= 2; ++i) {
        Clock::setFixed(cgtest::kFixedNow.addSecs(i));
        QVERIFY(press(w, "按钮_立即备份"));
    }
    QCOMPARE(f.backups().names(), (QStringList{QStringLiteral("cgsys-20350520-093016.db"), QStringLiteral("cgsys-20350520-093017.db")}));
    QVERIFY(listed(w).value(0).contains(QStringLiteral("cgsys-20350520-093017.db")));

    click(w, "按钮_打开文件夹");
    QCOMPARE(Launcher::started().last(), QStringLiteral("xdg-open ") + f.backups().folder());
    QCOMPARE(cgtest::messageTexts(), QStringList());
    click(w, "按钮_关闭");
    const QStringList log = f.env.logTriples();
    QCOMPARE(log.first(), QStringLiteral("开始|打开数据备份窗口|数据备份"));
    QCOMPARE(log.mid(log.size() - 2), (QStringList{QStringLiteral("操作|打开备份文件夹|数据备份"),
                                                   QStringLiteral("结束|关闭数据备份窗口|数据备份")}));
}

void TstBackupWindow::restoreReturnsToTheLoginWindow()
{
    Fixture f;
    QVERIFY(addLine(f.env, QStringLiteral("HT-1")) && addLine(f.env, QStringLiteral("HT-2")));
    const QString taken = f.backups().create().name;
    QVERIFY(f.env.db().execute(QStringLiteral("delete from ") + contractTable(f.env)) && addLine(f.env, QStringLiteral("HT-3")));
    Windows::open(WindowKey::Navigation);
    BackupWindow *w = f.open();

    // Nothing chosen, or the question answered No: nothing happens.
    click(w, "按钮_恢复备份");
    expectMessage(0, QStringLiteral("请先选择要恢复的备份！"), MsgIcon::Information, w);
    selectRow(w, 0);
    MessageSeam::setNextAnswer(QMessageBox::No);
    click(w, "按钮_恢复备份");
    const QString question = QStringLiteral("恢复将用备份 %1 中的数据替换当前数据库，替换前会先备份当前数据库；"
                                            "其他窗口会被关闭，恢复后需要重新登录。\n确定要恢复吗？").arg(taken);
    expectMessage(1, question, MsgIcon::Question, w);
    QCOMPARE(f.backups().names().size(), 1);

    MessageSeam::clear();
    Clock::setFixed(cgtest::kFixedNow.addSecs(60));
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    click(w, "按钮_恢复备份");
    QVERIFY(QTest::qWaitFor([] { return loginWindow() != nullptr; }, 20000));
    const QString pre = QStringLiteral("cgsys-20350520-093115.db");
    expectMessage(1, QStringLiteral("恢复成功：数据库已恢复为备份 %1 中的数据，恢复前的数据已备份为 %2。\n请重新登录。").arg(taken, pre),
                  MsgIcon::Information);
    // The session is over: windows closed, main window hidden, nobody logged in.
    QVERIFY(!f.main->isVisible());
    QVERIFY(!Windows::find(WindowKey::Navigation) || !Windows::find(WindowKey::Navigation)->isVisible());
    QCOMPARE(Ctx().login.userName, QString());
    // The rows of the backup, the restore in its log, the state before kept.
    QCOMPARE(contractNumbers(f.env), (QStringList{QStringLiteral("HT-1"), QStringLiteral("HT-2")}));
    QCOMPARE(f.env.logTriples().last(), QStringLiteral("操作|恢复备份成功：%1，恢复前的数据已备份为 %2|数据备份").arg(taken, pre));
    QCOMPARE(f.env.rows(QStringLiteral("select 用户 from rzb order by id desc")).value(0).value(0), QStringLiteral("admin"));
    QVERIFY(Backups::check(f.backups().folder() + pre).ok());
    // The login window works on the restored database.
    logIn(loginWindow());
    QVERIFY(f.main->isVisible());
    QCOMPARE(Ctx().login.userName, QStringLiteral("admin"));
}

void TstBackupWindow::damagedBackupIsRefusedInTheWindow()
{
    Fixture f;
    QVERIFY(addLine(f.env, QStringLiteral("HT-1")));
    const QString bad = plantBadBackup(f);
    BackupWindow *w = f.open();
    QCOMPARE(listed(w), QStringList{QStringLiteral("2035-01-01 00:00:00|%1|未通过：文件不是 SQLite 数据库").arg(bad)});
    selectRow(w, 0);
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    QVERIFY(press(w, "按钮_恢复备份"));
    expectMessage(1, QStringLiteral("备份 %1 未通过检查，不能恢复：文件不是 SQLite 数据库。\n当前数据库没有任何改动。").arg(bad),
                  MsgIcon::Error, w);
    QCOMPARE(labelText(w, "标签_提示"), QStringLiteral("恢复被拒绝"));
    const QStringList log = f.env.logTriples();
    QCOMPARE(log.mid(log.size() - 2), (QStringList{QStringLiteral("操作|开始恢复备份：%1|数据备份").arg(bad),
                                                   QStringLiteral("操作|恢复备份被拒绝：%1，文件不是 SQLite 数据库|数据备份").arg(bad)}));
    // The session goes on; no backup of the current state was made.
    QVERIFY(f.main->isVisible() && w->isVisible());
    QCOMPARE(f.backups().names(), QStringList{bad});
    QCOMPARE(contractNumbers(f.env), QStringList{QStringLiteral("HT-1")});
}

void TstBackupWindow::dailyBackupAtTheFirstLoginOfTheDay()
{
    Fixture f(QStringLiteral("admin"), false);
    auto *login = new LoginWindow;
    login->show();
    logIn(login);
    QVERIFY(f.main->isVisible());
    const QString first = QStringLiteral("cgsys-20350520-093015.db");
    QVERIFY(QTest::qWaitFor([&] { return f.env.logTriples().contains(QStringLiteral("操作|自动备份成功：%1|数据备份").arg(first)); }, 20000));
    QVERIFY(Backups::check(f.backups().folder() + first).ok());
    QCOMPARE(f.lastDay(), QStringLiteral("2035-05-20"));
    // Later the same day: nothing.
    Clock::setFixed(cgtest::kFixedNow.addSecs(3600));
    StartDailyBackup();
    QTest::qWait(300);
    QCOMPARE(f.backups().names(), QStringList{first});
    // The next days: one each, the newest kept; 0 turns it off.
    BackupSettings::setKeep(2);
    for (int day = 1; day <= 3; ++day) {
        if (day == 3)
            BackupSettings::setKeep(0);
        Clock::setFixed(cgtest::kFixedNow.addDays(day));
        StartDailyBackup();
        const bool done = QTest::qWaitFor([&] { return f.lastDay() == DailyBackup::dayText(Clock::now().date()); },
                                          day == 3 ? 300 : 20000);
        // With 0 kept the day passes without a backup.
        QCOMPARE(done, day != 3);
    }
    QCOMPARE(f.backups().names(), (QStringList{QStringLiteral("cgsys-20350521-093015.db"), QStringLiteral("cgsys-20350522-093015.db")}));
    QCOMPARE(f.lastDay(), QStringLiteral("2035-05-22"));
    QCOMPARE(cgtest::messageTexts(), QStringList());
}

void TstBackupWindow::failedDailyBackupIsToldOnce()
{
    Fixture f;
    QFile(f.env.workFolder() + QStringLiteral("备份")).open(QIODevice::WriteOnly);   // a file where the folder goes
    StartDailyBackup();
    const QString text = QStringLiteral("自动备份失败：无法建立备份文件夹：") + f.backups().folder();
    QVERIFY(QTest::qWaitFor([&] { return f.env.logTriples().contains(QStringLiteral("操作|%1|数据备份").arg(text)); }, 20000));
    auto *panel = f.main->statusBar()->findChild<QLabel *>(QStringLiteral("状态条1_备份"));
    QVERIFY(panel && panel->isVisible());
    QCOMPARE(panel->text(), text);
    QCOMPARE(f.main->statusPanelText(1), QStringLiteral("admin"));   // the other panels stay
    QCOMPARE(f.lastDay(), QString());
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QCOMPARE(f.env.logTriples().filter(QStringLiteral("自动备份失败")).size(), 1);
}

void TstBackupWindow::retentionInTheSystemConfiguration()
{
    for (const QString &user : {QStringLiteral("admin"), QStringLiteral("张三")}) {
        Fixture f(user);
        QWidget *w = Windows::open(WindowKey::SystemConfig);
        auto *keep = child<QSpinBox>(w, "数字框_备份保留数");
        QCOMPARE(child<QLabel>(w, "标签_备份保留数")->buddy(), keep);
        QCOMPARE(keep->value(), 30);
        if (user != QLatin1String("admin")) {
            QVERIFY(!keep->isEnabled());
            continue;
        }
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        keep->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("7"));
        click(w, "按钮_保存");
        expectMessage(0, QStringLiteral("保存成功！"), MsgIcon::Information);
        QCOMPARE(f.env.setting(QStringLiteral("数据备份"), QStringLiteral("保留份数")), QStringLiteral("7"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w = Windows::open(WindowKey::SystemConfig);
        QCOMPARE(child<QSpinBox>(w, "数字框_备份保留数")->value(), 7);
        click(w, "按钮_默认");
        QCOMPARE(child<QSpinBox>(w, "数字框_备份保留数")->value(), 30);
    }
}

void TstBackupWindow::networkFolderIsWarnedAbout()
{
    cgtest::TestEnv env(false);
    RegisterWindows();
    MainWindow main;
    main.start();
    const QString file = env.workFolder() + QStringLiteral("cgsys.db");
    QStringList asked;
    FileSystemInfo::setOverride([&asked](const QString &path) { return asked << path, true; });
    const QString warning = NetworkFolderWarning(file);
    QVERIFY(warning.contains(QStringLiteral("PostgreSQL 或 SQL Server")));

    // Yes: the connection window instead of the file.
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    auto *connection = new ConnectionWindow(&main);
    connection->loadAndDecide();
    QCOMPARE(asked, QStringList{file});
    expectMessage(0, warning, MsgIcon::Question, connection);
    QVERIFY(connection->isVisible());
    QVERIFY(!env.db().isConnected() && !loginWindow() && !QFileInfo::exists(file));
    // No: the file is opened all the same.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::No);
    click(connection, "按钮_连接");
    expectMessage(0, warning, MsgIcon::Question, connection);
    QVERIFY(env.db().isConnected() && loginWindow());
    delete loginWindow();
    // A local folder: no question.
    env.db().close();
    FileSystemInfo::setOverride([](const QString &) { return false; });
    MessageSeam::clear();
    (new ConnectionWindow(&main))->loadAndDecide();
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QVERIFY(env.db().isConnected());
    delete loginWindow();
    FileSystemInfo::setOverride({});
}

void TstBackupWindow::onASharedServerOnlyTheNote()
{
    if (!cgtest::TestEnv::onPostgreSql())
        QSKIP("a shared server only");
    Fixture f;
    BackupWindow *w = f.open();
    QVERIFY(labelText(w, "标签_说明").contains(QStringLiteral("PostgreSQL 用 pg_dump，SQL Server 用数据库备份")));
    for (const char *name : {"按钮_立即备份", "按钮_恢复备份", "按钮_打开文件夹"})
        QVERIFY2(!w->findChild<QPushButton *>(QString::fromUtf8(name)), name);
    QVERIFY(!w->findChild<QTreeWidget *>());
    // No automatic backup and no retention to set either.
    StartDailyBackup();
    QTest::qWait(200);
    QVERIFY(!QFileInfo::exists(Backups::folderIn(f.env.workFolder())));
    QVERIFY(!child<QSpinBox>(Windows::open(WindowKey::SystemConfig), "数字框_备份保留数")->isEnabled());
}

QTEST_MAIN(TstBackupWindow)
#include "tst_backupwindow.moc"
