#pragma once
// "砚禾澄屿合同管理系统--合同到期提醒": the contracts that run out within the
// days set for this workstation, and those past with money still owed. A
// double-click shows the contract in the contract query window.

#include "reports/ExpiryReminders.h"
#include "ui/Shell.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

namespace cg {

class RowTableModel;

class ExpiryReminderWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit ExpiryReminderWindow(QWidget *owner = nullptr);

    // Reads the list again for the clock's date.
    void reload();
    // Opens the contract query window filtered to the contract of that row.
    void showContract(int row);

    RowTableModel *model() const { return m_model; }
    const QVector<ExpiringContract> &contracts() const { return m_contracts; }

private:
    QLabel *m_scope, *m_count;
    QTableView *m_list;
    RowTableModel *m_model;
    QCheckBox *m_quiet;
    QPushButton *m_close;
    QVector<ExpiringContract> m_contracts;
};

QWidget *CreateExpiryReminderWindow(QWidget *owner);

// After a login: opens the window when this workstation wants reminders
// (days above 0, not silenced) and there is something to remind of. True
// when the window was opened.
bool ShowExpiryRemindersAtLogin();

} // namespace cg
