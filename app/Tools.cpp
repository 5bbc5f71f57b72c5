#include "app/Tools.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace cg {

static QString firstFound(const QStringList &names)
{
    for (const QString &n : names) {
        const QString path = QStandardPaths::findExecutable(n);
        if (!path.isEmpty())
            return path;
    }
    return {};
}

#ifdef Q_OS_WIN
static QString systemTool(const char *name)
{
    const QString path = QDir::fromNativeSeparators(qEnvironmentVariable("SystemRoot")) + QStringLiteral("/System32/") + QLatin1String(name);
    return QFile::exists(path) ? path : QString();
}
QString FindTextEditor() { return systemTool("notepad.exe"); }
QString FindCalculator() { return systemTool("calc.exe"); }
#else
QString FindTextEditor()
{
    return firstFound({QStringLiteral("gnome-text-editor"), QStringLiteral("gedit"), QStringLiteral("kwrite"),
                       QStringLiteral("kate"), QStringLiteral("mousepad"), QStringLiteral("pluma"),
                       QStringLiteral("xed"), QStringLiteral("featherpad"), QStringLiteral("leafpad")});
}
QString FindCalculator()
{
    return firstFound({QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"), QStringLiteral("galculator"),
                       QStringLiteral("mate-calc"), QStringLiteral("qalculate-gtk"), QStringLiteral("xcalc")});
}
#endif

} // namespace cg
