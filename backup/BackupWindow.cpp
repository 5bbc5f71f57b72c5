#include "backup/BackupWindow.h"
#include "backup/Background.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "ui/Seams.h"

#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace cg {


namespace {

SessionHooks &hooks()
{
    static SessionHooks h;
    return h;
}

void Log(const QString &description) { WriteLogEntry(QStringLiteral("操作"), description, kBackupModule); }

QString sizeText(qint64 bytes)
{
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg((bytes + 1023) / 1024);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

QString checkText(const BackupEntry &e)
{
    switch (e.check) {
    case BackupEntry::Check::Passed:
        return QStringLiteral("通过");
    case BackupEntry::Check::Failed:
        return QStringLiteral("未通过：") + e.reason;
    case BackupEntry::Check::Unchecked:
        break;
    }
    return QStringLiteral("未检查");
}

struct StageOutcome {
    Backups::Result result;
    Backups::Staged staged;
};

} // namespace

std::optional<Backups> CurrentBackups()
{
    DbConnection &db = Ctx().db();
    if (db.backend() != Backend::Sqlite || !db.isConnected())
        return std::nullopt;
    return Backups(QFileInfo(db.database().databaseName()).absoluteFilePath(),
                   Backups::folderIn(Ctx().workFolder()));
}

void SetSessionHooks(SessionHooks h) { hooks() = std::move(h); }

QWidget *CreateBackupWindow(QWidget *owner) { return new BackupWindow(owner); }

BackupWindow::BackupWindow(QWidget *owner)
    : ChildWindow(kBackupModule, kBackupModule, QStringLiteral("打开数据备份窗口"), QStringLiteral("关闭数据备份窗口"),
                  owner),
      m_backups(CurrentBackups())
{
    setObjectName(QStringLiteral("数据备份"));
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("标签_说明"));
    m_note->setWordWrap(true);
    m_note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_close = NamedButton(QStringLiteral("按钮_关闭"), QStringLiteral("&C.关闭"), this);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_note);
    auto *buttons = new QHBoxLayout;

    if (m_backups) {
        const int keep = BackupSettings::keep();
        m_note->setText(QStringLiteral("本机内置数据库：%1\n备份文件夹：%2\n")
                            .arg(QDir::toNativeSeparators(m_backups->databasePath()),
                                 QDir::toNativeSeparators(m_backups->folder()))
                        + (keep > 0 ? QStringLiteral("每天第一次登录时自动备份一次，保留最新的 %1 份（在系统配置中设置）。").arg(keep)
                                    : QStringLiteral("自动备份已关闭（在系统配置中设置保留份数）。")));
        m_list = new QTreeWidget(this);
        m_list->setObjectName(QStringLiteral("超级列表框_备份"));
        m_list->setRootIsDecorated(false);
        m_list->setSelectionMode(QAbstractItemView::SingleSelection);
        m_list->setHeaderLabels({QStringLiteral("备份时间"), QStringLiteral("文件名"), QStringLiteral("大小"),
                                 QStringLiteral("检查结果")});
        m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        m_list->header()->setStretchLastSection(true);
        m_count = new QLabel(this);
        m_count->setObjectName(QStringLiteral("标签_统计"));
        m_hint = new QLabel(this);
        m_hint->setObjectName(QStringLiteral("标签_提示"));
        m_backup = NamedButton(QStringLiteral("按钮_立即备份"), QStringLiteral("立即备份"), this);
        m_restore = NamedButton(QStringLiteral("按钮_恢复备份"), QStringLiteral("恢复所选备份"), this);
        m_folder = NamedButton(QStringLiteral("按钮_打开文件夹"), QStringLiteral("打开备份文件夹"), this);
        layout->addWidget(m_list, 1);
        auto *status = new QHBoxLayout;
        status->addWidget(m_count);
        status->addStretch();
        status->addWidget(m_hint);
        layout->addLayout(status);
        buttons->addWidget(m_backup);
        buttons->addWidget(m_restore);
        buttons->addWidget(m_folder);
        connect(m_backup, &QPushButton::clicked, this, &BackupWindow::backupNow);
        connect(m_restore, &QPushButton::clicked, this, &BackupWindow::restoreSelected);
        connect(m_folder, &QPushButton::clicked, this, &BackupWindow::openFolder);
        resize(680, 420);
    } else {
        // Only the server's own backup can be restored consistently on every
        // workstation; this window offers nothing that would look like one.
        m_note->setText(QStringLiteral(
            "当前使用的是共享服务器上的数据库，本程序不备份服务器上的数据。\n"
            "请以服务器自己的备份为准：PostgreSQL 用 pg_dump，SQL Server 用数据库备份，由服务器管理员定期备份和恢复。"));
        resize(480, 140);
    }
    buttons->addStretch();
    buttons->addWidget(m_close);
    layout->addLayout(buttons);
    connect(m_close, &QPushButton::clicked, this, &QWidget::close);

    logOpened();
    if (m_backups)
        refresh();
}

void BackupWindow::setBusy(bool busy, const QString &hint)
{
    m_busy = busy;
    for (QPushButton *b : {m_backup, m_restore, m_folder})
        if (b)
            b->setEnabled(!busy);
    if (m_hint && busy && !hint.isEmpty()) {
        m_hint->setPalette(palette());
        m_hint->setText(hint);
    }
    if (!busy) {
        Q_EMIT idle();
    }
}

void BackupWindow::refresh()
{
    if (!m_backups)
        return;
    // A result shown from the step before stays while the list is read.
    const QString reading = QStringLiteral("正在读取并检查备份…");
    setBusy(true, m_hint->text().isEmpty() ? reading : QString());
    const Backups b = *m_backups;
    RunInBackground<QList<BackupEntry>>(this, [b] { return b.list(true); },
                                        [this, reading](const QList<BackupEntry> &entries) {
                                            fill(entries);
                                            if (m_hint->text() == reading)
                                                m_hint->clear();
                                            setBusy(false);
                                        });
}

void BackupWindow::fill(const QList<BackupEntry> &entries)
{
    m_list->clear();
    // Newest first.
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        auto *item = new QTreeWidgetItem(m_list);
        item->setText(0, it->time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        item->setText(1, it->name);
        item->setText(2, sizeText(it->size));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(3, checkText(*it));
        if (it->check == BackupEntry::Check::Failed)
            item->setForeground(3, QColor(255, 0, 0));
    }
    m_count->setText(QStringLiteral("共 %1 份备份").arg(entries.size()));
}

void BackupWindow::backupNow()
{
    if (!m_backups || m_busy)
        return;
    setBusy(true, QStringLiteral("正在备份…"));
    const Backups b = *m_backups;
    const int keep = BackupSettings::keep();
    RunInBackground<Backups::Result>(this, [b, keep] {
        Backups::Result r = b.create();
        if (r.ok())
            b.prune(keep);
        return r;
    }, [this](const Backups::Result &r) {
        if (r.ok()) {
            Log(QStringLiteral("手动备份成功：") + r.name);
            setBusy(false);
            // The hint outlives the listing that follows.
            SetHint(m_hint, QStringLiteral("备份成功：") + r.name, true);
            refresh();
            return;
        }
        Log(QStringLiteral("手动备份失败：") + r.reason);
        setBusy(false);
        SetHint(m_hint, QStringLiteral("备份失败"), false);
        ShowMessage(QStringLiteral("备份失败：") + r.reason, QString(), MsgIcon::Error, this);
    });
}

void BackupWindow::restoreSelected()
{
    if (!m_backups || m_busy)
        return;
    QTreeWidgetItem *item = m_list->currentItem();
    if (!item || !item->isSelected()) {
        ShowMessage(QStringLiteral("请先选择要恢复的备份！"), QString(), MsgIcon::Information, this);
        return;
    }
    const QString name = item->text(1);
    if (ShowMessage(QStringLiteral("恢复将用备份 %1 中的数据替换当前数据库，替换前会先备份当前数据库；"
                                   "其他窗口会被关闭，恢复后需要重新登录。\n确定要恢复吗？")
                        .arg(name),
                    QString(), MsgIcon::Question, this)
        != QMessageBox::Yes)
        return;
    Log(QStringLiteral("开始恢复备份：") + name);
    setBusy(true, QStringLiteral("正在检查备份并备份当前数据库…"));
    const Backups b = *m_backups;
    RunInBackground<StageOutcome>(this, [b, name] {
        StageOutcome o;
        o.result = b.stage(name, &o.staged);
        return o;
    }, [this](const StageOutcome &o) { finishRestore(o.result, o.staged); });
}

void BackupWindow::finishRestore(const Backups::Result &r, const Backups::Staged &staged)
{
    setBusy(false);
    const QString name = r.name;
    const QString unchanged = QStringLiteral("\n当前数据库没有任何改动。");
    if (r.outcome == Backups::Outcome::Damaged) {
        Log(QStringLiteral("恢复备份被拒绝：%1，%2").arg(name, r.reason));
        SetHint(m_hint, QStringLiteral("恢复被拒绝"), false);
        ShowMessage(QStringLiteral("备份 %1 未通过检查，不能恢复：%2。").arg(name, r.reason) + unchanged, QString(),
                    MsgIcon::Error, this);
        refresh();
        return;
    }
    if (!r.ok()) {
        Log(QStringLiteral("恢复备份失败：%1，%2").arg(name, r.reason));
        SetHint(m_hint, QStringLiteral("恢复失败"), false);
        ShowMessage(QStringLiteral("恢复失败：%1。").arg(r.reason) + unchanged, QString(), MsgIcon::Error, this);
        refresh();
        return;
    }
    const QString user = Ctx().login.userName;
    const Backups b = *m_backups;
    // From here on this window may be gone: everything below uses copies.
    const SessionHooks h = hooks();
    if (h.leave && !h.leave()) {
        Backups::discard(staged);
        Log(QStringLiteral("恢复备份失败：%1，有窗口正在处理数据").arg(name));
        ShowMessage(QStringLiteral("有窗口正在处理数据，请等它完成后再恢复。") + unchanged, QString(),
                    MsgIcon::Error, this);
        return;
    }
    DbConnection &db = Ctx().db();
    const Backups::Result replaced = b.replace(db, staged);
    if (replaced.ok()) {
        WriteLogEntry(db, user, QStringLiteral("操作"),
                      QStringLiteral("恢复备份成功：%1，恢复前的数据已备份为 %2").arg(name, staged.preRestoreName),
                      kBackupModule);
        ShowMessage(QStringLiteral("恢复成功：数据库已恢复为备份 %1 中的数据，恢复前的数据已备份为 %2。\n请重新登录。")
                        .arg(name, staged.preRestoreName));
    } else {
        WriteLogEntry(db, user, QStringLiteral("操作"), QStringLiteral("恢复备份失败：%1，%2").arg(name, replaced.reason),
                      kBackupModule);
        ShowMessage(QStringLiteral("恢复失败：%1。").arg(replaced.reason) + unchanged, QString(), MsgIcon::Error);
    }
    if (h.relogin)
        h.relogin();
}

void BackupWindow::openFolder()
{
    if (!m_backups)
        return;
    const QString folder = m_backups->folder();
    QDir().mkpath(folder);
#ifdef Q_OS_WIN
    const bool started = Launcher::start(QStringLiteral("explorer"), {QDir::toNativeSeparators(folder)});
#else
    const bool started = Launcher::start(QStringLiteral("xdg-open"), {folder});
#endif
    if (!started) {
        ShowMessage(QStringLiteral("备份文件夹无法打开：") + QDir::toNativeSeparators(folder), QString(),
                    MsgIcon::Error, this);
        return;
    }
    Log(QStringLiteral("打开备份文件夹"));
}

void BackupWindow::closeEvent(QCloseEvent *event)
{
    if (m_busy) {
        // A backup or a restore step is under way; its end decides.
        event->ignore();
        return;
    }
    ChildWindow::closeEvent(event);
}

} // namespace cg
