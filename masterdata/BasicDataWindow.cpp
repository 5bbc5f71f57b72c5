#include "masterdata/BasicDataWindow.h"

namespace cg {
QWidget *CreateBasicDataWindow(QWidget *) { return nullptr; }
}
