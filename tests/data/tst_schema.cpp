// The indexes the list searches rely on.
#include "data/Db.h"
#include "data/Schema.h"
#include "support/TestEnv.h"

#include <QtTest>

using namespace cg;

namespace {

QStringList indexesOf(cgtest::TestEnv &env, const QString &table)
{
    return cgtest::indexNames(env.db(), table);
}

// The server's plan for a statement with 'x' for its value, as one text.
QString plan(cgtest::TestEnv &env, const QString &sql)
{
    QStringList steps;
    if (env.db().backend() == Backend::PostgreSql) {
        // The tables are all but empty: the planner would read them whole
        // unless told not to where an index can serve.
        if (!env.db().execute(QStringLiteral("set enable_seqscan to off")))
            return {};
        for (const QStringList &row : env.rows(QStringLiteral("explain ") + QString(sql).replace(u'?', QStringLiteral("'x'"))))
            steps << row.value(0);
    } else {
        for (const QStringList &row : env.rows(QStringLiteral("EXPLAIN QUERY PLAN ") + sql, {QStringLiteral("x")}))
            steps << row.value(3);
    }
    return steps.join(QLatin1Char('|'));
}

} // namespace

class TstSchema : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void setupAndNewAccountSetsHaveTheIndexes();
    void ensureIndexesRepairsAndRepeats();
};

void TstSchema::setupAndNewAccountSetsHaveTheIndexes()
{
    cgtest::TestEnv env;
    QCOMPARE(indexesOf(env, QStringLiteral("rzb")), QStringList{Schema::logIndexName()});
    QCOMPARE(indexesOf(env, QStringLiteral("htb1")),
             (QStringList{Schema::contractSubNumberIndexName(QStringLiteral("htb1")),
                          Schema::contractIndexName(QStringLiteral("htb1"))}));
    QVERIFY(Schema::createAccountSet(env.db(), QStringLiteral("二〇二七年度"), QString(), QString(),
                                     QStringLiteral("htb2"), QStringLiteral("KQLM"), QStringLiteral("2027")));
    QCOMPARE(indexesOf(env, QStringLiteral("htb2")),
             (QStringList{QStringLiteral("ix_htb2_合同子编号"), QStringLiteral("ix_htb2_合同编号")}));
    // No department or remark is stored as the empty text, not NULL.
    QCOMPARE(env.rows(QStringLiteral("select count(*) from ztb where 隶属部门 is null or 备注 is null")),
             (QList<QStringList>{{QStringLiteral("0")}}));
    // The searches use them.
    QVERIFY(plan(env, QStringLiteral("select * from rzb where 过滤日期=?"))
                .contains(QStringLiteral("ix_rzb_过滤日期")));
    QVERIFY(plan(env, QStringLiteral("select * from htb2 where 合同编号=?")).contains(QStringLiteral("ix_htb2_合同编号")));
    QVERIFY(plan(env, QStringLiteral("select * from htb2 where 合同子编号=?")).contains(QStringLiteral("ix_htb2_合同子编号")));
}

void TstSchema::ensureIndexesRepairsAndRepeats()
{
    // A database from before the indexes, with one account set whose table is gone.
    cgtest::TestEnv env;
    DbConnection &db = env.db();
    QVERIFY(db.execute(QStringLiteral("drop index ix_rzb_过滤日期")));
    QVERIFY(db.execute(QStringLiteral("drop index ix_htb1_合同编号")));
    QVERIFY(db.execute(QStringLiteral("drop index ix_htb1_合同子编号")));
    QVERIFY(db.execute(QStringLiteral("insert into ztb(账套名,引用合同表) values('旧账套','htb9')")));
    const QStringList tables = Schema::contractTables(db);
    QCOMPARE(tables, (QStringList{QStringLiteral("htb1"), QStringLiteral("htb9")}));

    for (int round = 0; round < 2; ++round) {
        QVERIFY(Schema::ensureIndexes(db, tables));
        QCOMPARE(indexesOf(env, QStringLiteral("rzb")), QStringList{Schema::logIndexName()});
        QCOMPARE(indexesOf(env, QStringLiteral("htb1")),
                 (QStringList{QStringLiteral("ix_htb1_合同子编号"), QStringLiteral("ix_htb1_合同编号")}));
    }
    QVERIFY(!db.tableExists(QStringLiteral("htb9")));

    // A table name that is not a plain name is refused, not spliced.
    QVERIFY(!Schema::ensureIndexes(db, {QStringLiteral("htb1(合同编号); drop table yhb; --")}));
    QVERIFY(db.tableExists(QStringLiteral("yhb")));
}

QTEST_MAIN(TstSchema)
#include "tst_schema.moc"
