// Figures for a large operation log on the embedded database: writing
// entries, counting rows for the size check, and reading the whole table
// through a recordset.
//
//   build/bench/bench_log [rows]      (default 100000)
#include "bench_util.h"
#include "ui/Seams.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "data/Schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

using namespace cg;


int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    AppContext ctx(dir.path() + QStringLiteral("/wkd/"));
    HostInfo::setOverride(QStringLiteral("bench"), QStringLiteral("127.0.0.1"));
    DbConnection &db = ctx.db();
    if (!db.openSqlite(ctx.workFolder() + QStringLiteral("cgsys.db")) || !Schema::initialise(db, 2026))
        return 1;
    ctx.login.userName = QStringLiteral("admin");
    ctx.login.accountSetName = QStringLiteral("2026年度");

    QElapsedTimer t;
    t.start();
    const int single = 2000;
    for (int i = 0; i < single; ++i)
        WriteLogEntry(QStringLiteral("操作"), QStringLiteral("打开基础资料窗口"), QStringLiteral("基础资料"));
    std::printf("WriteLogEntry: %d entries in %lld ms (%.3f ms each)\n", single, t.elapsed(),
                double(t.elapsed()) / single);

    if (!db.execute(QStringLiteral(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<?) "
        "INSERT INTO rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
        "SELECT '2026-01-01','2026-01-01 08:00:00','admin','合同录入','操作','合同录入成功：KQLM2026001|…','pc','127.0.0.1' FROM c"),
               {rows - single}))
        std::fprintf(stderr, "query failed\n");

    t.restart();
    const int count = LogSizeCheck(db, QString()).rowCount();
    std::printf("LogRowCount: %d rows in %lld ms\n", count, t.elapsed());

    t.restart();
    Recordset rs(db);
    if (!rs.open(QStringLiteral("select * from rzb order by id desc")))
        std::fprintf(stderr, "query failed\n");
    std::printf("Recordset open of all rows: %d rows in %lld ms, peak memory %ld kB\n", rs.recordCount(),
                t.elapsed(), bench::peakRssKb());
    return 0;
}
