#include "data/Db.h"
#include "data/Password.h"
#include "data/Schema.h"
#include "data/SqlDialect.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QMutex>
#include <QThread>
#include <QtTest>
#include <algorithm>
#include <tuple>
#include <atomic>

using namespace cg;

namespace {

const char *kInsertDepartment =
    "insert into jczlb(申请部门,采购员,计量单位,付款方式,申请人,税率) values(?,'','','','','')";

// Collects the messages of the database log category.
class DbLogCapture {
public:
    DbLogCapture()
    {
        s_lines.clear();
        m_previous = qInstallMessageHandler(&DbLogCapture::handler);
    }
    ~DbLogCapture() { qInstallMessageHandler(m_previous); }
    QStringList lines() const
    {
        QMutexLocker lock(&s_mutex);
        return s_lines;
    }

private:
    static void handler(QtMsgType, const QMessageLogContext &context, const QString &message)
    {
        if (context.category && QByteArray(context.category) == "cgsys.db") {
            QMutexLocker lock(&s_mutex);
            s_lines << message;
        }
    }
    static inline QMutex s_mutex;
    static inline QStringList s_lines;
    QtMessageHandler m_previous;
};

} // namespace

class TstDb : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void hostileValuesRoundTrip();
    void attachmentSizedValueRoundTrips();
    void statementsRunAsWrittenForSqlServer();
    void recordsetOperations();
    void transactionsAreUnits();
    void nestedUnitsCommitOnceAtTheOutermost();
    void innerRollbackFailsTheOuterUnit();
    void failedCommitKeepsItsError();
    void secondWriterWaitsForTheWriteLock();
    void concurrentReadThenWriteUnitsDoNotFail();
    void failedStatementsAreLoggedWithoutValues();
    void serverAddressNamesTheBackend();
    void passwordDigestIsMd5OfGbkBytes();
    void committedSetupScriptIsCurrent();
};

void TstDb::hostileValuesRoundTrip()
{
    cgtest::TestEnv env;
    const QStringList values = {QStringLiteral("O'Brien"), QStringLiteral("'); drop table yhb; --"),
                                QStringLiteral("张三"), QStringLiteral("C:\\合同\\'附件'\\"), QStringLiteral("$1 ? :a")};
    for (const QString &v : values)
        QVERIFY(env.db().execute(QStringLiteral("insert into gysb(单据状态,名称) values('未审核',?)"), {v}));
    QCOMPARE(env.rows(QStringLiteral("select 名称 from gysb where 单据状态='未审核'")).size(), values.size());
    for (const QString &v : values)
        QCOMPARE(env.rows(QStringLiteral("select 名称 from gysb where 名称=?"), {v}).value(0).value(0), v);
    QCOMPARE(env.rows(QStringLiteral("select 名称 from gysb where 名称 LIKE ?"), {QStringLiteral("%'Bri%")}).size(), 1);
    QVERIFY(env.db().tableExists(QStringLiteral("yhb")));

    // A quote and Chinese text as a literal in the statement, a long text,
    // bytes, a date and a number, each read back as written.
    const QString longText = QStringLiteral("供应商'甲'").repeated(400);
    QVERIFY(env.db().execute(QStringLiteral("insert into rzb(过滤日期,用户,内容描述) values(N'二〇二六''s',?,?)"),
                             {QStringLiteral("李'四"), longText}));
    QCOMPARE(env.rows(QStringLiteral("select 过滤日期,用户,内容描述 from rzb where 用户=?"), {QStringLiteral("李'四")}),
             (QList<QStringList>{{QStringLiteral("二〇二六's"), QStringLiteral("李'四"), longText}}));
    const QByteArray bytes = QStringLiteral("附件'\\x00\\").toUtf8() + QByteArray("\0\x01\xff'\\", 5);
    QVERIFY(env.db().execute(QStringLiteral(
        "insert into htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,制单日期,"
        "生效日期,失效日期,合同金额,付款方式,税率,附件) values('未审核',?,'-',?,'部','员','商','品',?,'台',?,?,?,'1',"
        "'月结','13%',?)"),
        {QStringLiteral("KQ'01"), QStringLiteral("王'五"), 3, QStringLiteral("2035-05-20"), QDate(2035, 5, 21),
         QStringLiteral("2035-12-31"), bytes}));
    Recordset rs(env.db());
    QVERIFY(rs.open(QStringLiteral("select * from htb1 where 合同编号=? and 制单日期=? and 生效日期>?"),
                    {QStringLiteral("KQ'01"), QStringLiteral("2035-05-20"), QStringLiteral("2035-05-20")}));
    QCOMPARE(rs.recordCount(), 1);
    QCOMPARE(rs.text(QStringLiteral("申请人")), QStringLiteral("王'五"));
    QCOMPARE(rs.text(QStringLiteral("设备数量")), QStringLiteral("3"));
    QCOMPARE(rs.text(QStringLiteral("制单日期")), QStringLiteral("2035-05-20"));
    QCOMPARE(rs.text(QStringLiteral("生效日期")), QStringLiteral("2035-05-21"));
    QCOMPARE(rs.bytes(QStringLiteral("附件")), bytes);
}

void TstDb::attachmentSizedValueRoundTrips()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    QByteArray bytes(5 * 1024 * 1024, Qt::Uninitialized);
    quint32 x = 2463534242u;   // xorshift: every byte value, no pattern a driver could shorten
    for (char &c : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    QVERIFY(db.execute(QStringLiteral(
        "insert into htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,制单日期,"
        "生效日期,失效日期,合同金额,付款方式,税率,附件) values('未审核','KQLM0001','KQLM000152','甲','乙','丙','丁',"
        "'产品','1','台','2035-05-20','2035-05-20','2035-12-31','1','月结','13%',?)"),
        {bytes}));
    Recordset rs(db);
    QVERIFY(rs.open(QStringLiteral("select id,附件,") + SqlDialect::byteLength(db.backend(), QStringLiteral("附件"))
                    + QStringLiteral(" from htb1")));
    QCOMPARE(rs.number(2), qint64(bytes.size()));
    QVERIFY(rs.bytes(QStringLiteral("附件")) == bytes);
    // Written again through the recordset, reversed.
    QByteArray reversed = bytes;
    std::reverse(reversed.begin(), reversed.end());
    QVERIFY(rs.writeBytes(QStringLiteral("附件"), reversed));
    QVERIFY(rs.open(QStringLiteral("select 附件 from htb1")));
    QVERIFY(rs.bytes(QStringLiteral("附件")) == reversed);
}

void TstDb::statementsRunAsWrittenForSqlServer()
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
    const QString insert = QString::fromUtf8(kInsertDepartment);
    const bool ok = inTransaction(db, [&] {
        return db.execute(insert, {QStringLiteral("财务部")})
            && db.execute(QStringLiteral("insert into no_such_table values(1)"));
    });
    QVERIFY(!ok);
    QCOMPARE(env.rows(QStringLiteral("select * from jczlb")).size(), 0);
    QVERIFY(!db.inTransaction());
    QVERIFY(inTransaction(db, [&] { return db.execute(insert, {QStringLiteral("财务部")}); }));
    QCOMPARE(env.rows(QStringLiteral("select * from jczlb")).size(), 1);

    // A unit left without commit takes its work with it.
    {
        WriteUnit unit(db);
        QVERIFY(unit.isOpen());
        QVERIFY(db.execute(insert, {QStringLiteral("采购部")}));
    }
    QVERIFY(!db.inTransaction());
    QCOMPARE(env.rows(QStringLiteral("select * from jczlb")).size(), 1);

    // A unit that goes on after a failed statement: where the failure ended
    // the transaction on the server, the commit must say so rather than
    // report work the server threw away.
    {
        WriteUnit unit(db);
        QVERIFY(db.execute(insert, {QStringLiteral("人事部")}));
        QVERIFY(!db.execute(QStringLiteral("insert into no_such_table values(1)")));
        const bool committed = unit.commit();
        QCOMPARE(committed, !SqlDialect::failureAbortsTransaction(db.backend()));
        QCOMPARE(env.rows(QStringLiteral("select * from jczlb where 申请部门=?"), {QStringLiteral("人事部")}).size(),
                 committed ? 1 : 0);
    }
    QVERIFY(!db.inTransaction());
}

void TstDb::nestedUnitsCommitOnceAtTheOutermost()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    QStringList sent;
    db.setStatementObserver([&](const QString &sql) { sent << sql; });
    const QString insert = QString::fromUtf8(kInsertDepartment);
    {
        WriteUnit outer(db);
        QVERIFY(outer.isOpen() && outer.isOutermost());
        QVERIFY(db.execute(insert, {QStringLiteral("一")}));
        QVERIFY(inTransaction(db, [&] {
            WriteUnit inner(db);
            return inner.isOpen() && !inner.isOutermost() && db.execute(insert, {QStringLiteral("二")})
                && inner.commit();
        }));
        // Nothing is committed before the outermost unit commits.
        QVERIFY(!sent.contains(QStringLiteral("COMMIT")));
        QVERIFY(db.inTransaction());
        QVERIFY(outer.commit());
    }
    db.setStatementObserver({});
    QStringList expected = SqlDialect::beginWriteUnit(db.backend());
    expected << db.translate(insert) << db.translate(insert) << SqlDialect::commitWriteUnit(db.backend());
    QCOMPARE(sent, expected);
    QCOMPARE(env.rows(QStringLiteral("select 申请部门 from jczlb")).size(), 2);
}

void TstDb::innerRollbackFailsTheOuterUnit()
{
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    const QString insert = QString::fromUtf8(kInsertDepartment);
    {
        WriteUnit outer(db);
        QVERIFY(db.execute(insert, {QStringLiteral("一")}));
        QVERIFY(!inTransaction(db, [&] { return db.execute(insert, {QStringLiteral("二")}) && false; }));
        // Once failed, the unit takes no further inner units ...
        WriteUnit late(db);
        QVERIFY(!late.isOpen());
        QVERIFY(!late.lastError().isEmpty());
        QVERIFY(!late.commit());
        // ... and cannot commit.
        QVERIFY(db.execute(insert, {QStringLiteral("三")}));
        QVERIFY(!outer.commit());
        QVERIFY(outer.lastError().contains(QLatin1String("inner unit")));
        QVERIFY(!outer.isOpen());
    }
    QVERIFY(!db.inTransaction());
    QCOMPARE(env.rows(QStringLiteral("select * from jczlb")).size(), 0);
    // The connection takes the next unit as usual.
    QVERIFY(inTransaction(db, [&] { return db.execute(insert, {QStringLiteral("四")}); }));
    QCOMPARE(env.rows(QStringLiteral("select 申请部门 from jczlb")), QList<QStringList>{{QStringLiteral("四")}});
}

void TstDb::failedCommitKeepsItsError()
{
    // A deferred foreign key is checked by COMMIT, which then fails.
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    if (db.backend() == Backend::Sqlite)
        QVERIFY(db.execute(QStringLiteral("PRAGMA foreign_keys=ON")));
    QVERIFY(db.execute(QStringLiteral("create table parent(id integer primary key)")));
    QVERIFY(db.execute(QStringLiteral("create table child(id int IDENTITY(1,1) PRIMARY KEY, "
                                      "p int references parent(id) deferrable initially deferred)")));
    {
        WriteUnit unit(db);
        QVERIFY(db.execute(QStringLiteral("insert into child(p) values(?)"), {42}));
        QVERIFY(!unit.commit());
        QVERIFY2(unit.lastError().contains(QLatin1String("FOREIGN KEY"), Qt::CaseInsensitive),
                 qPrintable(unit.lastError()));
        QCOMPARE(db.lastError(), unit.lastError());
    }
    QVERIFY(!db.inTransaction());
    QCOMPARE(env.rows(QStringLiteral("select * from child")).size(), 0);
    QVERIFY(inTransaction(db, [&] { return db.execute(QStringLiteral("insert into parent(id) values(1)")); }));
}

void TstDb::secondWriterWaitsForTheWriteLock()
{
    // The write lock is taken when the unit begins, not at its first write:
    // a second workstation that cannot wait fails to begin instead of
    // failing half-way through its unit.
    cgtest::TestEnv env;
    DbConnection other(QStringLiteral("other"));
    other.setConnectionTimeout(0);
    QVERIFY(env.open(other));
    WriteUnit first(env.db());
    QVERIFY(first.isOpen());
    {
        WriteUnit second(other);
        QVERIFY(!second.isOpen());
        const QString why = env.db().backend() == Backend::PostgreSql ? QStringLiteral("lock timeout")
                                                                      : QStringLiteral("locked");
        QVERIFY2(second.lastError().contains(why), qPrintable(second.lastError()));
        QVERIFY(!other.inTransaction());
        // Nothing of the failed beginning is left open on the connection.
        QVERIFY(other.execute(QStringLiteral("select 1")));
    }
    QVERIFY(first.commit());
    WriteUnit third(other);
    QVERIFY(third.isOpen());
    QVERIFY(third.commit());
}

void TstDb::concurrentReadThenWriteUnitsDoNotFail()
{
    // Two workstations reading the highest number and inserting the next one.
    cgtest::TestEnv env;
    QVERIFY(env.db().execute(QStringLiteral("create table counter(n int)")));
    std::atomic<int> failures{0};
    auto worker = [&](int id) {
        DbConnection db(QStringLiteral("worker%1").arg(id));
        if (!env.open(db)) {
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

void TstDb::failedStatementsAreLoggedWithoutValues()
{
    cgtest::TestEnv env;
    DbLogCapture log;
    const QString secret = QStringLiteral("口令-Secret-4711");
    QVERIFY(!env.db().execute(QStringLiteral("insert into no_such_table(a) values(?)"), {secret}));
    Recordset rs(env.db());
    QVERIFY(!rs.open(QStringLiteral("select 密码 from yhb where 用户名=? and no_such_column=1"), {secret}));
    // A refused row, which a server may quote back in its message.
    QVERIFY(env.db().execute(QStringLiteral("create table guarded(a nvarchar(50) not null, b nvarchar(50))")));
    QVERIFY(!env.db().execute(QStringLiteral("insert into guarded(b) values(?)"), {secret}));
    QVERIFY(!env.db().lastError().contains(secret));
    const QStringList lines = log.lines();
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(0).contains(env.db().translate(QStringLiteral("insert into no_such_table(a) values(?)"))));
    QVERIFY(lines.at(0).contains(QLatin1String(env.db().backend() == Backend::PostgreSql ? "does not exist"
                                                                                         : "no such table")));
    QVERIFY(lines.at(1).contains(QLatin1String("no_such_column")));
    for (const QString &line : lines)
        QVERIFY2(!line.contains(secret), qPrintable(line));
}

void TstDb::serverAddressNamesTheBackend()
{
    QCOMPARE(DbConnection::backendOf(QStringLiteral("SQLite")), Backend::Sqlite);
    QCOMPARE(DbConnection::backendOf(QStringLiteral("PostgreSQL://db")), Backend::PostgreSql);
    for (const QString &server : {QStringLiteral("db.example"), QStringLiteral("db,1433"), QStringLiteral("db\\sql"),
                                  QStringLiteral("postgres://db"), QStringLiteral("sqlite.example")})
        QCOMPARE(DbConnection::backendOf(server), Backend::SqlServer);

    const QList<std::tuple<QString, QString, int>> good = {
        {QStringLiteral("postgresql://db.example"), QStringLiteral("db.example"), 5432},
        {QStringLiteral("postgresql://10.0.0.5:5433"), QStringLiteral("10.0.0.5"), 5433},
        {QStringLiteral("postgresql://[::1]:65535"), QStringLiteral("::1"), 65535},
        {QStringLiteral("postgresql://[fe80::1]"), QStringLiteral("fe80::1"), 5432}};
    for (const auto &[server, host, port] : good) {
        QString h;
        int p = 0;
        QVERIFY2(DbConnection::parsePostgreSqlAddress(server, &h, &p), qPrintable(server));
        QCOMPARE(h, host);
        QCOMPARE(p, port);
    }
    for (const QString &bad : {QStringLiteral("postgresql://"), QStringLiteral("postgresql://db:"),
                               QStringLiteral("postgresql://db:0"), QStringLiteral("postgresql://db:65536"),
                               QStringLiteral("postgresql://db:54x"), QStringLiteral("postgresql://db:+5432"),
                               QStringLiteral("postgresql://[::1"), QStringLiteral("postgresql://[::1]x"),
                               QStringLiteral("postgresql://db/cgsys"), QStringLiteral("db.example")})
        QVERIFY2(!DbConnection::parsePostgreSqlAddress(bad, nullptr, nullptr), qPrintable(bad));
    // Refused before anything is tried; the connection stays closed.
    DbConnection db(QStringLiteral("bad-address"));
    QVERIFY(!db.open(QStringLiteral("postgresql://db:0"), QStringLiteral("cgsys"), QStringLiteral("u"),
                     QStringLiteral("p"), QString()));
    QVERIFY(!db.isConnected());
    QVERIFY(db.lastError().contains(QLatin1String("postgresql://host[:port]")));
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
    const QByteArray bytes = f.readAll();
    // sqlcmd reads a file without byte-order mark in the system code page.
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(bytes, Schema::setupScriptFile());
    QCOMPARE(QString::fromUtf8(bytes.mid(3)), Schema::setupScript());
    // The script's tables in the fixed column order of ztb.
    QVERIFY(Schema::setupScript().contains(QStringLiteral(
        "create table ztb(账套名 nvarchar(100) not null,隶属部门 nvarchar(200),备注 nvarchar(500),"
        "引用合同表 nvarchar(20) not null,合同编号 nvarchar(50),日志数 int,默认启动 nvarchar(10),账套年份 nvarchar(10))")));
}

QTEST_MAIN(TstDb)
#include "tst_db.moc"
