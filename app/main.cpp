// 砚禾澄屿合同管理系统: start-up.
#include "app/MainWindow.h"
#include "app/Program.h"
#include "ui/Shell.h"
#include "app/SingleInstance.h"
#include "data/Context.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

using namespace cg;

namespace {

// --help and --version answer before any window system is asked for, so
// that they work without a display; true when one of them was answered.
bool answered(const StartOptions &options)
{
    if (options.help) {
        std::fputs(StartUsage().toLocal8Bit().constData(), stdout);
        return true;
    }
    if (options.version) {
        std::fputs((VersionLine() + u'\n').toLocal8Bit().constData(), stdout);
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    {
        QStringList raw;
        for (int i = 1; i < argc; ++i)
            raw << QString::fromLocal8Bit(argv[i]);
        if (answered(ParseStartOptions(raw)))
            return 0;
    }
    SetUpApplicationIdentity();
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString());
    QApplication::setQuitOnLastWindowClosed(false);

    // The same once Qt has taken its own arguments (-platform …).
    const StartOptions options = ParseStartOptions(QApplication::arguments().mid(1));
    if (answered(options))
        return 0;
    if (!options.unknown.isEmpty()) {
        std::fprintf(stderr, "unknown argument: %s\n", qPrintable(options.unknown));
        std::fputs(qPrintable(StartUsage()), stdout);
        return 2;
    }

    // Chinese texts on the standard buttons (确定, 是, 否, 取消).
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);
    QApplication::setFont(ProgramFont(10));

    AppContext ctx(DefaultWorkFolder());

    // One program at a time: a second start brings the first forward.
    SingleInstance instance(ctx.workFolder());
    if (!instance.claim())
        return 0;
    StartSupportLog(ctx.workFolder(), options);
    QObject::connect(&instance, &SingleInstance::activationRequested, &app, [] { BringToFront(); });

    MainWindow mainWindow;
    StartProgram(mainWindow, options);

    const int code = app.exec();
    ctx.db().close();
    ctx.localDb().close();
    qCInfo(lcApp, "ended with exit code %d", code);
    return code;
}
