#include "masterdata/AccountSetWindow.h"

namespace cg {
QWidget *CreateAccountSetWindow(QWidget *) { return nullptr; }
}
