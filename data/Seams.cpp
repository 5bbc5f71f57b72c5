#include "data/Seams.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QNetworkInterface>
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
QDateTime g_fixedNow;

bool g_hostOverride = false;
QString g_hostName;
QString g_hostIp;

bool g_exitRecording = false;
QList<ProcessExit::Request> g_exits;
} // namespace

namespace Clock {
QDateTime now() { return g_fixedNow.isValid() ? g_fixedNow : QDateTime::currentDateTime(); }
void setFixed(const QDateTime &when) { g_fixedNow = when; }
} // namespace Clock

namespace HostInfo {

static QString systemComputerName()
{
#ifdef Q_OS_WIN
    wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (::GetComputerNameW(buffer, &size))
        return QString::fromWCharArray(buffer, int(size));
#endif
    return QSysInfo::machineHostName();
}

QString computerName()
{
    if (g_hostOverride)
        return g_hostName;
    static const QString name = systemComputerName();
    return name;
}

QString pickIpv4(const QStringList &candidates)
{
    for (const QString &text : candidates) {
        const QHostAddress a(text);
        if (a.protocol() == QAbstractSocket::IPv4Protocol && !a.isLoopback())
            return a.toString();
    }
    return QStringLiteral("127.0.0.1");
}

static QString systemIpv4()
{
    QStringList candidates;
    for (const QNetworkInterface &nif : QNetworkInterface::allInterfaces()) {
        const auto flags = nif.flags();
        if (!(flags & QNetworkInterface::IsUp) || (flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry &e : nif.addressEntries())
            candidates << e.ip().toString();
    }
    return pickIpv4(candidates);
}

QString ipv4Address()
{
    if (g_hostOverride)
        return g_hostIp;
    // Read once: the log writes it with every entry.
    static const QString ip = systemIpv4();
    return ip;
}

void setOverride(const QString &name, const QString &ip)
{
    g_hostOverride = true;
    g_hostName = name;
    g_hostIp = ip;
}
void clearOverride() { g_hostOverride = false; }
} // namespace HostInfo

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
