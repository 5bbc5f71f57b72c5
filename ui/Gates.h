#pragma once
// The gates a login sets from the user's permission flags: enabled and
// visible states of menu entries and buttons, kept per window key and
// applied to each window when it opens.

#include <QString>

class QWidget;

namespace cg {

namespace Gates {
// Window keys of the windows that carry gates.
inline const QString kMain = QStringLiteral("主窗口");
inline const QString kNavigation = QStringLiteral("导航");
inline const QString kContractQuery = QStringLiteral("合同查询");
inline const QString kSupplierQuery = QStringLiteral("供应商查询");
inline const QString kContractEntry = QStringLiteral("合同录入");
inline const QString kSupplierEntry = QStringLiteral("供应商录入");
inline const QString kSystemConfig = QStringLiteral("系统配置");
// The contract change/modify window (opened from the query window, not by key).
inline const QString kContractChange = QStringLiteral("合同变更");

void setEnabled(const QString &windowKey, const QString &control, bool enabled);
void setVisible(const QString &windowKey, const QString &control, bool visible);
void clear();
// False when the login closed that gate (disabled or hidden), true otherwise.
// Every path into a gated action asks this, not only the menu entry or
// button that shows the gate: a double-click or a key reaches the same
// action.
bool isOpen(const QString &windowKey, const QString &control);
// Applies the gates of windowKey to the window's controls and menu actions,
// found by objectName.
void applyTo(QWidget *window, const QString &windowKey);
}

// Sets every gate from the current user's flags (not called for "admin")
// and applies them to the windows already open.
void ApplyPermissions();

} // namespace cg
