// Large lists: statements read into a row store, a page at a time or at
// once, and shown through a table model.
#include "data/Db.h"
#include "data/RowStore.h"
#include "data/RowTableModel.h"
#include "support/TestEnv.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

using namespace cg;

namespace {

// rzb rows 1..count: 用户 u0/u1/u2 in turn, 过滤日期 over 28 days.
void fillLog(DbConnection &db, int count)
{
    QVERIFY(db.execute(QStringLiteral(
                           "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<?) "
                           "INSERT INTO rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
                           "SELECT '2026-01-' || case when x % 28 < 9 then '0' else '' end || (x % 28 + 1), '2026-01-01 08:00:00', "
                           "'u' || (x % 3), "
                           "'合同录入', '操作', '第' || x || '条', 'pc', '127.0.0.1' FROM c"),
                       {count}));
}

QStringList column(const RowStore &store, int col)
{
    QStringList out;
    for (int r = 0; r < store.rowCount(); ++r)
        out << store.text(r, col);
    return out;
}

const QString kLogFilter = QStringLiteral("用户=? and 过滤日期<=?");
const QVariantList kLogParams = {QStringLiteral("u1"), QStringLiteral("2026-01-20")};

QStringList expectedIds(DbConnection &db, const char *order)
{
    RowStore all;
    if (!QueryReader::readAll(db, QStringLiteral("select id from rzb where ") + kLogFilter + QStringLiteral(" order by id ")
                                  + QLatin1String(order),
                              kLogParams, &all))
        return {};
    return column(all, 0);
}

} // namespace

class TstRowStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fullLoadReadsWhatARecordsetReads();
    void cursorReadsWhatARecordsetReads();
    void keysetPagesReadEveryRowOnceInOrder();
    void modelFetchesPagesAsTheViewAsks();
    void failuresAreReported();
    void storeFilledOnAWorkerThread();
};

void TstRowStore::fullLoadReadsWhatARecordsetReads()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    for (int i = 1; i <= 3; ++i)
        QVERIFY(db.execute(QStringLiteral(
                               "insert into htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,"
                               "计量单位,制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,税率,附件) values('未审核',"
                               "?,?,'甲','乙','丙','丁','产品',2,'台',?,'2026-03-01','2026-12-31','1,000.50',"
                               "'月结',?,'13%',?)"),
                           {QStringLiteral("KQLM00%1").arg(i), QStringLiteral("KQLM00%1-1").arg(i), QStringLiteral("2026-03-0%1").arg(i),
                            i == 2 ? QVariant() : QVariant(QStringLiteral("500")), QByteArray("%PDF\0\1", 6)}));
    fillLog(db, 500);
    const QList<QPair<QString, QVariantList>> statements = {
        {QStringLiteral("select id,合同编号,制单日期,设备数量,第一次付款,合同金额 from htb1 order by id desc"), {}},
        {QStringLiteral("select top 50 * from rzb where ") + kLogFilter + QStringLiteral(" order by 过滤日期 desc, id"),
         kLogParams},
    };
    for (const auto &[sql, params] : statements) {
        RowStore store;
        QVERIFY(QueryReader::readAll(db, sql, params, &store));
        Recordset rs(db);
        QVERIFY(rs.open(sql, params));
        QCOMPARE(store.rowCount(), rs.recordCount());
        QCOMPARE(store.columnCount(), rs.columnCount());
        for (int r = 0; !rs.eof(); rs.moveNext(), ++r) {
            QCOMPARE(store.columns().value(0), rs.columnName(0));
            for (int c = 0; c < rs.columnCount(); ++c)
                QCOMPARE(store.text(r, c), rs.text(c));
        }
    }
    // Attachments are not kept; a missing instalment is empty.
    RowStore contracts;
    QVERIFY(QueryReader::readAll(db, QStringLiteral("select 附件,第一次付款 from htb1 where 合同编号=?"),
                                 {QStringLiteral("KQLM002")}, &contracts));
    QCOMPARE(contracts.rowCount(), 1);
    QCOMPARE(contracts.text(0, 0), QString());
    QCOMPARE(contracts.text(0, 1), QString());
    QCOMPARE(contracts.text(5, 5), QString());
}

void TstRowStore::cursorReadsWhatARecordsetReads()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    // Plain ASCII, Chinese and mixed texts, a number in a text column, a
    // missing value, bytes, and values of other types.
    const QStringList numbers = {QStringLiteral("KQLM0001"), QStringLiteral("合同甲"), QStringLiteral("KQ-乙2"),
                                 QStringLiteral("123"), QString(QLatin1String(""))};
    for (int i = 0; i < numbers.size(); ++i)
        QVERIFY(db.execute(QStringLiteral(
                               "insert into htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,"
                               "计量单位,制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,税率,附件) values('未审核',"
                               "?,'-','甲','乙','丙','丁','产品',?,'台',?,'2026-03-01','2026-12-31','1,000.50',"
                               "'月结',?,'13%',?)"),
                           {numbers.at(i), i, QDate(2026, 3, 1 + i), i % 2 ? QVariant() : QVariant(QStringLiteral("5")),
                            i == 1 ? QVariant(QByteArray("%PDF")) : QVariant()}));
    const QString sql = QStringLiteral("select id,合同编号,设备数量,制单日期,第一次付款,附件,id*2,id*1.5,申请人 from htb1 "
                                       "where 制单日期>=? and 设备数量<>? order by id desc");
    const QVariantList params = {QDate(2026, 3, 2), QStringLiteral("3")};
    Recordset rs(db);
    QVERIFY(rs.open(sql, params));
    RowCursor cursor(db);
    QVERIFY(cursor.open(sql, params));
    int rows = 0;
    for (; !rs.eof(); rs.moveNext(), ++rows) {
        QVERIFY(cursor.next());
        QCOMPARE(cursor.integer(0), rs.number(0));
        for (int c = 0; c < rs.columnCount(); ++c)
            QCOMPARE(cursor.text(c), rs.text(c));
        QString appended = QStringLiteral("x");
        cursor.appendText(1, appended);
        QCOMPARE(appended, QStringLiteral("x") + rs.text(1));
    }
    QCOMPARE(rows, 3);
    QVERIFY(!cursor.next());
    QVERIFY(!cursor.failed());
    QVERIFY(!cursor.next());

    // A statement that cannot run is reported as any other.
    RowCursor bad(db);
    QVERIFY(!bad.open(QStringLiteral("select nothing from htb1")));
    QVERIFY(bad.failed());
    QVERIFY(bad.lastError().contains(QLatin1String("nothing")));
    QCOMPARE(db.lastError(), bad.lastError());
    QVERIFY(!bad.next());
}

void TstRowStore::keysetPagesReadEveryRowOnceInOrder()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    fillLog(db, 2345);
    for (const bool descending : {true, false}) {
        KeysetQuery query{QStringLiteral("id,用户,过滤日期"), QStringLiteral("rzb"), kLogFilter, kLogParams,
                          QStringLiteral("id"), descending};
        const QStringList expected = expectedIds(db, descending ? "desc" : "asc");
        QVERIFY(expected.size() > 500);
        KeysetReader reader(db, query);
        RowStore store;
        int pages = 0;
        while (!reader.atEnd()) {
            QVERIFY(reader.fetch(store, 100) >= 0);
            ++pages;
            if (pages == 1) {
                QCOMPARE(reader.pageSql(100),
                         QStringLiteral("select top 100 id,用户,过滤日期 from rzb where (用户=? and 过滤日期<=?) and id ")
                             + (descending ? QStringLiteral("< ? order by id desc") : QStringLiteral("> ? order by id asc")));
                // Nothing stays open between pages: the connection writes.
                QVERIFY(inTransaction(db, [&] {
                    return db.execute(QStringLiteral("insert into rzb(过滤日期,用户) values('2026-01-01','u9')"));
                }));
            }
        }
        QCOMPARE(column(store, 0), expected);
        QCOMPARE(pages, int(expected.size() / 100 + 1));
        QCOMPARE(column(store, 1), QStringList(expected.size(), QStringLiteral("u1")));
    }

    // A page that ends exactly at the last row: the next one is empty.
    KeysetReader exact(db, {QStringLiteral("id"), QStringLiteral("rzb"), kLogFilter, kLogParams});
    RowStore store;
    const int total = int(expectedIds(db, "desc").size());
    QCOMPARE(exact.fetch(store, total), total);
    QVERIFY(!exact.atEnd());
    QCOMPARE(exact.fetch(store, total), 0);
    QVERIFY(exact.atEnd());
    QCOMPARE(store.rowCount(), total);
}

void TstRowStore::modelFetchesPagesAsTheViewAsks()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    fillLog(db, 1234);
    RowTableModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QVERIFY(model.setSource(std::make_unique<KeysetReader>(
                                db, KeysetQuery{QStringLiteral("id,用户,内容描述"), QStringLiteral("rzb"), {}, {}}),
                            500));
    QCOMPARE(model.rowCount(), 500);
    QCOMPARE(model.columnCount(), 3);
    QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("1234"));
    QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("第1234条"));
    QVERIFY(model.canFetchMore({}));
    model.fetchMore({});
    QCOMPARE(model.rowCount(), 1000);
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(inserted.at(0).at(1).toInt(), 500);
    QCOMPARE(inserted.at(0).at(2).toInt(), 999);
    while (model.canFetchMore({}))
        model.fetchMore({});
    QCOMPARE(model.rowCount(), 1234);
    QCOMPARE(model.data(model.index(1233, 0)).toString(), QStringLiteral("1"));

    // Headers: the column names until labels are set; an empty label keeps the name.
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("用户"));
    QSignalSpy headers(&model, &QAbstractItemModel::headerDataChanged);
    model.setHeaderLabels({QStringLiteral("序号"), QString(), QStringLiteral("描述")});
    QCOMPARE(headers.size(), 1);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("序号"));
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("用户"));
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("描述"));

    // A statement kept open and read in batches gives the same rows.
    auto reader = std::make_unique<QueryReader>(db);
    QVERIFY(reader->open(QStringLiteral("select id,用户,内容描述 from rzb order by id desc")));
    QVERIFY(model.setSource(std::move(reader), 300));
    QCOMPARE(model.rowCount(), 300);
    while (model.canFetchMore({}))
        model.fetchMore({});
    QCOMPARE(model.rowCount(), 1234);
    QCOMPARE(model.text(1233, 2), QStringLiteral("第1条"));
}

void TstRowStore::failuresAreReported()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    RowTableModel model;
    QVERIFY(!model.setSource(std::make_unique<KeysetReader>(
        db, KeysetQuery{QStringLiteral("id"), QStringLiteral("no_such_table"), {}, {}})));
    QVERIFY(model.lastError().contains(QLatin1String("no_such_table")));
    QCOMPARE(model.rowCount(), 0);

    // Names are checked before they reach a statement.
    KeysetReader spliced(db, {QStringLiteral("id"), QStringLiteral("rzb; drop table yhb"), {}, {}});
    RowStore store;
    QCOMPARE(spliced.fetch(store, 10), -1);
    QVERIFY(db.tableExists(QStringLiteral("yhb")));

    fillLog(db, 3);
    KeysetReader noKey(db, {QStringLiteral("用户"), QStringLiteral("rzb"), {}, {}});
    QCOMPARE(noKey.fetch(store, 10), -1);
    QVERIFY(noKey.lastError().contains(QLatin1String("key")));

    QueryReader reader(db);
    QVERIFY(!reader.open(QStringLiteral("select nothing from rzb")));
    QCOMPARE(reader.fetch(store, 10), -1);
    QVERIFY(!reader.lastError().isEmpty());
}

void TstRowStore::storeFilledOnAWorkerThread()
{
    cgtest::TestEnv env;
    fillLog(env.db(), 3000);
    const QString sql = QStringLiteral("select id,过滤日期,用户 from rzb where ") + kLogFilter
        + QStringLiteral(" order by 过滤日期, id desc");
    RowStore filled;
    bool ok = false;
    // The worker has a connection of its own; the store is handed over.
    QThread *worker = QThread::create([&] {
        DbConnection own(QStringLiteral("worker"));
        ok = env.open(own) && QueryReader::readAll(own, sql, kLogParams, &filled);
    });
    worker->start();
    QVERIFY(worker->wait(60000));
    delete worker;
    QVERIFY(ok);

    RowStore here;
    QVERIFY(QueryReader::readAll(env.db(), sql, kLogParams, &here));
    RowTableModel model;
    model.setStore(filled);
    QCOMPARE(model.rowCount(), here.rowCount());
    for (int r = 0; r < here.rowCount(); r += 97)
        for (int c = 0; c < 3; ++c)
            QCOMPARE(model.text(r, c), here.text(r, c));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QVERIFY(model.appendRows(here));
    QCOMPARE(model.rowCount(), 2 * here.rowCount());
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(model.text(here.rowCount(), 0), here.text(0, 0));
    // Rows of another shape are refused.
    RowStore other({QStringLiteral("a")});
    other.appendRow({QStringLiteral("x")});
    QVERIFY(!model.appendRows(other));
    QCOMPARE(model.rowCount(), 2 * here.rowCount());
}

QTEST_MAIN(TstRowStore)
#include "tst_rowstore.moc"
