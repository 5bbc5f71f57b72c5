// Two workstations on one database, as two real processes: each adds the
// same names at the same moment. Every name must end up stored once, and the
// workstation that came second must be told it exists.
//
// The test program starts copies of itself with --worker; each copy connects
// on its own, waits for the start signal (a file), adds every name and prints
// one outcome a line.
#include "data/Db.h"
#include "data/Schema.h"
#include "masterdata/AccountSets.h"
#include "masterdata/BasicData.h"
#include "support/TestEnv.h"
#include "users/Users.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QtTest>
#include <cstdio>

using namespace cg;

namespace {

const QStringList kActions = {QStringLiteral("user"), QStringLiteral("basic"), QStringLiteral("set")};

QString addOne(DbConnection &db, const QString &action, const QString &name)
{
    if (action == QLatin1String("user")) {
        switch (Users(db, QStringLiteral("admin")).add(name, QStringLiteral("pw"), {})) {
        case Users::AddOutcome::Added: return QStringLiteral("added");
        case Users::AddOutcome::Exists: return QStringLiteral("exists");
        case Users::AddOutcome::Failed: return QStringLiteral("failed");
        }
    } else if (action == QLatin1String("basic")) {
        switch (BasicData::add(db, BasicData::Kind::Department, name)) {
        case BasicData::AddResult::Added: return QStringLiteral("added");
        case BasicData::AddResult::Exists: return QStringLiteral("exists");
        default: return QStringLiteral("failed");
        }
    } else if (action == QLatin1String("set")) {
        switch (AccountSets(db, QString()).create(name, QStringLiteral("采购部"), QString(), QStringLiteral("P"),
                                                   QStringLiteral("2035"))) {
        case AccountSets::Outcome::Done: return QStringLiteral("added");
        case AccountSets::Outcome::Duplicate: return QStringLiteral("exists");
        default: return QStringLiteral("failed");
        }
    }
    return QStringLiteral("failed");
}

// --worker action server database login password barrier names…
int runWorker(const QStringList &args)
{
    if (args.size() < 7)
        return 2;
    const QString action = args.at(1);
    DbConnection db(QStringLiteral("workstation"));
    if (!db.open(args.at(2), args.at(3), args.at(4), args.at(5), QString())) {
        std::printf("connect failed: %s\n", qPrintable(db.lastError()));
        return 3;
    }
    for (int i = 0; i < 4000 && !QFile::exists(args.at(6)); ++i)
        QThread::msleep(5);
    for (const QString &name : args.mid(7))
        std::printf("%s %s\n", qPrintable(addOne(db, action, name)), name.toUtf8().constData());
    std::fflush(stdout);
    return 0;
}

} // namespace

class TstWorkstations : public QObject {
    Q_OBJECT
private slots:
    void sameNamesAtOnceAreStoredOnce_data();
    void sameNamesAtOnceAreStoredOnce();
};

void TstWorkstations::sameNamesAtOnceAreStoredOnce_data()
{
    QTest::addColumn<QString>("action");
    for (const QString &a : kActions)
        QTest::newRow(qPrintable(a)) << a;
}

void TstWorkstations::sameNamesAtOnceAreStoredOnce()
{
    QFETCH(QString, action);
    cgtest::TestEnv env;
    QStringList names;
    for (int i = 1; i <= 15; ++i)
        names << QStringLiteral("工作站同名%1").arg(i);
    // Many other rows make the name test take a while, so a workstation that
    // tested and wrote in two steps would let the other one in between.
    const char *fill = action == QLatin1String("user")
        ? "insert into yhb(用户名,密码) select '填充'||x,'-' from c"
        : action == QLatin1String("basic")
        ? "insert into jczlb(申请部门,采购员,计量单位,付款方式,申请人,税率) select '','填充'||x,'','','','' from c"
        : "insert into ztb(账套名,引用合同表) select '填充'||x,'none' from c";
    QVERIFY(env.db().execute(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<?) ")
                                 + QString::fromUtf8(fill),
                             {action == QLatin1String("set") ? 20000 : 200000}));
    const QString barrier = env.folder() + QStringLiteral("/go");
    const QStringList args = QStringList{QStringLiteral("--worker"), action} + env.connectionValues()
        + QStringList{barrier} + names;
    QProcess a, b;
    for (QProcess *p : {&a, &b}) {
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(), args);
        QVERIFY(p->waitForStarted(10000));
    }
    QThread::msleep(300);   // both connected and waiting
    QFile go(barrier);
    QVERIFY(go.open(QIODevice::WriteOnly));
    go.close();
    QList<QStringList> outcomes;
    for (QProcess *p : {&a, &b}) {
        QVERIFY(p->waitForFinished(60000));
        QCOMPARE(p->exitCode(), 0);
        const QString out = QString::fromUtf8(p->readAllStandardOutput());
        outcomes << out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(outcomes.last().size(), names.size());
    }
    for (int i = 0; i < names.size(); ++i) {
        const QString first = outcomes[0][i].section(u' ', 0, 0);
        const QString second = outcomes[1][i].section(u' ', 0, 0);
        QVERIFY2((first == QLatin1String("added") && second == QLatin1String("exists"))
                     || (first == QLatin1String("exists") && second == QLatin1String("added")),
                 qPrintable(outcomes[0][i] + QStringLiteral(" / ") + outcomes[1][i]));
    }
    QString count;
    if (action == QLatin1String("user"))
        count = QStringLiteral("select count(*) from yhb where 用户名 like '工作站同名%'");
    else if (action == QLatin1String("basic"))
        count = QStringLiteral("select count(*) from jczlb where 申请部门 like '工作站同名%'");
    else
        count = QStringLiteral("select count(*) from ztb where 账套名 like '工作站同名%'");
    QCOMPARE(env.rows(count).value(0).value(0), QString::number(names.size()));
    if (action == QLatin1String("set")) {
        // Every set got a contract table of its own.
        QCOMPARE(env.rows(QStringLiteral("select count(distinct 引用合同表) from ztb where 引用合同表<>'none'"))
                     .value(0).value(0),
                 QString::number(names.size() + 1));
    }
}

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (!args.isEmpty() && args.first() == QLatin1String("--worker")) {
        QCoreApplication app(argc, argv);
        return runWorker(args);
    }
    QApplication app(argc, argv);
    TstWorkstations t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_workstations.moc"
