#include "app/BackupSession.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "backup/Background.h"
#include "backup/BackupWindow.h"
#include "backup/DailyBackup.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "data/Seams.h"
#include "ui/Gates.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QStatusBar>

namespace cg {

void InstallBackupSession()
{
    Windows::registerFactory(kBackupWindowKey, CreateBackupWindow);
    SetSessionHooks({LeaveSession, ReturnToLogin});
}

bool LeaveSession()
{
    QWidget *main = MainWindowWidget();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w == main || !w->isVisible())
            continue;
        if (!w->close())
            return false;
    }
    if (auto *m = qobject_cast<MainWindow *>(main)) {
        m->logTimer()->stop();
        m->hide();
    }
    Ctx().login = LoginContext();
    Gates::clear();
    return true;
}

void ReturnToLogin()
{
    ShowLoginWindow();
}

namespace {
void TellFailure(const QString &reason)
{
    const QString text = QStringLiteral("自动备份失败：") + reason;
    WriteLogEntry(QStringLiteral("操作"), text, kBackupModule);
    auto *main = qobject_cast<QMainWindow *>(MainWindowWidget());
    if (!main)
        return;
    QLabel *panel = main->statusBar()->findChild<QLabel *>(QStringLiteral("状态条1_备份"));
    if (!panel) {
        panel = new QLabel(main->statusBar());
        panel->setObjectName(QStringLiteral("状态条1_备份"));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        main->statusBar()->addPermanentWidget(panel);
    }
    SetHint(panel, text, false);
    panel->setToolTip(text);
    panel->show();
}
} // namespace

void StartDailyBackup()
{
    const std::optional<Backups> backups = CurrentBackups();
    if (!backups)
        return;   // a server keeps its own backups
    const int keep = BackupSettings::keep();
    const QDate today = Clock::now().date();
    if (!DailyBackup::due(Settings::read(BackupSettings::kSection, BackupSettings::kLastDayKey), today, keep))
        return;
    QObject *context = MainWindowWidget() ? static_cast<QObject *>(MainWindowWidget()) : qApp;
    const Backups b = *backups;
    const QString workFolder = Ctx().workFolder();
    RunInBackground<Backups::Result>(context, [b, keep] {
        Backups::Result r = b.create();
        if (r.ok())
            b.prune(keep);
        return r;
    }, [today, workFolder](const Backups::Result &r) {
        // Told only to the run that asked for it.
        if (!HasContext() || Ctx().workFolder() != workFolder)
            return;
        if (!r.ok()) {
            TellFailure(r.reason);
            return;
        }
        if (!Settings::write(BackupSettings::kSection, BackupSettings::kLastDayKey, DailyBackup::dayText(today))) {
            // Without the day remembered every login would back up again.
            TellFailure(QStringLiteral("备份 %1 已写入，但设置文件无法写入").arg(r.name));
            return;
        }
        WriteLogEntry(QStringLiteral("操作"), QStringLiteral("自动备份成功：") + r.name, kBackupModule);
    });
}

} // namespace cg
