#include "data/SupportLog.h"
#include "data/Seams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>

namespace cg::SupportLog {

namespace {

struct State {
    QMutex mutex;
    QFile file;
    QString path;
    qint64 rotateBytes = kRotateBytes;
    QtMessageHandler previous = nullptr;
    bool installed = false;
};

State &state()
{
    static State s;
    return s;
}

// A message raised while a line is being written (by QFile, say) goes only
// to the previous handler instead of waiting for the lock this thread holds.
thread_local bool t_writing = false;

constexpr QFile::Permissions kOwnerFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kOwnerFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

const char *levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "warning";
}

QString rotatedName(const QString &path, int n) { return path + u'.' + QString::number(n); }

bool openFile(State &s)
{
    s.file.setFileName(s.path);
    if (!s.file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    s.file.setPermissions(kOwnerFile);
    return true;
}

// cgsys.log → .1 → .2 …; the oldest beyond kKeptFiles is removed.
void rotate(State &s)
{
    s.file.close();
    QFile::remove(rotatedName(s.path, kKeptFiles));
    for (int n = kKeptFiles - 1; n >= 1; --n) {
        if (QFile::exists(rotatedName(s.path, n)))
            QFile::rename(rotatedName(s.path, n), rotatedName(s.path, n + 1));
    }
    QFile::rename(s.path, rotatedName(s.path, 1));
    openFile(s);
}

QByteArray formatLine(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    QString text = maskCredentials(message);
    // One entry per stamp: continuation lines are indented.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\n', QStringLiteral("\n    "));
    const QString stamp = Clock::now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    const char *category = context.category && *context.category ? context.category : "default";
    return (stamp + u' ' + QLatin1String(levelName(type)) + u' ' + QLatin1String(category) + QStringLiteral(": ")
            + text + u'\n')
        .toUtf8();
}

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    State &s = state();
    if (!t_writing) {
        t_writing = true;
        {
            QMutexLocker lock(&s.mutex);
            if (s.installed && s.file.isOpen()) {
                const QByteArray line = formatLine(type, context, message);
                if (s.file.size() > 0 && s.file.size() + line.size() > s.rotateBytes)
                    rotate(s);
                if (s.file.isOpen()) {
                    s.file.write(line);
                    s.file.flush();
                }
            }
        }
        t_writing = false;
    }
    if (s.previous)
        s.previous(type, context, message);
}

} // namespace

QString pathIn(const QString &workFolder)
{
    QString folder = workFolder;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder + QStringLiteral("日志/cgsys.log");
}

bool verboseFromEnvironment()
{
    const QString v = qEnvironmentVariable("CGSYS_VERBOSE").trimmed().toLower();
    return !(v.isEmpty() || v == QLatin1String("0") || v == QLatin1String("false") || v == QLatin1String("no")
             || v == QLatin1String("off"));
}

QString filterRules(bool verbose)
{
    QString rules = QStringLiteral("*.debug=false\n*.info=false\n");
    if (verbose)
        rules += QStringLiteral("cgsys.*.debug=true\ncgsys.*.info=true\ndefault.debug=true\ndefault.info=true\n");
    return rules;
}

bool install(const QString &path, bool verbose, qint64 rotateBytes)
{
    uninstall();
    State &s = state();
    {
        QMutexLocker lock(&s.mutex);
        const QString folder = QFileInfo(path).absolutePath();
        if (!QFileInfo(folder).isDir()) {
            if (!QDir().mkpath(folder))
                return false;
            QFile::setPermissions(folder, kOwnerFolder);
        }
        s.path = path;
        s.rotateBytes = rotateBytes > 0 ? rotateBytes : kRotateBytes;
        if (!openFile(s)) {
            s.path.clear();
            return false;
        }
        s.installed = true;
    }
    QLoggingCategory::setFilterRules(filterRules(verbose));
    s.previous = qInstallMessageHandler(handler);
    return true;
}

void uninstall()
{
    State &s = state();
    if (!s.installed)
        return;
    qInstallMessageHandler(s.previous);
    QMutexLocker lock(&s.mutex);
    s.previous = nullptr;
    s.installed = false;
    s.file.close();
    s.path.clear();
    QLoggingCategory::setFilterRules(QString());
}

bool isInstalled() { return state().installed; }

QString currentPath()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    return s.path;
}

QString maskCredentials(const QString &text)
{
    // An attribute name, '=', then a braced value ('}}' stands for '}') or
    // a plain one up to ';' or white space.
    static const QRegularExpression attribute(
        QStringLiteral("\\b(PWD|PASSWORD)(\\s*=\\s*)(\\{(?:[^}]|\\}\\})*\\}?|'(?:[^']|\\\\')*'?|[^;\\s]*)"),
        QRegularExpression::CaseInsensitiveOption);
    if (!text.contains(QLatin1String("pwd"), Qt::CaseInsensitive)
        && !text.contains(QLatin1String("password"), Qt::CaseInsensitive))
        return text;
    QString out = text;
    out.replace(attribute, QStringLiteral("\\1\\2***"));
    return out;
}

} // namespace cg::SupportLog
