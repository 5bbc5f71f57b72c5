#include "app/Catalog.h"
#include "app/BackupSession.h"
#include "app/NavigationWindow.h"
#include "ui/Shell.h"
#include "app/SystemConfigWindow.h"
#include "app/TextWindows.h"
#include "contracts/AttachmentWindow.h"
#include "contracts/ContractChange.h"
#include "contracts/ContractEntryWindow.h"
#include "contracts/ContractExport.h"
#include "contracts/ContractQueryWindow.h"
#include "contracts/ContractRecord.h"
#include "data/Context.h"
#include "logview/SystemLogWindow.h"
#include "masterdata/AccountSetWindow.h"
#include "masterdata/BasicDataWindow.h"
#include "reports/ExpiryReminderWindow.h"
#include "reports/NumberGapWindow.h"
#include "spend/SpendOverviewWindow.h"
#include "promotion/PromotionWindow.h"
#include "app/Startup.h"
#include "suppliers/SupplierEntryWindow.h"
#include "suppliers/SupplierQueryWindow.h"
#include "users/UserManagementWindow.h"

namespace cg {

void RegisterWindows()
{
    Windows::registerFactory(WindowKey::Navigation, [](QWidget *owner) { return new NavigationWindow(owner); });
    Windows::registerFactory(WindowKey::Help, [](QWidget *owner) { return new HelpWindow(owner); });
    Windows::registerFactory(WindowKey::UpdateHistory, [](QWidget *owner) { return new UpdateHistoryWindow(owner); });
    Windows::registerFactory(WindowKey::SystemConfig, CreateSystemConfigWindow);
    Windows::registerFactory(WindowKey::AccountSets, CreateAccountSetWindow);
    Windows::registerFactory(WindowKey::BasicData, CreateBasicDataWindow);
    Windows::registerFactory(WindowKey::UserManagement, CreateUserManagementWindow);
    Windows::registerFactory(WindowKey::SupplierEntry, CreateSupplierEntryWindow);
    Windows::registerFactory(WindowKey::SupplierQuery, CreateSupplierQueryWindow);
    Windows::registerFactory(WindowKey::ContractEntry, CreateContractEntryWindow);
    Windows::registerFactory(WindowKey::ContractQuery, CreateContractQueryWindow);
    Windows::registerFactory(WindowKey::SystemLog, CreateSystemLogWindow);
    Windows::registerFactory(WindowKey::ExpiryReminders, CreateExpiryReminderWindow);
    Windows::registerFactory(WindowKey::NumberGaps, CreateNumberGapWindow);
    Windows::registerFactory(WindowKey::SpendOverview, CreateSpendOverviewWindow);
    InstallBackupSession();
    Windows::registerFactory(kPromotionWindowKey, CreatePromotionWindow);
    SetPromotionHooks({LeaveSession, SaveConnectionSettings, ReturnToLogin});
    ContractQueryWindow::setExportHandler([](ContractQueryWindow *window) { ExportContractList(window); });

    // The change/modify window edits its attachment in the attachment window
    // and previews through the same worker as the entry window.
    SetAttachmentEditor([](QWidget *owner, const QString &number, bool, PendingAttachment &pending) {
        const LoginContext &lc = Ctx().login;
        ExecAttachmentWindow(owner, pending, ContractStore(Ctx().db(), lc.contractTable, lc.accountSetName), number);
    });
    SetAttachmentPreview([](qint64 lineId) {
        const LoginContext &lc = Ctx().login;
        const ContractStore store(Ctx().db(), lc.contractTable, lc.accountSetName);
        Attachments::preview(store, store.numberOfRow(lineId));
    });
}

} // namespace cg
