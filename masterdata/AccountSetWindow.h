#pragma once
class QWidget;

namespace cg {
// The account-set window, owned by owner; nullptr until it is built.
QWidget *CreateAccountSetWindow(QWidget *owner);
}
