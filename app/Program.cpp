#include "app/Program.h"
#include "app/Catalog.h"
#include "app/ConnectionWindow.h"
#include "app/MainWindow.h"
#include "data/Context.h"
#include "data/SupportLog.h"
#include "data/Version.h"
#include "ui/Shell.h"

#include <QGuiApplication>

namespace cg {

Q_LOGGING_CATEGORY(lcApp, "cgsys.app")

StartOptions ParseStartOptions(const QStringList &arguments)
{
    StartOptions options;
    // Read in order up to a request for help or an argument not understood.
    for (const QString &arg : arguments) {
        if (arg == QLatin1String("--connection-settings")) {
            options.connectionSettings = true;
        } else if (arg == QLatin1String("--verbose")) {
            options.verbose = true;
        } else if (arg == QLatin1String("--version")) {
            options.version = true;
            break;
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
               "cgsys [--connection-settings] [--verbose]\n"
               "  --connection-settings  show the database connection window at start,\n"
               "                         even when the stored values would connect\n"
               "  --verbose              write debug and info messages to the support log\n"
               "                         too (or set CGSYS_VERBOSE=1)\n"
               "  --version              print the version and end\n"
               "  --help, -h             print this text and end\n"
               "Server address in the connection window:\n"
               "  sqlite                     the embedded database (database name: a file)\n"
               "  postgresql://host[:port]   a PostgreSQL server (port 5432 unless given)\n"
               "  anything else              a SQL Server (host, host\\instance or host,port)\n"
               "Support log (warnings and above unless verbose; QT_LOGGING_RULES applies;\n"
               "rotated at 5 MB, %1 older files kept as cgsys.log.1 to cgsys.log.%1):\n"
               "  %2\n")
        .arg(SupportLog::kKeptFiles)
        .arg(SupportLog::pathIn(DefaultWorkFolder()));
}

QString VersionLine() { return kApplicationName + u' ' + ProgramVersion(); }

void SetUpApplicationIdentity()
{
    QCoreApplication::setApplicationName(kApplicationName);
    QCoreApplication::setApplicationVersion(ProgramVersion());
    QGuiApplication::setDesktopFileName(kDesktopId);
}

void StartSupportLog(const QString &workFolder, const StartOptions &options)
{
    const QString path = SupportLog::pathIn(workFolder);
    if (!SupportLog::install(path, options.verbose || SupportLog::verboseFromEnvironment())) {
        qCWarning(lcApp, "the support log %s cannot be written", qUtf8Printable(path));
        return;
    }
    qCInfo(lcApp, "%s started, working folder %s", qUtf8Printable(VersionLine()), qUtf8Printable(workFolder));
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
