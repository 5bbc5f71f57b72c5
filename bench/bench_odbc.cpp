// How long a connection attempt through the ODBC driver "SQL Server"
// (FreeTDS here) takes to give up, on loopback addresses: a port where
// nothing listens, and a listener that accepts and never answers, with a
// 3-second and the program's 30-second connection time-out.
//
//   build/bench/bench_odbc [--quick]     (--quick leaves out the 30 s case)
#include "data/Db.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QTcpServer>
#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace cg;

namespace {

// Accepts connections (the kernel completes the handshake), never reads.
int silentListener(quint16 *port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void attempt(const char *label, quint16 port, int timeoutSeconds)
{
    static int serial = 0;
    DbConnection db(QStringLiteral("bench_odbc_%1").arg(++serial));
    db.setConnectionTimeout(timeoutSeconds);
    QElapsedTimer clock;
    clock.start();
    const bool ok = db.open(QStringLiteral("127.0.0.1,%1").arg(port), QStringLiteral("cgdb"), QStringLiteral("sa"),
                            QStringLiteral("secret"), QString());
    const qint64 ms = clock.elapsed();
    std::printf("%-34s time-out %2d s: %s after %6lld ms  (%s)\n", label, timeoutSeconds,
                ok ? "connected" : "gave up", ms, qPrintable(db.lastError().left(70)));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("cgsys.db.warning=false"));
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC"))) {
        std::puts("no QODBC driver; run tools/ensure-deps.sh");
        return 1;
    }
    qputenv("TDSVER", "auto");   // the program pins a version itself

    attempt("refused (nothing listens)", closedPort(), 30);
    quint16 port = 0;
    const int fd = silentListener(&port);
    if (fd < 0)
        return 1;
    attempt("silent listener", port, 3);
    if (!quick)
        attempt("silent listener", port, 30);
    ::close(fd);
    return 0;
}
