#include "app/Program.h"
#include "app/Catalog.h"
#include "app/ConnectionWindow.h"
#include "app/MainWindow.h"
#include "ui/Shell.h"

namespace cg {

StartOptions ParseStartOptions(const QStringList &arguments)
{
    StartOptions options;
    // Read in order up to a request for help or an argument not understood.
    for (const QString &arg : arguments) {
        if (arg == QLatin1String("--connection-settings")) {
            options.connectionSettings = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            options.help = true;
            break;
        } else {
            options.unknown = arg;
            break;
        }
    }
    return options;
}

QString StartUsage()
{
    return QStringLiteral(
        "cgsys [--connection-settings]\n"
        "  --connection-settings  show the database connection window at start,\n"
        "                         even when the stored values would connect\n"
        "Server address in the connection window:\n"
        "  sqlite                     the embedded database (database name: a file)\n"
        "  postgresql://host[:port]   a PostgreSQL server (port 5432 unless given)\n"
        "  anything else              a SQL Server (host, host\\instance or host,port)\n");
}

void StartProgram(MainWindow &mainWindow, const StartOptions &options)
{
    RegisterWindows();
    InstallLogFailureMessage();
    const bool keepUp = options.connectionSettings;
    mainWindow.start([&mainWindow, keepUp] {
        auto *connection = new ConnectionWindow(&mainWindow);
        connection->loadAndDecide(keepUp);
    });
}

} // namespace cg
