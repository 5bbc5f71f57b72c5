#pragma once
// Permission flags of yhb and the gates (enabled / visible states of menu
// entries and buttons) they set at login.

#include <QString>

class QWidget;

namespace cg {

// One query per call: "select 用户名,<flag> from yhb where 用户名=…"; granted
// exactly when the flag reads as the number 1.
bool HasPermission(const QString &flag);

namespace Gates {
// Window keys of the windows that carry gates.
inline const QString kMain = QStringLiteral("主窗口");
inline const QString kNavigation = QStringLiteral("导航");
inline const QString kContractQuery = QStringLiteral("合同查询");
inline const QString kSupplierQuery = QStringLiteral("供应商查询");
inline const QString kContractEntry = QStringLiteral("合同录入");
inline const QString kSupplierEntry = QStringLiteral("供应商录入");
inline const QString kSystemConfig = QStringLiteral("系统配置");

void setEnabled(const QString &windowKey, const QString &control, bool enabled);
void setVisible(const QString &windowKey, const QString &control, bool visible);
void clear();
// Applies the gates of windowKey to the window's controls: widgets by
// objectName, menu actions by objectName or caption.
void applyTo(QWidget *window, const QString &windowKey);
}

// Sets every gate from the current user's flags (not called for "admin").
void ApplyPermissions();

} // namespace cg
