#include "app/Catalog.h"
#include "app/NavigationWindow.h"
#include "ui/Shell.h"
#include "app/SystemConfigWindow.h"
#include "app/TextWindows.h"
#include "contracts/ContractEntryWindow.h"
#include "masterdata/AccountSetWindow.h"
#include "masterdata/BasicDataWindow.h"
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
    Windows::registerFactory(WindowKey::ContractEntry, CreateContractEntryWindow);
}

} // namespace cg
