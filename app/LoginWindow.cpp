#include "app/LoginWindow.h"
#include "app/Login.h"
#include "app/MainWindow.h"
#include "app/Seams.h"
#include "app/Shell.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "data/Permissions.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace cg {

namespace {
int g_failed = 0;
}
int FailedLoginAttempts() { return g_failed; }
void ResetFailedLoginAttempts() { g_failed = 0; }

LoginWindow::LoginWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("用户登录"));
    m_user = new QComboBox(this);
    m_user->setObjectName(QStringLiteral("组合框_用户名"));
    m_user->setEditable(true);
    m_user->setInsertPolicy(QComboBox::NoInsert);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("编辑框_密码"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->installEventFilter(this);
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
    m_user->addItems(AllUserNames());
    m_set->addItems(AllAccountSetNames());
    m_remaining = 3;
    const int u = m_user->findText(Settings::read(QStringLiteral("登录"), QStringLiteral("默认")), Qt::MatchExactly);
    if (u >= 0)
        m_user->setCurrentIndex(u);
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
    AppContext &ctx = Ctx();
    LoginContext &lc = ctx.login;
    const QString chosen = Settings::read(QStringLiteral("账套"), QStringLiteral("默认"));
    lc.chosenAccountSet = chosen;
    if (!AccountSetIsOfYear(chosen, Clock::now().date().year()))
        ShowInfo(QStringLiteral("你现在选择的账套不是今年的，你将不能新增合同，其他不影响。"));
    if (m_user->currentText().isEmpty()) {
        ShowInfo(QStringLiteral("必须输入一个用户名或者选择一个用户名"));
        m_user->setFocus();
        return;
    }
    if (m_password->text().isEmpty()) {
        ShowInfo(QStringLiteral("必须输入密码才能登录系统！"));
        m_password->setFocus();
        return;
    }
    if (chosen.isEmpty()) {
        ShowInfo(QStringLiteral("请选择账套后再登录系统！"));
        return;
    }
    LoadAccountSet(chosen);
    const QString missing = MissingTableMessage(lc.contractTable);
    if (!missing.isEmpty()) {
        ShowMessage(missing, QString(), MsgIcon::Error, this);
        cancel();
        return;
    }
    lc.userName = m_user->currentText();
    if (VerifyPassword(lc.userName, m_password->text())) {
        succeed();
        return;
    }
    --m_remaining;
    if (m_remaining != 0) {
        ShowMessage(QStringLiteral("密码错误，你还有%1机会").arg(m_remaining), QString(), MsgIcon::Error, this);
        m_password->setFocus();
    }
    ++g_failed;
    if (g_failed == 3) {
        WriteLogEntry(QStringLiteral("结束"), QStringLiteral("密码错误次数超出系统限制次数，被强制结束登录"),
                      QStringLiteral("登录"));
        ShowMessage(QStringLiteral("密码错误次数超限，你无权进入"), QString(), MsgIcon::Information, this);
        ProcessExit::exit(0, ProcessExit::Mode::Immediate);
        return;
    }
    m_password->clear();
}

void LoginWindow::succeed()
{
    AppContext &ctx = Ctx();
    LoginContext &lc = ctx.login;
    lc.loggedIn = true;
    Settings::write(QStringLiteral("登录"), QStringLiteral("默认"), lc.userName);
    m_finished = true;
    close();
    auto *main = qobject_cast<MainWindow *>(ctx.mainWindow.data());
    if (main)
        main->showAfterLogin();
    lc.logCheckArmed = true;
    lc.contractPrefix = ContractPrefixOf(lc.accountSetName);
    if (lc.userName != QLatin1String("admin"))
        ApplyPermissions();
    Windows::open(WindowKey::Navigation);
    WriteLogEntry(QStringLiteral("操作记录"), QStringLiteral("登录成功，登录账套为：") + lc.accountSetName,
                  QStringLiteral("登录"));
    if (main)
        main->armLogCheck();
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

bool LoginWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_password && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            logIn();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace cg
