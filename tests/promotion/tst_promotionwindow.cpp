// The promotion window driven as the administrator uses it: the copy to
// the PostgreSQL test cluster, the switch of cgsys.dll, the renamed file,
// the log entry on the server and the login window of the server.
#include "app/Catalog.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "data/DatabaseCopy.h"
#include "data/Schema.h"
#include "promotion/PromotionWindow.h"
#include "support/ScratchServer.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace cg;

namespace {

const QString kMenu = QStringLiteral("&M.迁移到共享服务器…");

template <typename T = QWidget> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromUtf8(name));
    if (!c)
        qFatal("missing control %s", name);
    return c;
}

QWidget *loginWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QStringLiteral("用户登录") && w->isVisible())
            return w;
    return nullptr;
}

void type(QWidget *edit, const QString &text)
{
    QApplication::setActiveWindow(edit->window());
    edit->setFocus();
    QTest::keyClicks(QApplication::focusWidget(), text);
}

void expectMessage(int index, const QString &text, MsgIcon icon)
{
    QVERIFY2(MessageSeam::shown().size() > index, qPrintable(MessageSeam::shown().isEmpty() ? QString() : MessageSeam::shown().last().text));
    const ShownMessage m = MessageSeam::shown().at(index);
    QCOMPARE(m.text, text);
    QCOMPARE(m.title, QStringLiteral("系统提示"));
    QCOMPARE(int(m.icon), int(icon));
}

struct Fixture {
    cgtest::TestEnv env;
    MainWindow *main = nullptr;
    Fixture()
    {
        RegisterWindows();
        env.loginAs(QStringLiteral("admin"));
        main = new MainWindow;
        main->start();
        main->showAfterLogin();
    }
    ~Fixture()
    {
        delete loginWindow();
        delete main;
    }
    PromotionWindow *open()
    {
        main->menuAction(kMenu)->trigger();
        auto *w = qobject_cast<PromotionWindow *>(Windows::find(kPromotionWindowKey));
        if (w && !QTest::qWaitForWindowExposed(w))
            return nullptr;
        return w;
    }
    void fill(PromotionWindow *w, const QStringList &v)
    {
        type(child(w, "编辑框_服务器地址"), v.at(0));
        type(child(w, "编辑框_数据库名称"), v.at(1));
        type(child(w, "编辑框_用户名"), v.at(2));
        type(child(w, "编辑框_密码"), v.at(3));
    }
};

} // namespace

class TstPromotionWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        if (cgtest::TestEnv::onPostgreSql())
            QSKIP("moves the embedded database");
        const bool needsServer = qstrcmp(QTest::currentTestFunction(), "refusesWithoutCopying") != 0;
        if (needsServer && !cgtest::ScratchServer::available())
            QSKIP("needs the PostgreSQL test cluster (CGSYS_PG_*)");
    }
    void movesToTheServerAndLogsInThere();
    void refusesWithoutCopying();
};

void TstPromotionWindow::movesToTheServerAndLogsInThere()
{
    Fixture f;
    cgtest::ScratchServer server;
    QVERIFY(server.created());
    QVERIFY(f.env.db().execute(QStringLiteral("insert into gysb(单据状态,名称) values('已审核','华东机电 ''引号''  ')")));
    const int embeddedLog = f.env.rows(QStringLiteral("select count(*) from rzb")).value(0).value(0).toInt();
    QVERIFY(f.main->menuAction(kMenu)->isVisible());
    PromotionWindow *w = f.open();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--迁移到共享服务器"));
    for (const char *label : {"标签_地址", "标签_名称", "标签_用户名", "标签_密码"})
        QVERIFY(child<QLabel>(w, label)->buddy());
    QVERIFY(QTest::qWaitForWindowExposed(w));
    f.fill(w, server.connectionValues());
    if (!qEnvironmentVariable("CGSYS_SCREENSHOT").isEmpty())
        w->grab().save(qEnvironmentVariable("CGSYS_SCREENSHOT"));

    MessageSeam::setNextAnswer(QMessageBox::Yes);
    QTest::mouseClick(child<QPushButton>(w, "按钮_开始迁移"), Qt::LeftButton);
    expectMessage(0, QStringLiteral("将把本机内置数据库中的全部数据复制到服务器 %1 上的数据库 %2，核对一致后本机改用该服务器，"
                                    "内置数据库文件改名保留。\n确定要开始迁移吗？")
                         .arg(server.connectionValues().at(0), server.name()),
                  MsgIcon::Question);
    QVERIFY(QTest::qWaitFor([] { return loginWindow() != nullptr; }, 60000));

    // cgsys.dll names the server, the file is out of the way under the
    // day's name, the session is on the server.
    QCOMPARE((QStringList{ReadConnectionSetting(QStringLiteral("服务器IP")), ReadConnectionSetting(QStringLiteral("数据库名称")),
                          ReadConnectionSetting(QStringLiteral("登录名")), ReadConnectionSetting(QStringLiteral("密码"))}),
             server.connectionValues());
    QVERIFY(!QFileInfo::exists(f.env.dbPath()));
    QVERIFY(QFileInfo::exists(f.env.dbPath() + QStringLiteral(".已迁移-20350520")));
    QCOMPARE(Ctx().db().backend(), Backend::PostgreSql);
    QVERIFY(!f.main->isVisible());
    QCOMPARE(f.env.rows(QStringLiteral("select 名称 from gysb")), (QList<QStringList>{{QStringLiteral("华东机电 '引号'  ")}}));
    QVERIFY(MessageSeam::shown().size() >= 2);
    const ShownMessage done = MessageSeam::shown().at(1);
    QVERIFY2(done.text.startsWith(QStringLiteral("迁移成功：6 个表、")), qPrintable(done.text));
    QVERIFY(done.text.endsWith(QStringLiteral("本机今后使用服务器上的数据库。原内置数据库文件已改名为 cgsys.db.已迁移-20350520。\n请重新登录。")));
    QCOMPARE(done.icon, MsgIcon::Information);
    // The server's log: the embedded rows up to the start, then the promotion itself.
    const QStringList log = f.env.logTriples();
    QCOMPARE(log.size(), embeddedLog + 2);
    QCOMPARE(log.at(log.size() - 2), QStringLiteral("开始|打开迁移到共享服务器窗口|迁移到共享服务器"));
    QVERIFY2(log.last().startsWith(QStringLiteral("操作|迁移到共享服务器成功：6 个表，")), qPrintable(log.last()));
    QVERIFY(log.last().endsWith(QStringLiteral("，原内置数据库文件改名为 cgsys.db.已迁移-20350520|迁移到共享服务器")));

    // The login window of the server; the entry is gone there.
    auto *login = loginWindow();
    child<QLineEdit>(login, "编辑框_密码")->setText(QString::fromLatin1(Schema::kAdminInitialPassword));
    QTest::mouseClick(child<QPushButton>(login, "按钮_登录"), Qt::LeftButton);
    QVERIFY(f.main->isVisible());
    QVERIFY(!f.main->menuAction(kMenu)->isVisible());
    f.env.ctx().db().close();
}

void TstPromotionWindow::refusesWithoutCopying()
{
    Fixture f;
    PromotionWindow *w = f.open();
    QVERIFY(w);
    // The embedded database is no target; an empty field is named.
    f.fill(w, {QStringLiteral("sqlite"), QStringLiteral("other.db"), QStringLiteral("x"), QStringLiteral("y")});
    QTest::mouseClick(child<QPushButton>(w, "按钮_开始迁移"), Qt::LeftButton);
    expectMessage(0, QStringLiteral("迁移的目标必须是共享服务器（PostgreSQL 或 SQL Server），不能是本机内置数据库！"),
                  MsgIcon::Error);
    child<QLineEdit>(w, "编辑框_密码")->clear();
    QTest::mouseClick(child<QPushButton>(w, "按钮_开始迁移"), Qt::LeftButton);
    expectMessage(1, QStringLiteral("请输入密码！"), MsgIcon::Information);
    QCOMPARE(ReadConnectionSetting(QStringLiteral("服务器IP")), kTemplateServer);
    QVERIFY(QFileInfo::exists(f.env.dbPath()));

    // Only the administrator opens it.
    w->close();
    f.env.addUser(QStringLiteral("张三"), QStringLiteral("x"), {});
    f.env.loginAs(QStringLiteral("张三"));
    MessageSeam::clear();
    f.main->menuAction(kMenu)->trigger();
    expectMessage(0, QStringLiteral("只有管理员才能把数据迁移到共享服务器！"), MsgIcon::Error);
}

QTEST_MAIN(TstPromotionWindow)
#include "tst_promotionwindow.moc"
