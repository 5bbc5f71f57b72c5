// Four workstations entering contracts at once: four processes each save
// 500 contracts of two lines into one database, numbered as the entry
// window numbers them (the proposed next number, the save as one unit, the
// log rows, the attachment mark of the list, the next proposal). A proposal
// another station took first moves on to the next free number inside the
// save (counted as renumbered); a refused save is retried with the next
// proposed number, as a clerk would. Prints contracts per second, the
// retries, the renumbered saves and where each station spent its time, for a SQLite
// file in a temporary folder and, when CGSYS_PG_* name a cluster (see
// tools/pg-cluster.sh), for PostgreSQL.
//
//   bench_save [contracts per station] [lines stored before]
#include "contracts/ContractEntry.h"
#include "contracts/ContractRecord.h"
#include "data/Context.h"
#include "data/Db.h"
#include "data/Schema.h"
#include "data/Seams.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <memory>
#include <vector>

using namespace cg;

namespace {

constexpr int kStations = 4;

struct Target {
    QString name;        // "SQLite" or "PostgreSQL"
    QString sqlitePath;  // or the cluster's database:
    QString host, database, user, password;
    int port = 0;
};

bool openTarget(DbConnection &db, const Target &t)
{
    if (!t.sqlitePath.isEmpty())
        return db.openSqlite(t.sqlitePath);
    return db.openPostgreSql(t.host, t.port, t.database, t.user, t.password);
}

QStringList targetArgs(const Target &t)
{
    return {t.name, t.sqlitePath, t.host, QString::number(t.port), t.database, t.user, t.password};
}

Target targetOf(const QStringList &a, int at)
{
    Target t;
    t.name = a.value(at);
    t.sqlitePath = a.value(at + 1);
    t.host = a.value(at + 2);
    t.port = a.value(at + 3).toInt();
    t.database = a.value(at + 4);
    t.user = a.value(at + 5);
    t.password = a.value(at + 6);
    return t;
}

// One statement on the cluster's maintenance database.
bool onMaintenance(const Target &t, const QString &sql)
{
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("maintenance"));
        db.setHostName(t.host);
        db.setPort(t.port);
        db.setUserName(t.user);
        db.setPassword(t.password);
        db.setDatabaseName(QStringLiteral("postgres"));
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (!ok)
                std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(q.lastError().text()));
        } else {
            std::fprintf(stderr, "maintenance database: %s\n", qPrintable(db.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("maintenance"));
    return ok;
}

// --station <index> <go file> <contracts> <target…>
int runStation(const QStringList &args)
{
    const int index = args.value(2).toInt();
    const QString go = args.value(3);
    const int contracts = args.value(4).toInt();
    const Target target = targetOf(args, 5);
    const QString name = QStringLiteral("工作站-%1").arg(index);
    HostInfo::setOverride(name, QStringLiteral("10.0.0.%1").arg(index));
    DbConnection db(QStringLiteral("station"));
    if (!openTarget(db, target)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(name), qPrintable(db.lastError()));
        return 3;
    }
    LoginContext login;
    login.userName = QStringLiteral("admin");
    {
        Recordset rs(db);
        if (!rs.open(QStringLiteral("select * from ztb")) || rs.eof())
            return 4;
        login.accountSetName = login.chosenAccountSet = rs.text(0);
        login.contractTable = rs.text(3);
    }
    std::printf("ready\n");
    std::fflush(stdout);
    while (!QFile::exists(go))
        QThread::msleep(1);

    ContractForm form;
    form.documentDate = Clock::now().date().toString(QStringLiteral("yyyy-MM-dd"));
    form.requester = name;
    form.department = QStringLiteral("采购部");
    form.buyer = QStringLiteral("李四");
    form.supplier = QStringLiteral("北方五金");
    form.effective = form.expiry = Clock::now().date();
    form.paymentTerms = QStringLiteral("现金");
    form.taxRate = QStringLiteral("6%");
    form.amount = QStringLiteral("100");
    form.first = form.second = form.third = form.fourth = form.remaining = QStringLiteral("0");
    const QList<ProductLine> lines = {{QStringLiteral("水泵"), QStringLiteral("2"), QStringLiteral("台")},
                                      {QStringLiteral("阀门"), QStringLiteral("5"), QStringLiteral("个")}};

    qint64 numberNs = 0, saveNs = 0, refusedNs = 0, afterNs = 0;
    int saved = 0, retries = 0, renumbered = 0, failed = 0;
    QElapsedTimer all, t;
    all.start();
    // The window proposes a number when it opens and after every save.
    t.start();
    form.number = ContractStore(db, login.contractTable, login.accountSetName).nextNumber();
    numberNs += t.nsecsElapsed();
    while (saved < contracts && failed < 20) {
        t.restart();
        ContractEntry entry(db, login);
        if (!entry.isAccountSetOfYear(Clock::now().date().year()) || ContractEntry::firstMissing(form, lines).outcome
                != ContractEntry::Outcome::Saved) {
            std::fprintf(stderr, "%s: the form is refused\n", qPrintable(name));
            return 5;
        }
        // The form carries the window's proposal: a number another station
        // took meanwhile moves on inside the save.
        QString stored;
        const ContractEntry::Outcome outcome = entry.save(form, lines, QByteArray(), form.number, &stored);
        if (outcome == ContractEntry::Outcome::Saved && stored != form.number)
            ++renumbered;
        saveNs += t.nsecsElapsed();
        if (outcome == ContractEntry::Outcome::DuplicateNumber)
            refusedNs += t.nsecsElapsed();
        if (outcome == ContractEntry::Outcome::Saved) {
            t.restart();
            // The save wrote its log rows in its own unit; the window then
            // asks for the attachment mark of the list row.
            entry.store().hasAttachment(stored);
            afterNs += t.nsecsElapsed();
            ++saved;
        } else if (outcome == ContractEntry::Outcome::DuplicateNumber) {
            ++retries;
        } else {
            ++failed;
            std::fprintf(stderr, "%s: save failed: %s\n", qPrintable(name), qPrintable(db.lastError()));
        }
        t.restart();
        form.number = entry.store().nextNumber();
        numberNs += t.nsecsElapsed();
    }
    const qint64 totalMs = all.elapsed();
    std::printf("station %d: saved %d, retries %d, renumbered %d, failed %d in %lld ms: next number %lld ms (%.0f%%), "
                "save %lld ms (%.0f%%; refused ones %lld ms), list %lld ms\n",
                index, saved, retries, renumbered, failed, totalMs, numberNs / 1000000,
                totalMs > 0 ? 100.0 * double(numberNs / 1000000) / double(totalMs) : 0.0, saveNs / 1000000,
                totalMs > 0 ? 100.0 * double(saveNs / 1000000) / double(totalMs) : 0.0, refusedNs / 1000000,
                afterNs / 1000000);
    std::fflush(stdout);
    return saved == contracts ? 0 : 6;
}

// Lines stored before the run: the earlier contracts of the year, two
// lines each, numbered as the program numbers them.
bool preload(DbConnection &db, int lines)
{
    if (lines <= 0)
        return true;
    QSqlQuery q(db.database());
    if (!q.exec(QStringLiteral("BEGIN")))
        return false;
    if (!q.prepare(QStringLiteral("insert into htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,"
                                  "计量单位,制单日期,生效日期,失效日期,合同金额,付款方式,税率) values('已审核',?,?,'张三',"
                                  "'采购部','李四','华东机电','产品','1','台','2026-03-05','2026-03-01','2027-03-01',"
                                  "'100','月结','13%')")))
        return false;
    QVariantList numbers, subs;
    for (int i = 0; i < lines; ++i) {
        const QString n = QStringLiteral("OLD%1").arg(i / 2, 7, 10, QLatin1Char('0'));
        numbers << n;
        subs << n + QString::number(52 + 2 * (i % 2));
    }
    q.addBindValue(numbers);
    q.addBindValue(subs);
    return q.execBatch() && q.exec(QStringLiteral("COMMIT"));
}

int runTarget(const QString &self, Target target, int contracts, int lines)
{
    QTemporaryDir dir;
    if (target.sqlitePath.isEmpty()) {
        target.database = QStringLiteral("cgbench_%1").arg(QCoreApplication::applicationPid());
        if (!onMaintenance(target, QStringLiteral("create database ") + target.database))
            return 1;
    } else {
        target.sqlitePath = dir.filePath(QStringLiteral("bench.db"));
    }
    int rc = 0;
    {
        DbConnection db(QStringLiteral("setup"));
        if (!openTarget(db, target) || !Schema::initialise(db, Clock::now().date().year()) || !preload(db, lines)) {
            std::fprintf(stderr, "set-up failed: %s\n", qPrintable(db.lastError()));
            rc = 1;
        }
    }
    if (rc == 0) {
        const QString go = dir.filePath(QStringLiteral("go"));
        std::vector<std::unique_ptr<QProcess>> stations;
        for (int i = 1; i <= kStations; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            p->start(self, QStringList{QStringLiteral("--station"), QString::number(i), go, QString::number(contracts)}
                               + targetArgs(target));
            stations.push_back(std::move(p));
        }
        for (auto &p : stations)
            while (!p->canReadLine() && p->state() != QProcess::NotRunning)
                p->waitForReadyRead(100);
        for (auto &p : stations)
            p->readLine();
        QElapsedTimer t;
        t.start();
        QFile(go).open(QIODevice::WriteOnly);
        QString report;
        for (auto &p : stations) {
            p->waitForFinished(-1);
            report += QString::fromUtf8(p->readAllStandardOutput());
            if (p->exitCode() != 0)
                rc = 1;
        }
        const qint64 ms = t.elapsed();
        int retries = 0, renumbered = 0;
        for (const QString &line : report.split(u'\n', Qt::SkipEmptyParts)) {
            retries += line.section(QStringLiteral("retries "), 1).section(u',', 0, 0).toInt();
            renumbered += line.section(QStringLiteral("renumbered "), 1).section(u',', 0, 0).toInt();
        }
        const int total = kStations * contracts;
        std::printf("%s, %d lines stored before: %d contracts in %lld ms, %.0f contracts per second, "
                    "%d retries (%.1f%%), %d renumbered at the save (%.1f%%)\n%s",
                    qPrintable(target.name), lines, total, ms, ms > 0 ? 1000.0 * total / double(ms) : 0.0, retries,
                    100.0 * retries / double(total), renumbered, 100.0 * renumbered / double(total),
                    qPrintable(report));
        std::fflush(stdout);
    }
    if (target.sqlitePath.isEmpty())
        onMaintenance(target, QStringLiteral("drop database if exists ") + target.database + QStringLiteral(" with (force)"));
    return rc;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--station"))
        return runStation(args);
    const int contracts = args.size() > 1 ? args.at(1).toInt() : 500;
    const int lines = args.size() > 2 ? args.at(2).toInt() : 0;
    Target sqlite;
    sqlite.name = QStringLiteral("SQLite");
    sqlite.sqlitePath = QStringLiteral("-");   // a file in the run's own folder
    int rc = runTarget(app.applicationFilePath(), sqlite, contracts, lines);
    if (qEnvironmentVariableIsSet("CGSYS_PG_HOST")) {
        Target pg;
        pg.name = QStringLiteral("PostgreSQL");
        pg.host = qEnvironmentVariable("CGSYS_PG_HOST");
        pg.port = qEnvironmentVariable("CGSYS_PG_PORT", QStringLiteral("5432")).toInt();
        pg.user = qEnvironmentVariable("CGSYS_PG_USER");
        pg.password = qEnvironmentVariable("CGSYS_PG_PASSWORD");
        rc |= runTarget(app.applicationFilePath(), pg, contracts, lines);
    } else {
        std::printf("PostgreSQL: not run (CGSYS_PG_HOST is not set)\n");
    }
    return rc;
}
