// Figures for the big lists on the embedded database: 100,000 contract
// lines (a contract table as the set-up creates it) and 1,000,000 log rows,
// read through the row store (full load, first page and paging, filtered
// and ordered in SQL) beside the old recordset. Each case runs in a fresh
// child process, so its peak memory (VmHWM) is its own.
//
//   build/bench/bench_tables [contract-lines [log-rows]]
#include "bench_util.h"
#include "data/Db.h"
#include "data/RowStore.h"
#include "data/RowTableModel.h"
#include "data/Schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <functional>

using namespace cg;

namespace {


const char *kContractColumns =
    "id,单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,制单日期,生效日期,"
    "失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,第四次付款,剩余尾款,税率";
const char *kLogColumns = "id,过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址";

bool build(DbConnection &db, int contracts, int logRows)
{
    if (!Schema::initialise(db, 2026))
        return false;
    return inTransaction(db, [&] {
        return db.execute(QStringLiteral(
                   "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<?) "
                   "INSERT INTO htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
                   "制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,税率) "
                   "SELECT CASE WHEN x % 4 = 0 THEN '已审核' ELSE '未审核' END, "
                   "'KQLM2026' || printf('%06d', x / 3), 'KQLM2026' || printf('%06d', x / 3) || '-' || (x % 3 + 1), "
                   "'申请人' || (x % 40), '部门' || (x % 12), '采购员' || (x % 9), '供应商' || (x % 700) || '有限公司', "
                   "'产品型号' || (x % 5000), x % 10 + 1, '台', "
                   "date('2026-01-01', '+' || (x % 365) || ' days'), '2026-01-01', '2026-12-31', "
                   "(x % 997) * 100 || '.00', '月结', '1000', '500', '13%' FROM c"),
                          {contracts})
            && db.execute(QStringLiteral(
                   "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<?) "
                   "INSERT INTO rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
                   "SELECT date('2025-01-01', '+' || (x * 730 / ?) || ' days') AS d, "
                   "date('2025-01-01', '+' || (x * 730 / ?) || ' days') || ' 08:00:00', 'user' || (x % 20), "
                   "CASE x % 3 WHEN 0 THEN '合同录入' WHEN 1 THEN '合同查询' ELSE '基础资料' END, '操作', "
                   "'合同录入成功：KQLM2026' || printf('%06d', x % 99991) || '|采购部|供应商' || (x % 700), "
                   "'工作站-' || (x % 30), '192.168.1.' || (x % 250) FROM c"),
                   {logRows, logRows, logRows})
            && db.execute(QStringLiteral("ANALYZE"));
    });
}

struct Result {
    int rows = 0;
    QString note;
};

using Case = std::function<Result(DbConnection &)>;

QList<QPair<const char *, Case>> cases()
{
    const QString contractsAll = QStringLiteral("select ") + QString::fromUtf8(kContractColumns)
        + QStringLiteral(" from htb1 order by id desc");
    const QString logAll = QStringLiteral("select ") + QString::fromUtf8(kLogColumns) + QStringLiteral(" from rzb order by id desc");
    const QString logWhere = QStringLiteral("过滤日期>=? and 过滤日期<=? and 内容描述 LIKE ?");
    const QVariantList logParams = {QStringLiteral("2025-03-01"), QStringLiteral("2025-08-31"), QStringLiteral("%KQLM2026000%")};

    QList<QPair<const char *, Case>> out;
    out << qMakePair("idle (connection open)", Case([](DbConnection &) { return Result{}; }));

    out << qMakePair("contracts: store, full load", Case([=](DbConnection &db) {
        RowStore store;
        if (!QueryReader::readAll(db, contractsAll, {}, &store))
            return Result{-1, db.lastError()};
        return Result{store.rowCount(), QStringLiteral("cells %1 MB allocated").arg(store.bytes() >> 20)};
    }));
    out << qMakePair("contracts: recordset, full load", Case([=](DbConnection &db) {
        Recordset rs(db);
        if (!rs.open(contractsAll))
            std::fprintf(stderr, "query failed\n");
        return Result{rs.recordCount(), rs.recordCount() < 0 ? db.lastError() : QString()};
    }));
    out << qMakePair("contracts: store, LIKE + order in SQL", Case([](DbConnection &db) {
        RowStore store;
        if (!QueryReader::readAll(db,
                                  QStringLiteral("select ") + QString::fromUtf8(kContractColumns)
                                      + QStringLiteral(" from htb1 where 产品 LIKE ? and 单据状态=? order by 制单日期 desc, id"),
                                  {QStringLiteral("%型号12%"), QStringLiteral("未审核")}, &store))
            return Result{-1, db.lastError()};
        return Result{store.rowCount(), {}};
    }));
    out << qMakePair("contracts: recordset, open + filter", Case([=](DbConnection &db) {
        Recordset rs(db);
        if (!rs.open(contractsAll))
            std::fprintf(stderr, "query failed\n");
        rs.setFilter(QStringLiteral("产品 LIKE '*型号12*' AND 单据状态='未审核'"));
        return Result{rs.recordCount(), {}};
    }));
    out << qMakePair("contracts: store, one number (index)", Case([](DbConnection &db) {
        RowStore store;
        if (!QueryReader::readAll(db, QStringLiteral("select * from htb1 where 合同编号=?"),
                                  {QStringLiteral("KQLM2026012345")}, &store))
            return Result{-1, db.lastError()};
        return Result{store.rowCount(), {}};
    }));

    out << qMakePair("log: model, first page of 1000", Case([](DbConnection &db) {
        RowTableModel model;
        model.setSource(std::make_unique<KeysetReader>(
                            db, KeysetQuery{QString::fromUtf8(kLogColumns), QStringLiteral("rzb"), {}, {}}),
                        1000);
        return Result{model.lastError().isEmpty() ? model.rowCount() : -1, model.lastError()};
    }));
    out << qMakePair("log: model, page through all", Case([](DbConnection &db) {
        RowTableModel model;
        model.setSource(std::make_unique<KeysetReader>(
                            db, KeysetQuery{QString::fromUtf8(kLogColumns), QStringLiteral("rzb"), {}, {}}),
                        1000);
        int pages = 1;
        while (model.canFetchMore({})) {
            model.fetchMore({});
            ++pages;
        }
        if (!model.lastError().isEmpty())
            return Result{-1, model.lastError()};
        return Result{model.rowCount(), QStringLiteral("%1 pages, cells %2 MB allocated").arg(pages).arg(model.store().bytes() >> 20)};
    }));
    out << qMakePair("log: model, filtered first page", Case([=](DbConnection &db) {
        RowTableModel model;
        model.setSource(std::make_unique<KeysetReader>(
                            db, KeysetQuery{QString::fromUtf8(kLogColumns), QStringLiteral("rzb"), logWhere, logParams}),
                        1000);
        return Result{model.lastError().isEmpty() ? model.rowCount() : -1, model.lastError()};
    }));
    out << qMakePair("log: model, filtered, all pages", Case([=](DbConnection &db) {
        RowTableModel model;
        model.setSource(std::make_unique<KeysetReader>(
                            db, KeysetQuery{QString::fromUtf8(kLogColumns), QStringLiteral("rzb"), logWhere, logParams}),
                        1000);
        while (model.canFetchMore({}))
            model.fetchMore({});
        return Result{model.lastError().isEmpty() ? model.rowCount() : -1, model.lastError()};
    }));
    out << qMakePair("log: store, full load", Case([=](DbConnection &db) {
        RowStore store;
        if (!QueryReader::readAll(db, logAll, {}, &store))
            return Result{-1, db.lastError()};
        return Result{store.rowCount(), QStringLiteral("cells %1 MB allocated").arg(store.bytes() >> 20)};
    }));
    out << qMakePair("log: recordset, full load", Case([=](DbConnection &db) {
        Recordset rs(db);
        if (!rs.open(logAll))
            std::fprintf(stderr, "query failed\n");
        return Result{rs.recordCount(), rs.recordCount() < 0 ? db.lastError() : QString()};
    }));
    out << qMakePair("log: recordset, open + filter", Case([=](DbConnection &db) {
        Recordset rs(db);
        if (!rs.open(logAll))
            std::fprintf(stderr, "query failed\n");
        rs.setFilter(QStringLiteral("过滤日期>='2025-03-01' AND 过滤日期<='2025-08-31' AND 内容描述 LIKE '*KQLM2026000*'"));
        return Result{rs.recordCount(), {}};
    }));
    return out;
}

int runCase(int index, const QString &file)
{
    QLoggingCategory::setFilterRules(QStringLiteral("cgsys.db.warning=false"));
    DbConnection db(QStringLiteral("bench"));
    if (!db.openSqlite(file))
        return 1;
    const auto all = cases();
    const long before = bench::peakRssKb();
    QElapsedTimer clock;
    clock.start();
    const Result r = all.at(index).second(db);
    const qint64 ms = clock.elapsed();
    const long after = bench::peakRssKb();
    std::printf("%-40s %7lld ms %9d rows   peak %5ld MB (+%4ld MB)  %s\n", all.at(index).first, ms, r.rows,
                after >> 10, (after - before) >> 10, qPrintable(r.note));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--case") == 0)
        return runCase(std::atoi(argv[2]), QString::fromLocal8Bit(argv[3]));

    const int contracts = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int logRows = argc > 2 ? std::atoi(argv[2]) : 1000000;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("bench.db"));
    {
        DbConnection db(QStringLiteral("setup"));
        QElapsedTimer clock;
        clock.start();
        if (!db.openSqlite(file) || !build(db, contracts, logRows)) {
            std::fprintf(stderr, "setup failed: %s\n", qPrintable(db.lastError()));
            return 1;
        }
        std::printf("setup: %d contract lines, %d log rows in %lld ms\n\n", contracts, logRows, clock.elapsed());
        std::fflush(stdout);
    }
    for (int i = 0; i < cases().size(); ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--case"), QString::number(i), file});
        child.waitForFinished(-1);
    }
    return 0;
}
