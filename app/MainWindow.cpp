#include "app/MainWindow.h"
#include "data/Version.h"
#include "app/HotKeys.h"
#include "ui/Seams.h"
#include "ui/Shell.h"
#include "app/Tools.h"
#include "backup/BackupWindow.h"
#include "promotion/PromotionWindow.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "data/Permissions.h"
#include "ui/Gates.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QMenuBar>
#include <QPainter>
#include <QStatusBar>

namespace cg {

BackgroundLabel::BackgroundLabel(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("主背景框"));
    setText(QStringLiteral("砚禾澄屿合同管理系统 by：系统"));
    QFont f(QStringLiteral("LiSu"));
    f.setFamilies({QStringLiteral("隶书"), QStringLiteral("LiSu"), QStringLiteral("WenQuanYi Micro Hei")});
    f.setPointSize(28);
    setFont(f);
    setAlignment(Qt::AlignCenter);
}

void BackgroundLabel::setPictureBytes(const QByteArray &bytes)
{
    m_pixmap = QPixmap();
    if (!bytes.isEmpty())
        m_pixmap.loadFromData(bytes);
    update();
}

void BackgroundLabel::setPlacement(PicturePlacement p)
{
    if (p != PicturePlacement::Unchanged)
        m_placement = p;
    update();
}

void BackgroundLabel::paintEvent(QPaintEvent *event)
{
    if (!m_pixmap.isNull()) {
        QPainter p(this);
        switch (m_placement) {
        case PicturePlacement::TopLeft:
            p.drawPixmap(0, 0, m_pixmap);
            break;
        case PicturePlacement::Centred:
            p.drawPixmap((width() - m_pixmap.width()) / 2, (height() - m_pixmap.height()) / 2, m_pixmap);
            break;
        case PicturePlacement::Tiled:
            p.drawTiledPixmap(rect(), m_pixmap);
            break;
        default:
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawPixmap(rect(), m_pixmap);
            break;
        }
    }
    QLabel::paintEvent(event);
}

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("启动窗口"));
    setProperty("cgWindowKey", Gates::kMain);
    move(50, 50);
    resize(1200, 684);
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("客户区"));
    setCentralWidget(central);
    m_background = new BackgroundLabel(central);
    buildMenus();
    buildStatusBar();
    m_logTimer.setObjectName(QStringLiteral("时钟_日志"));
    m_logTimer.setInterval(0);
    connect(&m_logTimer, &QTimer::timeout, this, &MainWindow::checkLogSize);
    SetMainWindow(this);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto add = [](QMenu *menu, const QString &caption, auto slot) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(caption);
        QObject::connect(a, &QAction::triggered, menu, slot);
        return a;
    };
    auto opener = [](const QString &key) { return [key] { Windows::open(key); }; };

    QMenu *system = bar->addMenu(QStringLiteral("&M.系统管理"));
    add(system, QStringLiteral("&S.系统配置"), opener(WindowKey::SystemConfig));
    add(system, QStringLiteral("&U.用户管理"), opener(WindowKey::UserManagement));
    add(system, QStringLiteral("&T.帐套管理"), [this] {
        if (Ctx().login.userName == QLatin1String("admin"))
            Windows::open(WindowKey::AccountSets);
        else
            ShowError(QStringLiteral("你没有账套修改权限，醒醒吧那是不可能的！"), this);
    });
    add(system, QStringLiteral("&B.数据备份…"), [this] {
        if (Ctx().login.isAdmin())
            Windows::open(kBackupWindowKey);
        else
            ShowError(QStringLiteral("只有管理员才能备份和恢复数据！"), this);
    });
    // Only the embedded database has somewhere to move to.
    QAction *promote = add(system, QStringLiteral("&M.迁移到共享服务器…"), [this] {
        if (Ctx().login.isAdmin())
            Windows::open(kPromotionWindowKey);
        else
            ShowError(QStringLiteral("只有管理员才能把数据迁移到共享服务器！"), this);
    });
    connect(system, &QMenu::aboutToShow, promote,
            [promote] { promote->setVisible(Ctx().db().backend() == Backend::Sqlite); });
    system->addSeparator();
    add(system, QStringLiteral("&X.退出程序"), [] { ShutDownApplication(); });

    QMenu *basic = bar->addMenu(QStringLiteral("&C.基础信息"));
    add(basic, QStringLiteral("&D.导航窗口"), opener(WindowKey::Navigation));
    basic->addSeparator();
    add(basic, QStringLiteral("&G.基础资料录入"), opener(WindowKey::BasicData));
    add(basic, QStringLiteral("&C.供应商录入"), opener(WindowKey::SupplierEntry));
    add(basic, QStringLiteral("&T.合同录入"), opener(WindowKey::ContractEntry));
    basic->addSeparator();
    add(basic, QStringLiteral("&H.合同查询"), opener(WindowKey::ContractQuery));
    add(basic, QStringLiteral("&S.供应商查询"), opener(WindowKey::SupplierQuery));
    basic->addSeparator();
    add(basic, QStringLiteral("&R.系统日志"), opener(WindowKey::SystemLog));

    // The contract reports: what runs out, which numbers are missing, what
    // was signed with whom.
    QMenu *contracts = bar->addMenu(QStringLiteral("&K.合同"));
    add(contracts, QStringLiteral("&R.合同到期提醒…"), opener(WindowKey::ExpiryReminders));
    add(contracts, QStringLiteral("&G.合同编号缺号报告…"), opener(WindowKey::NumberGaps));
    add(contracts, QStringLiteral("&S.合同金额统计…"), opener(WindowKey::SpendOverview));

    QMenu *tools = bar->addMenu(QStringLiteral("&T.常用工具"));
    add(tools, QStringLiteral("&N.记事本"), [] { runTool(false); });
    add(tools, QStringLiteral("&C.计算器"), [] { runTool(true); });

    QMenu *help = bar->addMenu(QStringLiteral("&H.帮助"));
    add(help, QStringLiteral("&B.帮助信息"), [] {
        WriteLogEntry(QStringLiteral("操作"), QStringLiteral("打开帮助信息"), QStringLiteral("_启动窗口"));
        Windows::open(WindowKey::Help);
    });
    help->addSeparator();
    add(help, QStringLiteral("&G.更新记录"), opener(WindowKey::UpdateHistory));
    help->addSeparator();
    add(help, QStringLiteral("&A.关于"), [this] {
        // The version, as the package and cgsys --version carry it, follows the greeting.
        ShowMessage(QStringLiteral("      欢迎使用砚禾澄屿合同管理系统\r\n \r\n   使用本系统可增强合同安全性，快速便捷！\r\n")
                        + QStringLiteral("   版本：") + ProgramVersion() + QStringLiteral("\r\n"),
                    QStringLiteral("系统提示"), MsgIcon::Information, this);
    });
}

QAction *MainWindow::menuAction(const QString &caption) const
{
    for (QAction *a : findChildren<QAction *>())
        if (a->text() == caption)
            return a;
    return nullptr;
}

void MainWindow::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("状态条1"));
    bar->setSizeGripEnabled(false);
    static const int widths[] = {85, 78, 85, 110, 73, 150, 75, 50, 150, 0};
    static const char *const fixed[] = {" 当前操作员：", " ", " 当前帐套名：", " ", " 当前时段：",
                                        "", "", " 地址：", "", " 发布日期：2020-07-10"};
    for (int i = 0; i < 10; ++i) {
        auto *panel = new QLabel(QString::fromUtf8(fixed[i]), bar);
        panel->setObjectName(QStringLiteral("状态条1_%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        if (widths[i] > 0) {
            panel->setFixedWidth(widths[i]);
            bar->addWidget(panel);
        } else {
            bar->addWidget(panel, 1);
        }
        m_panels << panel;
    }
}

QString MainWindow::statusPanelText(int index) const { return m_panels.value(index) ? m_panels[index]->text() : QString(); }

void MainWindow::setStatusPanelText(int index, const QString &text)
{
    if (QLabel *p = m_panels.value(index))
        p->setText(text);
}

void MainWindow::reloadBackground()
{
    QByteArray bytes;
    QFile f(Ctx().backgroundPath());
    if (f.open(QIODevice::ReadOnly))
        bytes = f.readAll();
    m_background->setPictureBytes(bytes);
}

void MainWindow::start(const std::function<void()> &connectionStep)
{
    AppContext &ctx = Ctx();
    setWindowTitle(kMainTitle);
    // The skin: a style sheet; the program starts with the plain look when it
    // cannot be read.
    EnsureResources();
    QFile skin(QStringLiteral(":/app/skin.qss"));
    if (skin.open(QIODevice::ReadOnly))
        qApp->setStyleSheet(QString::fromUtf8(skin.readAll()));

    m_background->setText(QStringLiteral("砚禾澄屿合同管理系统 by：系统"));
    const BackgroundChoice bg = ChooseBackground();
    m_background->setPictureBytes(bg.picture);
    m_background->setPlacement(bg.placement);

    OpenLocalConnectionDatabase();
    if (connectionStep)
        connectionStep();

    setWindowState(Qt::WindowMaximized);
    setStatusPanelText(1, QStringLiteral(" ") + ctx.login.userName);
    setStatusPanelText(3, QStringLiteral(" ") + ctx.login.accountSetName);
    setStatusPanelText(5, StatusDateText(Clock::now().date()));
    setStatusPanelText(8, ReadConnectionSetting(QStringLiteral("服务器IP")));
    setStatusPanelText(9, kReleaseDateText);

    m_hotKeys = new HotKeys(this);
    m_hotKeys->registerKey(HotKeys::kContractQuery, Qt::Key_F6);
    m_hotKeys->registerKey(HotKeys::kSupplierQuery, Qt::Key_F7);
    // Until somebody has logged in there is no user whose rights the query
    // windows could follow; the keys do nothing then.
    connect(m_hotKeys, &HotKeys::activated, this, [](int id) {
        if (!Ctx().login.loggedIn)
            return;
        if (id == HotKeys::kContractQuery)
            Windows::open(WindowKey::ContractQuery);
        else if (id == HotKeys::kSupplierQuery)
            Windows::open(WindowKey::SupplierQuery);
    }, Qt::QueuedConnection);
    QPointer<HotKeys> keys = m_hotKeys;
    SetShutdownHook([keys] {
        if (keys)
            keys->unregisterAll();
    });
}

void MainWindow::showAfterLogin()
{
    const LoginContext &lc = Ctx().login;
    setStatusPanelText(1, lc.userName);
    setStatusPanelText(3, lc.accountSetName);
    if (QAction *promote = menuAction(QStringLiteral("&M.迁移到共享服务器…")))
        promote->setVisible(Ctx().db().backend() == Backend::Sqlite);
    showMaximized();
}

void MainWindow::armLogCheck()
{
    Ctx().login.logCheckArmed = true;
    m_logTimer.start(2000);
}

void MainWindow::checkLogSize()
{
    LoginContext &lc = Ctx().login;
    if (!lc.logCheckArmed)
        return;
    lc.logCheckArmed = false;
    m_logTimer.stop();
    m_logTimer.setInterval(0);
    const LogSizeCheck::Result r = LogSizeCheck(Ctx().db(), lc.accountSetName).run();
    if (r.overSetLimit)
        ShowInfo(QStringLiteral("系统日志已超出设定值，请管理员及时清除系统日志！"), this);
    if (r.overHardLimit) {
        ShowInfo(QStringLiteral("日志数超过10万条，请管理员及时清除系统日志！"), this);
        Windows::openModal(WindowKey::SystemLog);
    }
}

void MainWindow::openContractEntryChecked(QWidget *owner)
{
    if (HasPermission(QStringLiteral("合同录入")))
        Windows::open(WindowKey::ContractEntry);
    else
        ShowError(QStringLiteral("你没有权限录入合同"), owner);
}

void MainWindow::runTool(bool calculator)
{
    const QString program = calculator ? FindCalculator() : FindTextEditor();
    if (!program.isEmpty())
        Launcher::start(program);
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_background->setGeometry(3, 2, width() - 20, height() - 83);
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    followNavigation();
}

void MainWindow::followNavigation()
{
    if (QWidget *nav = Windows::find(WindowKey::Navigation))
        nav->move(x() + 20, y() + 60);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    WriteLogEntry(QStringLiteral("结束"), QStringLiteral("关闭系统"), QStringLiteral("采购合同管理系统"));
    event->accept();
    ShutDownApplication();
}

} // namespace cg
