#include "data/Db.h"
#include "data/SqlDialect.h"
#include "support/TestEnv.h"

#include <QtTest>

using namespace cg;

class TstDb : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void hostileValuesRoundTrip();
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
    QVERIFY(env.db().tableExists(QStringLiteral("yhb")));
}

QTEST_MAIN(TstDb)
#include "tst_db.moc"
