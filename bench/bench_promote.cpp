// Moving an embedded database to the PostgreSQL test cluster (CGSYS_PG_*):
// contract lines with 1 MB attachments, copied, identities set and verified.
// Prints the time, lines per second and the peak memory for a small and a
// large database in one process, so a peak that grows with the rows shows.
//
//   bench_promote [lines [attachments]]     (default 100000 and 100)
#include "bench_util.h"
#include "data/DatabaseCopy.h"
#include "data/Db.h"
#include "data/Schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>

using namespace cg;

namespace {

QString env(const char *name, const char *fallback = "") { return qEnvironmentVariable(name, QString::fromLatin1(fallback)); }

bool onCluster(const QString &sql)
{
    bool ok;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("bench-maintenance"));
        db.setHostName(env("CGSYS_PG_HOST"));
        db.setPort(env("CGSYS_PG_PORT", "5432").toInt());
        db.setUserName(env("CGSYS_PG_USER"));
        db.setPassword(env("CGSYS_PG_PASSWORD"));
        db.setDatabaseName(QStringLiteral("postgres"));
        ok = db.open() && QSqlQuery(db).exec(sql);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-maintenance"));
    return ok;
}

bool fill(DbConnection &db, int lines, int attachments)
{
    if (!Schema::initialise(db, 2035))
        return false;
    QSqlDatabase d = db.database();
    d.transaction();
    QSqlQuery q(d);
    q.prepare(QStringLiteral(
        "insert into htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
        "制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,第四次付款,剩余尾款,税率) "
        "values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    for (int i = 0; i < lines; ++i) {
        const QString number = QStringLiteral("KQLM%1").arg(i / 3, 6, 10, QLatin1Char('0'));
        const QString date = QDate(2030, 1, 1).addDays(i % 3000).toString(QStringLiteral("yyyy-MM-dd"));
        for (const QVariant &v : QVariantList{QStringLiteral("未审核"), number, number + QString::number(52 + 2 * (i % 3)),
                                              QStringLiteral("张三"), QStringLiteral("采购部"), QStringLiteral("李四"),
                                              QStringLiteral("华东机电设备有限公司"),
                                              QStringLiteral("数控车床 CK6140 配件 %1 号").arg(i), QStringLiteral("2"),
                                              QStringLiteral("台"), date, date, date, QStringLiteral("120000.00"),
                                              QStringLiteral("月结 30 天"), QStringLiteral("40000"),
                                              QStringLiteral("40000"), QString(""), QString(""),
                                              QStringLiteral("40000"), QStringLiteral("13%")})
            q.addBindValue(v);
        if (!q.exec())
            return false;
    }
    q.prepare(QStringLiteral("update htb1 set 附件=? where id=?"));
    const int step = attachments > 0 ? qMax(1, lines / attachments) : 1;
    for (int a = 0; a < attachments; ++a) {
        QByteArray bytes(1024 * 1024, Qt::Uninitialized);
        QRandomGenerator(a + 1).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        q.addBindValue(bytes);
        q.addBindValue(1 + a * step);
        if (!q.exec())
            return false;
    }
    return d.commit();
}

bool runOnce(int lines, int attachments, int serial)
{
    QTemporaryDir dir;
    DbConnection source(QStringLiteral("bench-source-%1").arg(serial));
    if (!source.openSqlite(dir.path() + QStringLiteral("/cgsys.db")) || !fill(source, lines, attachments)) {
        std::fprintf(stderr, "cannot build the source: %s\n", qPrintable(source.lastError()));
        return false;
    }
    const QString name = QStringLiteral("bench_promote_%1_%2").arg(QCoreApplication::applicationPid()).arg(serial);
    if (!onCluster(QStringLiteral("create database ") + name)) {
        std::fprintf(stderr, "cannot create database %s on the cluster\n", qPrintable(name));
        return false;
    }
    bool ok;
    {
        DbConnection target(QStringLiteral("bench-target-%1").arg(serial));
        ok = target.openPostgreSql(env("CGSYS_PG_HOST"), env("CGSYS_PG_PORT", "5432").toInt(), name, env("CGSYS_PG_USER"),
                                   env("CGSYS_PG_PASSWORD"));
        if (ok) {
            DatabaseCopy copy(source, target);
            QElapsedTimer timer;
            timer.start();
            const DatabaseCopy::Outcome outcome = copy.run(2035);
            const double seconds = timer.nsecsElapsed() / 1e9;
            ok = outcome == DatabaseCopy::Outcome::Verified;
            std::printf("%7d lines, %3d x 1 MB attachments: %s in %.2f s (copy and verification), %.0f lines/s, "
                        "peak memory %ld MB\n",
                        lines, attachments, ok ? "verified" : qPrintable(copy.message()), seconds, lines / seconds,
                        bench::peakRssKb() / 1024);
            std::fflush(stdout);
        }
        target.close();
    }
    onCluster(QStringLiteral("drop database if exists ") + name + QStringLiteral(" with (force)"));
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (env("CGSYS_PG_HOST").isEmpty()) {
        std::fputs("set CGSYS_PG_HOST, CGSYS_PG_PORT, CGSYS_PG_USER and CGSYS_PG_PASSWORD (tools/pg-cluster.sh start DIR)\n",
                   stderr);
        return 2;
    }
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int attachments = argc > 2 ? std::atoi(argv[2]) : 100;
    // A tenth first: the peak after the large run should not be far above it.
    const bool ok = runOnce(qMax(1, lines / 10), attachments, 1) && runOnce(lines, attachments, 2);
    return ok ? 0 : 1;
}
