#include "data/Db.h"
#include "data/Password.h"
#include "data/Schema.h"
#include "data/SqlDialect.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QThread>
#include <QtTest>
#include <atomic>

using namespace cg;

class TstDb : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void hostileValuesRoundTrip();
    void statementsRunOnTheEmbeddedDatabase();
    void recordsetOperations();
    void transactionsAreUnits();
    void concurrentReadThenWriteUnitsDoNotFail();
    void sqlServerLiteralsAreNational();
    void passwordDigestIsMd5OfGbkBytes();
    void committedSetupScriptIsCurrent();
};

void TstDb::hostileValuesRoundTrip()
{
    cgtest::TestEnv env;
    const QStringList values = {QStringLiteral("O'Brien"), QStringLiteral("'); drop table yhb; --"),
                                QStringLiteral("张三")};
    for (const QString &v : values)
        QVERIFY(env.db().execute(QStringLiteral("insert into gysb(单据状态,名称) values('未审核',?)"), {v}));
    QCOMPARE(env.rows(QStringLiteral("select 名称 from gysb where 单据状态='未审核'")).size(), 3);
    for (const QString &v : values)
        QCOMPARE(env.rows(QStringLiteral("select 名称 from gysb where 名称=?"), {v}).value(0).value(0), v);
    QCOMPARE(env.rows(QStringLiteral("select 名称 from gysb where 名称 LIKE ?"), {QStringLiteral("%'Bri%")}).size(), 1);
    QVERIFY(env.db().tableExists(QStringLiteral("yhb")));
}

void TstDb::statementsRunOnTheEmbeddedDatabase()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    // The contract table statement as written for SQL Server.
    QVERIFY(db.execute(Schema::createContractTableSql(QStringLiteral("htb7"))));
    QVERIFY(db.tableExists(QStringLiteral("htb7")));
    QVERIFY(!db.tableExists(QStringLiteral("htb8")));
    const QString insert = QStringLiteral(
        "insert into htb7(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
        "制单日期,生效日期,失效日期,合同金额,付款方式,税率,附件) values('未审核',?,?,'李四','采购部','王五',"
        "'供应商甲','产品',1,'台','2026-01-02','2026-01-02','2026-12-31','100','月结','13%','')");
    QVERIFY(db.execute(insert, {QStringLiteral("KQLM001"), QStringLiteral("KQLM001-1")}));
    QVERIFY(db.execute(insert, {QStringLiteral("KQLM001"), QStringLiteral("KQLM001-2")}));
    Recordset rs(db);
    QVERIFY(rs.open(QStringLiteral("select * from htb7 ORDER BY id desc")));
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.text(QStringLiteral("合同子编号")), QStringLiteral("KQLM001-2"));
    QCOMPARE(rs.number(QStringLiteral("id")), 2);
    rs.moveLast();
    QCOMPARE(rs.number(QStringLiteral("id")), 1);
    // '' written into the image column reads back as zero bytes.
    QCOMPARE(rs.bytes(QStringLiteral("附件")).size(), 0);
    QVERIFY(rs.open(QStringLiteral("select top 1 合同子编号 from htb7 order by id desc")));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.text(0), QStringLiteral("KQLM001-2"));
    QVERIFY(rs.open(QStringLiteral("select 合同编号 from htb7 where 产品 LIKE '%" "产" "%'")));
    QCOMPARE(rs.recordCount(), 2);
}

void TstDb::recordsetOperations()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    QVERIFY(db.execute(Schema::createContractTableSql(QStringLiteral("htb2"))));
    for (int i = 1; i <= 4; ++i)
        QVERIFY(db.execute(QStringLiteral(
            "insert into htb2(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
            "制单日期,生效日期,失效日期,合同金额,付款方式,税率,附件) values(?,?,?,'甲','乙','丙','丁',?,'1','台',"
            "'2026-01-01','2026-01-01','2026-01-01','10','月结','13%','')"),
            {i % 2 ? QStringLiteral("未审核") : QStringLiteral("已审核"), QStringLiteral("H%1").arg(i),
             QStringLiteral("H%1-1").arg(i), QStringLiteral("产品%1").arg(i)}));
    Recordset rs(db);
    QCOMPARE(rs.open(QStringLiteral("select * from no_such_table")), false);
    QCOMPARE(rs.recordCount(), -1);
    QVERIFY(rs.eof());
    QCOMPARE(rs.text(0), QString());

    QVERIFY(rs.openTable(QStringLiteral("htb2")));
    QCOMPARE(rs.recordCount(), 4);
    QVERIFY(rs.find(QStringLiteral("合同编号='H3'")));
    QCOMPARE(rs.text(QStringLiteral("产品")), QStringLiteral("产品3"));
    QVERIFY(!rs.find(QStringLiteral("合同编号='H9'")));
    QVERIFY(rs.eof());
    rs.setFilter(QStringLiteral("单据状态='已审核'"));
    QCOMPARE(rs.recordCount(), 2);
    QCOMPARE(rs.text(QStringLiteral("合同编号")), QStringLiteral("H2"));
    rs.setFilter(QStringLiteral("产品 LIKE '*1' OR 合同编号='H4'"));
    QCOMPARE(rs.recordCount(), 2);
    rs.setFilter(QString());
    QCOMPARE(rs.recordCount(), 4);

    // Bytes stored in the current row stay stored after close.
    rs.moveFirst();
    rs.moveNext();
    const QByteArray pdf("%PDF-1.4\x00\x01 binary", 18);
    QVERIFY(rs.writeBytes(QStringLiteral("附件"), pdf));
    rs.close();
    QVERIFY(rs.open(QStringLiteral("select id,附件 from htb2 where 合同编号='H2'")));
    QCOMPARE(rs.bytes(QStringLiteral("附件")), pdf);

    QVERIFY(rs.open(QStringLiteral("select * from htb2 where 合同编号='H1'")));
    QVERIFY(rs.deleteCurrent());
    QCOMPARE(env.rows(QStringLiteral("select id from htb2")).size(), 3);
}

void TstDb::transactionsAreUnits()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    const bool ok = inTransaction(db, [&] {
        db.execute(QStringLiteral("insert into jczlb(申请部门,采购员,计量单位,付款方式,申请人,税率) values('财务部','','','','','')"));
        return db.execute(QStringLiteral("insert into no_such_table values(1)"));
    });
    QVERIFY(!ok);
    QCOMPARE(env.rows(QStringLiteral("select * from jczlb")).size(), 0);
    QVERIFY(!db.inTransaction());
    QVERIFY(inTransaction(db, [&] {
        return db.execute(QStringLiteral("insert into jczlb(申请部门,采购员,计量单位,付款方式,申请人,税率) values('财务部','','','','','')"));
    }));
    QCOMPARE(env.rows(QStringLiteral("select * from jczlb")).size(), 1);
}

void TstDb::concurrentReadThenWriteUnitsDoNotFail()
{
    // Two workstations reading the highest number and inserting the next one.
    cgtest::TestEnv env;
    QVERIFY(env.db().execute(QStringLiteral("create table counter(n int)")));
    const QString path = env.dbPath();
    std::atomic<int> failures{0};
    auto worker = [&](int id) {
        DbConnection db(QStringLiteral("worker%1").arg(id));
        if (!db.openSqlite(path)) {
            ++failures;
            return;
        }
        for (int i = 0; i < 40; ++i) {
            const bool ok = inTransaction(db, [&] {
                Recordset rs(db);
                if (!rs.open(QStringLiteral("select max(n) from counter")))
                    return false;
                const qint64 next = rs.number(0) + 1;
                return db.execute(QStringLiteral("insert into counter(n) values(?)"), {next});
            });
            if (!ok)
                ++failures;
        }
    };
    QThread *a = QThread::create(worker, 1);
    QThread *b = QThread::create(worker, 2);
    a->start();
    b->start();
    a->wait();
    b->wait();
    delete a;
    delete b;
    QCOMPARE(failures.load(), 0);
    QCOMPARE(env.rows(QStringLiteral("select distinct n from counter")).size(), 80);
}

void TstDb::sqlServerLiteralsAreNational()
{
    QCOMPARE(SqlDialect::forSqlServer(QStringLiteral("select * from gysb where 单据状态='已审核' and 名称=?")),
             QStringLiteral("select * from gysb where 单据状态=N'已审核' and 名称=?"));
    QCOMPARE(SqlDialect::forSqlServer(QStringLiteral("values('a''b',N'c','')")),
             QStringLiteral("values(N'a''b',N'c',N'')"));
    QCOMPARE(SqlDialect::quoted(QStringLiteral("O'Brien")), QStringLiteral("'O''Brien'"));
    QCOMPARE(DbConnection::sqlServerConnectionText(QStringLiteral("10.0.0.5"), QStringLiteral("cgdb"),
                                                   QStringLiteral("sa"), QStringLiteral("p;w")),
             QStringLiteral("DRIVER=SQL Server;SERVER=10.0.0.5;UID=sa;PWD=p;w;DATABASE=cgdb;"));
}

void TstDb::passwordDigestIsMd5OfGbkBytes()
{
    // Digests computed independently from the GBK bytes.
    QCOMPARE(PasswordDigest(QStringLiteral("123456")), QStringLiteral("e10adc3949ba59abbe56e057f20f883e"));
    QCOMPARE(PasswordDigest(QStringLiteral("密码")), QStringLiteral("d2293e30f0c964c5f6242486aa8a483c"));
    QCOMPARE(PasswordDigest(QStringLiteral("张三2026")), QStringLiteral("4ee993ee62f0eb9819528a2b478a05ce"));
    QCOMPARE(leadingInteger(QStringLiteral("  2026年度")), 2026);
    QCOMPARE(leadingInteger(QStringLiteral("-12abc")), -12);
    QCOMPARE(leadingInteger(QStringLiteral("年度2026")), 0);
}

void TstDb::committedSetupScriptIsCurrent()
{
    QFile f(QStringLiteral(CGSYS_SOURCE_DIR "/data/sql/setup.sql"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()), Schema::setupScript());
    // The script's tables in the fixed column order of ztb.
    QVERIFY(Schema::setupScript().contains(QStringLiteral(
        "create table ztb(账套名 nvarchar(100) not null,隶属部门 nvarchar(200),备注 nvarchar(500),"
        "引用合同表 nvarchar(20) not null,合同编号 nvarchar(50),日志数 int,默认启动 nvarchar(10),账套年份 nvarchar(10))")));
}

QTEST_MAIN(TstDb)
#include "tst_db.moc"
