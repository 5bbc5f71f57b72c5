// Statement texts as each backend gets them. Literals, comments and quoted
// names must come through untouched whatever they contain.
#include "data/Db.h"
#include "data/SqlDialect.h"
#include "support/TestEnv.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace cg;

class TstDialect : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void sqlite_data();
    void sqlite();
    void sqlServer_data();
    void sqlServer();
    void postgreSql_data();
    void postgreSql();
    void topMovesToTheEndOfItsSelect();
    void writeUnitAndIndexStatements();

private:
    QTemporaryDir m_dir;
};

void TstDialect::initTestCase()
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dialect"));
    db.setDatabaseName(m_dir.filePath(QStringLiteral("d.db")));
    QVERIFY(db.open());
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("create table t(id integer primary key, a text, b text)")));
}

void TstDialect::cleanupTestCase()
{
    QSqlDatabase::database(QStringLiteral("dialect")).close();
    QSqlDatabase::removeDatabase(QStringLiteral("dialect"));
}

void TstDialect::sqlite_data()
{
    QTest::addColumn<QString>("tsql");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("runs");   // the output compiles on SQLite

    QTest::newRow("literal looks like code")
        << QStringLiteral("insert into t(a) values('调用 getdate() 失败 (max)')")
        << QStringLiteral("insert into t(a) values('调用 getdate() 失败 (max)')") << true;
    QTest::newRow("literal holds a whole statement")
        << QStringLiteral("select a from t where b='select top 5 x from y' and a='int IDENTITY(1,1) PRIMARY KEY'")
        << QStringLiteral("select a from t where b='select top 5 x from y' and a='int IDENTITY(1,1) PRIMARY KEY'")
        << true;
    QTest::newRow("top with trailing semicolon")
        << QStringLiteral("select top 5 a from t;") << QStringLiteral("select a from t limit 5;") << true;
    QTest::newRow("top after comment and blanks")
        << QStringLiteral("  -- newest first\n\tselect top 5 a from t order by id desc")
        << QStringLiteral("  -- newest first\n\tselect a from t order by id desc limit 5") << true;
    QTest::newRow("distinct top (n), trailing comment")
        << QStringLiteral("/* top 3 */ select distinct top (2) a from t -- top 9\n")
        << QStringLiteral("/* top 3 */ select distinct a from t limit 2 -- top 9\n") << true;
    QTest::newRow("top in a subquery")
        << QStringLiteral("select a from t where id in (select top 1 id from t order by id desc) order by a")
        << QStringLiteral("select a from t where id in (select id from t order by id desc limit 1) order by a")
        << true;
    QTest::newRow("top is a column")
        << QStringLiteral("select [top], top from t") << QStringLiteral("select [top], top from t") << false;
    QTest::newRow("identity key and max, not in the default")
        << QStringLiteral("create table x(id int IDENTITY (1,1) PRIMARY KEY,a nvarchar(max),"
                          "b nvarchar(50) default 'int IDENTITY(1,1) PRIMARY KEY (max)')")
        << QStringLiteral("create table x(id INTEGER PRIMARY KEY AUTOINCREMENT,a nvarchar,"
                          "b nvarchar(50) default 'int IDENTITY(1,1) PRIMARY KEY (max)')")
        << true;
    QTest::newRow("max() stays a function")
        << QStringLiteral("select max(a), count(*) from t") << QStringLiteral("select max(a), count(*) from t")
        << true;
    QTest::newRow("getdate only as code")
        << QStringLiteral("select getdate(), 'getdate()', [getdate()], \"getdate()\" /* getdate() */ from t")
        << QStringLiteral("select datetime('now','localtime'), 'getdate()', [getdate()], \"getdate()\" "
                          "/* getdate() */ from t")
        << false;   // the quoted names are not columns of t
    QTest::newRow("table check")
        << QStringLiteral("SELECT table_name FROM information_schema.TABLES WHERE table_name =?")
        << QStringLiteral("SELECT table_name FROM (select name as table_name from sqlite_master where "
                          "type='table') WHERE table_name =?")
        << true;
    QTest::newRow("national literals lose their N")
        << QStringLiteral("insert into t(a,b) values(N'甲''s -- no comment', n'乙')")
        << QStringLiteral("insert into t(a,b) values('甲''s -- no comment', '乙')") << true;
    QTest::newRow("quote in a line comment")
        << QStringLiteral("select a from t -- it's the top 5\nwhere b='x'")
        << QStringLiteral("select a from t -- it's the top 5\nwhere b='x'") << true;
    QTest::newRow("unterminated literal") << QStringLiteral("select 'top 5 getdate()")
                                          << QStringLiteral("select 'top 5 getdate()") << false;
}

void TstDialect::sqlite()
{
    QFETCH(QString, tsql);
    QFETCH(QString, expected);
    QFETCH(bool, runs);
    // The tokens cover the text exactly.
    QString joined;
    for (const SqlDialect::Token &t : SqlDialect::tokenize(tsql))
        joined += tsql.mid(t.start, t.length);
    QCOMPARE(joined, tsql);

    const QString out = SqlDialect::forSqlite(tsql);
    QCOMPARE(out, expected);
    if (runs) {
        QSqlQuery q(QSqlDatabase::database(QStringLiteral("dialect")));
        QVERIFY2(q.prepare(out), qPrintable(q.lastError().text()));
    }
}

void TstDialect::sqlServer_data()
{
    QTest::addColumn<QString>("tsql");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << QStringLiteral("select * from gysb where 单据状态='已审核' and 名称=?")
                           << QStringLiteral("select * from gysb where 单据状态=N'已审核' and 名称=?");
    QTest::newRow("doubled quotes, existing N, empty")
        << QStringLiteral("values('a''b',N'c','')") << QStringLiteral("values(N'a''b',N'c',N'')");
    QTest::newRow("quote in a line comment")
        << QStringLiteral("-- it's a note\nselect 'x' -- and 'y\n, 'z'")
        << QStringLiteral("-- it's a note\nselect N'x' -- and 'y\n, N'z'");
    QTest::newRow("quotes in block comments")
        << QStringLiteral("/* don't */ select 'x' /* 'y' */") << QStringLiteral("/* don't */ select N'x' /* 'y' */");
    QTest::newRow("quotes in quoted names")
        << QStringLiteral("select [it's], [a]]'b], \"c'd\" from t where e='f'")
        << QStringLiteral("select [it's], [a]]'b], \"c'd\" from t where e=N'f'");
    QTest::newRow("comment markers in a literal")
        << QStringLiteral("select '-- /* x', 'y */'") << QStringLiteral("select N'-- /* x', N'y */'");
    QTest::newRow("unterminated literal") << QStringLiteral("select 'abc") << QStringLiteral("select N'abc");
}

void TstDialect::sqlServer()
{
    QFETCH(QString, tsql);
    QFETCH(QString, expected);
    QCOMPARE(SqlDialect::forSqlServer(tsql), expected);
    QCOMPARE(SqlDialect::forSqlServer(expected), expected);
}

void TstDialect::postgreSql_data()
{
    QTest::addColumn<QString>("tsql");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("runs");   // the output compiles on PostgreSQL (checked on the test cluster)

    QTest::newRow("literal looks like code")
        << QStringLiteral("insert into t(a) values('调用 getdate() 失败 (max) like top 5 image')")
        << QStringLiteral("insert into t(a) values('调用 getdate() 失败 (max) like top 5 image')") << true;
    QTest::newRow("table types, not in the default")
        << QStringLiteral("create table x(id int IDENTITY (1,1) PRIMARY KEY,a nvarchar(max),b nvarchar(50) "
                          "default N'int IDENTITY(1,1) PRIMARY KEY (max) image',c image,d varbinary(max),e varchar(max))")
        << QStringLiteral("create table x(id int GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,a text,b varchar(50) "
                          "default 'int IDENTITY(1,1) PRIMARY KEY (max) image',c bytea,d bytea,e text)")
        << true;
    QTest::newRow("image outside a table statement")
        << QStringLiteral("select a image from t") << QStringLiteral("select a image from t") << true;
    QTest::newRow("top, like and a national literal")
        << QStringLiteral("select top 3 a from t where b like N'%甲''s%' order by id desc")
        << QStringLiteral("select a from t where b ILIKE '%甲''s%' order by id desc limit 3") << true;
    QTest::newRow("top in a subquery")
        << QStringLiteral("select a from t where id in (select top (1) id from t order by id desc) and a not like ?")
        << QStringLiteral("select a from t where id in (select id from t order by id desc limit 1) and a not ILIKE ?")
        << true;
    QTest::newRow("table check")
        << QStringLiteral("SELECT table_name FROM information_schema.TABLES WHERE table_name =?")
        << QStringLiteral("SELECT table_name FROM (select table_name::text as table_name from information_schema.tables "
                          "where table_schema=current_schema()) as information_schema_tables WHERE table_name =?")
        << true;
    QTest::newRow("table check with its own name")
        << QStringLiteral("select s.table_name from information_schema.TABLES s order by 1")
        << QStringLiteral("select s.table_name from (select table_name::text as table_name from information_schema.tables "
                          "where table_schema=current_schema()) s order by 1")
        << true;
    QTest::newRow("getdate and nvarchar only as code")
        << QStringLiteral("select getdate(), cast(a as nvarchar(10)), 'getdate() nvarchar' /* getdate() */ from t -- top 5")
        << QStringLiteral("select localtimestamp, cast(a as varchar(10)), 'getdate() nvarchar' /* getdate() */ from t -- top 5")
        << true;
    QTest::newRow("quoted names")
        << QStringLiteral("select \"like\", [top], \"getdate()\" from t")
        << QStringLiteral("select \"like\", [top], \"getdate()\" from t") << false;
}

void TstDialect::postgreSql()
{
    QFETCH(QString, tsql);
    QFETCH(QString, expected);
    QFETCH(bool, runs);
    const QString out = SqlDialect::forPostgreSql(tsql);
    QCOMPARE(out, expected);
    QCOMPARE(SqlDialect::translate(Backend::PostgreSql, tsql), expected);
    if (!runs || !cgtest::TestEnv::onPostgreSql())
        return;
    // Compiled in a transaction that is rolled back.
    cgtest::TestEnv env(false);
    DbConnection db(QStringLiteral("compile"));
    QVERIFY(env.open(db));
    QSqlQuery q(db.database());
    QVERIFY(q.exec(QStringLiteral("begin")));
    QVERIFY(q.exec(QStringLiteral("create table t(id int generated by default as identity primary key, a text, b text)")));
    const bool compiled = out.contains(u'?') ? q.prepare(out) : q.exec(out);
    const QString error = q.lastError().text();
    q.exec(QStringLiteral("rollback"));
    QVERIFY2(compiled, qPrintable(error));
}

void TstDialect::topMovesToTheEndOfItsSelect()
{
    // The rewritten limits select the rows T-SQL would.
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    QVERIFY(db.execute(QStringLiteral("create table n(id int IDENTITY (1,1) PRIMARY KEY, v nvarchar(max))")));
    for (int i = 1; i <= 6; ++i)
        QVERIFY(db.execute(QStringLiteral("insert into n(v) values(?)"), {QStringLiteral("v%1").arg(i)}));
    QCOMPARE(env.rows(QStringLiteral("select top 2 id from n order by id desc;")),
             (QList<QStringList>{{QStringLiteral("6")}, {QStringLiteral("5")}}));
    QCOMPARE(env.rows(QStringLiteral("select v from n where id in (select top (3) id from n order by id) "
                                     "and v<>'top 1' order by id desc")),
             (QList<QStringList>{{QStringLiteral("v3")}, {QStringLiteral("v2")}, {QStringLiteral("v1")}}));
}

void TstDialect::writeUnitAndIndexStatements()
{
    // No SQL Server runs here: its texts are pinned as they are sent.
    const QString lock = QStringLiteral(
        "declare @r int; exec @r = sp_getapplock @Resource=N'cgsys-write', @LockMode=N'Exclusive', "
        "@LockOwner=N'Transaction', @LockTimeout=30000; select @r");
    QCOMPARE(SqlDialect::beginWriteUnit(Backend::SqlServer), (QStringList{QStringLiteral("BEGIN TRANSACTION"), lock}));
    QCOMPARE(SqlDialect::forSqlServer(lock), lock);
    QCOMPARE(SqlDialect::commitWriteUnit(Backend::SqlServer), QStringLiteral("COMMIT TRANSACTION"));
    QCOMPARE(SqlDialect::rollbackWriteUnit(Backend::SqlServer), QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"));
    // sp_getapplock: 0 and 1 granted; negative codes are time-out, cancel, deadlock, error.
    QVERIFY(SqlDialect::writeLockGranted(Backend::SqlServer, 1));
    for (const QVariant &v : {QVariant(-1), QVariant()})
        QVERIFY(!SqlDialect::writeLockGranted(Backend::SqlServer, v));
    QCOMPARE(SqlDialect::beginWriteUnit(Backend::Sqlite), QStringList{QStringLiteral("BEGIN IMMEDIATE")});
    QCOMPARE(SqlDialect::beginWriteUnit(Backend::PostgreSql),
             (QStringList{QStringLiteral("BEGIN"), QStringLiteral("select pg_advisory_xact_lock(1667724153)")}));

    const auto server = SqlDialect::createIndexIfMissing(Backend::SqlServer, QStringLiteral("ix_htb3_合同编号"),
                                                         QStringLiteral("htb3"), QStringLiteral("合同编号"));
    QCOMPARE(server.sql, QStringLiteral("if not exists (select * from sys.indexes where name=? and "
                                        "object_id=object_id(?)) create index ix_htb3_合同编号 on htb3(合同编号)"));
    QCOMPARE(server.params, (QVariantList{QStringLiteral("ix_htb3_合同编号"), QStringLiteral("htb3")}));
    QCOMPARE(SqlDialect::createIndexIfMissing(Backend::Sqlite, QStringLiteral("ix_rzb_过滤日期"), QStringLiteral("rzb"),
                                              QStringLiteral("过滤日期"))
                 .sql,
             QStringLiteral("create index if not exists ix_rzb_过滤日期 on rzb(过滤日期)"));
    QCOMPARE(SqlDialect::createIndexIfMissing(Backend::PostgreSql, QStringLiteral("ix_rzb_过滤日期"), QStringLiteral("rzb"),
                                              QStringLiteral("过滤日期"))
                 .sql,
             QStringLiteral("create index if not exists ix_rzb_过滤日期 on rzb(过滤日期)"));
    for (const QString &bad : {QStringLiteral("htb1;drop table yhb"), QStringLiteral("[htb1]"), QStringLiteral("1htb"),
                               QString()})
        QVERIFY(SqlDialect::createIndexIfMissing(Backend::Sqlite, QStringLiteral("ix"), bad, QStringLiteral("a"))
                    .sql.isEmpty());
}

QTEST_MAIN(TstDialect)
#include "tst_dialect.moc"
