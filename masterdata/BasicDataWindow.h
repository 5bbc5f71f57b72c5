#pragma once
class QWidget;

namespace cg {
// The basic data window, owned by owner; nullptr until it is built.
QWidget *CreateBasicDataWindow(QWidget *owner);
}
