// The shared-database connection through the ODBC driver "SQL Server"
// (FreeTDS on this platform), against loopback addresses only: a port where
// nothing listens and a listener that never answers.
#include "data/Db.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QTcpServer>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace cg;

namespace {

// A TCP port on 127.0.0.1 that accepts connections (the kernel completes the
// handshake) but is never read from and never answers.
class SilentListener {
public:
    SilentListener()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd < 0)
            return;
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        socklen_t len = sizeof addr;
        if (::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
            || ::listen(m_fd, 8) != 0
            || ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        m_port = ntohs(addr.sin_port);
    }
    ~SilentListener()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

// A loopback port nobody listens on (taken and given back at once).
quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

QString address(quint16 port) { return QStringLiteral("127.0.0.1,%1").arg(port); }

struct Attempt {
    bool ok = false;
    qint64 ms = 0;
    QString error;
};

Attempt connectTo(const QString &server, int timeoutSeconds)
{
    static int serial = 0;
    DbConnection db(QStringLiteral("tst_odbc_%1").arg(++serial));
    db.setConnectionTimeout(timeoutSeconds);
    QElapsedTimer clock;
    clock.start();
    Attempt a;
    a.ok = db.open(server, QStringLiteral("cgdb"), QStringLiteral("sa"), QStringLiteral("secret"), QString());
    a.ms = clock.elapsed();
    a.error = db.lastError();
    if (a.ok)
        db.close();
    return a;
}

} // namespace

class TstOdbc : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void refusedConnectionFailsQuickly();
    void silentServerGivesUpAtTheConnectionTimeout();
    void shorterConnectionTimeoutIsHonoured();
};

void TstOdbc::initTestCase()
{
    // FreeTDS's "auto" protocol hangs on a silent server; the program must
    // pin a version even when the environment asks for auto.
    qputenv("TDSVER", "auto");
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC")))
        QSKIP("The Qt ODBC driver (QODBC, package libqt6sql6-odbc) is not installed; run tools/ensure-deps.sh");
    QProcess odbcinst;
    odbcinst.start(QStringLiteral("odbcinst"), {QStringLiteral("-q"), QStringLiteral("-d"), QStringLiteral("-n"),
                                                QStringLiteral("SQL Server")});
    if (!odbcinst.waitForFinished(10000) || odbcinst.exitStatus() != QProcess::NormalExit
        || odbcinst.exitCode() != 0
        || !odbcinst.readAllStandardOutput().contains("[SQL Server]"))
        QSKIP("No ODBC driver named \"SQL Server\" is registered (odbcinst -q -d -n \"SQL Server\"); "
              "tools/ensure-deps.sh registers FreeTDS under that name");
}

void TstOdbc::refusedConnectionFailsQuickly()
{
    const quint16 port = closedPort();
    QVERIFY(port != 0);
    const Attempt a = connectTo(address(port), 30);
    qInfo("refused: gave up after %lld ms: %s", a.ms, qPrintable(a.error));
    QVERIFY(!a.ok);
    QVERIFY2(a.ms < 5000, qPrintable(QStringLiteral("took %1 ms").arg(a.ms)));
    QVERIFY2(a.error.contains(QLatin1String("Adaptive Server is unavailable or does not exist")),
             qPrintable(a.error));
}

void TstOdbc::silentServerGivesUpAtTheConnectionTimeout()
{
    SilentListener server;
    QVERIFY(server.port() != 0);
    const Attempt a = connectTo(address(server.port()), 30);
    qInfo("30 s time-out: gave up after %lld ms: %s", a.ms, qPrintable(a.error));
    QVERIFY(!a.ok);
    // It really waited for the server rather than failing at once ...
    QVERIFY2(a.ms >= 25000, qPrintable(QStringLiteral("gave up after %1 ms").arg(a.ms)));
    // ... and not much longer than the time-out.
    QVERIFY2(a.ms <= 35000, qPrintable(QStringLiteral("gave up after %1 ms").arg(a.ms)));
}

void TstOdbc::shorterConnectionTimeoutIsHonoured()
{
    SilentListener server;
    QVERIFY(server.port() != 0);
    const Attempt a = connectTo(address(server.port()), 3);
    qInfo("3 s time-out: gave up after %lld ms: %s", a.ms, qPrintable(a.error));
    QVERIFY(!a.ok);
    QVERIFY2(a.ms >= 2000 && a.ms <= 8000, qPrintable(QStringLiteral("gave up after %1 ms").arg(a.ms)));
}

QTEST_GUILESS_MAIN(TstOdbc)
#include "tst_odbc.moc"
