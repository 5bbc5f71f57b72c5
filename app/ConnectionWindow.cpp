#include "app/ConnectionWindow.h"
#include "app/LoginWindow.h"
#include "ui/ConnectionFields.h"
#include "ui/Keys.h"
#include "ui/Seams.h"
#include "ui/Shell.h"
#include "app/Startup.h"
#include "backup/FileSystemInfo.h"
#include "data/Context.h"
#include "data/DatabaseCopy.h"
#include "data/Schema.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace cg {

ConnectionWindow::ConnectionWindow(QWidget *owner) : QWidget(owner, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("数据库连接设置"));
    setWindowTitle(WindowTitle(QStringLiteral("数据库连接设置")));
    // The address names the kind of database as well.
    const ConnectionFields &fields = m_fields = AddConnectionFields(this, kServerAddressHint);
    m_server = fields.server;
    m_database = fields.database;
    m_login = fields.login;
    m_password = fields.password;
    OnEnter(m_password, [this] { connectNow(); });
    m_connect = new QPushButton(QStringLiteral("连接"), this);
    m_connect->setObjectName(QStringLiteral("按钮_连接"));
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_cancel->setObjectName(QStringLiteral("按钮_取消"));
    QFrame *frame = fields.frame;
    m_server->setToolTip(kServerAddressHint);
    auto *decor = new QLabel(this);
    decor->setObjectName(QStringLiteral("标签1"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_connect);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(decor);
    layout->addWidget(frame);
    layout->addLayout(buttons);
    setMinimumWidth(360);

    connect(m_connect, &QPushButton::clicked, this, &ConnectionWindow::connectNow);
    connect(m_cancel, &QPushButton::clicked, this, [] { ShutDownApplication(); });
}

void ConnectionWindow::loadAndDecide(bool forceShow)
{
    setWindowTitle(WindowTitle(QStringLiteral("数据库连接设置")));
    m_server->setText(ReadConnectionSetting(QStringLiteral("服务器IP")));
    m_database->setText(ReadConnectionSetting(QStringLiteral("数据库名称")));
    m_login->setText(ReadConnectionSetting(QStringLiteral("登录名")));
    m_password->setText(ReadConnectionSetting(QStringLiteral("密码")));
    if (forceShow || m_server->text().isEmpty() || m_database->text().isEmpty()
        || m_login->text().isEmpty() || m_password->text().isEmpty()) {
        CentreOnScreen(this);
        show();
        raise();
        activateWindow();
        return;
    }
    connectNow();
}

void ConnectionWindow::connectNow()
{
    if (!m_fields.complete(this, false))
        return;
    AppContext &ctx = Ctx();
    // SQLite cannot lock a file on a network folder reliably: before such a
    // file is opened the user learns what it risks and may choose a server.
    const QString file = EmbeddedDatabaseFile(m_server->text(), m_database->text(), ctx.workFolder());
    if (!file.isEmpty() && FileSystemInfo::isNetworkPath(file)
        && ShowMessage(NetworkFolderWarning(file), QString(), MsgIcon::Question, this) == QMessageBox::Yes) {
        if (!isVisible())
            CentreOnScreen(this);
        show();
        raise();
        activateWindow();
        return;
    }
    DbConnection &db = ctx.db();
    db.setConnectionTimeout(30);
    setCursor(Qt::WaitCursor);
    bool ok = db.open(m_server->text(), m_database->text(), m_login->text(), m_password->text(),
                      ctx.workFolder());
    // A new embedded database starts with its tables, the administrator and
    // this year's account set.
    if (ok && db.backend() == Backend::Sqlite && !db.tableExists(QStringLiteral("ztb")))
        ok = Schema::initialise(db, Clock::now().date().year());
    // Indexes the lists need on a database made by an older set-up; a
    // database that refuses them only answers more slowly.
    if (ok && !Schema::ensureIndexes(db, Schema::contractTables(db)))
        qCWarning(lcDb, "indexes could not be created");
    // A copy that was never verified is no database to work on.
    const bool unfinishedCopy = ok && db.tableExists(QLatin1String(kIncompleteCopyTable));
    unsetCursor();
    if (unfinishedCopy) {
        db.close();
        ShowMessage(QStringLiteral("这个数据库是一次没有完成的迁移，不能使用！请在原来的工作站上重新迁移，或连接其他数据库。"),
                    QString(), MsgIcon::Error, this);
        if (!isVisible())
            CentreOnScreen(this);
        show();
        return;
    }
    if (!ok) {
        db.close();
        ShowMessage(QStringLiteral("连接数据库失败，请与管理员联系！"), QString(), MsgIcon::Error, this);
        if (!isVisible())
            CentreOnScreen(this);
        show();
        return;
    }
    if (!SaveConnectionSettings(m_server->text(), m_database->text(), m_login->text(), m_password->text()))
        ShowMessage(QStringLiteral("数据保存失败！"), QString(), MsgIcon::Error, nullptr);
    m_done = true;
    hide();
    ShowLoginWindow();
    Q_EMIT connected();
}

void ConnectionWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (!m_done)
        ShutDownApplication();
}

} // namespace cg
