#pragma once
class QWidget;

namespace cg {
// The system configuration window, owned by owner; nullptr until it is built.
QWidget *CreateSystemConfigWindow(QWidget *owner);
}
