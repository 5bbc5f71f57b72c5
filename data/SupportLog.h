#pragma once
// The support log: what the program's logging categories say ("cgsys.db",
// "cgsys.app", Qt's own) goes to 日志/cgsys.log in the working folder, one
// line per message with a time stamp, the level and the category. Support
// asks for this file (and the version) when something goes wrong.
//
// By default only warnings and above are written; --verbose or CGSYS_VERBOSE=1
// adds the program's debug and info messages, and QT_LOGGING_RULES overrides
// both as usual. The file is rotated at kRotateBytes: cgsys.log becomes
// cgsys.log.1, .1 becomes .2 and so on, kKeptFiles old files are kept.
//
// Messages never carry bound values (the database layer leaves them out);
// as a last guard, an ODBC or libpq password attribute in a message is
// masked before it is written.

#include <QString>
#include <QtGlobal>

namespace cg {

namespace SupportLog {

inline constexpr qint64 kRotateBytes = 5 * 1024 * 1024;
inline constexpr int kKeptFiles = 3;

// workFolder + "日志/cgsys.log"; workFolder ends with '/'.
QString pathIn(const QString &workFolder);

// CGSYS_VERBOSE set to anything but "", "0", "false", "no" or "off".
bool verboseFromEnvironment();

// The logging rules for the two levels of detail.
QString filterRules(bool verbose);

// Starts writing to the file at path (its folder is created, readable by
// the owner only), sets the rules and keeps the previous handler, which
// still receives every message. false, and nothing installed, when the file
// cannot be opened. Installing again replaces the file.
bool install(const QString &path, bool verbose, qint64 rotateBytes = kRotateBytes);
// Back to the previous handler; the file is closed.
void uninstall();
bool isInstalled();
// The file being written, empty when none.
QString currentPath();

// Masks "PWD=…", "PASSWORD=…" (also in braces, as ODBC writes them) and
// "password=…" as libpq takes it.
QString maskCredentials(const QString &text);

} // namespace SupportLog

} // namespace cg
