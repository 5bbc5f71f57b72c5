#pragma once
// The program's version, one for the program, cgsys-initdb and the package:
// it comes from the build (project version in CMakeLists.txt).

#include <QString>

namespace cg {

// For example "2.5.2.2".
QString ProgramVersion();

} // namespace cg
