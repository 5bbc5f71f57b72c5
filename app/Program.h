#pragma once
// The program's command line and the start that follows it, shared by
// main() and the tests that start the program in-process.

#include <QString>
#include <QStringList>

namespace cg {

class MainWindow;

struct StartOptions {
    bool connectionSettings = false;   // keep the connection window up at start
    bool help = false;                 // asked for before any argument not understood
    QString unknown;                   // the first argument not understood, unless help came first
};

// The arguments after the program name.
StartOptions ParseStartOptions(const QStringList &arguments);
QString StartUsage();

// What follows the single-instance check: window factories, the log's
// failure message, the main window's start with the connection window
// (shown at once with --connection-settings), which leads to the login
// window once connected.
void StartProgram(MainWindow &mainWindow, const StartOptions &options);

} // namespace cg
