// Figures for the contract numbering and the import on the embedded
// database, with a contract table of a year and more (1,000,000 lines by
// default, two numbering styles mixed as the set-up and the clerks make
// them):
//   - the next number: the newest line and indexed lookups, beside the
//     former read of every number;
//   - storing 10,000 imported rows (batched checks on the sub-number index,
//     each batch with its log rows in one unit), beside the former way (a
//     unit per row and a scan per sub-number, the log row after it),
//     measured on fewer rows and scaled.
//
//   build/bench/bench_record [contract-lines [import-rows [former-rows]]]
#include "bench_util.h"
#include "contracts/ContractImport.h"
#include "contracts/ContractRecord.h"
#include "data/Context.h"
#include "data/Db.h"
#include "data/OperationLog.h"
#include "data/Schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>

using namespace cg;

namespace {

bool fill(DbConnection &db, int lines)
{
    return inTransaction(db, [&] {
        return db.execute(QStringLiteral(
                   "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<?) "
                   "INSERT INTO htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
                   "制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,第四次付款,剩余尾款,税率) "
                   "SELECT '已审核', 'KQLM' || printf('%07d', x / 3), 'KQLM' || printf('%07d', x / 3) || (50 + 2 * (x % 3 + 1)), "
                   "'申请人' || (x % 40), '部门' || (x % 12), '采购员' || (x % 9), '供应商' || (x % 700) || '有限公司', "
                   "'产品型号' || (x % 5000), x % 10 + 1, '台', '2026-01-01', '2026-01-01', '2026-12-31', "
                   "(x % 997) * 100 || '.00', '月结', '1000', '500', '0', '0', '0', '13%' FROM c"),
                          {lines})
            && db.execute(QStringLiteral("ANALYZE"));
    });
}

// The former next number: every number of the table read, in id order.
QString formerNextNumber(DbConnection &db, ContractStore &store)
{
    QSet<QString> taken;
    QString last;
    Recordset rs(db);
    if (rs.open(QStringLiteral("select 合同编号 from htb1 order by id")))
        for (; !rs.eof(); rs.moveNext()) {
            last = rs.text(0);
            taken.insert(last);
        }
    const qint64 base = last.right(4).toLongLong();
    for (qint64 k = 1;; ++k) {
        const QString candidate = store.prefix() + QString::asprintf("%04lld", base + k);
        if (!taken.contains(candidate) && !store.numberExists(candidate))
            return candidate;
    }
}

QList<QStringList> importRows(int count, int from)
{
    QList<QStringList> rows;
    for (int i = 0; i < count; ++i) {
        const QString number = QStringLiteral("IMP%1").arg(from + i / 2, 7, 10, QLatin1Char('0'));
        rows << QStringList{QStringLiteral("未审核"), number, LineSubNumber(number, i % 2 + 1), QStringLiteral("张三"),
                            QStringLiteral("采购部"), QStringLiteral("李四"), QStringLiteral("华东机电有限公司"),
                            QStringLiteral("数控车床刀具 %1").arg(i), QStringLiteral("20"), QStringLiteral("套"),
                            QStringLiteral("2026-03-01"), QStringLiteral("2026-03-05"), QStringLiteral("2027-03-04"),
                            QStringLiteral("12000"), QStringLiteral("月结30天"), QStringLiteral("6000"),
                            QStringLiteral("3000"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("3000"),
                            QStringLiteral("13%")};
    }
    return rows;
}

// The former import: a unit per row with a check on an unindexed column,
// the log row written after the unit.
int formerImport(DbConnection &db, const LoginContext &login, const QList<QStringList> &rows)
{
    ContractStore store(db, login.contractTable, login.accountSetName);
    int stored = 0;
    for (const QStringList &cells : rows) {
        const ContractRow row = ContractImport::rowOf(cells);
        const bool ok = inTransaction(db, [&] {
            bool asked = false;
            return !store.subNumberExistsForInsert(row.subNumber, &asked) && asked && store.insertRow(row);
        });
        if (!ok)
            break;
        ++stored;
        WriteLogEntry(db, login.userName, QStringLiteral("操作"), ContractImport::logDescription(cells),
                      QStringLiteral("合同导入"));
    }
    return stored;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int imported = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int former = argc > 3 ? std::atoi(argv[3]) : 100;
    QTemporaryDir dir;
    DbConnection db(QStringLiteral("bench"));
    QElapsedTimer t;
    t.start();
    if (!db.openSqlite(dir.filePath(QStringLiteral("r.db"))) || !Schema::initialise(db, 2026)
        || !db.execute(QStringLiteral("update ztb set 合同编号='KQLM'")) || !fill(db, lines)) {
        std::fprintf(stderr, "cannot build the table: %s\n", qPrintable(db.lastError()));
        return 1;
    }
    std::printf("table: %d lines (with its indexes) in %lld ms\n", lines, t.elapsed());

    LoginContext login;
    login.userName = QStringLiteral("admin");
    login.contractTable = QStringLiteral("htb1");
    Recordset rs(db);
    if (!rs.open(QStringLiteral("select 账套名 from ztb")) || rs.eof())
        return 1;
    login.accountSetName = rs.text(0);
    ContractStore store(db, login.contractTable, login.accountSetName);

    const int calls = 200;
    QString next;
    t.restart();
    for (int i = 0; i < calls; ++i)
        next = store.nextNumber();
    const double nowMs = double(t.nsecsElapsed()) / 1e6 / calls;
    t.restart();
    const QString formerNext = formerNextNumber(db, store);
    const double formerMs = double(t.nsecsElapsed()) / 1e6;
    std::printf("next number %s: %.3f ms a call (mean of %d); former read of every number: %.1f ms (%s)\n",
                qPrintable(next), nowMs, calls, formerMs, qPrintable(formerNext));

    ContractImport import(db, login);
    t.restart();
    const ContractImport::Result r = import.save(importRows(imported, 0));
    const qint64 importMs = t.elapsed();
    std::printf("import: %d of %d rows into %d lines in %lld ms (%.3f ms a row), peak %ld kB\n", r.stored, imported,
                lines, importMs, double(importMs) / qMax(1, imported), bench::peakRssKb());
    if (r.stored != imported)
        return 1;

    // The former way has no index on 合同子编号.
    if (former > 0) {
        if (!db.execute(QStringLiteral("drop index ") + Schema::contractSubNumberIndexName(QStringLiteral("htb1"))))
            return 1;
        t.restart();
        const int stored = formerImport(db, login, importRows(former, 5000000));
        const double perRow = double(t.nsecsElapsed()) / 1e6 / qMax(1, stored);
        std::printf("former import: %d rows at %.2f ms a row, %.1f s for %d rows\n", stored, perRow,
                    perRow * imported / 1000, imported);
    }
    return 0;
}
