#include "data/Context.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace cg {

namespace {
AppContext *g_ctx = nullptr;
}

AppContext::AppContext(const QString &workFolder)
    : m_workFolder(workFolder.endsWith(u'/') ? workFolder : workFolder + u'/'),
      m_local(QStringLiteral("数据库连接_注册")),
      m_main(QStringLiteral("数据库连接"))
{
    QDir().mkpath(m_workFolder);
    g_ctx = this;
}

AppContext::~AppContext()
{
    if (g_ctx == this)
        g_ctx = nullptr;
}

AppContext &Ctx()
{
    Q_ASSERT(g_ctx);
    return *g_ctx;
}

bool HasContext() { return g_ctx != nullptr; }

QString DefaultWorkFolder()
{
#ifdef Q_OS_WIN
    QString base = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA"));
    if (base.isEmpty())
        base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#endif
    if (!base.endsWith(u'/'))
        base += u'/';
    return base + QStringLiteral("wkd/");
}

namespace Settings {

QString read(const QString &section, const QString &key, const QString &defaultValue)
{
    QSettings s(Ctx().settingsPath(), QSettings::IniFormat);
    return s.value(section + u'/' + key, defaultValue).toString();
}

bool write(const QString &section, const QString &key, const QString &value)
{
    QSettings s(Ctx().settingsPath(), QSettings::IniFormat);
    s.setValue(section + u'/' + key, value);
    s.sync();
    return s.status() == QSettings::NoError;
}

} // namespace Settings
} // namespace cg
