// 砚禾澄屿合同管理系统: start-up.
#include "app/Catalog.h"
#include "app/ConnectionWindow.h"
#include "app/MainWindow.h"
#include "ui/Shell.h"
#include "app/SingleInstance.h"
#include "data/Context.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

using namespace cg;

static void usage()
{
    std::fputs("cgsys [--connection-settings]\n"
               "  --connection-settings  show the database connection window at start,\n"
               "                         even when the stored values would connect\n",
               stdout);
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cgsys"));
    QApplication::setApplicationDisplayName(QString());
    QApplication::setQuitOnLastWindowClosed(false);

    bool showSettings = false;
    for (const QString &arg : QApplication::arguments().mid(1)) {
        if (arg == QLatin1String("--connection-settings"))
            showSettings = true;
        else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "unknown argument: %s\n", qPrintable(arg));
            usage();
            return 2;
        }
    }

    // Chinese texts on the standard buttons (确定, 是, 否, 取消).
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"), 10);
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Microsoft YaHei"),
                      QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC")});
    QApplication::setFont(font);

    AppContext ctx(DefaultWorkFolder());

    // One program at a time: a second start brings the first forward.
    SingleInstance instance(ctx.workFolder());
    if (!instance.claim())
        return 0;
    QObject::connect(&instance, &SingleInstance::activationRequested, &app, [] { BringToFront(); });

    RegisterWindows();
    InstallLogFailureMessage();
    MainWindow mainWindow;
    mainWindow.start([&] {
        auto *connection = new ConnectionWindow(&mainWindow);
        connection->loadAndDecide(showSettings);
    });

    const int code = app.exec();
    ctx.db().close();
    ctx.localDb().close();
    return code;
}
