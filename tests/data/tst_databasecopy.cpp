// Moving the embedded database onto a PostgreSQL server: every value
// arrives unchanged, ids continue, a killed copy is taken up again, and
// what the server would not take is named before anything is copied.
#include "contracts/ContractRecord.h"
#include "data/DatabaseCopy.h"
#include "data/Db.h"
#include "data/OperationLog.h"
#include "data/Schema.h"
#include "support/ScratchServer.h"
#include "support/TestEnv.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

using namespace cg;

namespace {

const QStringList kHostile = {
    QStringLiteral("O'Brien \"引号\" ''"),
    QStringLiteral("C:\\合同\\2035\\"),
    QStringLiteral("100%_折扣%"),
    QStringLiteral("　全角空格　"),
    QStringLiteral("尾部空格   "),
    QStringLiteral("N'abc'; drop table htb1 --"),
    QStringLiteral("制表\t换行\r\n结束"),
    QStringLiteral("表情😀符号"),
    // What COPY's text format takes for its own: NULL, the end of the data,
    // escapes, separators at either end of a value.
    QStringLiteral("\\N"),
    QStringLiteral("\\."),
    QStringLiteral("第一行\n\\.\n第三行"),
    QStringLiteral("\t前导制表"),
    QStringLiteral("尾部换行\n"),
    QStringLiteral("回车\r"),
    QStringLiteral("\\x4142 \\t \\\\ \\"),
};

// 200 characters, one of them outside the BMP: PostgreSQL counts it once.
QString longProduct(int i)
{
    QString s = QStringLiteral("产品%1😀").arg(i, 6, 10, QLatin1Char('0'));
    while (s.toUcs4().size() < 200)
        s += QStringLiteral("长");
    return s;
}

QString dateText(int i) { return QDate(2030, 1, 1).addDays(i % 2000).toString(QStringLiteral("yyyy-MM-dd")); }

struct Source {
    QTemporaryDir dir;
    DbConnection db{QStringLiteral("copy-source")};
    QString path() const { return dir.path() + QStringLiteral("/cgsys.db"); }
};

// Three account sets with lines spread over them, the last lines of htb3
// deleted again (their ids stay used), attachments on some first lines,
// hostile texts everywhere.
void fill(Source &s, int lines, int attachments, int attachmentBytes)
{
    QVERIFY(s.db.openSqlite(s.path()));
    QVERIFY(Schema::initialise(s.db, 2035));
    QVERIFY(Schema::createAccountSet(s.db, QStringLiteral("2036年度 '引号'"), QStringLiteral("采购部\\"),
                                     kHostile.at(3), QStringLiteral("htb2"), QStringLiteral("KQ'"),
                                     QStringLiteral("2036")));
    QVERIFY(Schema::createAccountSet(s.db, QStringLiteral("分公司"), QString(), kHostile.at(4), QStringLiteral("htb7"),
                                     QString(), QStringLiteral("2037")));
    QSqlDatabase d = s.db.database();
    QVERIFY(d.transaction());
    QSqlQuery q(d);
    QVERIFY(q.prepare(QStringLiteral("insert into gysb values(?,?,?,?,?,?,?)")));
    for (int i = 0; i < 40; ++i) {
        q.addBindValue(i % 2 ? QStringLiteral("已审核") : QStringLiteral("未审核"));
        q.addBindValue(kHostile.at(i % kHostile.size()) + QString::number(i));
        q.addBindValue(i % 3 ? QVariant(QStringLiteral("0571-%1").arg(i)) : QVariant(QMetaType::fromType<QString>()));
        q.addBindValue(QString());
        q.addBindValue(kHostile.at((i + 1) % kHostile.size()));
        q.addBindValue(QStringLiteral("13%"));
        q.addBindValue(QStringLiteral("月结"));
        QVERIFY(q.exec());
    }
    QVERIFY(q.prepare(QStringLiteral("insert into jczlb values(?,?,?,?,?,?)")));
    for (int i = 0; i < 12; ++i) {
        for (int c = 0; c < 6; ++c)
            q.addBindValue(c == i % 6 ? kHostile.at(i % kHostile.size()) : QString(""));
        QVERIFY(q.exec());
    }
    QVERIFY(q.exec(QStringLiteral("insert into yhb(用户名,密码,审核) values('张三 ''引号''','x','1')")));
    QVERIFY(q.prepare(QStringLiteral(
        "insert into htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
        "制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,第四次付款,剩余尾款,税率) "
        "values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)")));
    QStringList tables = {QStringLiteral("htb1"), QStringLiteral("htb2"), QStringLiteral("htb7")};
    QList<QSqlQuery> inserts;
    for (const QString &t : tables) {
        QSqlQuery ins(d);
        QVERIFY(ins.prepare(q.lastQuery().replace(QStringLiteral("htb1"), t)));
        inserts << ins;
    }
    for (int i = 0; i < lines; ++i) {
        QSqlQuery &ins = inserts[i % 3];
        const QString number = QStringLiteral("KQLM%1").arg(i / 2, 5, 10, QLatin1Char('0'));
        const QString hostile = kHostile.at(i % kHostile.size());
        const QVariantList v = {i % 5 ? QStringLiteral("未审核") : QStringLiteral("已审核"), number,
                                number + QString::number(52 + 2 * (i % 2)), hostile, QStringLiteral("采购部"),
                                QStringLiteral("李四"), kHostile.at((i + 3) % kHostile.size()),
                                i % 7 ? longProduct(i) : hostile, QString::number(i % 100), QStringLiteral("台"),
                                dateText(i), dateText(i + 1), dateText(i + 365), QStringLiteral("%1.50").arg(i),
                                QStringLiteral("月结 30%"), QStringLiteral("%1").arg(i / 2),
                                i % 4 ? QVariant(QMetaType::fromType<QString>()) : QVariant(QString("")),
                                QString(""), QString(""), QStringLiteral("%1.25").arg(i), QStringLiteral("13%")};
        for (const QVariant &x : v)
            ins.addBindValue(x);
        QVERIFY2(ins.exec(), qPrintable(ins.lastError().text()));
    }
    QVERIFY(q.prepare(QStringLiteral("update htb1 set 附件=? where id=?")));
    for (int a = 0; a < attachments; ++a) {
        QByteArray bytes(attachmentBytes, Qt::Uninitialized);
        QRandomGenerator gen(a + 1);
        gen.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        bytes[0] = '\0';
        bytes[bytes.size() - 1] = '\\';
        q.addBindValue(bytes);
        q.addBindValue(1 + 3 * a);
        QVERIFY(q.exec());
        QCOMPARE(q.numRowsAffected(), 1);
    }
    // An empty attachment is not the same as none; every byte value, the
    // text format's separators and backslash among them, arrives as it was.
    QByteArray everyByte;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b)
            everyByte += char(round == 1 ? 255 - b : b);
    q.addBindValue(everyByte);
    q.addBindValue(2);
    QVERIFY(q.exec());
    QCOMPARE(q.numRowsAffected(), 1);
    QVERIFY(q.exec(QStringLiteral("update htb2 set 附件=x'' where id=1")));
    QVERIFY(q.exec(QStringLiteral("delete from htb7 where id > (select max(id) - 2 from htb7)")));
    QVERIFY(d.commit());
    LogWriter log(s.db, kHostile.at(0));
    for (int i = 0; i < 30; ++i)
        QVERIFY(log.write(QStringLiteral("操作"), kHostile.at(i % kHostile.size()), QStringLiteral("合同录入")));
}

QString cell(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("<NULL>");
    if (v.metaType().id() == QMetaType::QDate)
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    if (v.metaType().id() == QMetaType::QByteArray)
        return QStringLiteral("<bytes %1 %2>")
            .arg(v.toByteArray().size())
            .arg(QString::fromLatin1(QCryptographicHash::hash(v.toByteArray(), QCryptographicHash::Sha1).toHex()));
    return v.toString();
}

// Every row of a table on both sides, compared value by value: in id order,
// or as a set of rows where there is no id.
void compareTable(DbConnection &a, DbConnection &b, const QString &table, bool ordered)
{
    QSqlQuery qa(a.database()), qb(b.database());
    qa.setForwardOnly(true);
    qb.setForwardOnly(true);
    const QString sql = QStringLiteral("select * from ") + table + (ordered ? QStringLiteral(" order by id") : QString());
    QVERIFY2(qa.exec(sql), qPrintable(table));
    QVERIFY2(qb.exec(sql), qPrintable(table));
    QStringList rowsA, rowsB;
    int n = 0;
    while (qa.next()) {
        QVERIFY2(qb.next(), qPrintable(QStringLiteral("%1: row %2 missing on the server").arg(table).arg(n)));
        const QSqlRecord ra = qa.record(), rb = qb.record();
        QCOMPARE(rb.count(), ra.count());
        QStringList ca, cb;
        for (int i = 0; i < ra.count(); ++i) {
            // PostgreSQL folds the ASCII letters of unquoted names.
            QCOMPARE(rb.fieldName(i).toLower(), ra.fieldName(i).toLower());
            ca << cell(qa.value(i));
            cb << cell(qb.value(i));
        }
        if (ordered)
            QCOMPARE(cb, ca);
        rowsA << ca.join(QChar(0x1f));
        rowsB << cb.join(QChar(0x1f));
        ++n;
    }
    QVERIFY2(!qb.next(), qPrintable(table + QStringLiteral(": more rows on the server")));
    rowsA.sort();
    rowsB.sort();
    QCOMPARE(rowsB, rowsA);
}

QByteArray fileDigest(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(&f);
    return h.result();
}

int countOn(DbConnection &db, const QString &sql)
{
    Recordset rs(db);
    return rs.open(sql) ? int(rs.number(0)) : -1;
}

} // namespace

class TstDatabaseCopy : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void copiesEveryValueAndIdsContinue();
    void killedCopyIsTakenUpAgain();
    void refusesTargetWithData();
    void serverRefusalFailsTheCopy();
    void precheckNamesWhatDoesNotFit_data();
    void precheckNamesWhatDoesNotFit();
    void sqlServerStatements();

private:
    std::unique_ptr<cgtest::TestEnv> m_env;
};

void TstDatabaseCopy::init()
{
    m_env = std::make_unique<cgtest::TestEnv>(false);
    const bool needsServer = QString::fromLatin1(QTest::currentTestFunction()) != QLatin1String("sqlServerStatements");
    // The source is always a file; the pg/ run is the one with the server.
    if (needsServer && (!cgtest::ScratchServer::available() || !cgtest::TestEnv::onPostgreSql()))
        QSKIP("needs the PostgreSQL test cluster (CGSYS_PG_*) and CGSYS_TEST_BACKEND=postgresql");
}

void TstDatabaseCopy::copiesEveryValueAndIdsContinue()
{
    Source s;
    fill(s, 20000, 4, 5 * 1024 * 1024);
    s.db.close();
    const QByteArray before = fileDigest(s.path());
    QVERIFY(s.db.openSqlite(s.path()));
    cgtest::ScratchServer server;
    QVERIFY(server.created());
    // A target cgsys-initdb has prepared is taken as empty.
    QProcess initdb;
    initdb.start(qEnvironmentVariable("CGSYS_INITDB"), server.initdbArguments());
    QVERIFY(initdb.waitForFinished(30000));
    QCOMPARE(initdb.exitCode(), 0);

    DbConnection target(QStringLiteral("copy-target"));
    QVERIFY(server.open(target));
    DatabaseCopy copy(s.db, target);
    qint64 lastDone = -1, total = 0;
    QStringList steps;
    copy.setProgress([&](const QString &step, const QString &, qint64, qint64, qint64 done, qint64 all) {
        QVERIFY(done >= lastDone);
        lastDone = done;
        total = all;
        if (!steps.contains(step))
            steps << step;
    });
    QVERIFY2(copy.run(2035) == DatabaseCopy::Outcome::Verified, qPrintable(copy.message()));
    QCOMPARE(steps, (QStringList{QStringLiteral("准备"), QStringLiteral("复制"), QStringLiteral("校验")}));
    QCOMPARE(lastDone, total);
    QCOMPARE(copy.tables().size(), 8);
    qint64 lines = 0;
    for (const TableCopy &t : copy.tables()) {
        QVERIFY2(t.verified(), qPrintable(t.table));
        if (IsContractTableName(t.table))
            lines += t.rows;
    }
    QCOMPARE(lines, 20000 - 2);

    for (const char *t : {"htb1", "htb2", "htb7", "rzb"})
        compareTable(s.db, target, QString::fromLatin1(t), true);
    for (const char *t : {"ztb", "yhb", "gysb", "jczlb"})
        compareTable(s.db, target, QString::fromLatin1(t), false);
    QVERIFY(!target.tableExists(QLatin1String(kIncompleteCopyTable)));
    QCOMPARE(cgtest::indexNames(target, QStringLiteral("htb7")),
             (QStringList{QStringLiteral("ix_htb7_合同子编号"), QStringLiteral("ix_htb7_合同编号")}));
    s.db.close();
    QCOMPARE(fileDigest(s.path()), before);
    QVERIFY(s.db.openSqlite(s.path()));

    // The next line and the next log row take the ids after the highest
    // ever used, also where the last lines were deleted before the copy.
    const int htb7Seq = countOn(s.db, QStringLiteral("select seq from sqlite_sequence where name='htb7'"));
    const int rzbMax = countOn(s.db, QStringLiteral("select max(id) from rzb"));
    ContractRow row;
    for (QString *f : {&row.requester, &row.department, &row.buyer, &row.supplier, &row.product, &row.quantity,
                       &row.unit, &row.amount, &row.paymentTerms, &row.taxRate})
        *f = QStringLiteral("新");
    row.state = QStringLiteral("未审核");
    row.number = QStringLiteral("KQLM99999");
    row.subNumber = QStringLiteral("KQLM9999952");
    row.documentDate = row.effectiveDate = row.expiryDate = QStringLiteral("2035-05-20");
    ContractStore store(target, QStringLiteral("htb7"), QStringLiteral("分公司"));
    QVERIFY(inTransaction(target, [&] { return store.insertRow(row); }));
    QCOMPARE(countOn(target, QStringLiteral("select max(id) from htb7")), htb7Seq + 1);
    QVERIFY(LogWriter(target, QStringLiteral("admin")).write(QStringLiteral("操作"), QStringLiteral("x"),
                                                              QStringLiteral("y")));
    QCOMPARE(countOn(target, QStringLiteral("select max(id) from rzb")), rzbMax + 1);
}

void TstDatabaseCopy::killedCopyIsTakenUpAgain()
{
    Source s;
    fill(s, 6000, 6, 5 * 1024 * 1024);
    s.db.close();
    const QByteArray before = fileDigest(s.path());
    cgtest::ScratchServer server;
    QVERIFY(server.created());
    DbConnection target(QStringLiteral("copy-target"));
    QVERIFY(server.open(target));

    // A real copy in another process, killed once it has written lines.
    QProcess child;
    child.start(qEnvironmentVariable("CGSYS_INITDB"),
                QStringList{QStringLiteral("--copy-from"), s.path()} + server.initdbArguments());
    QVERIFY(child.waitForStarted());
    QDeadlineTimer deadline(60000);
    bool midway = false;
    while (!midway && !deadline.hasExpired() && child.state() == QProcess::Running) {
        QTest::qWait(5);
        midway = target.tableExists(QLatin1String(kIncompleteCopyTable)) && target.tableExists(QStringLiteral("htb1"))
            && countOn(target, QStringLiteral("select count(*) from htb1")) > 0;
    }
    QVERIFY2(midway, "the copy ended before it could be killed");
    child.kill();
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);
    QCOMPARE(fileDigest(s.path()), before);
    QVERIFY(target.tableExists(QLatin1String(kIncompleteCopyTable)));

    // The next attempt cleans the half copy away and starts again.
    QVERIFY(s.db.openSqlite(s.path()));
    DatabaseCopy copy(s.db, target);
    QVERIFY2(copy.run(2035) == DatabaseCopy::Outcome::Verified, qPrintable(copy.message()));
    QCOMPARE(countOn(target, QStringLiteral("select count(*) from htb1")), 2000);
    compareTable(s.db, target, QStringLiteral("htb1"), true);
    QVERIFY(!target.tableExists(QLatin1String(kIncompleteCopyTable)));

    // A cancelled copy leaves the marker too, and is taken up the same way.
    cgtest::ScratchServer second;
    DbConnection other(QStringLiteral("copy-other"));
    QVERIFY(second.open(other));
    std::atomic_bool cancel = false;
    DatabaseCopy cancelled(s.db, other);
    cancelled.setCancelFlag(&cancel);
    cancelled.setBatchRows(100, 500);
    cancelled.setProgress([&](const QString &, const QString &table, qint64, qint64, qint64, qint64) {
        if (table == QLatin1String("htb1"))
            cancel = true;
    });
    QCOMPARE(cancelled.run(2035), DatabaseCopy::Outcome::Cancelled);
    QVERIFY(other.tableExists(QLatin1String(kIncompleteCopyTable)));
    cancel = false;
    cancelled.setProgress({});
    QVERIFY2(cancelled.run(2035) == DatabaseCopy::Outcome::Verified, qPrintable(cancelled.message()));
}

void TstDatabaseCopy::refusesTargetWithData()
{
    Source s;
    fill(s, 30, 0, 0);
    cgtest::ScratchServer server;
    DbConnection target(QStringLiteral("copy-target"));
    QVERIFY(server.open(target));
    QVERIFY(Schema::initialise(target, 2035));
    QVERIFY(target.execute(QStringLiteral("insert into gysb(名称) values('已有供应商')")));
    QVERIFY(Schema::createAccountSet(target, QStringLiteral("二"), QString(), QString(), QStringLiteral("htb2"),
                                     QString(), QStringLiteral("2035")));
    DatabaseCopy copy(s.db, target);
    QCOMPARE(copy.run(2035), DatabaseCopy::Outcome::TargetNotEmpty);
    QCOMPARE(copy.message(),
             QStringLiteral("目标数据库中已有本系统的表：gysb（1 行）、htb1（0 行）、htb2（0 行）、jczlb（0 行）、rzb（0 行）、"
                            "yhb（1 行）、ztb（2 行）。只能迁移到没有本系统数据的数据库（空数据库，或只由 cgsys-initdb "
                            "准备过的数据库）。"));
    QCOMPARE(countOn(target, QStringLiteral("select count(*) from gysb")), 1);
    QCOMPARE(countOn(target, QStringLiteral("select count(*) from ztb")), 2);
    QVERIFY(!target.tableExists(QLatin1String(kIncompleteCopyTable)));
}

void TstDatabaseCopy::serverRefusalFailsTheCopy()
{
    Source s;
    fill(s, 3000, 0, 0);
    cgtest::ScratchServer server;
    DbConnection target(QStringLiteral("copy-target"));
    QVERIFY(server.open(target));
    DbConnection other(QStringLiteral("copy-other"));
    QVERIFY(server.open(other));
    DatabaseCopy copy(s.db, target);
    copy.setBatchRows(100, 500);
    // Once htb1 is on the server, htb7 no longer takes a text its first
    // line has: the server refuses rows the precheck let through.
    bool constrained = false;
    copy.setProgress([&](const QString &step, const QString &table, qint64, qint64, qint64, qint64) {
        if (!constrained && step == QStringLiteral("复制") && table == QLatin1String("htb1"))
            constrained = other.execute(
                QStringLiteral("alter table htb7 add constraint 申请人检查 check (申请人 not like '%折扣%')"));
    });
    QCOMPARE(copy.run(2035), DatabaseCopy::Outcome::Failed);
    QVERIFY(constrained);
    QVERIFY2(copy.message().startsWith(QStringLiteral("写入 htb7 表失败：")), qPrintable(copy.message()));
    QVERIFY2(copy.message().contains(QStringLiteral("申请人检查")), qPrintable(copy.message()));
    // The refused row's values stay out of the message.
    QVERIFY2(!copy.message().contains(QStringLiteral("100%_折扣%")), qPrintable(copy.message()));
    QVERIFY(target.tableExists(QLatin1String(kIncompleteCopyTable)));
    // The unit is rolled back and the connection works on: the next run
    // cleans the half copy away and copies everything.
    QCOMPARE(countOn(target, QStringLiteral("select count(*) from htb7")), 0);
    QCOMPARE(countOn(target, QStringLiteral("select count(*) from htb1")), 1000);
    copy.setProgress({});
    QVERIFY2(copy.run(2035) == DatabaseCopy::Outcome::Verified, qPrintable(copy.message()));
    compareTable(s.db, target, QStringLiteral("htb7"), true);
}

void TstDatabaseCopy::precheckNamesWhatDoesNotFit_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("product of 201") << QStringLiteral("update htb1 set 产品=产品||'长' where id=7")
                                    << QStringLiteral("htb1 表 id 7 的 产品：长度 201，服务器只允许 200");
    QTest::newRow("not a date") << QStringLiteral("update htb2 set 失效日期='2035-02-30' where id=3")
                                << QStringLiteral("htb2 表 id 3 的 失效日期：不是日期（应为 年-月-日，如 2020-07-10）");
    QTest::newRow("date without zeros") << QStringLiteral("update htb1 set 制单日期='2035-5-1' where id=1")
                                        << QStringLiteral("htb1 表 id 1 的 制单日期：不是日期（应为 年-月-日，如 2020-07-10）");
    QTest::newRow("log limit no number") << QStringLiteral("update ztb set 日志数='五万' where 引用合同表='htb7'")
                                         << QStringLiteral("ztb 表第 3 行的 日志数：不是整数");
    QTest::newRow("supplier name of 201")
        << QStringLiteral("update gysb set 名称=replace(hex(zeroblob(201)),'00','名') where rowid=2")
        << QStringLiteral("gysb 表第 2 行的 名称：长度 201，服务器只允许 200");
}

void TstDatabaseCopy::precheckNamesWhatDoesNotFit()
{
    QFETCH(QString, statement);
    QFETCH(QString, expected);
    Source s;
    fill(s, 30, 0, 0);
    QVERIFY(s.db.execute(statement));
    QCOMPARE(s.db.rowsAffected(), 1);
    cgtest::ScratchServer server;
    DbConnection target(QStringLiteral("copy-target"));
    QVERIFY(server.open(target));
    DatabaseCopy copy(s.db, target);
    QCOMPARE(copy.run(2035), DatabaseCopy::Outcome::Refused);
    QCOMPARE(copy.problems().size(), 1);
    QCOMPARE(copy.problems().first().text(), expected);
    // Nothing was written.
    Recordset rs(target);
    QVERIFY(rs.open(QStringLiteral("SELECT table_name FROM information_schema.TABLES")));
    QVERIFY(rs.eof());
}

void TstDatabaseCopy::sqlServerStatements()
{
    const QList<ColumnDef> columns = ProgramTableColumns(QStringLiteral("rzb"));
    QCOMPARE(columns.size(), 9);
    QCOMPARE(DatabaseCopy::insertStatement(QStringLiteral("rzb"), columns, 2),
             QStringLiteral("insert into rzb(id,过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
                            "values(?,?,?,?,?,?,?,?,?),(?,?,?,?,?,?,?,?,?)"));
    QCOMPARE(DatabaseCopy::beforeInserts(Backend::SqlServer, QStringLiteral("htb3")),
             QStringList{QStringLiteral("SET IDENTITY_INSERT htb3 ON")});
    QCOMPARE(DatabaseCopy::afterInserts(Backend::SqlServer, QStringLiteral("htb3")),
             QStringList{QStringLiteral("SET IDENTITY_INSERT htb3 OFF")});
    QCOMPARE(DatabaseCopy::identityStatements(Backend::SqlServer, QStringLiteral("htb3"), 812),
             QStringList{QStringLiteral("DBCC CHECKIDENT ('htb3', RESEED, 812)")});
    QCOMPARE(DatabaseCopy::identityStatements(Backend::PostgreSql, QStringLiteral("htb3"), 812),
             QStringList{QStringLiteral("select setval(pg_get_serial_sequence('htb3', 'id'), 812)")});
    // A table that never had a row keeps the identity it was made with.
    QVERIFY(DatabaseCopy::identityStatements(Backend::SqlServer, QStringLiteral("htb3"), 0).isEmpty());
    QVERIFY(DatabaseCopy::beforeInserts(Backend::PostgreSql, QStringLiteral("htb3")).isEmpty());
    // The statement as SQL Server gets it: literals national, the rest unchanged.
    QCOMPARE(SqlDialect::translate(Backend::SqlServer, DatabaseCopy::insertStatement(QStringLiteral("jczlb"),
                                                                                       ProgramTableColumns(QStringLiteral("jczlb")), 1)),
             QStringLiteral("insert into jczlb(申请部门,采购员,计量单位,付款方式,申请人,税率) values(?,?,?,?,?,?)"));
    // 2100 values at most per statement there: 86 contract lines of 23 columns.
    QCOMPARE(DatabaseCopy::maxValuesPerStatement(Backend::SqlServer) / ProgramTableColumns(QStringLiteral("htb3")).size(), 86);
}

QTEST_MAIN(TstDatabaseCopy)
#include "tst_databasecopy.moc"
