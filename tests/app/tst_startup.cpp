// Start-up: one running copy, working folder files, background picture,
// status bar, hot keys.
#include "app/Catalog.h"
#include "app/ConnectionWindow.h"
#include "app/Login.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "ui/Shell.h"
#include "app/SingleInstance.h"
#include "app/Startup.h"
#include "support/TestEnv.h"
#include "support/UserInput.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace cg;

class TstStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void laterStartIsTurnedAwayAndFirstKeepsItsSocket();
    void localConnectionDatabaseComesFromTemplateOnce();
    void damagedLocalConnectionDatabaseHeals_data();
    void damagedLocalConnectionDatabaseHeals();
    void backgroundMarkers();
    void placement();
    void statusBarTexts();
    void hotKeysWaitForALogin();
};

namespace {
const QString kConnectionTable = QStringLiteral("create table 数据库表(id int primary key,服务器IP nvarchar(255),"
                                                "数据库名称 nvarchar(255),登录名 nvarchar(255),密码 nvarchar(255))");
constexpr QFile::Permissions kForeignAccess = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
    | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
} // namespace

void TstStartup::laterStartIsTurnedAwayAndFirstKeepsItsSocket()
{
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const auto restore = qScopeGuard([&saved] {
        if (saved.isNull())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", saved);
    });
    const QString folder = runtime.path() + QStringLiteral("/home/wkd/");

    SingleInstance first(folder);
    QVERIFY(first.claim());
    QVERIFY(first.isListening());
    QVERIFY2(first.serverName().startsWith(runtime.path() + u'/'), qPrintable(first.serverName()));
    // A later start while the first listens ends, leaves the first's socket
    // alone and asks it to come forward.
    SingleInstance second(folder);
    QVERIFY(!second.claim());
    QVERIFY(!second.isListening());
    QTRY_COMPARE(first.activations(), 1);
    QVERIFY(first.isListening());
    QVERIFY(QFileInfo::exists(first.serverName()));
    // Another working folder is another program.
    SingleInstance other(runtime.path() + QStringLiteral("/other/wkd/"));
    QVERIFY(other.claim());
    QVERIFY(other.isListening());
}

void TstStartup::localConnectionDatabaseComesFromTemplateOnce()
{
    cgtest::TestEnv env(false);
    const QString path = env.ctx().localDbPath();
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFile::permissions(path) & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFileDevice::Permissions());
    QCOMPARE(ReadConnectionSetting(QStringLiteral("服务器IP")), QStringLiteral("sqlite"));
    QCOMPARE(ReadConnectionSetting(QStringLiteral("数据库名称")), QStringLiteral("cgsys.db"));
    QCOMPARE(ReadConnectionSetting(QStringLiteral("登录名")), QStringLiteral("local"));
    QCOMPARE(ReadConnectionSetting(QStringLiteral("密码")), QStringLiteral("local"));
    QCOMPARE(ReadConnectionSetting(QStringLiteral("id")), QString());
    // Stored values survive a restart; a deleted file comes back as the template.
    QVERIFY(SaveConnectionSettings(QStringLiteral("db.example"), QStringLiteral("采购"), QStringLiteral("sa"), QStringLiteral("x")));
    env.ctx().localDb().close();
    QVERIFY(OpenLocalConnectionDatabase());
    QCOMPARE(ReadConnectionSetting(QStringLiteral("服务器IP")), QStringLiteral("db.example"));
    env.ctx().localDb().close();
    QFile::remove(path);
    QVERIFY(OpenLocalConnectionDatabase());
    QCOMPARE(ReadConnectionSetting(QStringLiteral("服务器IP")), QStringLiteral("sqlite"));
    QCOMPARE(QFile::permissions(path) & kForeignAccess, QFileDevice::Permissions());
    // It was built aside; nothing of that is left over.
    QCOMPARE(QDir(env.workFolder()).entryList({QStringLiteral("cgsys.dll.*")}, QDir::Files), QStringList());
}

void TstStartup::damagedLocalConnectionDatabaseHeals_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("tableWithoutRow");
    QTest::addColumn<bool>("keptAside");
    // A start killed right after creating the file.
    QTest::newRow("empty file") << QByteArray() << false << false;
    // ... or after creating the table.
    QTest::newRow("table without row 1") << QByteArray() << true << false;
    QTest::newRow("not a database") << QByteArray("PK\x03\x04 no database here\n").repeated(300) << false << true;
}

void TstStartup::damagedLocalConnectionDatabaseHeals()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, tableWithoutRow);
    QFETCH(bool, keptAside);
    cgtest::TestEnv env(false);
    const QString path = env.ctx().localDbPath();
    env.ctx().localDb().close();
    QVERIFY(QFile::remove(path));
    if (tableWithoutRow) {
        DbConnection damaged(QStringLiteral("damaged"));
        QVERIFY(damaged.openSqlite(path));
        QVERIFY(damaged.execute(kConnectionTable));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    QVERIFY(OpenLocalConnectionDatabase());
    QCOMPARE(ReadConnectionSetting(QStringLiteral("服务器IP")), kTemplateServer);
    QCOMPARE(ReadConnectionSetting(QStringLiteral("数据库名称")), kTemplateDatabase);
    QCOMPARE(ReadConnectionSetting(QStringLiteral("登录名")), kTemplateLogin);
    QCOMPARE(ReadConnectionSetting(QStringLiteral("密码")), kTemplatePassword);
    QCOMPARE(QFile::permissions(path) & kForeignAccess, QFileDevice::Permissions());
    QFile bad(path + QStringLiteral(".bad"));
    QCOMPARE(bad.exists(), keptAside);
    if (keptAside) {
        QVERIFY(bad.open(QIODevice::ReadOnly));
        QCOMPARE(bad.readAll(), content);
    }

    // The start goes on: it connects with these values without asking and
    // stores them back into row 1.
    MainWindow main;
    main.start();
    auto *w = new ConnectionWindow(&main);
    w->loadAndDecide();
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QVERIFY(!w->isVisible());
    QVERIFY(env.db().isConnected());
}

void TstStartup::backgroundMarkers()
{
    cgtest::TestEnv env(false);
    const QString key = QStringLiteral("背景图片");
    const QString section = QStringLiteral("界面布局");
    // No picture, no marker: the default picture.
    BackgroundChoice c = ChooseBackground();
    QCOMPARE(c.picture, DefaultBackgroundPicture());
    QVERIFY(!c.picture.isEmpty());
    QCOMPARE(env.setting(section, key), QStringLiteral("已加载默认背景图片"));
    // Removed by the user: no picture, the marker stays.
    Settings::write(section, key, QStringLiteral("背景图片未加载"));
    c = ChooseBackground();
    QVERIFY(c.picture.isEmpty());
    QCOMPARE(env.setting(section, key), QStringLiteral("背景图片未加载"));
    // A zero-length file is no picture.
    QFile empty(env.ctx().backgroundPath());
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QVERIFY(ChooseBackground().picture.isEmpty());
    Settings::write(section, key, QStringLiteral("其他"));
    QCOMPARE(ChooseBackground().picture, DefaultBackgroundPicture());
    // The user's picture.
    QFile pic(env.ctx().backgroundPath());
    QVERIFY(pic.open(QIODevice::WriteOnly));
    pic.write("user picture bytes");
    pic.close();
    Settings::write(section, key, QStringLiteral("背景图片未加载"));
    c = ChooseBackground();
    QCOMPARE(c.picture, QByteArray("user picture bytes"));
    QCOMPARE(env.setting(section, key), QStringLiteral("背景图片加载成功"));
}

void TstStartup::placement()
{
    cgtest::TestEnv env(false);
    const QString section = QStringLiteral("界面布局");
    const QString key = QStringLiteral("图片位置");
    QCOMPARE(ChooseBackground().placement, PicturePlacement::Unchanged);
    const QList<QPair<QString, PicturePlacement>> cases = {
        {QStringLiteral("图片左上"), PicturePlacement::TopLeft},
        {QStringLiteral("图片平铺"), PicturePlacement::Tiled},
        {QStringLiteral("图片居中"), PicturePlacement::Centred},
        {QStringLiteral("平铺"), PicturePlacement::Unchanged}};
    for (const auto &c : cases) {
        Settings::write(section, key, c.first);
        QCOMPARE(ChooseBackground().placement, c.second);
    }
    // The main window shows it.
    Settings::write(section, key, QStringLiteral("图片居中"));
    MainWindow main;
    main.start();
    QCOMPARE(main.background()->placement(), PicturePlacement::Centred);
    QVERIFY(main.background()->hasPicture());
    QCOMPARE(main.background()->text(), QStringLiteral("砚禾澄屿合同管理系统 by：系统"));
}

void TstStartup::statusBarTexts()
{
    cgtest::TestEnv env(false);
    QCOMPARE(StatusDateText(QDate(2020, 7, 12)), QStringLiteral(" 2020年7月12日  星期日"));
    QCOMPARE(StatusDateText(QDate(2026, 12, 9)), QStringLiteral(" 2026年12月9日  星期三"));
    QCOMPARE(StatusDateText(QDate(2021, 3, 6)), QStringLiteral(" 2021年3月6日  星期六"));
    Clock::setFixed(QDateTime(QDate(2020, 7, 12), QTime(10, 0)));
    MainWindow main;
    main.start();
    QCOMPARE(main.windowTitle(), QStringLiteral("砚禾澄屿合同管理系统 v2.5.2.2"));
    QVERIFY(!main.isVisible());
    QVERIFY(main.windowState() & Qt::WindowMaximized);
    QCOMPARE(main.statusBar()->objectName(), QStringLiteral("状态条1"));
    const QStringList expected = {QStringLiteral(" 当前操作员："), QStringLiteral(" "), QStringLiteral(" 当前帐套名："),
                                  QStringLiteral(" "), QStringLiteral(" 当前时段："),
                                  QStringLiteral(" 2020年7月12日  星期日"), QString(), QStringLiteral(" 地址："),
                                  QStringLiteral("sqlite"), QStringLiteral(" 发布日期：2020-07-10")};
    for (int i = 0; i < 10; ++i)
        QCOMPARE(main.statusPanelText(i), expected[i]);
}

void TstStartup::hotKeysWaitForALogin()
{
    cgtest::TestEnv env;
    LoginFlow::resetFailedAttempts();
    RegisterWindows();
    QStringList opened;
    for (const QString &key : {WindowKey::ContractQuery, WindowKey::SupplierQuery})
        Windows::registerFactory(key, [&opened, key](QWidget *owner) {
            opened << key;
            return new QWidget(owner, Qt::Window);
        });
    auto *main = new MainWindow;
    main->start();
    QPointer<LoginWindow> login = new LoginWindow;
    login->show();
    auto *password = login->findChild<QLineEdit *>(QStringLiteral("编辑框_密码"));
    auto *logIn = login->findChild<QPushButton *>(QStringLiteral("按钮_登录"));
    login->findChild<QComboBox *>(QStringLiteral("组合框_用户名"))->setEditText(QStringLiteral("admin"));

    // Neither while the login window asks nor after a wrong password.
    QVERIFY(cgtest::press(password, Qt::Key_F6));
    QVERIFY(cgtest::press(password, Qt::Key_F7));
    password->setText(QStringLiteral("wrong"));
    logIn->click();
    QCOMPARE(env.ctx().login.userName, QStringLiteral("admin"));
    QVERIFY(cgtest::press(password, Qt::Key_F6));
    QVERIFY(cgtest::press(password, Qt::Key_F7));
    QCoreApplication::processEvents();
    QCOMPARE(opened, QStringList());

    password->setText(QStringLiteral("123456"));
    logIn->click();
    QVERIFY(!login || !login->isVisible());
    QVERIFY(cgtest::press(main, Qt::Key_F6));
    QTRY_COMPARE(opened, QStringList{WindowKey::ContractQuery});
    QVERIFY(cgtest::press(main, Qt::Key_F7));
    QTRY_COMPARE(opened, (QStringList{WindowKey::ContractQuery, WindowKey::SupplierQuery}));
}

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
