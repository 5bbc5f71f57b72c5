#include "app/LoginWindow.h"
#include "app/BackupSession.h"
#include "app/Login.h"
#include "app/MainWindow.h"
#include "reports/ExpiryReminderWindow.h"
#include "ui/Keys.h"
#include "ui/Seams.h"
#include "ui/Shell.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "data/ListTargets.h"
#include "ui/Gates.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace cg {

LoginWindow::LoginWindow(QWidget *parent) : QWidget(parent, Qt::Window), m_flow(Ctx().db(), Ctx().login)
{
    setObjectName(QStringLiteral("用户登录"));
    m_user = new QComboBox(this);
    m_user->setObjectName(QStringLiteral("组合框_用户名"));
    m_user->setEditable(true);
    m_user->setInsertPolicy(QComboBox::NoInsert);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("编辑框_密码"));
    m_password->setEchoMode(QLineEdit::Password);
    OnEnter(m_password, [this] { logIn(); });
    m_set = new QComboBox(this);
    m_set->setObjectName(QStringLiteral("组合框_账套"));
    m_login = new QPushButton(QStringLiteral("登录(&N)"), this);
    m_login->setObjectName(QStringLiteral("按钮_登录"));
    m_cancel = new QPushButton(QStringLiteral("取消(&X)"), this);
    m_cancel->setObjectName(QStringLiteral("按钮_取消"));

    auto *banner = new QLabel(QStringLiteral("砚禾澄屿合同管理系统"), this);
    banner->setObjectName(QStringLiteral("标签2"));
    QFont bf = banner->font();
    bf.setPointSize(16);
    bf.setBold(true);
    banner->setFont(bf);
    banner->setAlignment(Qt::AlignCenter);

    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("外形框1"));
    frame->setFrameShape(QFrame::StyledPanel);
    auto *grid = new QGridLayout(frame);
    AddFieldRow(grid, 0, QStringLiteral("标签4"), QStringLiteral("用户名："), m_user);
    AddFieldRow(grid, 1, QStringLiteral("标签1"), QStringLiteral("密  码："), m_password);
    AddFieldRow(grid, 2, QStringLiteral("标签3"), QStringLiteral("账  套："), m_set);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_login);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(banner);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    setMinimumWidth(380);

    connect(m_login, &QPushButton::clicked, this, &LoginWindow::logIn);
    connect(m_cancel, &QPushButton::clicked, this, &LoginWindow::cancel);
    connect(m_set, &QComboBox::activated, this, [this](int) {
        Settings::write(QStringLiteral("账套"), QStringLiteral("默认"), m_set->currentText());
        m_user->setFocus();
    });
    connect(m_user, &QComboBox::activated, this, [this](int) { m_password->setFocus(); });
    prepare();
}

void LoginWindow::prepare()
{
    setWindowTitle(WindowTitle(QStringLiteral("用户登录")));
    m_user->addItems(m_flow.userNames());
    m_set->addItems(m_flow.accountSetNames());
    // Users added while this window is open (by the user management window)
    // join the list.
    ListTargets::add(ListTargets::UserName, this, [this](const QStringList &names) {
        for (const QString &n : names)
            if (m_user->findText(n, Qt::MatchExactly) < 0)
                m_user->addItem(n);
    });
    const QString rememberedUser = Settings::read(QStringLiteral("登录"), QStringLiteral("默认"));
    // The very first start remembers nobody: offer the administrator.
    const QString offeredUser = rememberedUser.isEmpty() ? QStringLiteral("admin") : rememberedUser;
    const int u = m_user->findText(offeredUser, Qt::MatchExactly);
    if (u >= 0)
        m_user->setCurrentIndex(u);
    else
        m_user->setCurrentIndex(-1);   // no change: the combo shows nothing
    const int s = m_set->findText(Settings::read(QStringLiteral("账套"), QStringLiteral("默认")), Qt::MatchExactly);
    if (s >= 0) {
        m_set->setCurrentIndex(s);
    } else if (m_set->count() > 0) {
        // Nothing remembered yet (first start): offer this year's set, or
        // the first, as if the user had chosen it.
        const QString year = QString::number(Clock::now().date().year());
        int pick = 0;
        for (int i = 0; i < m_set->count(); ++i)
            if (m_set->itemText(i).startsWith(year)) {
                pick = i;
                break;
            }
        m_set->setCurrentIndex(pick);
        Settings::write(QStringLiteral("账套"), QStringLiteral("默认"), m_set->currentText());
    }
    if (!m_user->currentText().isEmpty())
        m_password->setFocus();
    else
        m_user->setFocus();
}

void LoginWindow::logIn()
{
    const QString chosen = Settings::read(QStringLiteral("账套"), QStringLiteral("默认"));
    const LoginFlow::Result r =
        m_flow.attempt(m_user->currentText(), m_password->text(), chosen, Clock::now().date().year());
    if (r.notThisYear)
        ShowInfo(QStringLiteral("你现在选择的账套不是今年的，你将不能新增合同，其他不影响。"));
    switch (r.outcome) {
    case LoginFlow::Outcome::NeedUser:
        ShowInfo(QStringLiteral("必须输入一个用户名或者选择一个用户名"));
        m_user->setFocus();
        return;
    case LoginFlow::Outcome::NeedPassword:
        ShowInfo(QStringLiteral("必须输入密码才能登录系统！"));
        m_password->setFocus();
        return;
    case LoginFlow::Outcome::NeedAccountSet:
        ShowInfo(QStringLiteral("请选择账套后再登录系统！"));
        return;
    case LoginFlow::Outcome::MissingTable:
        ShowMessage(r.missingTableMessage, QString(), MsgIcon::Error, this);
        cancel();
        return;
    case LoginFlow::Outcome::Succeeded:
        succeed();
        return;
    case LoginFlow::Outcome::TooManyFailures:
        ShowMessage(QStringLiteral("密码错误次数超限，你无权进入"), QString(), MsgIcon::Information, this);
        LoginFlow::endProcess();
        return;
    case LoginFlow::Outcome::WrongPassword:
        if (m_flow.remaining() != 0) {
            ShowMessage(QStringLiteral("密码错误，你还有%1机会").arg(m_flow.remaining()), QString(), MsgIcon::Error,
                        this);
            m_password->setFocus();
        }
        m_password->clear();
        return;
    }
}

void LoginWindow::succeed()
{
    const LoginContext &lc = Ctx().login;
    Settings::write(QStringLiteral("登录"), QStringLiteral("默认"), lc.userName);
    m_finished = true;
    close();
    auto *main = qobject_cast<MainWindow *>(MainWindowWidget());
    if (main)
        main->showAfterLogin();
    m_flow.completeSuccess();
    if (lc.userName != QLatin1String("admin"))
        ApplyPermissions();
    Windows::open(WindowKey::Navigation);
    m_flow.logSuccess();
    if (main)
        main->armLogCheck();
    StartDailyBackup();
    ShowExpiryRemindersAtLogin();
}

void LoginWindow::cancel()
{
    m_finished = true;
    WriteLogEntry(QStringLiteral("结束"), QStringLiteral("取消登录操作"), QStringLiteral("登录"));
    ShutDownApplication();
}

void LoginWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!m_finished)
        cancel();
}

LoginWindow *ShowLoginWindow()
{
    auto *login = new LoginWindow;
    login->setAttribute(Qt::WA_DeleteOnClose);
    CentreOnScreen(login);
    login->show();
    login->raise();
    login->activateWindow();
    return login;
}

} // namespace cg
