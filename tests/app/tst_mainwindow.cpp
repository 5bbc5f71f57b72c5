// The main window, its menus, the navigation window and the text windows.
#include "app/Catalog.h"
#include "app/MainWindow.h"
#include "app/Program.h"
#include "ui/Shell.h"
#include "app/TextWindows.h"
#include "support/TestEnv.h"
#include "support/UserInput.h"

#include <QAction>
#include <QFile>
#include <QGuiApplication>
#include <QMenuBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

using namespace cg;

class TstMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void menuTree();
    void resizeAndFollow();
    void closingAndExit();
    void aboutHelpAndHistory();
    void hotKeysOpenQueryWindows();
    void navigationWindow();
    void contractEntryButtonAsksAfresh();
    void desktopEntryNamesTheProgramsWindows();
};

namespace {
struct Fixture {
    cgtest::TestEnv env;
    MainWindow *main;
    Fixture()
    {
        RegisterWindows();
        env.loginAs(QStringLiteral("admin"));
        main = new MainWindow;
        main->start();
        main->showAfterLogin();
    }
    QWidget *nav() { return Windows::open(WindowKey::Navigation); }
};
QToolButton *button(QWidget *w, const char *name) { return w->findChild<QToolButton *>(QString::fromUtf8(name)); }
} // namespace

void TstMainWindow::menuTree()
{
    Fixture f;
    QStringList tree;
    for (QAction *top : f.main->menuBar()->actions()) {
        tree << top->text();
        for (QAction *a : top->menu()->actions())
            tree << (a->isSeparator() ? QStringLiteral("  --") : QStringLiteral("  ") + a->text());
    }
    const QStringList expected = {
        QStringLiteral("&M.系统管理"), QStringLiteral("  &S.系统配置"), QStringLiteral("  &U.用户管理"),
        QStringLiteral("  &T.帐套管理"), QStringLiteral("  &B.数据备份…"), QStringLiteral("  &M.迁移到共享服务器…"), QStringLiteral("  --"),
        QStringLiteral("  &X.退出程序"),
        QStringLiteral("&C.基础信息"), QStringLiteral("  &D.导航窗口"), QStringLiteral("  --"),
        QStringLiteral("  &G.基础资料录入"), QStringLiteral("  &C.供应商录入"), QStringLiteral("  &T.合同录入"),
        QStringLiteral("  --"), QStringLiteral("  &H.合同查询"), QStringLiteral("  &S.供应商查询"),
        QStringLiteral("  --"), QStringLiteral("  &R.系统日志"),
        QStringLiteral("&K.合同"), QStringLiteral("  &R.合同到期提醒…"), QStringLiteral("  &G.合同编号缺号报告…"),
        QStringLiteral("  &S.合同金额统计…"),
        QStringLiteral("&T.常用工具"), QStringLiteral("  &N.记事本"), QStringLiteral("  &C.计算器"),
        QStringLiteral("&H.帮助"), QStringLiteral("  &B.帮助信息"), QStringLiteral("  --"),
        QStringLiteral("  &G.更新记录"), QStringLiteral("  --"), QStringLiteral("  &A.关于")};
    QCOMPARE(tree, expected);
    // Entries whose windows exist open them, owned by the main window.
    f.main->menuAction(QStringLiteral("&U.用户管理"))->trigger();
    QWidget *users = Windows::find(WindowKey::UserManagement);
    QVERIFY(users && users->isVisible());
    QCOMPARE(users->parentWidget(), f.main);
    f.main->menuAction(QStringLiteral("&T.帐套管理"))->trigger();
    QVERIFY(Windows::find(WindowKey::AccountSets));
    f.main->menuAction(QStringLiteral("&S.合同金额统计…"))->trigger();
    QVERIFY(Windows::find(WindowKey::SpendOverview));
    // Entries of windows not built yet do nothing.
    f.main->menuAction(QStringLiteral("&H.合同查询"))->trigger();
    QCOMPARE(cgtest::messageTexts(), QStringList());
}

void TstMainWindow::resizeAndFollow()
{
    Fixture f;
    f.main->showNormal();
    f.main->resize(800, 600);
    QCOMPARE(f.main->background()->geometry(), QRect(3, 2, 780, 517));
    QWidget *nav = f.nav();
    f.main->move(100, 80);
    QCOMPARE(nav->pos(), QPoint(f.main->x() + 20, f.main->y() + 60));
}

void TstMainWindow::closingAndExit()
{
    Fixture f;
    f.main->menuAction(QStringLiteral("&X.退出程序"))->trigger();
    QCOMPARE(ProcessExit::requests().size(), 1);
    QCOMPARE(f.env.logTriples(), QStringList());
    f.env.reconnect();
    f.main->close();
    QCOMPARE(ProcessExit::requests().size(), 2);
    QCOMPARE(ProcessExit::requests()[1].mode, ProcessExit::Mode::Orderly);
    QCOMPARE(f.env.logTriples(), QStringList{QStringLiteral("结束|关闭系统|采购合同管理系统")});
}

void TstMainWindow::aboutHelpAndHistory()
{
    Fixture f;
    f.main->menuAction(QStringLiteral("&A.关于"))->trigger();
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(MessageSeam::shown()[0].text,
             QStringLiteral("      欢迎使用砚禾澄屿合同管理系统\r\n \r\n   使用本系统可增强合同安全性，快速便捷！\r\n"
                            "   版本：%1\r\n").arg(QLatin1String(CGSYS_VERSION)));
    QCOMPARE(MessageSeam::shown()[0].title, QStringLiteral("系统提示"));
    QCOMPARE(MessageSeam::shown()[0].icon, MsgIcon::Information);

    // The help entry logs every time, also while the window is open.
    f.main->menuAction(QStringLiteral("&B.帮助信息"))->trigger();
    f.main->menuAction(QStringLiteral("&B.帮助信息"))->trigger();
    QCOMPARE(f.env.logTriples(), (QStringList{QStringLiteral("操作|打开帮助信息|_启动窗口"),
                                              QStringLiteral("操作|打开帮助信息|_启动窗口")}));
    auto *help = qobject_cast<HelpWindow *>(Windows::find(WindowKey::Help));
    QVERIFY(help);
    QCOMPARE(help->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--系统帮助"));
    const QStringList lines = help->editor()->toPlainText().split(u'\n');
    QCOMPARE(lines.size(), 10);
    QCOMPARE(lines[0], QStringLiteral("简易帮助信息"));
    QCOMPARE(help->editor()->document()->firstBlock().blockFormat().alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QCOMPARE(lines[1], QStringLiteral(" 1、账套管理只有admin（管理员）才有权限修改或新增。"));
    QCOMPARE(lines[9], QStringLiteral(" 9、本系统合同录入窗口里的[检查号]和合同查询里的[标识]不做任何凭证。 "));
    QVERIFY(help->editor()->isReadOnly());

    f.main->menuAction(QStringLiteral("&G.更新记录"))->trigger();
    auto *history = qobject_cast<UpdateHistoryWindow *>(Windows::find(WindowKey::UpdateHistory));
    QVERIFY(history);
    QCOMPARE(history->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--更新记录"));
    const QString text = UpdateHistoryText();
    QVERIFY(text.startsWith(QStringLiteral("\r\n砚禾澄屿合同管理系统  2.5.2.2版-2020.07.10\r\nBUG修复\r\n"
                                           "1、修复设置里面的合同编号获取错误。\r\n改进\r\n1、减少杀毒软件误报。\r\n\r\n")
                            + QString(46, u'-') + QStringLiteral("\r\n砚禾澄屿合同管理系统  2.5.2.1版-2020.01.03\r\n")));
    // Every entry: a heading line, and a closing line of 46 dashes.
    const QStringList all = text.split(QStringLiteral("\r\n"));
    QStringList headings;
    for (int i = 0; i < all.size(); ++i)
        if (i > 0 && (all[i - 1].isEmpty() || all[i - 1] == QString(46, u'-')) && !all[i].isEmpty()
            && all[i] != QString(46, u'-'))
            headings << all[i].section(QStringLiteral("  "), 1);
    QCOMPARE(headings, (QStringList{QStringLiteral("2.5.2.2版-2020.07.10"), QStringLiteral("2.5.2.1版-2020.01.03"),
                                    QStringLiteral("2.5.2版-2020.01.02"), QStringLiteral("2.5.1版-2019.12.19"),
                                    QStringLiteral("2.5版-2019.11.07"), QStringLiteral("2.4版-2019.06.27"),
                                    QStringLiteral("2.3版-2019.06.25"), QStringLiteral("2.2版-2019.04.19"),
                                    QStringLiteral("2.1版-2019.03.11"), QStringLiteral("2.1版-2019.03.08"),
                                    QStringLiteral("2.0.0.1版-2019.02.28"), QStringLiteral("2.0.0.0版-2019.02.27"),
                                    QStringLiteral("1.0.0.6版-2019.02.14"), QStringLiteral("1.0.0.5版-2019.02.13"),
                                    QStringLiteral("1.0.0.4版-2019.01.28"), QStringLiteral("1.0.0.3版-2019.01.27"),
                                    QStringLiteral("1.0.0.2版-2019.01.25"), QStringLiteral("1.0.0.1版-2019.01.24"),
                                    QStringLiteral("1.0.0.0版-2019.01.24")}));
    QCOMPARE(text.count(QString(46, u'-') + QStringLiteral("\r\n")), 19);
    QVERIFY(history->editor()->toPlainText().contains(QStringLiteral("1、减少杀毒软件误报。")));
}

void TstMainWindow::hotKeysOpenQueryWindows()
{
    Fixture f;
    QStringList opened;
    for (const QString &key : {WindowKey::ContractQuery, WindowKey::SupplierQuery})
        Windows::registerFactory(key, [&opened, key](QWidget *owner) {
            opened << key;
            return new QWidget(owner, Qt::Window);
        });
    // The keys work wherever the focus is: in the main window, or in a
    // field of another window of the program (an edit box, a date picker,
    // a combo box, a list).
    const auto closeOpened = [] {
        for (const QString &key : {WindowKey::ContractQuery, WindowKey::SupplierQuery})
            if (QWidget *w = Windows::find(key))
                w->close();
    };
    QVERIFY(cgtest::press(f.main, Qt::Key_F6));
    QTRY_COMPARE(opened, QStringList{WindowKey::ContractQuery});
    closeOpened();
    const struct {
        QString window;
        const char *control;
    } places[] = {{WindowKey::Navigation, "按钮_数据查询"},
                  {WindowKey::SystemLog, "编辑框_条件"},
                  {WindowKey::SystemLog, "日期框_起始"},
                  {WindowKey::SystemLog, "组合框_编号名称"},
                  {WindowKey::SystemLog, "超级列表框_日志"},
                  {WindowKey::BasicData, "编辑框_数据"},
                  {WindowKey::UserManagement, "超级列表框_用户列表"}};
    for (const auto &place : places) {
        QWidget *w = Windows::open(place.window);
        QVERIFY2(w, qPrintable(place.window));
        auto *control = w->findChild<QWidget *>(QString::fromUtf8(place.control));
        QVERIFY2(control, place.control);
        opened.clear();
        QVERIFY2(cgtest::press(control, Qt::Key_F7), place.control);
        QVERIFY2(cgtest::press(control, Qt::Key_F6), place.control);
        QTRY_COMPARE(opened, (QStringList{WindowKey::SupplierQuery, WindowKey::ContractQuery}));
        closeOpened();
        // Other keys open nothing.
        QVERIFY(cgtest::press(control, Qt::Key_F8));
        QTest::qWait(10);
        QCOMPARE(opened.size(), 2);
    }
}

void TstMainWindow::navigationWindow()
{
    Fixture f;
    QWidget *nav = f.nav();
    QCOMPARE(nav->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--导航窗口"));
    QCOMPARE(nav->size(), QSize(657, 347));
    QVERIFY(button(nav, "按钮_数据查询")->isChecked());
    QVERIFY(!button(nav, "按钮_合同录入")->isChecked());
    auto *tabs = nav->findChild<QTabWidget *>(QStringLiteral("导航选择夹"));
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0) + tabs->tabText(1) + tabs->tabText(2), QStringLiteral("查询数据基础信息系统管理"));
    button(nav, "按钮_系统设置")->click();
    QCOMPARE(tabs->currentIndex(), 2);
    QVERIFY(button(nav, "按钮_系统设置")->isChecked());
    QVERIFY(!button(nav, "按钮_数据查询")->isChecked());
    button(nav, "按钮_基础信息")->click();
    QCOMPARE(tabs->currentIndex(), 1);
    button(nav, "按钮_数据查询")->click();
    QCOMPARE(tabs->currentIndex(), 0);
    // The tools: nothing happens without an editor or calculator, but the entries are written.
    button(nav, "按钮_记事本")->click();
    button(nav, "按钮_计算器")->click();
    for (const QString &s : Launcher::started())
        QVERIFY(!s.isEmpty());
    button(nav, "按钮_系统配置")->click();
    QVERIFY(Windows::find(WindowKey::SystemConfig));
    nav->close();
    QCOMPARE(f.env.logTriples(),
             (QStringList{QStringLiteral("开始|打开导航窗口|导航"), QStringLiteral("操作状态|点击系统设置|导航"),
                          QStringLiteral("操作状态|点击基础信息|导航"), QStringLiteral("操作状态|点击数据查询|导航"),
                          QStringLiteral("操作状态|打开记事本|导航"), QStringLiteral("操作状态|打开计算器|导航"),
                          QStringLiteral("开始|打开系统配置窗口|系统配置"), QStringLiteral("结束|关闭导航窗口|导航")}));
    // The exit buttons end the program at once.
    QWidget *nav2 = f.nav();
    QVERIFY(nav2 != nav);
    button(nav2, "按钮2_退出")->click();
    QCOMPARE(ProcessExit::requests().size(), 1);
    QCOMPARE(ProcessExit::requests()[0].mode, ProcessExit::Mode::Immediate);
    QVERIFY(f.env.ctx().db().isConnected());
}

void TstMainWindow::contractEntryButtonAsksAfresh()
{
    Fixture f;
    int opened = 0;
    Windows::registerFactory(WindowKey::ContractEntry, [&](QWidget *owner) {
        ++opened;
        return new QWidget(owner, Qt::Window);
    });
    QVERIFY(f.env.db().execute(QStringLiteral("update yhb set 合同录入='0' where 用户名='admin'")));
    QWidget *nav = f.nav();
    button(nav, "按钮_基础信息")->click();
    button(nav, "按钮_合同录入")->click();
    QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("你没有权限录入合同")});
    QCOMPARE(MessageSeam::shown()[0].icon, MsgIcon::Error);
    QCOMPARE(opened, 0);
    QVERIFY(!button(nav, "按钮_基础信息")->isChecked());
    QVERIFY(!button(nav, "按钮_数据查询")->isChecked());
    auto *tabs = nav->findChild<QTabWidget *>(QStringLiteral("导航选择夹"));
    QCOMPARE(tabs->currentIndex(), 1);
    // The menu entry opens it without a check.
    f.main->menuAction(QStringLiteral("&T.合同录入"))->trigger();
    QCOMPARE(opened, 1);
    Windows::find(WindowKey::ContractEntry)->close();
    QVERIFY(f.env.db().execute(QStringLiteral("update yhb set 合同录入='1' where 用户名='admin'")));
    button(nav, "按钮_合同录入")->click();
    QCOMPARE(opened, 2);
}

// The menu entry finds the running program's windows by their class (X11)
// or by the desktop name (Wayland): both must match what the program sets.
void TstMainWindow::desktopEntryNamesTheProgramsWindows()
{
    SetUpApplicationIdentity();
    const QString path = QStringLiteral(CGSYS_SOURCE_DIR "/dist/") + QGuiApplication::desktopFileName()
        + QStringLiteral(".desktop");
    QVERIFY2(QFile::exists(path), qPrintable(path));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString wmClass;
    QString icon;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.startsWith(QLatin1String("StartupWMClass=")))
            wmClass = line.mid(15);
        if (line.startsWith(QLatin1String("Icon=")))
            icon = line.mid(5);
    }
    // Qt's window class is the application name.
    QCOMPARE(wmClass, QCoreApplication::applicationName());
    QCOMPARE(icon, QGuiApplication::desktopFileName());
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral(CGSYS_VERSION));
}

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
