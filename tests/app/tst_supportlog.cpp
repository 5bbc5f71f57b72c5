// The support log 日志/cgsys.log: levels and line format, rotation, several
// threads at once, and that neither a password nor a bound value of a
// statement ever reaches the file.
#include "app/Login.h"
#include "app/Program.h"
#include "data/Db.h"
#include "data/Password.h"
#include "data/RowStore.h"
#include "data/SupportLog.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace cg;
using namespace cgtest;

namespace {

QString readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

QStringList linesOf(const QString &path)
{
    QStringList lines = readAll(path).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Uninstalls whatever a case installed, also when it fails half-way.
struct LogGuard {
    ~LogGuard() { SupportLog::uninstall(); }
};

// For cases that write many lines: the handler the support log passes them
// on to drops them instead of printing them all.
struct Quiet {
    Quiet() : previous(qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {})) {}
    ~Quiet()
    {
        SupportLog::uninstall();
        qInstallMessageHandler(previous);
    }
    QtMessageHandler previous;
};

} // namespace

class TstSupportLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { Clock::setFixed(kFixedNow); }
    void cleanup()
    {
        SupportLog::uninstall();
        Clock::setFixed(QDateTime());
    }
    void verboseFromTheEnvironment_data();
    void verboseFromTheEnvironment();
    void levelsAndLineFormat();
    void rotatesAtTheLimitKeepingThreeOlderFiles();
    void threadsWriteWholeLines();
    void credentialsAreMasked_data();
    void credentialsAreMasked();
    void neitherPasswordsNorBoundValuesReachTheFile();
    void startLogsTheVersionUnlessTheFolderCannotBeWritten();
};

void TstSupportLog::verboseFromTheEnvironment_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("verbose");
    QTest::newRow("unset") << QByteArray() << false;
    QTest::newRow("1") << QByteArray("1") << true;
    QTest::newRow("0") << QByteArray("0") << false;
    QTest::newRow("yes") << QByteArray("yes") << true;
    QTest::newRow("off") << QByteArray("Off") << false;
    QTest::newRow("false") << QByteArray("false") << false;
    QTest::newRow("blank") << QByteArray(" ") << false;
}

void TstSupportLog::verboseFromTheEnvironment()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, verbose);
    if (value.isNull())
        qunsetenv("CGSYS_VERBOSE");
    else
        qputenv("CGSYS_VERBOSE", value);
    QCOMPARE(SupportLog::verboseFromEnvironment(), verbose);
    qunsetenv("CGSYS_VERBOSE");
}

void TstSupportLog::levelsAndLineFormat()
{
    LogGuard guard;
    QTemporaryDir dir;
    const QString path = SupportLog::pathIn(dir.path() + u'/');
    QCOMPARE(path, dir.path() + QStringLiteral("/日志/cgsys.log"));

    QVERIFY(SupportLog::install(path, false));
    qCDebug(lcDb, "quiet debug");
    qCInfo(lcApp, "quiet info");
    qCWarning(lcDb, "first line\nsecond line");
    qCCritical(lcApp, "critical %d", 7);
    qWarning("plain warning");
    QCOMPARE(linesOf(path), (QStringList{QStringLiteral("2035-05-20 09:30:15.000 warning cgsys.db: first line"),
                                         QStringLiteral("    second line"),
                                         QStringLiteral("2035-05-20 09:30:15.000 critical cgsys.app: critical 7"),
                                         QStringLiteral("2035-05-20 09:30:15.000 warning default: plain warning")}));
    // Owner only: the log names users and statements.
    QCOMPARE(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteOther),
             QFile::Permissions());
    QCOMPARE(QFileInfo(QFileInfo(path).absolutePath()).permissions() & (QFile::ReadOther | QFile::ExeOther),
             QFile::Permissions());

    // Verbose: the program's debug and info too, appended to what was there;
    // Qt's own debug messages stay out.
    QVERIFY(SupportLog::install(path, true));
    qCDebug(lcDb, "now debug");
    qCInfo(lcApp, "now info");
    qCDebug(QLoggingCategory("qt.widgets.gestures"), "qt internals");
    const QStringList lines = linesOf(path);
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines[4], QStringLiteral("2035-05-20 09:30:15.000 debug cgsys.db: now debug"));
    QCOMPARE(lines[5], QStringLiteral("2035-05-20 09:30:15.000 info cgsys.app: now info"));

    // After uninstalling, nothing more is written.
    SupportLog::uninstall();
    QVERIFY(!SupportLog::isInstalled());
    qCWarning(lcDb, "after the end");
    QCOMPARE(linesOf(path).size(), 6);
}

void TstSupportLog::rotatesAtTheLimitKeepingThreeOlderFiles()
{
    Quiet quiet;
    QTemporaryDir dir;
    const QString path = SupportLog::pathIn(dir.path());
    const qint64 limit = 1000;
    QVERIFY(SupportLog::install(path, false, limit));
    // Each line is 80 bytes: 12 lines fill a file, the 13th starts the next.
    const QString filler(28, u'x');
    for (int i = 0; i < 100; ++i)
        qCWarning(lcDb, "line %03d %s", i, qPrintable(filler));
    SupportLog::uninstall();

    QStringList all;
    for (const QString &name : {path + QStringLiteral(".3"), path + QStringLiteral(".2"), path + QStringLiteral(".1"), path}) {
        QVERIFY2(QFileInfo::exists(name), qPrintable(name));
        QVERIFY2(QFileInfo(name).size() <= limit, qPrintable(name));
        all += linesOf(name);
    }
    QVERIFY(!QFileInfo::exists(path + QStringLiteral(".4")));
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files).size(), 4);
    // What is kept is the newest run of lines, in order, none cut: three
    // full files and the 4 lines past the eighth.
    QCOMPARE(all.size(), 40);
    for (int k = 0; k < all.size(); ++k) {
        const int number = 100 - all.size() + k;
        QCOMPARE(all[k], QStringLiteral("2035-05-20 09:30:15.000 warning cgsys.db: line %1 %2")
                             .arg(number, 3, 10, QLatin1Char('0'))
                             .arg(filler));
    }

    // A file already past the limit at start is rotated by the first line.
    QFile big(path);
    QVERIFY(big.open(QIODevice::WriteOnly | QIODevice::Truncate));
    big.write(QByteArray(int(limit) + 10, 'y'));
    big.close();
    QVERIFY(SupportLog::install(path, false, limit));
    qCWarning(lcDb, "fresh");
    SupportLog::uninstall();
    QCOMPARE(linesOf(path), QStringList{QStringLiteral("2035-05-20 09:30:15.000 warning cgsys.db: fresh")});
    QCOMPARE(QFileInfo(path + QStringLiteral(".1")).size(), limit + 10);
}

void TstSupportLog::threadsWriteWholeLines()
{
    Quiet quiet;
    QTemporaryDir dir;
    const QString path = SupportLog::pathIn(dir.path());
    QVERIFY(SupportLog::install(path, false));
    constexpr int kThreads = 4;
    constexpr int kLines = 500;
    QList<QThread *> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads << QThread::create([t] {
            for (int i = 0; i < kLines; ++i)
                qCWarning(lcDb, "thread %d line %d", t, i);
        });
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(30000));
        delete thread;
    }
    SupportLog::uninstall();
    const QStringList lines = linesOf(path);
    QCOMPARE(lines.size(), kThreads * kLines);
    static const QRegularExpression whole(
        QStringLiteral("^2035-05-20 09:30:15\\.000 warning cgsys\\.db: thread (\\d) line (\\d+)$"));
    QList<int> next(kThreads, 0);
    for (const QString &line : lines) {
        const auto m = whole.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        const int t = m.captured(1).toInt();
        QCOMPARE(m.captured(2).toInt(), next[t]);   // each thread's lines in its order
        ++next[t];
    }
}

void TstSupportLog::credentialsAreMasked_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("masked");
    QTest::newRow("odbc braces") << QStringLiteral("DRIVER={SQL Server};SERVER={h};UID={sa};PWD={p;}}w};DATABASE={d};")
                                 << QStringLiteral("DRIVER={SQL Server};SERVER={h};UID={sa};PWD=***;DATABASE={d};");
    QTest::newRow("odbc plain") << QStringLiteral("uid=sa;pwd=geheim;database=x")
                                << QStringLiteral("uid=sa;pwd=***;database=x");
    QTest::newRow("libpq") << QStringLiteral("host=db password='a b' user=x")
                           << QStringLiteral("host=db password=*** user=x");
    QTest::newRow("spaces around =") << QStringLiteral("Password = hunter2;")
                                     << QStringLiteral("Password = ***;");
    QTest::newRow("a message about a password") << QStringLiteral("password authentication failed for user \"x\"")
                                                << QStringLiteral("password authentication failed for user \"x\"");
    QTest::newRow("pwd inside a word") << QStringLiteral("mypwd=keep") << QStringLiteral("mypwd=keep");
}

void TstSupportLog::credentialsAreMasked()
{
    QFETCH(QString, text);
    QFETCH(QString, masked);
    QCOMPARE(SupportLog::maskCredentials(text), masked);
}

void TstSupportLog::neitherPasswordsNorBoundValuesReachTheFile()
{
    LogGuard guard;
    TestEnv env;
    const QString path = SupportLog::pathIn(env.workFolder());
    QVERIFY(SupportLog::install(path, true));

    // A statement whose driver message quotes the bound value it could not
    // take; also inside a unit of work, whose end logs the reason again.
    const QString secret = QStringLiteral("Geheim-4711-机密");
    const QString bad = TestEnv::onPostgreSql() ? QStringLiteral("select cast(? as integer)")
                                                : QStringLiteral("select json_extract('{}', ?)");
    QVERIFY(!env.db().execute(bad, {secret}));
    QVERIFY2(env.db().lastError().contains(secret), qPrintable(env.db().lastError()));
    // (Where the server ends the transaction, the unit can only roll back.)
    bool innerFailed = false;
    QCOMPARE(inTransaction(env.db(),
                           [&] {
                               innerFailed = !env.db().execute(bad, {secret});
                               return true;
                           }),
             !SqlDialect::failureAbortsTransaction(TestEnv::backend()));
    QVERIFY(innerFailed);
    // The same while rows are being read: the first rows come, the fifth
    // fails.
    const QString badRow = TestEnv::onPostgreSql()
        ? QStringLiteral("select cast(case when x = 5 then ? else '1' end as integer) from generate_series(1, 5) as g(x)")
        : QStringLiteral("with recursive n(x) as (select 1 union all select x + 1 from n where x < 5) "
                         "select json_extract('{}', case when x = 5 then ? else '$' end) from n");
    {
        QueryReader reader(env.db());
        RowStore store;
        const bool opened = reader.open(badRow, {secret});
        QVERIFY(!opened || reader.fetch(store, 100) == -1);
        QVERIFY2(reader.lastError().contains(secret) || env.db().lastError().contains(secret),
                 qPrintable(reader.lastError()));
    }
    // A number bound leaves the table names with digits alone.
    QVERIFY(!env.db().execute(QStringLiteral("insert into htb1 (no_such_column) values (?)"), {1}));

    // A wrong password at login.
    const QString wrongPassword = QStringLiteral("Falsch-8812-密码");
    LoginFlow flow(env.db(), env.ctx().login);
    LoginFlow::resetFailedAttempts();
    const QStringList sets = flow.accountSetNames();
    QVERIFY(!sets.isEmpty());
    QCOMPARE(flow.attempt(QStringLiteral("admin"), wrongPassword, sets.first(), kFixedNow.date().year()).outcome,
             LoginFlow::Outcome::WrongPassword);
    LoginFlow::resetFailedAttempts();

    // Connections refused with a password, on both server kinds.
    const QString serverPassword = QStringLiteral("Verbindung-5531-口令");
    {
        DbConnection other(QStringLiteral("tst_supportlog_pg"));
        other.setConnectionTimeout(2);
        QVERIFY(!other.openPostgreSql(QStringLiteral("127.0.0.1"), 1, QStringLiteral("nodb"), QStringLiteral("someone"),
                                      serverPassword));
        DbConnection odbc(QStringLiteral("tst_supportlog_odbc"));
        odbc.setConnectionTimeout(2);
        QVERIFY(!odbc.openSqlServer(QStringLiteral("127.0.0.1,1"), QStringLiteral("nodb"), QStringLiteral("sa"),
                                    serverPassword));
    }
    // Whoever logs a connection text by mistake still leaves the password out.
    qCWarning(lcDb, "%s",
              qUtf8Printable(DbConnection::sqlServerConnectionText(QStringLiteral("h"), QStringLiteral("d"),
                                                                   QStringLiteral("sa"), serverPassword)));
    SupportLog::uninstall();

    const QString text = readAll(path);
    QVERIFY2(text.contains(QStringLiteral("statement failed: ")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("login refused for user admin")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("cannot connect to PostgreSQL 127.0.0.1:1")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("cannot connect to SQL Server 127.0.0.1,1")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("PWD=***")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("htb1")), qPrintable(text));
    for (const QString &hidden : {secret, QStringLiteral("Geheim"), wrongPassword, PasswordDigest(wrongPassword),
                                  serverPassword, QStringLiteral("Verbindung")})
        QVERIFY2(!text.contains(hidden), qPrintable(hidden + QStringLiteral(" in:\n") + text));
}

void TstSupportLog::startLogsTheVersionUnlessTheFolderCannotBeWritten()
{
    LogGuard guard;
    QTemporaryDir dir;
    const QString work = dir.path() + QStringLiteral("/wkd/");
    QVERIFY(QDir().mkpath(work));
    StartOptions verbose;
    verbose.verbose = true;
    StartSupportLog(work, verbose);
    QVERIFY(SupportLog::isInstalled());
    QCOMPARE(SupportLog::currentPath(), work + QStringLiteral("日志/cgsys.log"));
    SupportLog::uninstall();
    QCOMPARE(linesOf(work + QStringLiteral("日志/cgsys.log")),
             QStringList{QStringLiteral("2035-05-20 09:30:15.000 info cgsys.app: cgsys %1 started, working folder %2")
                             .arg(QLatin1String(CGSYS_VERSION), work)});

    // A file where the folder should be: the program goes on without the log.
    const QString blocked = dir.path() + QStringLiteral("/blocked/");
    QVERIFY(QDir().mkpath(blocked));
    QFile file(blocked + QStringLiteral("日志"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("the support log .* cannot be written")));
    StartSupportLog(blocked, StartOptions());
    QVERIFY(!SupportLog::isInstalled());
}

QTEST_MAIN(TstSupportLog)
#include "tst_supportlog.moc"
