#include "app/Seams.h"

#include <QApplication>
#include <QFileDialog>
#include <QHostAddress>
#include <QHostInfo>
#include <QProcess>
#include <QQueue>
#include <QSysInfo>
#include <cstdio>
#include <cstdlib>
#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace cg {

namespace {
bool g_msgRecording = false;
QQueue<QMessageBox::StandardButton> g_msgAnswers;
QList<ShownMessage> g_shown;

bool g_fileRecording = false;
QQueue<QString> g_paths;
QStringList g_captions;

QDateTime g_fixedNow;

bool g_hostOverride = false;
QString g_hostName;
QString g_hostIp;

bool g_launchRecording = false;
QStringList g_started;

bool g_exitRecording = false;
QList<ProcessExit::Request> g_exits;
} // namespace

QMessageBox::StandardButton ShowMessage(const QString &text, const QString &title, MsgIcon icon,
                                        QWidget *owner)
{
    const QString caption = title.isEmpty() ? QStringLiteral("系统提示") : title;
    if (g_msgRecording) {
        g_shown.append({text, caption, icon, owner});
        if (!g_msgAnswers.isEmpty())
            return g_msgAnswers.dequeue();
        return icon == MsgIcon::Question ? QMessageBox::No : QMessageBox::Ok;
    }
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    if (icon == MsgIcon::Error)
        boxIcon = QMessageBox::Critical;
    if (icon == MsgIcon::Question) {
        boxIcon = QMessageBox::Question;
        buttons = QMessageBox::Yes | QMessageBox::No;
    }
    QMessageBox box(boxIcon, caption, text, buttons, owner);
    box.setWindowModality(Qt::ApplicationModal);
    if (icon == MsgIcon::Question)
        box.setDefaultButton(QMessageBox::Yes);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

namespace MessageSeam {
void startRecording() { g_msgRecording = true; clear(); }
void stopRecording() { g_msgRecording = false; clear(); }
bool isRecording() { return g_msgRecording; }
void setNextAnswer(QMessageBox::StandardButton answer) { g_msgAnswers.enqueue(answer); }
QList<ShownMessage> &shown() { return g_shown; }
void clear()
{
    g_shown.clear();
    g_msgAnswers.clear();
}
} // namespace MessageSeam

namespace FileDialogs {
QString openFile(QWidget *parent, const QString &caption, const QString &filter, const QString &dir)
{
    if (g_fileRecording) {
        g_captions << caption;
        return g_paths.isEmpty() ? QString() : g_paths.dequeue();
    }
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}
QString saveFile(QWidget *parent, const QString &caption, const QString &filter, const QString &dir)
{
    if (g_fileRecording) {
        g_captions << caption;
        return g_paths.isEmpty() ? QString() : g_paths.dequeue();
    }
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}
void startRecording()
{
    g_fileRecording = true;
    g_paths.clear();
    g_captions.clear();
}
void stopRecording() { g_fileRecording = false; }
void setNextPath(const QString &path) { g_paths.enqueue(path); }
QStringList &captions() { return g_captions; }
} // namespace FileDialogs

namespace Clock {
QDateTime now() { return g_fixedNow.isValid() ? g_fixedNow : QDateTime::currentDateTime(); }
void setFixed(const QDateTime &when) { g_fixedNow = when; }
} // namespace Clock

namespace HostInfo {
QString computerName()
{
    if (g_hostOverride)
        return g_hostName;
    return QSysInfo::machineHostName();
}
QString ipv4Address()
{
    if (g_hostOverride)
        return g_hostIp;
    const QHostInfo info = QHostInfo::fromName(QHostInfo::localHostName());
    for (const QHostAddress &a : info.addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol)
            return a.toString();
    return QStringLiteral("127.0.0.1");
}
void setOverride(const QString &name, const QString &ip)
{
    g_hostOverride = true;
    g_hostName = name;
    g_hostIp = ip;
}
void clearOverride() { g_hostOverride = false; }
} // namespace HostInfo

namespace Launcher {
bool start(const QString &program, const QStringList &arguments)
{
    if (g_launchRecording) {
        g_started << (QStringList{program} + arguments).join(QLatin1Char(' '));
        return true;
    }
    return QProcess::startDetached(program, arguments);
}
void startRecording()
{
    g_launchRecording = true;
    g_started.clear();
}
void stopRecording() { g_launchRecording = false; }
QStringList &started() { return g_started; }
} // namespace Launcher

namespace ProcessExit {
void exit(int code, Mode mode)
{
    if (g_exitRecording) {
        g_exits.append({code, mode});
        return;
    }
    if (mode == Mode::Orderly && QCoreApplication::instance()) {
        QCoreApplication::exit(code);
        return;
    }
    std::fflush(nullptr);
#ifdef Q_OS_WIN
    ::ExitProcess(static_cast<UINT>(code));
#else
    ::_exit(code);
#endif
}
void startRecording()
{
    g_exitRecording = true;
    g_exits.clear();
}
void stopRecording() { g_exitRecording = false; }
QList<Request> &requests() { return g_exits; }
} // namespace ProcessExit

} // namespace cg
