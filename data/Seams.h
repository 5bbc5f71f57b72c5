#pragma once
// What the world gives the program below the windows: the clock, the name
// and address of this workstation, and the end of the process. Tests fix the
// clock and the host and see a process end without the test ending.

#include <QDateTime>
#include <QList>
#include <QString>

namespace cg {

namespace Clock {
QDateTime now();
void setFixed(const QDateTime &when);   // invalid: back to the real clock
}

namespace HostInfo {
// The computer name: GetComputerName on Windows (what the log has always
// shown for a workstation), the host name elsewhere.
QString computerName();
// First IPv4 address of an interface that is up and not the loopback, read
// once from the network interfaces (no name lookup); 127.0.0.1 when none.
QString ipv4Address();
// The choice above, for a given list of interface addresses (in order).
QString pickIpv4(const QStringList &candidates);
void setOverride(const QString &computerName, const QString &ipv4);
void clearOverride();
}

namespace ProcessExit {
enum class Mode { Orderly, Immediate };
// Orderly leaves the event loop and lets main() return the code; Immediate
// ends the process on the spot. In test mode both are only recorded.
void exit(int code, Mode mode);
void startRecording();
void stopRecording();
struct Request {
    int code;
    Mode mode;
};
QList<Request> &requests();
}

} // namespace cg
