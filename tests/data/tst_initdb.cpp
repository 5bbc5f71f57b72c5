// The setup helper prepares a database the program can log in to.
#include "data/Db.h"
#include "data/Schema.h"
#include "support/TestEnv.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace cg;

class TstInitDb : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void preparesTheDatabaseOnce();
    void printsTheScriptAndRefusesMissingValues();

private:
    QByteArray run(const QStringList &args, int *code)
    {
        QProcess p;
        p.start(qEnvironmentVariable("CGSYS_INITDB"), args);
        if (!p.waitForFinished(30000)) {
            *code = -1;
            return {};
        }
        *code = p.exitCode();
        return p.readAllStandardOutput();
    }
};

void TstInitDb::preparesTheDatabaseOnce()
{
    // An empty database on the backend of this run (a file not there yet).
    cgtest::TestEnv env(false);
    int code = 0;
    QCOMPARE(run(env.initdbArguments(), &code).trimmed(), QByteArray("ok"));
    QCOMPARE(code, 0);
    DbConnection db(QStringLiteral("check"));
    QVERIFY(env.open(db));
    // Run again on a database without the indexes: they are added, nothing
    // else changes.
    QVERIFY(db.execute(QStringLiteral("drop index ix_rzb_过滤日期")));
    QVERIFY(db.execute(QStringLiteral("drop index ix_htb1_合同编号")));
    QCOMPARE(run(env.initdbArguments(), &code).trimmed(), QByteArray("ok"));
    QCOMPARE(code, 0);
    QCOMPARE(cgtest::indexNames(db, QStringLiteral("rzb")), QStringList{QStringLiteral("ix_rzb_过滤日期")});
    QCOMPARE(cgtest::indexNames(db, QStringLiteral("htb1")),
             (QStringList{QStringLiteral("ix_htb1_合同子编号"), QStringLiteral("ix_htb1_合同编号")}));
    for (const char *t : {"ztb", "yhb", "gysb", "jczlb", "rzb", "htb1"})
        QVERIFY2(db.tableExists(QString::fromLatin1(t)), t);
    Recordset rs(db);
    QVERIFY(rs.open(QStringLiteral("select * from yhb")));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.text(0), QStringLiteral("admin"));
    QCOMPARE(rs.text(QStringLiteral("默认用户")), QStringLiteral("0"));
    QCOMPARE(rs.text(QStringLiteral("用户管理")), QStringLiteral("1"));
    QVERIFY(rs.open(QStringLiteral("select * from ztb")));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.text(0), QStringLiteral("%1年度").arg(QDate::currentDate().year()));
    QCOMPARE(rs.text(3), QStringLiteral("htb1"));
    QCOMPARE(rs.number(5), 50000);
    QCOMPARE(rs.text(6), QStringLiteral("False"));
}

void TstInitDb::printsTheScriptAndRefusesMissingValues()
{
    int code = 0;
    // Byte for byte what data/sql/setup.sql holds, byte-order mark included.
    QCOMPARE(run({QStringLiteral("--print-script")}, &code), Schema::setupScriptFile());
    QCOMPARE(code, 0);
    run({QStringLiteral("--server"), QStringLiteral("127.0.0.1")}, &code);
    QCOMPARE(code, 2);
    for (const QString &address : {QStringLiteral("db.example:0"), QStringLiteral("db.example:x"), QString()}) {
        run({QStringLiteral("--postgresql"), address, QStringLiteral("--database"), QStringLiteral("cgsys"),
             QStringLiteral("--login"), QStringLiteral("cgsys"), QStringLiteral("--password"), QStringLiteral("x")},
            &code);
        QCOMPARE(code, 2);
    }
}

QTEST_MAIN(TstInitDb)
#include "tst_initdb.moc"
