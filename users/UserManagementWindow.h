#pragma once
class QWidget;

namespace cg {
// The user management window, owned by owner; nullptr until it is built.
QWidget *CreateUserManagementWindow(QWidget *owner);
}
