// The contract query's filter on a busy year and on ten such years: the
// statement, the grouping into head and continuation rows, and the list
// model, as the query window runs them. Prints the times, their ratio and
// the peak memory of each size (each size in a process of its own).
#include "bench_util.h"
#include "contracts/ContractQuery.h"
#include "contracts/ContractQueryModel.h"
#include "data/Db.h"
#include "data/Schema.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

using namespace cg;

namespace {


// lines lines in lines*3/10 contracts; every contract's lines stand apart
// (the lines of one contract were entered over time, between others).
// Every fourth contract carries a small PDF on its first line.
bool fill(DbConnection &db, int lines)
{
    const int contracts = lines * 3 / 10;
    return db.execute(QStringLiteral(
               "WITH RECURSIVE c(x) AS (SELECT 0 UNION ALL SELECT x+1 FROM c WHERE x<?-1) "
               "INSERT INTO htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
               "制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,第四次付款,剩余尾款,税率) "
               "SELECT case when x%7=0 then '未审核' else '已审核' end, 'KQLM'||printf('%07d',x%?), "
               "'KQLM'||printf('%07d',x%?)||(50+2*(x/?)), '张三','采购部','李四','宏达五金有限公司', "
               "'产品'||x,'10','台', date('2026-01-01', '+'||(x%365)||' days'),'2026-01-01','2027-12-31', "
               "'10000','月结30天','3000','2000','0','0','5000','13%' FROM c"),
                      {lines, contracts, contracts, contracts})
        && db.execute(QStringLiteral("UPDATE htb1 SET 附件=randomblob(200) WHERE id<=? AND id%4=1"), {contracts});
}

int runSize(int lines)
{
    QTemporaryDir dir;
    DbConnection db(QStringLiteral("bench"));
    if (!db.openSqlite(dir.filePath(QStringLiteral("q.db"))) || !Schema::initialise(db, 2026) || !fill(db, lines)) {
        std::fprintf(stderr, "set-up failed: %s\n", qPrintable(db.lastError()));
        return 1;
    }
    const long before = bench::peakRssKb();
    // The best of three, the machine being shared; the first is printed too.
    ContractQuery q(db, QStringLiteral("htb1"));
    const Filter f = q.buildFilter({QDate(2026, 1, 1), QDate(2026, 12, 31), QString(), QString()});
    ContractListModel model;
    qint64 best = -1, bestRead = 0, bestCpu = 0, first = 0;
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        const qint64 cpu0 = bench::cpuMs();
        ListLines read;
        if (!q.read(f, read))
            return 1;
        const qint64 readMs = t.elapsed();
        model.setLines(std::move(read));
        const qint64 total = t.elapsed();
        if (round == 0)
            first = total;
        if (best < 0 || total < best) {
            best = total;
            bestRead = readMs;
            bestCpu = bench::cpuMs() - cpu0;
        }
    }
    std::printf("%d lines: %d rows, %d contracts, filter %lld ms (read %lld ms, group and model %lld ms; "
                "cpu %lld ms; first of three %lld ms), peak +%ld MB\n",
                lines, model.rowCount(), model.contractCount(), best, bestRead, best - bestRead, bestCpu, first,
                (bench::peakRssKb() - before) / 1024);
    std::fflush(stdout);

    QElapsedTimer t;
    // What follows the filter, not part of it: a screen far down the list,
    // a find in a column the list has not read, and every cell row by row
    // as an export reads them.
    t.start();
    int chars = 0;
    for (int r = model.rowCount() / 2; r < model.rowCount() / 2 + 40; ++r)
        for (int c = 0; c < ListColumn::Count; ++c)
            chars += int(model.cell(r, c).size());
    const qint64 screenMs = t.elapsed();
    t.restart();
    const int found = int(model.highlightMatching(ListColumn::Product, QStringLiteral("产品9")).size());
    const qint64 findMs = t.elapsed();
    t.restart();
    for (int r = 0; r < model.rowCount(); ++r)
        for (int c = 0; c < ListColumn::Count; ++c)
            chars += int(model.cell(r, c).size());
    const qint64 walkMs = t.elapsed();
    std::printf("  then: a screen in the middle %lld ms, find in 产品 %lld ms (%d rows), every cell %lld ms "
                "(%d characters), peak +%ld MB\n",
                screenMs, findMs, found, walkMs, chars, (bench::peakRssKb() - before) / 1024);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() > 2 && args.at(1) == QLatin1String("--size"))
        return runSize(args.at(2).toInt());
    const int small = args.size() > 1 ? args.at(1).toInt() : 100000;
    qint64 ms[2] = {0, 0};
    qint64 cpu[2] = {0, 0};
    int i = 0;
    for (int lines : {small, small * 10}) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(app.applicationFilePath(), {QStringLiteral("--size"), QString::number(lines)});
        p.waitForFinished(-1);
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        std::printf("%s", qPrintable(out));
        const int at = out.indexOf(QStringLiteral("filter "));
        const int cpuAt = out.indexOf(QStringLiteral("cpu "));
        cpu[i] = out.mid(cpuAt + 4).section(u' ', 0, 0).toLongLong();
        ms[i++] = out.mid(at + 7).section(u' ', 0, 0).toLongLong();
    }
    if (ms[0] > 0)
        std::printf("ratio (10x lines): %.2fx the time, %.2fx the cpu time\n", double(ms[1]) / double(ms[0]),
                    cpu[0] > 0 ? double(cpu[1]) / double(cpu[0]) : 0.0);
    return 0;
}
