#pragma once
#include <QString>

namespace cg {
// The desktop's text editor and calculator; empty when none is installed.
QString FindTextEditor();
QString FindCalculator();
}
