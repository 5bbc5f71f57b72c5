#pragma once
// The program's command line and the start that follows it, shared by
// main() and the tests that start the program in-process.

#include <QLoggingCategory>
#include <QString>
#include <QStringList>

namespace cg {

class MainWindow;

// Start-up and shutdown of the program itself.
Q_DECLARE_LOGGING_CATEGORY(lcApp)

// The name under which the desktop knows the program: its menu entry is
// <kDesktopId>.desktop, its icon <kDesktopId>; the window class (WM_CLASS)
// is the application name "cgsys", which the entry names as StartupWMClass.
inline const QString kDesktopId = QStringLiteral("cn.yanhechengyu.cgsys");
inline const QString kApplicationName = QStringLiteral("cgsys");

struct StartOptions {
    bool connectionSettings = false;   // keep the connection window up at start
    bool verbose = false;              // debug and info messages into the support log too
    bool help = false;                 // asked for before any argument not understood
    bool version = false;              // likewise
    QString unknown;                   // the first argument not understood, unless help came first
};

// The arguments after the program name.
StartOptions ParseStartOptions(const QStringList &arguments);
// The help text; it names the support log of this user's working folder.
QString StartUsage();
// "cgsys 2.5.2.2"
QString VersionLine();

// Application name, version and desktop name, before the first window.
void SetUpApplicationIdentity();
// Starts the support log in the working folder; more detail when verbose
// was asked for on the command line or in the environment.
void StartSupportLog(const QString &workFolder, const StartOptions &options);

// What follows the single-instance check: window factories, the log's
// failure message, the main window's start with the connection window
// (shown at once with --connection-settings), which leads to the login
// window once connected.
void StartProgram(MainWindow &mainWindow, const StartOptions &options);

} // namespace cg
