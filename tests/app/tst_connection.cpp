// The connection settings window against the stored values.
#include "app/ConnectionWindow.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "support/TestEnv.h"
#include "support/UserInput.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace cg;

class TstConnection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void storedEmbeddedValuesConnectWithoutShowing();
    void failingServerShowsStoredValuesAndMessage();
    void missingValueShowsWindowWithoutTrying();
    void fieldChecksAndConnectByEnter();
    void cancelEndsTheProgram();
};

namespace {
LoginWindow *openLoginWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *l = qobject_cast<LoginWindow *>(w))
            if (l->isVisible())
                return l;
    return nullptr;
}
QLineEdit *edit(QWidget *w, const char *name) { return w->findChild<QLineEdit *>(QString::fromUtf8(name)); }
} // namespace

void TstConnection::storedEmbeddedValuesConnectWithoutShowing()
{
    cgtest::TestEnv env(false);
    MainWindow main;
    main.start();
    QCOMPARE(main.statusPanelText(8), QStringLiteral("sqlite"));
    auto *w = new ConnectionWindow(&main);
    w->loadAndDecide();
    QVERIFY(!w->isVisible());
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QVERIFY(env.db().isConnected());
    // The new embedded database has its tables, admin and this year's set.
    QCOMPARE(env.rows(QStringLiteral("select 用户名 from yhb")).value(0).value(0), QStringLiteral("admin"));
    QCOMPARE(env.rows(QStringLiteral("select 账套名,引用合同表 from ztb")).value(0),
             (QStringList{QStringLiteral("%1年度").arg(cg::Clock::now().date().year()), QStringLiteral("htb1")}));
    QVERIFY(env.db().tableExists(QStringLiteral("htb1")));
    QVERIFY(openLoginWindow());
    QCOMPARE(openLoginWindow()->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--用户登录"));
}

void TstConnection::failingServerShowsStoredValuesAndMessage()
{
    cgtest::TestEnv env(false);
    MainWindow main;
    main.start();
    // Nothing listens on this port: the connection is refused at once.
    QVERIFY(SaveConnectionSettings(QStringLiteral("127.0.0.1,1"), QStringLiteral("采购"), QStringLiteral("sa"),
                                   QStringLiteral("O'Brien")));
    auto *w = new ConnectionWindow(&main);
    w->loadAndDecide();
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(MessageSeam::shown()[0].text, QStringLiteral("连接数据库失败，请与管理员联系！"));
    QCOMPARE(MessageSeam::shown()[0].icon, MsgIcon::Error);
    QCOMPARE(MessageSeam::shown()[0].owner, w);
    QVERIFY(w->isVisible());
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--数据库连接设置"));
    QCOMPARE(edit(w, "编辑框_服务器地址")->text(), QStringLiteral("127.0.0.1,1"));
    QCOMPARE(edit(w, "编辑框_数据库名称")->text(), QStringLiteral("采购"));
    QCOMPARE(edit(w, "编辑框_用户名")->text(), QStringLiteral("sa"));
    QCOMPARE(edit(w, "编辑框_密码")->text(), QStringLiteral("O'Brien"));
    QCOMPARE(edit(w, "编辑框_密码")->echoMode(), QLineEdit::Password);
    QVERIFY(!openLoginWindow());

    // The user corrects the values; a successful connection stores them.
    edit(w, "编辑框_服务器地址")->setText(QStringLiteral("SQLite"));
    edit(w, "编辑框_数据库名称")->setText(QStringLiteral("合同.db"));
    w->findChild<QPushButton *>(QStringLiteral("按钮_连接"))->click();
    QVERIFY(!w->isVisible());
    QVERIFY(openLoginWindow());
    QCOMPARE(ReadConnectionSetting(QStringLiteral("服务器IP")), QStringLiteral("SQLite"));
    QCOMPARE(ReadConnectionSetting(QStringLiteral("数据库名称")), QStringLiteral("合同.db"));
    QCOMPARE(ReadConnectionSetting(QStringLiteral("密码")), QStringLiteral("O'Brien"));
    QVERIFY(QFile::exists(env.workFolder() + QStringLiteral("合同.db")));
}

void TstConnection::missingValueShowsWindowWithoutTrying()
{
    cgtest::TestEnv env(false);
    MainWindow main;
    main.start();
    QVERIFY(SaveConnectionSettings(QStringLiteral("sqlite"), QStringLiteral("cgsys.db"), QStringLiteral("local"), QString()));
    auto *w = new ConnectionWindow(&main);
    w->loadAndDecide();
    QVERIFY(w->isVisible());
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QVERIFY(!env.db().isConnected());
}

void TstConnection::fieldChecksAndConnectByEnter()
{
    cgtest::TestEnv env(false);
    MainWindow main;
    main.start();
    auto *w = new ConnectionWindow(&main);
    w->loadAndDecide(true);   // the start switch keeps the window up
    QVERIFY(w->isVisible());
    QVERIFY(!env.db().isConnected());
    const char *fields[] = {"编辑框_服务器地址", "编辑框_数据库名称", "编辑框_用户名", "编辑框_密码"};
    const QStringList expected = {QStringLiteral("请输入服务器地址！"), QStringLiteral("请输入数据库名称！"),
                                  QStringLiteral("请输入用户名！"), QStringLiteral("请输入密码！")};
    for (int i = 0; i < 4; ++i) {
        MessageSeam::clear();
        const QString keep = edit(w, fields[i])->text();
        edit(w, fields[i])->clear();
        w->findChild<QPushButton *>(QStringLiteral("按钮_连接"))->click();
        QCOMPARE(cgtest::messageTexts(), QStringList{expected[i]});
        QCOMPARE(MessageSeam::shown()[0].icon, MsgIcon::Information);
        edit(w, fields[i])->setText(keep);
    }
    // Enter in another field does nothing; in the password field it connects.
    MessageSeam::clear();
    for (const char *other : {"编辑框_服务器地址", "编辑框_数据库名称", "编辑框_用户名"})
        QVERIFY(cgtest::pressReturn(edit(w, other)));
    QVERIFY(!env.db().isConnected());
    QCOMPARE(cgtest::messageTexts(), QStringList());
    QVERIFY(cgtest::pressKeypadEnter(edit(w, "编辑框_密码")));
    QVERIFY(env.db().isConnected());
    QVERIFY(!w->isVisible());
}

void TstConnection::cancelEndsTheProgram()
{
    cgtest::TestEnv env(false);
    MainWindow main;
    main.start();
    auto *w = new ConnectionWindow(&main);
    w->loadAndDecide(true);
    w->findChild<QPushButton *>(QStringLiteral("按钮_取消"))->click();
    QCOMPARE(ProcessExit::requests().size(), 1);
    QCOMPARE(ProcessExit::requests()[0].mode, ProcessExit::Mode::Orderly);
    QVERIFY(!env.ctx().localDb().isConnected());
    // Closing by the title bar ends it too.
    env.reconnect();
    auto *w2 = new ConnectionWindow(&main);
    w2->loadAndDecide(true);
    w2->close();
    QCOMPARE(ProcessExit::requests().size(), 2);
}

QTEST_MAIN(TstConnection)
#include "tst_connection.moc"
