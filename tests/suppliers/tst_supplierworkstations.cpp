// Two workstations add the same suppliers at the same moment, each through
// its own entry window in its own process. Every name must be stored once,
// and the workstation that came second must see the duplicate message.
//
// The test program starts two copies of itself with --worker; each connects
// to the same database file, waits for the start signal (a file), saves
// every name in the entry window and prints one outcome a line. With
// --adder a copy adds suppliers until it is killed, which must never leave
// a supplier without its log row. An import stopped by a refused row keeps
// the rows before it on every backend.
#include "suppliers/SupplierEntryWindow.h"
#include "suppliers/SupplierKit.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QThread>
#include <cstdio>

using namespace cg;
using kit::child;

namespace {

// --worker server database login password barrier names…
int runWorker(const QStringList &args)
{
    cgtest::TestEnv env(false);
    if (!env.db().open(args.at(1), args.at(2), args.at(3), args.at(4), QString())) {
        std::printf("connect failed\n");
        return 3;
    }
    env.loginAs(QStringLiteral("admin"));
    SupplierEntryWindow window;
    for (int i = 0; i < 4000 && !QFile::exists(args.at(5)); ++i)
        QThread::msleep(5);
    for (const QString &name : args.mid(6)) {
        MessageSeam::clear();
        child<QLineEdit>(&window, QStringLiteral("编辑框_名称"))->setText(name);
        for (const char *e : {"编辑框_电话", "编辑框_联系人", "编辑框_地址"})
            child<QLineEdit>(&window, QString::fromUtf8(e))->setText(QStringLiteral("x"));
        child<QComboBox>(&window, QStringLiteral("组合框_税率"))->setCurrentText(QStringLiteral("13%"));
        child<QComboBox>(&window, QStringLiteral("组合框_付款方式"))->setCurrentText(QStringLiteral("月结"));
        window.save();
        QString outcome = QStringLiteral("failed(") + kit::lastText() + QLatin1Char(')');
        if (MessageSeam::shown().isEmpty()
            && child<QLabel>(&window, QStringLiteral("标签_提示"))->text() == QStringLiteral(" 保存成功！"))
            outcome = QStringLiteral("added");
        else if (kit::lastText() == QStringLiteral("供应商名称重复，不能保存！"))
            outcome = QStringLiteral("exists");
        std::printf("%s %s\n", qPrintable(outcome), name.toUtf8().constData());
    }
    std::fflush(stdout);
    return 0;
}

// --adder server database login password prefix: adds prefix1, prefix2 …
// through the entry window until it is killed.
int runAdder(const QStringList &args)
{
    cgtest::TestEnv env(false);
    if (!env.db().open(args.at(1), args.at(2), args.at(3), args.at(4), QString()))
        return 3;
    env.loginAs(QStringLiteral("admin"));
    // A log row takes its time (a busy server, a slow network), so a
    // kill is most likely to fall while it is being written.
    env.db().setStatementObserver([](const QString &sql) {
        if (sql.startsWith(QStringLiteral("insert into rzb")))
            QThread::msleep(4);
    });
    SupplierEntryWindow window;
    std::printf("ready\n");
    std::fflush(stdout);
    for (int i = 1; i < 100000; ++i) {
        MessageSeam::clear();
        child<QLineEdit>(&window, QStringLiteral("编辑框_名称"))->setText(args.at(5) + QString::number(i));
        for (const char *e : {"编辑框_电话", "编辑框_联系人", "编辑框_地址"})
            child<QLineEdit>(&window, QString::fromUtf8(e))->setText(QStringLiteral("x"));
        child<QComboBox>(&window, QStringLiteral("组合框_税率"))->setCurrentText(QStringLiteral("13%"));
        child<QComboBox>(&window, QStringLiteral("组合框_付款方式"))->setCurrentText(QStringLiteral("月结"));
        window.save();
    }
    return 0;
}

} // namespace

class TstSupplierWorkstations : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sameSupplierAtOnceIsStoredOnce();
    void killedAddsNeverLeaveASupplierUnlogged();
    void importStoppedByARefusedRowKeepsTheRowsBefore();
};

void TstSupplierWorkstations::sameSupplierAtOnceIsStoredOnce()
{
    kit::Env env;
    env.addBasic(QStringLiteral("税率"), QStringLiteral("13%"));
    env.addBasic(QStringLiteral("付款方式"), QStringLiteral("月结"));
    // Many other suppliers make the name test take a while, so a workstation
    // that tested and stored in two steps would let the other one in between.
    QVERIFY(env.db().execute(QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<?) "
                                            "insert into gysb(单据状态,名称,电话,联系人,地址,税率,付款方式) "
                                            "select '已审核','填充'||x,'','','','','' from c"),
                             {100000}));
    QStringList names{QStringLiteral("宏达五金")};
    for (int i = 1; i < 8; ++i)
        names << QStringLiteral("同名供应商%1").arg(i);
    const QString barrier = env.folder() + QStringLiteral("/go");
    const QStringList args = QStringList{QStringLiteral("--worker")} + env.connectionValues() + QStringList{barrier} + names;
    QProcess a, b;
    for (QProcess *p : {&a, &b}) {
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(), args);
        QVERIFY(p->waitForStarted(10000));
    }
    QThread::msleep(500);   // both connected and waiting
    QFile go(barrier);
    QVERIFY(go.open(QIODevice::WriteOnly));
    go.close();
    QList<QStringList> outcomes;
    for (QProcess *p : {&a, &b}) {
        QVERIFY(p->waitForFinished(120000));
        QCOMPARE(p->exitCode(), 0);
        outcomes << QString::fromUtf8(p->readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(outcomes.last().size(), names.size());
    }
    for (int i = 0; i < names.size(); ++i) {
        const QStringList both = {outcomes[0][i].section(u' ', 0, 0), outcomes[1][i].section(u' ', 0, 0)};
        QVERIFY2(both.contains(QStringLiteral("added")) && both.contains(QStringLiteral("exists")),
                 qPrintable(outcomes[0][i] + QStringLiteral(" / ") + outcomes[1][i]));
    }
    QCOMPARE(env.rows(QStringLiteral("select count(*) from gysb where 名称 not like '填充%'")).value(0).value(0),
             QString::number(names.size()));
    // Each stored supplier was logged once, by the workstation that stored it.
    QCOMPARE(env.rows(QStringLiteral("select count(*) from rzb where 内容描述 like '成功添加数据：%'")).value(0).value(0),
             QString::number(names.size()));
}

void TstSupplierWorkstations::killedAddsNeverLeaveASupplierUnlogged()
{
    kit::Env env;
    env.addBasic(QStringLiteral("税率"), QStringLiteral("13%"));
    env.addBasic(QStringLiteral("付款方式"), QStringLiteral("月结"));
    constexpr int kRounds = 6;
    for (int round = 0; round < kRounds; ++round) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(),
                QStringList{QStringLiteral("--adder")} + env.connectionValues()
                    + QStringList{QStringLiteral("供应商%1-").arg(round)});
        QVERIFY(p.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine() || p.state() == QProcess::NotRunning, 20000);
        QCOMPARE(p.readLine().trimmed(), QByteArray("ready"));
        // Killed somewhere in the middle of an add, a different moment each round.
        QThread::msleep(150 + 41 * round);
        p.kill();
        QVERIFY(p.waitForFinished(10000));
    }
    // Every stored supplier has its log row, and every log row its supplier.
    QStringList stored, logged;
    for (const QStringList &r : env.rows(QStringLiteral("select 名称 from gysb order by 名称")))
        stored << r.at(0);
    for (const QStringList &r : env.rows(QStringLiteral("select 内容描述 from rzb where 内容描述 like ?"),
                                         {QStringLiteral("成功添加数据：%")}))
        logged << r.at(0).section(u'：', 1).section(QStringLiteral("--"), 0, 0);
    std::sort(stored.begin(), stored.end());
    std::sort(logged.begin(), logged.end());
    QCOMPARE(logged, stored);
    qInfo("%d suppliers added across %d kills", int(stored.size()), kRounds);
    QVERIFY(!stored.isEmpty());
}

void TstSupplierWorkstations::importStoppedByARefusedRowKeepsTheRowsBefore()
{
    // On a server that ends the transaction at a failed statement as well.
    kit::Env env;
    DbConnection &db = env.db();
    if (cgtest::TestEnv::onPostgreSql())
        QVERIFY(db.execute(QStringLiteral("create function cgtest_bad_row() returns trigger language plpgsql as $$ "
                                          "begin if new.名称 = '坏行' then raise exception 'refused'; end if; "
                                          "return new; end $$"))
                && db.execute(QStringLiteral("create trigger bad_row before insert on gysb for each row "
                                             "execute function cgtest_bad_row()")));
    else
        QVERIFY(db.execute(QStringLiteral("create trigger bad_row before insert on gysb when new.名称='坏行' "
                                          "begin select raise(abort,'no'); end")));
    QList<SupplierRow> rows;
    for (const char *name : {"一号", "二号", "坏行", "四号"})
        rows << SupplierRow{kSupplierNotAudited, QString::fromUtf8(name), QStringLiteral("5"), {}, {}, {}, {}};
    const Suppliers::BatchResult r = Suppliers(db, QStringLiteral("admin")).addBatch(rows);
    QCOMPARE(r.stored, 2);
    QCOMPARE(r.stopRow, 3);
    QCOMPARE(r.stop, Suppliers::Outcome::Failed);
    QCOMPARE(r.stopName, QStringLiteral("坏行"));
    QCOMPARE(env.rows(QStringLiteral("select 单据状态,名称 from gysb order by 名称")),
             (QList<QStringList>{{QStringLiteral("已审核"), QStringLiteral("一号")},
                                 {QStringLiteral("已审核"), QStringLiteral("二号")}}));
    QCOMPARE(env.rows(QStringLiteral("select 用户,内容描述,操作模块 from rzb where 内容描述 like ?"),
                      {QStringLiteral("成功导入%")}),
             (QList<QStringList>{{QStringLiteral("admin"), QStringLiteral("成功导入供应商数据，共导入：2行"),
                                  QStringLiteral("供应商添加")}}));
}

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!args.isEmpty() && args.first() == QLatin1String("--worker"))
        return runWorker(args);
    if (!args.isEmpty() && args.first() == QLatin1String("--adder"))
        return runAdder(args);
    TstSupplierWorkstations t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_supplierworkstations.moc"
