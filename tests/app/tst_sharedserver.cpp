// A workstation pointed at a database that cgsys-initdb prepared, started as
// "cgsys --connection-settings": the four values typed into the connection
// window, then the login window and a login as admin. On the embedded
// database, or on the PostgreSQL test cluster in the pg/ registration.
#include "app/ConnectionWindow.h"
#include "app/Login.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "app/Startup.h"
#include "data/Schema.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

using namespace cg;

namespace {

template <typename T>
T *visibleWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *t = qobject_cast<T *>(w))
            if (t->isVisible())
                return t;
    return nullptr;
}

QLineEdit *edit(QWidget *w, const char *name) { return w->findChild<QLineEdit *>(QString::fromUtf8(name)); }

void typeConnectionValues(ConnectionWindow *w, const QStringList &values)
{
    const char *fields[] = {"编辑框_服务器地址", "编辑框_数据库名称", "编辑框_用户名", "编辑框_密码"};
    for (int i = 0; i < 4; ++i)
        edit(w, fields[i])->setText(values.at(i));
}

} // namespace

class TstSharedServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void preparedDatabaseReachesTheLogin();
    void unreachableServerKeepsTheWindow_data();
    void unreachableServerKeepsTheWindow();
};

void TstSharedServer::preparedDatabaseReachesTheLogin()
{
    cgtest::TestEnv env(false);
    QProcess initdb;
    initdb.start(qEnvironmentVariable("CGSYS_INITDB"), env.initdbArguments());
    QVERIFY2(initdb.waitForFinished(60000), "cgsys-initdb did not end");
    QCOMPARE(initdb.readAllStandardOutput().trimmed(), QByteArray("ok"));
    QCOMPARE(initdb.exitCode(), 0);
    // cgsys-initdb made the account set of its own year: the workstation
    // starts in that year.
    int year = 0;
    {
        DbConnection check(QStringLiteral("check"));
        QVERIFY(env.open(check));
        Recordset rs(check);
        QVERIFY(rs.open(QStringLiteral("select 账套年份 from ztb")));
        year = int(rs.number(0));
    }
    QVERIFY(year > 2000);
    Clock::setFixed(QDateTime(QDate(year, 6, 1), QTime(8, 30)));
    LoginFlow::resetFailedAttempts();

    MainWindow main;
    const StartOptions options = ParseStartOptions({QStringLiteral("--connection-settings")});
    StartProgram(main, options);
    // Kept up although the stored values (the embedded template) would connect.
    auto *connection = visibleWindow<ConnectionWindow>();
    QVERIFY(connection);
    QVERIFY(!env.db().isConnected());
    QVERIFY(!connection->findChild<QLabel *>(QStringLiteral("标签_地址说明"))->text().isEmpty());

    const QStringList values = env.connectionValues();
    typeConnectionValues(connection, values);
    connection->findChild<QPushButton *>(QStringLiteral("按钮_连接"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QVERIFY(!connection->isVisible());
    QVERIFY(env.db().isConnected());
    QCOMPARE(env.db().backend(), cgtest::TestEnv::backend());
    const QStringList stored = {ReadConnectionSetting(QStringLiteral("服务器IP")),
                                ReadConnectionSetting(QStringLiteral("数据库名称")),
                                ReadConnectionSetting(QStringLiteral("登录名")),
                                ReadConnectionSetting(QStringLiteral("密码"))};
    QCOMPARE(stored, values);

    LoginWindow *login = visibleWindow<LoginWindow>();
    QVERIFY(login);
    auto *user = login->findChild<QComboBox *>(QStringLiteral("组合框_用户名"));
    QCOMPARE(user->currentText(), QStringLiteral("admin"));
    QCOMPARE(login->findChild<QComboBox *>(QStringLiteral("组合框_账套"))->currentText(),
             QStringLiteral("%1年度").arg(year));
    login->findChild<QLineEdit *>(QStringLiteral("编辑框_密码"))->setText(QString::fromLatin1(Schema::kAdminInitialPassword));
    login->findChild<QPushButton *>(QStringLiteral("按钮_登录"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QVERIFY(env.ctx().login.loggedIn);
    QCOMPARE(env.ctx().login.userName, QStringLiteral("admin"));
    QCOMPARE(env.ctx().login.contractTable, QStringLiteral("htb1"));
    QVERIFY(!visibleWindow<LoginWindow>());
    QVERIFY(main.isVisible());
    // The login is in the shared log.
    QCOMPARE(env.rows(QStringLiteral("select 用户,内容描述 from rzb where 操作模块=?"), {QStringLiteral("登录")}),
             (QList<QStringList>{{QStringLiteral("admin"), QStringLiteral("登录成功，登录账套为：%1年度").arg(year)}}));
}

void TstSharedServer::unreachableServerKeepsTheWindow_data()
{
    QTest::addColumn<QString>("server");
    // Nothing listens on port 1; the second has no host.
    QTest::newRow("refused") << QStringLiteral("postgresql://127.0.0.1:1");
    QTest::newRow("no host") << QStringLiteral("postgresql://:5432");
    QTest::newRow("bad port") << QStringLiteral("postgresql://127.0.0.1:99999");
}

void TstSharedServer::unreachableServerKeepsTheWindow()
{
    QFETCH(QString, server);
    cgtest::TestEnv env(false);
    MainWindow main;
    StartProgram(main, ParseStartOptions({QStringLiteral("--connection-settings")}));
    auto *connection = visibleWindow<ConnectionWindow>();
    QVERIFY(connection);
    typeConnectionValues(connection, {server, QStringLiteral("采购"), QStringLiteral("cgsys"), QStringLiteral("O'Brien")});
    connection->findChild<QPushButton *>(QStringLiteral("按钮_连接"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("连接数据库失败，请与管理员联系！")});
    QVERIFY(connection->isVisible());
    QVERIFY(!env.db().isConnected());
    QVERIFY(!visibleWindow<LoginWindow>());
    // Nothing is stored that did not connect.
    QCOMPARE(ReadConnectionSetting(QStringLiteral("服务器IP")), kTemplateServer);
}

QTEST_MAIN(TstSharedServer)
#include "tst_sharedserver.moc"
