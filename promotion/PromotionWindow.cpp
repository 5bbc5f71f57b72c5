#include "promotion/PromotionWindow.h"
#include "ui/ConnectionFields.h"
#include "backup/Background.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "ui/ProgressWindow.h"
#include "ui/Seams.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSqlDatabase>
#include <QThread>
#include <QVBoxLayout>

namespace cg {

namespace {

PromotionHooks &hooks()
{
    static PromotionHooks h;
    return h;
}

void Log(DbConnection &db, const QString &user, const QString &description)
{
    WriteLogEntry(db, user, QStringLiteral("操作"), description, kPromotionModule);
}

// Shown in the refusal; the rest is counted.
constexpr int kProblemsShown = 30;

} // namespace

struct PromotionWindow::Result {
    DatabaseCopy::Outcome outcome = DatabaseCopy::Outcome::Failed;
    QString message;
    QList<CopyProblem> problems;
    int tables = 0;
    qint64 rows = 0;
    QString digest;
};

void SetPromotionHooks(PromotionHooks h) { hooks() = std::move(h); }

QWidget *CreatePromotionWindow(QWidget *owner) { return new PromotionWindow(owner); }

QString RetiredDatabaseName(const QString &path, const QDate &day)
{
    const QString base = path + QStringLiteral(".已迁移-") + day.toString(QStringLiteral("yyyyMMdd"));
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = base + QStringLiteral("-%1").arg(n);
    return name;
}

PromotionWindow::PromotionWindow(QWidget *owner)
    : ChildWindow(kPromotionModule, kPromotionModule, QStringLiteral("打开迁移到共享服务器窗口"),
                  QStringLiteral("关闭迁移到共享服务器窗口"), owner)
{
    setObjectName(QStringLiteral("迁移到共享服务器"));
    auto *note = new QLabel(QStringLiteral(
        "把本机内置数据库中的全部数据复制到共享服务器上的数据库（PostgreSQL 或 SQL Server），"
        "复制后逐表核对行数和全部数据；核对一致后本机改用服务器，其他工作站也可以连接该服务器。\n"
        "目标数据库必须已经建立，并且没有本系统的数据（空数据库，或只由 cgsys-initdb 准备过）。"),
                            this);
    note->setObjectName(QStringLiteral("标签_说明"));
    note->setWordWrap(true);
    const ConnectionFields &fields = m_fields = AddConnectionFields(
        this, QStringLiteral("postgresql://主机[:端口] 为 PostgreSQL 服务器（默认端口 5432）；其他地址为 SQL Server 服务器。"));
    m_server = fields.server;
    m_database = fields.database;
    m_login = fields.login;
    m_password = fields.password;
    m_server->setPlaceholderText(QStringLiteral("postgresql://主机:端口 或 SQL Server 地址"));
    QFrame *frame = fields.frame;

    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("标签_进度"));
    m_state->setWordWrap(true);
    m_start = NamedButton(QStringLiteral("按钮_开始迁移"), QStringLiteral("开始迁移"), this);
    m_cancel = NamedButton(QStringLiteral("按钮_取消迁移"), QStringLiteral("取消迁移"), this);
    m_cancel->setEnabled(false);
    m_close = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("&C.关闭"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_start);
    buttons->addWidget(m_cancel);
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addWidget(frame);
    layout->addWidget(m_state);
    layout->addLayout(buttons);
    resize(560, 360);

    connect(m_start, &QPushButton::clicked, this, &PromotionWindow::start);
    connect(m_cancel, &QPushButton::clicked, this, &PromotionWindow::cancel);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);
    logOpened();
}

PromotionWindow::~PromotionWindow() = default;

void PromotionWindow::setBusy(bool busy)
{
    m_busy = busy;
    for (QWidget *w : std::initializer_list<QWidget *>{m_server, m_database, m_login, m_password, m_start, m_close})
        w->setEnabled(!busy);
    m_cancel->setEnabled(busy);
    if (!busy && m_progress) {
        m_progress->close();
        m_progress->deleteLater();
        m_progress = nullptr;
    }
}

void PromotionWindow::start()
{
    if (m_busy)
        return;
    if (!m_fields.complete(this, true))
        return;
    const Backend target = DbConnection::backendOf(m_server->text());
    if (target == Backend::Sqlite) {
        ShowMessage(QStringLiteral("迁移的目标必须是共享服务器（PostgreSQL 或 SQL Server），不能是本机内置数据库！"), QString(),
                    MsgIcon::Error, this);
        return;
    }
    DbConnection &db = Ctx().db();
    if (db.backend() != Backend::Sqlite || !db.isConnected()) {
        ShowMessage(QStringLiteral("当前使用的已经是共享服务器上的数据库，不需要迁移。"), QString(), MsgIcon::Error, this);
        return;
    }
    // The session ends with the switch-over: nothing may be half done then.
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != this && w != MainWindowWidget() && w->isVisible() && qobject_cast<ChildWindow *>(w)) {
            ShowMessage(QStringLiteral("请先关闭其他窗口，再开始迁移。"), QString(), MsgIcon::Information, this);
            return;
        }
    }
    if (ShowMessage(QStringLiteral("将把本机内置数据库中的全部数据复制到服务器 %1 上的数据库 %2，核对一致后本机改用该服务器，"
                                   "内置数据库文件改名保留。\n确定要开始迁移吗？")
                        .arg(m_server->text(), m_database->text()),
                    QString(), MsgIcon::Question, this)
        != QMessageBox::Yes)
        return;

    const ConnectionSpec source = db.connectionValues();
    const QStringList values = {m_server->text(), m_database->text(), m_login->text(), m_password->text()};
    const QString workFolder = Ctx().workFolder();
    const int year = Clock::now().date().year();
    m_cancelFlag = std::make_shared<std::atomic_bool>(false);
    const std::shared_ptr<std::atomic_bool> cancelFlag = m_cancelFlag;
    setBusy(true);
    m_state->setText(QStringLiteral("正在连接服务器…"));
    QPointer<PromotionWindow> self(this);
    RunInBackground<Result>(this, [source, values, workFolder, year, cancelFlag, self] {
        Result r;
        // Connections of this thread: the names are the thread's own.
        const QString suffix = QString::number(quintptr(QThread::currentThreadId()));
        DbConnection from(QStringLiteral("promotion-source-") + suffix);
        DbConnection to(QStringLiteral("promotion-target-") + suffix);
        if (!from.open(source)) {
            r.message = QStringLiteral("内置数据库无法打开：") + from.lastError();
            return r;
        }
        to.setConnectionTimeout(30);
        if (!to.open(values.at(0), values.at(1), values.at(2), values.at(3), workFolder)) {
            r.message = QStringLiteral("连接服务器失败：") + to.lastError();
            return r;
        }
        DatabaseCopy copy(from, to);
        copy.setCancelFlag(cancelFlag.get());
        copy.setProgress([self](const QString &step, const QString &table, qint64 tableDone, qint64 tableTotal,
                                qint64 done, qint64 total) {
            QMetaObject::invokeMethod(
                qApp,
                [=] {
                    if (self)
                        self->showProgress(step, table, tableDone, tableTotal, done, total);
                },
                Qt::QueuedConnection);
        });
        r.outcome = copy.run(year);
        r.message = copy.message();
        r.problems = copy.problems();
        r.tables = int(copy.tables().size());
        r.rows = copy.totalRows();
        r.digest = copy.digest();
        return r;
    }, [this, values](const Result &r) {
        setBusy(false);
        if (r.outcome == DatabaseCopy::Outcome::Verified) {
            Result done = r;
            setProperty("cgTarget", values);
            switchOver(done);
            return;
        }
        finish(r);
    });
}

void PromotionWindow::cancel()
{
    if (m_busy && m_cancelFlag) {
        m_cancelFlag->store(true);
        m_state->setText(QStringLiteral("正在取消…"));
    }
}

void PromotionWindow::showProgress(const QString &step, const QString &table, qint64 tableDone, qint64 tableTotal,
                                   qint64 done, qint64 total)
{
    if (!m_busy || (m_cancelFlag && m_cancelFlag->load()))
        return;
    if (!m_progress && total > 0) {
        m_progress = new ProgressWindow(this, QStringLiteral("进度窗口_迁移"), QStringLiteral("正在迁移，请稍候......"), total);
        m_progress->show();
    }
    if (m_progress)
        m_progress->step(done);
    if (step == QLatin1String("复制"))
        m_state->setText(QStringLiteral("正在复制 %1 表：%2 / %3 行（全部进度 %4 / %5）")
                             .arg(table).arg(tableDone).arg(tableTotal).arg(done).arg(total));
    else if (step == QLatin1String("校验"))
        m_state->setText(QStringLiteral("正在核对 %1 表（全部进度 %2 / %3）").arg(table).arg(done).arg(total));
    else
        m_state->setText(QStringLiteral("正在检查并准备服务器上的数据库…"));
}

void PromotionWindow::finish(const Result &r)
{
    DbConnection &db = Ctx().db();
    const QString user = Ctx().login.userName;
    const QString unchanged = QStringLiteral("\n本机仍使用内置数据库，内置数据库没有任何改动。");
    switch (r.outcome) {
    case DatabaseCopy::Outcome::Refused: {
        QStringList lines;
        for (int i = 0; i < r.problems.size() && i < kProblemsShown; ++i)
            lines << r.problems.at(i).text();
        if (r.problems.size() > kProblemsShown)
            lines << QStringLiteral("……（共 %1 处）").arg(r.problems.size());
        m_state->setText(QStringLiteral("迁移被拒绝：有 %1 个值不能存入服务器").arg(r.problems.size()));
        Log(db, user, QStringLiteral("迁移到共享服务器被拒绝：%1 个值不能存入服务器").arg(r.problems.size()));
        ShowMessage(r.message + u'\n' + lines.join(u'\n') + QStringLiteral("\n没有复制任何数据。"), QString(),
                    MsgIcon::Error, this);
        break;
    }
    case DatabaseCopy::Outcome::TargetNotEmpty:
        m_state->setText(QStringLiteral("迁移被拒绝：目标数据库中已有数据"));
        Log(db, user, QStringLiteral("迁移到共享服务器被拒绝：") + r.message);
        ShowMessage(r.message + QStringLiteral("\n没有复制任何数据。"), QString(), MsgIcon::Error, this);
        break;
    case DatabaseCopy::Outcome::Cancelled:
        m_state->setText(QStringLiteral("迁移已取消"));
        Log(db, user, QStringLiteral("迁移到共享服务器已取消"));
        ShowMessage(QStringLiteral("迁移已取消。服务器上的数据库标记为未完成，任何工作站都不会使用它；"
                                   "再次迁移时会先清除它再重新复制。")
                        + unchanged,
                    QString(), MsgIcon::Information, this);
        break;
    case DatabaseCopy::Outcome::Failed:
    case DatabaseCopy::Outcome::Verified:
        m_state->setText(QStringLiteral("迁移失败"));
        Log(db, user, QStringLiteral("迁移到共享服务器失败：") + r.message);
        ShowMessage(QStringLiteral("迁移失败：") + r.message + unchanged, QString(), MsgIcon::Error, this);
        break;
    }
    Q_EMIT finished();
}

void PromotionWindow::switchOver(const Result &r)
{
    const QStringList v = property("cgTarget").toStringList();
    const QString user = Ctx().login.userName;
    DbConnection &db = Ctx().db();
    const ConnectionSpec embedded = db.connectionValues();
    const QString path = QFileInfo(embedded.databaseName).absoluteFilePath();
    // From here on this window may be gone: everything below uses copies.
    const PromotionHooks h = hooks();
    QPointer<PromotionWindow> self(this);
    const QString summary = QStringLiteral("%1 个表，%2 行，校验值 %3").arg(r.tables).arg(r.rows).arg(r.digest);
    if (h.leave && !h.leave()) {
        Log(db, user, QStringLiteral("迁移到共享服务器未切换：有窗口正在处理数据（服务器上的数据已复制并核对：%1）").arg(summary));
        ShowMessage(QStringLiteral("数据已复制到服务器并核对一致，但有窗口正在处理数据，本机没有切换到服务器。\n"
                                   "请关闭其他窗口后重新迁移（服务器上的这份数据需先由管理员清空）。"),
                    QString(), MsgIcon::Error, self);
        if (self)
            Q_EMIT self->finished();
        return;
    }
    if (h.saveConnection && !h.saveConnection(v.at(0), v.at(1), v.at(2), v.at(3))) {
        Log(db, user, QStringLiteral("迁移到共享服务器未切换：连接设置无法写入（%1）").arg(summary));
        ShowMessage(QStringLiteral("数据已复制到服务器并核对一致，但新的连接设置无法写入 cgsys.dll，本机仍使用内置数据库。"),
                    QString(), MsgIcon::Error);
        if (h.relogin)
            h.relogin();
        return;
    }
    // Nobody keeps writing into the file by mistake: it goes under a name
    // that says when its data moved.
    db.close();
    const QString retired = RetiredDatabaseName(path, Clock::now().date());
    QString renameNote;
    if (QFile::rename(path, retired)) {
        for (const char *side : {"-wal", "-shm"})
            if (QFileInfo::exists(path + QLatin1String(side)))
                QFile::rename(path + QLatin1String(side), retired + QLatin1String(side));
        renameNote = QStringLiteral("原内置数据库文件已改名为 %1。").arg(QFileInfo(retired).fileName());
    } else {
        renameNote = QStringLiteral("原内置数据库文件 %1 无法改名，请手动改名或移走。").arg(path);
    }
    if (!db.open(v.at(0), v.at(1), v.at(2), v.at(3), Ctx().workFolder())) {
        ShowMessage(QStringLiteral("数据已复制到服务器并核对一致，本机已改用服务器，但现在连接不上服务器：%1\n请稍后重新启动程序。")
                        .arg(db.lastError()),
                    QString(), MsgIcon::Error);
        return;
    }
    Log(db, user, QStringLiteral("迁移到共享服务器成功：") + summary + QStringLiteral("，原内置数据库文件改名为 ")
                      + QFileInfo(retired).fileName());
    ShowMessage(QStringLiteral("迁移成功：%1 个表、%2 行数据已复制到服务器并核对一致（校验值 %3）。\n本机今后使用服务器上的数据库。")
                        .arg(r.tables)
                        .arg(r.rows)
                        .arg(r.digest)
                    + renameNote + QStringLiteral("\n请重新登录。"));
    if (h.relogin)
        h.relogin();
}

void PromotionWindow::closeEvent(QCloseEvent *event)
{
    if (m_busy) {
        // The copy is under way: cancel it first.
        event->ignore();
        return;
    }
    ChildWindow::closeEvent(event);
}

} // namespace cg
