#include "app/SystemConfigWindow.h"

namespace cg {
QWidget *CreateSystemConfigWindow(QWidget *) { return nullptr; }
}
