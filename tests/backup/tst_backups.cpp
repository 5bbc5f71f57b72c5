// Backups of the embedded database: consistent copies, retention, the check
// a copy must pass, and restore.
#include "backup/Backups.h"
#include "backup/DailyBackup.h"
#include "backup/FileSystemInfo.h"
#include "support/TestEnv.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using namespace cg;

namespace {

QString contractTable(DbConnection &db)
{
    Recordset rs(db);
    return rs.open(QStringLiteral("select 引用合同表 from ztb")) ? rs.text(0) : QString();
}

// A contract of `lines` lines and its log row, as one unit.
bool writeContract(DbConnection &db, const QString &table, const QString &number, int lines,
                   const QString &product = QStringLiteral("产品"), const QByteArray &pdf = {})
{
    return inTransaction(db, [&] {
        for (int i = 1; i <= lines; ++i)
            if (!db.execute(QStringLiteral("insert into ") + table
                                + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
                                                 "制单日期,生效日期,失效日期,合同金额,付款方式,税率,附件) values('未审核',?,?,'张三',"
                                                 "'采购部','李四','华东机电',?,'1','台','2035-05-20','2035-05-20','2036-05-20',"
                                                 "'100','月结','13%',?)"),
                            {number, number + QString::number(i), product,
                             i == 1 && !pdf.isEmpty() ? QVariant(pdf) : QVariant(QMetaType(QMetaType::QByteArray))}))
                return false;
        return db.execute(QStringLiteral("insert into rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
                                         "values('2035-05-20','2035-05-20 09:30:15','写入','写入','操作',?,'','')"),
                          {number});
    });
}

// Runs one query per entry of sqls on a file of its own connection; each
// result row as texts joined by '|', blobs as digests.
QStringList read(const QString &file, const QStringList &sqls)
{
    QStringList out;
    const QString name = QStringLiteral("read-%1").arg(QRandomGenerator::global()->generate());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            return {QStringLiteral("cannot open")};
        for (const QString &sql : sqls) {
            QSqlQuery q(db);
            q.exec(sql);
            while (q.next()) {
                QStringList row;
                for (int i = 0; i < q.record().count(); ++i)
                    row << (q.value(i).typeId() == QMetaType::QByteArray
                                ? QString::fromLatin1(QCryptographicHash::hash(q.value(i).toByteArray(),
                                                                                QCryptographicHash::Sha1).toHex())
                                : q.value(i).toString());
                out << row.join(u'|');
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}
int count(const QString &file, const QString &sql) { return read(file, {sql}).value(0, QStringLiteral("-1")).toInt(); }

// Every row of every table.
QStringList dump(const QString &file)
{
    QStringList sqls;
    for (const QString &t : read(file, {QStringLiteral("select name from sqlite_master where type='table' and name "
                                                       "not like 'sqlite_%' order by name")}))
        sqls << QStringLiteral("select '%1',* from \"%1\" order by rowid").arg(t);
    return read(file, sqls);
}

// The writer process: contracts of five lines, one unit each, until told to stop.
int runWriter(const QStringList &args)
{
    DbConnection db(QStringLiteral("writer"));
    if (!db.openSqlite(args.value(1)))
        return 2;
    const QString table = contractTable(db);
    QElapsedTimer clock;
    clock.start();
    for (int n = 1; !QFile::exists(args.value(2)) && clock.elapsed() < 60000; ++n)
        if (!writeContract(db, table, QStringLiteral("W%1").arg(n), 5))
            return 3;
    return 0;
}

struct Fixture {
    cgtest::TestEnv env;
    Backups backups{env.dbPath(), Backups::folderIn(env.workFolder())};
    QString table = contractTable(env.db());
    QString path(const QString &name) const { return backups.folder() + name; }
    QStringList leftovers() const
    {
        return QDir(env.workFolder()).entryList({QStringLiteral(".cgsys-restore-*")}, QDir::Files | QDir::Hidden)
            + QDir(backups.folder()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
    }
};

} // namespace

class TstBackups : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void consistentWhileAnotherProcessWrites();
    void namesAndRetention();
    void damagedBackupIsRefused_data();
    void damagedBackupIsRefused();
    void restoreGivesBackTheBackedUpRows();
    void restoreWaitsForOtherConnections();
    void checksAreRemembered();
    void onceADay();
    void networkFileSystems();
};

void TstBackups::consistentWhileAnotherProcessWrites()
{
    Fixture f;
    const QString stop = f.env.folder() + QStringLiteral("/stop");
    const QString writes = QStringLiteral("select count(*) from rzb where 用户='写入'");
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--writer"), f.env.dbPath(), stop});
    QVERIFY(writer.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(count(f.env.dbPath(), writes) > 20, 20000);
    QStringList names;
    for (int i = 0; i < 4; ++i) {
        const Backups::Result r = f.backups.create();
        QVERIFY2(r.ok(), qPrintable(r.reason));
        names << r.name;
        QTest::qWait(100);
    }
    QFile(stop).open(QIODevice::WriteOnly);
    QVERIFY(writer.waitForFinished(30000));
    QCOMPARE(writer.exitCode(), 0);
    // The fixed clock stands still: one name per copy all the same.
    QCOMPARE(names, (QStringList{QStringLiteral("cgsys-20350520-093015.db"), QStringLiteral("cgsys-20350520-093015-2.db"),
                                 QStringLiteral("cgsys-20350520-093015-3.db"), QStringLiteral("cgsys-20350520-093015-4.db")}));
    int previous = 0;
    for (const QString &n : names) {
        QVERIFY2(Backups::check(f.path(n)).ok(), qPrintable(n));
        // Every contract complete, and its log row with it.
        const int contracts = count(f.path(n), writes);
        QCOMPARE(count(f.path(n), QStringLiteral("select count(*) from ") + f.table), contracts * 5);
        QCOMPARE(count(f.path(n), QStringLiteral("select count(distinct 合同编号) from ") + f.table), contracts);
        QVERIFY(contracts >= previous && contracts > 20);
        previous = contracts;
    }
    QCOMPARE(f.leftovers(), QStringList());
}

void TstBackups::namesAndRetention()
{
    Fixture f;
    QStringList made;
    for (int day = 1; day <= 5; ++day) {
        Clock::setFixed(QDateTime(QDate(2035, 6, day), QTime(8, 0, 0)));
        made << f.backups.create().name;
    }
    made << f.backups.create().name;   // the same second again sorts after it
    QCOMPARE(made.last(), QStringLiteral("cgsys-20350605-080000-2.db"));
    const QStringList others = {QStringLiteral("notes.txt"), QStringLiteral("cgsys-old.db"),
                                QStringLiteral("cgsys-20351301-000000.db")};
    for (const QString &o : others)
        QFile(f.path(o)).open(QIODevice::WriteOnly);
    QCOMPARE(f.backups.names(), made);
    QCOMPARE(f.backups.prune(0), QStringList());
    QCOMPARE(f.backups.prune(10), QStringList());
    QCOMPARE(f.backups.prune(3), made.mid(0, 3));
    QCOMPARE(f.backups.prune(1), made.mid(3, 2));
    QCOMPARE(f.backups.names(), QStringList{made.last()});
    for (const QString &o : others)
        QVERIFY(QFileInfo::exists(f.path(o)));
}

void TstBackups::damagedBackupIsRefused_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason");
    QTest::newRow("truncated") << "truncate" << "";
    QTest::newRow("damaged page") << "scribble" << "";
    QTest::newRow("not SQLite") << "text" << "文件不是 SQLite 数据库";
    QTest::newRow("empty") << "empty" << "文件是空的";
    QTest::newRow("missing contract table") << "dropContract" << "缺少账套“%1”的合同表 %2";
    QTest::newRow("missing fixed table") << "dropFixed" << "缺少数据表 gysb";
}

void TstBackups::damagedBackupIsRefused()
{
    QFETCH(QString, damage);
    QFETCH(QString, reason);
    Fixture f;
    for (int i = 0; i < 40; ++i)
        QVERIFY(writeContract(f.env.db(), f.table, QStringLiteral("HT%1").arg(i), 3, QString(300, u'品')));
    const QString name = f.backups.create().name;
    const QString file = f.path(name);
    if (damage.startsWith(QLatin1String("drop"))) {
        DbConnection other(QStringLiteral("damage"));
        QVERIFY(other.openSqlite(file));
        QVERIFY(other.execute(QStringLiteral("drop table ") + (damage == QLatin1String("dropFixed") ? QStringLiteral("gysb") : f.table)));
        other.close();
        reason = reason.contains(u'%') ? reason.arg(f.env.rows(QStringLiteral("select 账套名 from ztb")).value(0).value(0), f.table)
                                       : reason;
    } else {
        QFile x(file);
        QVERIFY(x.open(QIODevice::ReadWrite));
        const qint64 size = x.size();
        if (damage == QLatin1String("truncate"))
            x.resize(size / 2);
        else if (damage == QLatin1String("scribble"))
            x.seek(size / 2), x.write(QByteArray(8192, '\x5a'));
        else
            x.resize(0), x.write(damage == QLatin1String("text") ? "账套名,合同编号\n2035年度,HT1\n" : "");
    }
    const QStringList before = dump(f.env.dbPath());

    Backups::Staged staged;
    const Backups::Result r = f.backups.stage(name, &staged);
    QCOMPARE(int(r.outcome), int(Backups::Outcome::Damaged));
    QVERIFY2(reason.isEmpty() ? !r.reason.isEmpty() : r.reason == reason, qPrintable(r.reason));
    // Nothing changed: same rows, no backup of the current database, no copy.
    QCOMPARE(dump(f.env.dbPath()), before);
    QCOMPARE(f.backups.names(), QStringList{name});
    QCOMPARE(f.leftovers(), QStringList());
    QVERIFY(f.env.db().isConnected());
}

void TstBackups::restoreGivesBackTheBackedUpRows()
{
    Fixture f;
    const QString hostile = QStringLiteral("引号' \"双引号\" 反斜杠\\ 百分号% 全角　空格 尾部空格  ");
    QByteArray pdf(300000, '\0');
    for (int i = 0; i < pdf.size(); ++i)
        pdf[i] = char(i * 7 % 251);
    QVERIFY(writeContract(f.env.db(), f.table, QStringLiteral("HT-A"), 3, hostile, pdf));
    QVERIFY(writeContract(f.env.db(), f.table, QStringLiteral("HT-B"), 2, QString(200, u'长')));
    const QString taken = f.backups.create().name;
    const QStringList atBackup = dump(f.env.dbPath());
    QVERIFY(f.env.db().execute(QStringLiteral("delete from ") + f.table + QStringLiteral(" where 合同编号='HT-A'")));
    QVERIFY(writeContract(f.env.db(), f.table, QStringLiteral("HT-C"), 4));
    f.env.addUser(QStringLiteral("后来的人"), QStringLiteral("x"), {});
    const QStringList beforeRestore = dump(f.env.dbPath());

    Clock::setFixed(cgtest::kFixedNow.addSecs(60));
    Backups::Staged staged;
    QVERIFY(f.backups.stage(taken, &staged).ok());
    QCOMPARE(staged.preRestoreName, QStringLiteral("cgsys-20350520-093115.db"));
    QCOMPARE(dump(f.env.dbPath()), beforeRestore);   // staging changes nothing yet
    QVERIFY(f.backups.replace(f.env.db(), staged).ok());
    QCOMPARE(dump(f.env.dbPath()), atBackup);
    QCOMPARE(dump(f.path(staged.preRestoreName)), beforeRestore);
    QCOMPARE(f.leftovers(), QStringList());
    // The connection works on the restored file.
    QCOMPARE(f.env.rows(QStringLiteral("select 产品 from ") + f.table + QStringLiteral(" where 合同编号='HT-A'")).value(0),
             QStringList{hostile});
    QVERIFY(writeContract(f.env.db(), f.table, QStringLiteral("HT-D"), 1));
}

void TstBackups::restoreWaitsForOtherConnections()
{
    Fixture f;
    QVERIFY(writeContract(f.env.db(), f.table, QStringLiteral("HT-A"), 2));
    const QString taken = f.backups.create().name;
    QVERIFY(writeContract(f.env.db(), f.table, QStringLiteral("HT-B"), 2));
    const QStringList current = dump(f.env.dbPath());
    // Another connection's write-ahead log would be applied to the new file.
    DbConnection other(QStringLiteral("another"));
    QVERIFY(f.env.open(other));
    QVERIFY(other.execute(QStringLiteral("update yhb set 密码=密码")));
    Backups::Staged staged;
    QVERIFY(f.backups.stage(taken, &staged).ok());
    const Backups::Result r = f.backups.replace(f.env.db(), staged);
    QCOMPARE(int(r.outcome), int(Backups::Outcome::InUse));
    QCOMPARE(r.reason, QStringLiteral("数据库文件正被其他程序使用"));
    QVERIFY(f.env.db().isConnected());
    QCOMPARE(dump(f.env.dbPath()), current);
    Backups::discard(staged);
    // Once it is gone the same restore goes through.
    other.close();
    QVERIFY(f.backups.stage(taken, &staged).ok());
    QVERIFY(f.backups.replace(f.env.db(), staged).ok());
    QCOMPARE(f.env.rows(QStringLiteral("select count(*) from ") + f.table).value(0).value(0), QStringLiteral("2"));
}

void TstBackups::checksAreRemembered()
{
    Fixture f;
    const QString good = f.backups.create().name;
    const QString bad = QStringLiteral("cgsys-20350101-000000.db");
    QFile x(f.path(bad));
    QVERIFY(x.open(QIODevice::WriteOnly));
    x.write("not a database at all");
    x.close();
    QCOMPARE(int(f.backups.list(false).value(0).check), int(BackupEntry::Check::Unchecked));
    QList<BackupEntry> l = f.backups.list();
    QCOMPARE(l[0].name, bad);
    QCOMPARE(int(l[0].check), int(BackupEntry::Check::Failed));
    QCOMPARE(l[0].reason, QStringLiteral("文件不是 SQLite 数据库"));
    QCOMPARE(int(l[1].check), int(BackupEntry::Check::Passed));
    QCOMPARE(l[1].time, cgtest::kFixedNow);
    // Same name, size and time: the remembered result; another time: checked again.
    QFile y(f.path(good));
    const QDateTime mtime = QFileInfo(y).lastModified();
    QVERIFY(y.open(QIODevice::ReadWrite));
    y.write(QByteArray(int(y.size()), 'x'));
    QVERIFY(y.setFileTime(mtime, QFileDevice::FileModificationTime));
    QCOMPARE(int(f.backups.list(false)[1].check), int(BackupEntry::Check::Passed));
    QVERIFY(y.setFileTime(mtime.addSecs(5), QFileDevice::FileModificationTime));
    y.close();
    QCOMPARE(int(f.backups.list()[1].check), int(BackupEntry::Check::Failed));
}

void TstBackups::onceADay()
{
    const QDate day(2035, 5, 20);
    QVERIFY(DailyBackup::due(QString(), day, 30));
    QVERIFY(DailyBackup::due(QStringLiteral("2035-05-19"), day, 30));
    QVERIFY(!DailyBackup::due(QStringLiteral("2035-05-20"), day, 30));
    QVERIFY(!DailyBackup::due(QStringLiteral("2035-05-19"), day, 0));
    QVERIFY(DailyBackup::due(QStringLiteral("2035-05-21"), day, 1));   // a clock set back
    cgtest::TestEnv env;
    for (const char *stored : {"", "abc", "-3"}) {
        Settings::write(BackupSettings::kSection, BackupSettings::kKeepKey, QString::fromUtf8(stored));
        QCOMPARE(BackupSettings::keep(), 30);
    }
}

void TstBackups::networkFileSystems()
{
    const quint64 fuse = 0x65735546;
    const struct {
        quint64 magic;
        const char *type;
        bool network;
    } cases[] = {{0x6969, "nfs4", true},        {0xFF534D42, "cifs", true},   {0xFE534D42, "smb3", true},
                 {0x00C36400, "ceph", true},    {fuse, "fuse.sshfs", true},   {fuse, "fuse.gvfsd-fuse", true},
                 {fuse, "fuseblk", false},      {fuse, "fuse.exfat", false},  {0xEF53, "ext4", false},
                 {0x01021994, "tmpfs", false},  {0, "nfs", true}};
    for (const auto &c : cases)
        QVERIFY2(FileSystemInfo::isNetworkFileSystem(c.magic, QString::fromLatin1(c.type)) == c.network, c.type);
    // The test folder is on a local disk, also for a file not written yet.
    QTemporaryDir dir;
    QVERIFY(!FileSystemInfo::isNetworkPath(dir.path() + QStringLiteral("/新/cgsys.db")));
    QCOMPARE(EmbeddedDatabaseFile(QStringLiteral("SQLite"), QStringLiteral("a.db"), dir.path()), dir.path() + QStringLiteral("/a.db"));
    QCOMPARE(EmbeddedDatabaseFile(QStringLiteral("sqlite"), QStringLiteral("/srv/a.db"), dir.path()), QStringLiteral("/srv/a.db"));
    QCOMPARE(EmbeddedDatabaseFile(QStringLiteral("postgresql://h"), QStringLiteral("a.db"), dir.path()), QString());
}

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--writer") == 0) {
        QCoreApplication app(argc, argv);
        return runWriter(app.arguments().mid(1));
    }
    QApplication app(argc, argv);
    TstBackups t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_backups.moc"
