// The built program as a real process: first start in an empty home, one
// running copy per user, and the command line.
#include "data/Db.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace cg;

namespace {

// A home of its own for each case; every process started through it is
// killed when the case ends, whatever happened.
class ProcessHome {
public:
    ProcessHome()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("home"));
        QDir(m_dir.path()).mkpath(QStringLiteral("data"));
        QDir(m_dir.path()).mkpath(QStringLiteral("runtime"));
        QDir(m_dir.path()).mkpath(QStringLiteral("tmp"));
        QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ~ProcessHome()
    {
        for (auto &p : m_processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    bool valid() const { return m_dir.isValid(); }
    QString workFolder() const { return m_dir.filePath(QStringLiteral("data/wkd/")); }
    QString runtimeFolder() const { return m_dir.filePath(QStringLiteral("runtime")); }
    QString tempFolder() const { return m_dir.filePath(QStringLiteral("tmp")); }

    QProcess *start(const QStringList &arguments = {})
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("home/.config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("TMPDIR"), m_dir.filePath(QStringLiteral("tmp")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p->setProcessEnvironment(env);
        p->setProgram(binary());
        p->setArguments(arguments);
        p->start();
        m_processes.push_back(std::move(p));
        return m_processes.back().get();
    }

    static QString binary() { return qEnvironmentVariable("CGSYS_BINARY"); }

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// Reads a SELECT from a database file the program has open; empty when the
// file or the rows are not there (yet).
QList<QStringList> readRows(const QString &path, const QString &sql)
{
    if (!QFile::exists(path))
        return {};
    static int serial = 0;
    DbConnection db(QStringLiteral("tst_process_%1").arg(++serial));
    if (!db.openSqlite(path))
        return {};
    Recordset rs(db);
    QList<QStringList> rows;
    if (!rs.open(sql))
        return {};
    for (; !rs.eof(); rs.moveNext()) {
        QStringList row;
        for (int i = 0; i < rs.columnCount(); ++i)
            row << rs.text(i);
        rows << row;
    }
    return rows;
}

// Group and other permission bits.
constexpr QFile::Permissions kForeignAccess = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
    | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

} // namespace

class TstProcess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void firstStartPreparesTheWorkingFolderAndWaitsForLogin();
    void secondStartEndsAndLeavesTheFirstRunning();
    void killedCopyDoesNotBlockTheNextStart();
    void startsAtTheSameMomentLeaveExactlyOneRunning();
    void commandLine_data();
    void commandLine();
    void helpNamesTheSupportLogAndBothProgramsTellTheVersion();
};

void TstProcess::initTestCase()
{
    if (ProcessHome::binary().isEmpty())
        QSKIP("CGSYS_BINARY is not set; run this test through ctest");
    QVERIFY2(QFileInfo(ProcessHome::binary()).isExecutable(), qPrintable(ProcessHome::binary()));
}

void TstProcess::firstStartPreparesTheWorkingFolderAndWaitsForLogin()
{
    ProcessHome home;
    QVERIFY(home.valid());
    QVERIFY(!QFileInfo::exists(home.workFolder()));
    QProcess *first = home.start();
    QVERIFY2(first->waitForStarted(5000), qPrintable(first->errorString()));

    const QString db = home.workFolder() + QStringLiteral("cgsys.db");
    const QString year = QString::number(QDate::currentDate().year());
    // The embedded database is ready once this year's account set is there.
    QTRY_VERIFY_WITH_TIMEOUT(!readRows(db, QStringLiteral("select 账套名,引用合同表 from ztb")).isEmpty(), 10000);
    QVERIFY(QFileInfo(home.workFolder()).isDir());

    const auto accountSets = readRows(db, QStringLiteral("select 账套名,引用合同表 from ztb"));
    QCOMPARE(accountSets.size(), 1);
    QCOMPARE(accountSets.at(0).at(0), year + QStringLiteral("年度"));
    const QString contractTable = accountSets.at(0).at(1);
    QCOMPARE(contractTable, QStringLiteral("htb1"));
    for (const QString &table : {QStringLiteral("ztb"), QStringLiteral("yhb"), QStringLiteral("gysb"),
                                 QStringLiteral("jczlb"), QStringLiteral("rzb"), contractTable}) {
        QVERIFY2(readRows(db, QStringLiteral("select name from sqlite_master where type='table' and name='")
                                  + table + QStringLiteral("'"))
                         .size()
                     == 1,
                 qPrintable(table));
    }
    QCOMPARE(readRows(db, QStringLiteral("select 用户名 from yhb")), QList<QStringList>{{QStringLiteral("admin")}});
    QCOMPARE(readRows(db, QStringLiteral("select count(*) from ") + contractTable),
             QList<QStringList>{{QStringLiteral("0")}});

    // The local connection database: owner-only, pointing at the embedded
    // database; the same goes for any journal file beside it.
    const QString local = home.workFolder() + QStringLiteral("cgsys.dll");
    QVERIFY(QFileInfo::exists(local));
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"),
                                  QStringLiteral("-journal")}) {
        const QString path = local + suffix;
        if (!QFileInfo::exists(path))
            continue;
        QVERIFY2((QFile::permissions(path) & kForeignAccess) == 0, qPrintable(path));
    }
    QCOMPARE(readRows(local, QStringLiteral("select 服务器IP,数据库名称 from 数据库表 where id=1")),
             (QList<QStringList>{{QStringLiteral("sqlite"), QStringLiteral("cgsys.db")}}));

    // No picture of the user's yet: the default one is shown and noted.
    QSettings settings(home.workFolder() + QStringLiteral("cgsys.pz"), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("界面布局/背景图片")).toString(), QStringLiteral("已加载默认背景图片"));

    // Still running: it waits for somebody to log in.
    QTest::qWait(500);
    QCOMPARE(first->state(), QProcess::Running);
}

void TstProcess::secondStartEndsAndLeavesTheFirstRunning()
{
    ProcessHome home;
    QVERIFY(home.valid());
    QProcess *first = home.start();
    QVERIFY2(first->waitForStarted(5000), qPrintable(first->errorString()));
    const QString db = home.workFolder() + QStringLiteral("cgsys.db");
    QTRY_VERIFY_WITH_TIMEOUT(!readRows(db, QStringLiteral("select 账套名 from ztb")).isEmpty(), 10000);
    QCOMPARE(first->state(), QProcess::Running);

    // The socket it answers on lies in the user's own runtime folder, not
    // in the temporary folder that every user can write to.
    const QStringList socketName{QStringLiteral("cgsys-*")};
    QVERIFY(!QDir(home.runtimeFolder()).entryList(socketName, QDir::System | QDir::Files).isEmpty());
    QCOMPARE(QDir(home.tempFolder()).entryList(socketName, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             QStringList());

    QProcess *second = home.start();
    QVERIFY2(second->waitForStarted(5000), qPrintable(second->errorString()));
    QTRY_COMPARE_WITH_TIMEOUT(second->state(), QProcess::NotRunning, 5000);
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    // The second start neither prepared a second account set nor took over.
    QCOMPARE(readRows(db, QStringLiteral("select count(*) from ztb")), QList<QStringList>{{QStringLiteral("1")}});
    QTest::qWait(500);
    QCOMPARE(first->state(), QProcess::Running);

    // A third start is turned away the same way.
    QProcess *third = home.start();
    QTRY_COMPARE_WITH_TIMEOUT(third->state(), QProcess::NotRunning, 5000);
    QCOMPARE(third->exitCode(), 0);
    QCOMPARE(first->state(), QProcess::Running);
}

void TstProcess::killedCopyDoesNotBlockTheNextStart()
{
    ProcessHome home;
    QVERIFY(home.valid());
    const QString db = home.workFolder() + QStringLiteral("cgsys.db");
    QProcess *first = home.start();
    QVERIFY2(first->waitForStarted(5000), qPrintable(first->errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(!readRows(db, QStringLiteral("select 账套名 from ztb")).isEmpty(), 10000);
    // Killed without any clean-up: its local socket stays behind.
    first->kill();
    QVERIFY(first->waitForFinished(5000));

    QProcess *next = home.start();
    QVERIFY2(next->waitForStarted(5000), qPrintable(next->errorString()));
    QTest::qWait(1500);
    QCOMPARE(next->state(), QProcess::Running);
    // It is now the running copy that turns a further start away.
    QProcess *further = home.start();
    QTRY_COMPARE_WITH_TIMEOUT(further->state(), QProcess::NotRunning, 5000);
    QCOMPARE(further->exitCode(), 0);
    QCOMPARE(next->state(), QProcess::Running);
    // The saved data survived the kill.
    QCOMPARE(readRows(db, QStringLiteral("select count(*) from ztb")), QList<QStringList>{{QStringLiteral("1")}});
}

void TstProcess::startsAtTheSameMomentLeaveExactlyOneRunning()
{
    // A few rounds: how the two starts interleave differs from run to run.
    for (int round = 0; round < 4; ++round) {
        ProcessHome home;
        QVERIFY(home.valid());
        QProcess *a = home.start();
        QProcess *b = home.start();
        QVERIFY2(a->waitForStarted(5000), qPrintable(a->errorString()));
        QVERIFY2(b->waitForStarted(5000), qPrintable(b->errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(a->state() == QProcess::NotRunning || b->state() == QProcess::NotRunning, 10000);
        QProcess *ended = a->state() == QProcess::NotRunning ? a : b;
        QProcess *running = ended == a ? b : a;
        QCOMPARE(ended->exitStatus(), QProcess::NormalExit);
        QCOMPARE(ended->exitCode(), 0);
        QTest::qWait(500);
        QCOMPARE(running->state(), QProcess::Running);
        // The survivor is the one a later start finds.
        QProcess *later = home.start();
        QTRY_COMPARE_WITH_TIMEOUT(later->state(), QProcess::NotRunning, 5000);
        QCOMPARE(later->exitCode(), 0);
        QCOMPARE(running->state(), QProcess::Running);
    }
}

void TstProcess::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("onStdout");
    QTest::newRow("unknown") << QStringList{QStringLiteral("--bogus")} << 2
                             << QStringLiteral("unknown argument: --bogus") << false;
    QTest::newRow("unknown after a known one")
        << QStringList{QStringLiteral("--connection-settings"), QStringLiteral("extra")} << 2
        << QStringLiteral("unknown argument: extra") << false;
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << QStringLiteral("--connection-settings")
                          << true;
    QTest::newRow("short help") << QStringList{QStringLiteral("-h")} << 0
                                << QStringLiteral("--connection-settings") << true;
    QTest::newRow("help after verbose") << QStringList{QStringLiteral("--verbose"), QStringLiteral("--help")} << 0
                                        << QStringLiteral("--verbose") << true;
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                             << QStringLiteral("cgsys " CGSYS_VERSION "\n") << true;
    QTest::newRow("version after a switch")
        << QStringList{QStringLiteral("--connection-settings"), QStringLiteral("--version")} << 0
        << QStringLiteral("cgsys " CGSYS_VERSION "\n") << true;
    QTest::newRow("unknown before version") << QStringList{QStringLiteral("-x"), QStringLiteral("--version")} << 2
                                            << QStringLiteral("unknown argument: -x") << false;
    // Qt's own arguments are taken by Qt first.
    QTest::newRow("version after a Qt argument")
        << QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--version")} << 0
        << QStringLiteral("cgsys " CGSYS_VERSION "\n") << true;
}

void TstProcess::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    QFETCH(bool, onStdout);
    ProcessHome home;
    QProcess *p = home.start(arguments);
    QVERIFY2(p->waitForFinished(10000), "the program did not end");
    QCOMPARE(p->exitStatus(), QProcess::NormalExit);
    QCOMPARE(p->exitCode(), exitCode);
    const QString text = QString::fromLocal8Bit(onStdout ? p->readAllStandardOutput() : p->readAllStandardError());
    QVERIFY2(text.contains(output), qPrintable(text));
    // Nothing is prepared for a start that does not happen.
    QVERIFY(!QFileInfo::exists(home.workFolder()));
}

void TstProcess::helpNamesTheSupportLogAndBothProgramsTellTheVersion()
{
    ProcessHome home;
    QProcess *help = home.start({QStringLiteral("--help")});
    QVERIFY(help->waitForFinished(10000));
    const QString text = QString::fromLocal8Bit(help->readAllStandardOutput());
    QVERIFY2(text.contains(QStringLiteral("\n  ") + home.workFolder() + QStringLiteral("日志/cgsys.log\n")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("CGSYS_VERBOSE=1")), qPrintable(text));

    const QString initdb = qEnvironmentVariable("CGSYS_INITDB");
    QVERIFY(QFileInfo(initdb).isExecutable());
    QProcess p;
    p.start(initdb, {QStringLiteral("--version")});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(p.readAllStandardOutput()), QStringLiteral("cgsys-initdb " CGSYS_VERSION "\n"));
    QVERIFY(!QFileInfo::exists(home.workFolder()));
}

QTEST_GUILESS_MAIN(TstProcess)
#include "tst_process.moc"
