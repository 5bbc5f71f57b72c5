#pragma once
#include "backup/Backups.h"
#include "backup/DailyBackup.h"
#include "ui/Shell.h"

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace cg {

inline const QString kBackupWindowKey = QStringLiteral("数据备份");
inline const QString kBackupModule = QStringLiteral("数据备份");

// The backups of the database the main connection uses: WorkFolder/备份/
// beside the embedded file; invalid on a server.
std::optional<Backups> CurrentBackups();

// A restore hands the database over in two steps the program itself takes:
// leave() closes every other window and ends the session (false when a
// window cannot close now: nothing is restored then); relogin() shows the
// login window on the restored database.
struct SessionHooks {
    std::function<bool()> leave;
    std::function<void()> relogin;
};
void SetSessionHooks(SessionHooks hooks);

QWidget *CreateBackupWindow(QWidget *owner);

// "砚禾澄屿合同管理系统--数据备份": the backups of the embedded database with
// their check, a backup at once, the restore of a chosen backup and the
// backup folder. On a shared server only a note that the server's own
// backup is the one that counts.
class BackupWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit BackupWindow(QWidget *owner = nullptr);

    void refresh();
    void backupNow();
    void restoreSelected();
    void openFolder();
    bool isBusy() const { return m_busy; }

Q_SIGNALS:
    // A listing, a backup or a restore step finished.
    void idle();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setBusy(bool busy, const QString &hint = QString());
    void fill(const QList<BackupEntry> &entries);
    void finishRestore(const Backups::Result &r, const Backups::Staged &staged);

    std::optional<Backups> m_backups;
    QLabel *m_note = nullptr;
    QTreeWidget *m_list = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_hint = nullptr;
    QPushButton *m_backup = nullptr, *m_restore = nullptr, *m_folder = nullptr, *m_close = nullptr;
    bool m_busy = false;
};

} // namespace cg
