// Backups of the embedded database: consistent copies, retention, the check
// a copy must pass, and restore.
#include "backup/Backups.h"
#include "backup/DailyBackup.h"
#include "backup/FileSystemInfo.h"
#include "support/TestEnv.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
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

// One contract of `lines` lines and its log row, as one unit.
bool writeContract(DbConnection &db, const QString &table, const QString &number, int lines,
                   const QString &product = QStringLiteral("产品"), const QByteArray &attachment = {})
{
    return inTransaction(db, [&] {
        for (int i = 1; i <= lines; ++i) {
            if (!db.execute(QStringLiteral("insert into ") + table
                                + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,"
                                                 "计量单位,制单日期,生效日期,失效日期,合同金额,付款方式,税率,附件) "
                                                 "values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
                            {QStringLiteral("未审核"), number, number + QString::number(i), QStringLiteral("张三"),
                             QStringLiteral("采购部"), QStringLiteral("李四"), QStringLiteral("华东机电"), product,
                             QStringLiteral("1"), QStringLiteral("台"), QStringLiteral("2035-05-20"),
                             QStringLiteral("2035-05-20"), QStringLiteral("2036-05-20"), QStringLiteral("100"),
                             QStringLiteral("月结"), QStringLiteral("13%"),
                             i == 1 && !attachment.isEmpty() ? QVariant(attachment) : QVariant(QMetaType(QMetaType::QByteArray))}))
                return false;
        }
        return db.execute(QStringLiteral("insert into rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
                                         "values('2035-05-20','2035-05-20 09:30:15','写入','写入','操作',?,'','')"),
                          {number});
    });
}

// Every row of every table of a database file, blobs as digests.
QStringList dump(const QString &file)
{
    QStringList out;
    const QString name = QStringLiteral("dump-%1").arg(QRandomGenerator::global()->generate());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            return {QStringLiteral("cannot open")};
        QSqlQuery tables(db);
        tables.exec(QStringLiteral("select name from sqlite_master where type='table' and name not like 'sqlite_%' "
                                   "order by name"));
        while (tables.next()) {
            const QString t = tables.value(0).toString();
            QSqlQuery q(db);
            q.exec(QStringLiteral("select * from \"%1\" order by rowid").arg(t));
            while (q.next()) {
                QStringList row{t};
                for (int i = 0; i < q.record().count(); ++i) {
                    const QVariant v = q.value(i);
                    row << (v.typeId() == QMetaType::QByteArray
                                ? QString::fromLatin1(QCryptographicHash::hash(v.toByteArray(), QCryptographicHash::Sha1).toHex())
                                : v.toString());
                }
                out << row.join(u'|');
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

int count(const QString &file, const QString &sql)
{
    int n = -1;
    const QString name = QStringLiteral("count-%1").arg(QRandomGenerator::global()->generate());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                n = q.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return n;
}

// The writer process: contracts of five lines, one unit each, until told to stop.
int runWriter(const QStringList &args)
{
    DbConnection db(QStringLiteral("writer"));
    if (!db.openSqlite(args.value(1)))
        return 2;
    const QString table = contractTable(db);
    const QString stop = args.value(2);
    QElapsedTimer clock;
    clock.start();
    int n = 0;
    while (!QFile::exists(stop) && clock.elapsed() < 60000) {
        if (!writeContract(db, table, QStringLiteral("W%1").arg(++n), 5))
            return 3;
    }
    printf("%d\n", n);
    return 0;
}

struct Fixture {
    cgtest::TestEnv env;
    Backups backups{env.dbPath(), Backups::folderIn(env.workFolder())};
    QString table = contractTable(env.db());
    QString backupPath(const QString &name) const { return backups.folder() + name; }
    QStringList stagedLeftovers() const
    {
        return QDir(QFileInfo(env.dbPath()).absolutePath()).entryList({QStringLiteral(".cgsys-restore-*")},
                                                                        QDir::Files | QDir::Hidden);
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
    void networkFileSystems_data();
    void networkFileSystems();
};

void TstBackups::consistentWhileAnotherProcessWrites()
{
    Fixture f;
    const QString stop = f.env.folder() + QStringLiteral("/stop");
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--writer"), f.env.dbPath(), stop});
    QVERIFY(writer.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(count(f.env.dbPath(), QStringLiteral("select count(*) from rzb where 用户='写入'")) > 20,
                             20000);
    QStringList names;
    for (int i = 0; i < 4; ++i) {
        const Backups::Result r = f.backups.create();
        QVERIFY2(r.ok(), qPrintable(r.reason));
        names << r.name;
        QTest::qWait(100);
    }
    QFile go(stop);
    QVERIFY(go.open(QIODevice::WriteOnly));
    go.close();
    QVERIFY(writer.waitForFinished(30000));
    QCOMPARE(writer.exitCode(), 0);
    // All taken within the same second of the fixed clock.
    QCOMPARE(names, (QStringList{QStringLiteral("cgsys-20350520-093015.db"), QStringLiteral("cgsys-20350520-093015-2.db"),
                                 QStringLiteral("cgsys-20350520-093015-3.db"), QStringLiteral("cgsys-20350520-093015-4.db")}));
    QCOMPARE(f.backups.names(), names);
    int previous = 0;
    for (const QString &n : names) {
        const QString file = f.backupPath(n);
        const Backups::Result c = Backups::check(file);
        QVERIFY2(c.ok(), qPrintable(n + QStringLiteral(": ") + c.reason));
        // Every contract complete, and its log row with it.
        const int contracts = count(file, QStringLiteral("select count(*) from rzb where 用户='写入'"));
        QCOMPARE(count(file, QStringLiteral("select count(*) from ") + f.table), contracts * 5);
        QCOMPARE(count(file, QStringLiteral("select count(*) from (select 合同编号 from ") + f.table
                                 + QStringLiteral(" group by 合同编号 having count(*)<>5)")),
                 0);
        QVERIFY(contracts >= previous);
        previous = contracts;
    }
    QVERIFY(previous > 20);
    QCOMPARE(QDir(f.backups.folder()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden), QStringList());
}

void TstBackups::namesAndRetention()
{
    Fixture f;
    QStringList made;
    for (int day = 1; day <= 5; ++day) {
        Clock::setFixed(QDateTime(QDate(2035, 6, day), QTime(8, 0, 0)));
        const Backups::Result r = f.backups.create();
        QVERIFY(r.ok());
        made << r.name;
    }
    // A second one in the last second sorts after it.
    const Backups::Result again = f.backups.create();
    QCOMPARE(again.name, QStringLiteral("cgsys-20350605-080000-2.db"));
    made << again.name;
    // Files that are no backups of this program are never touched.
    for (const char *other : {"notes.txt", "cgsys-old.db", "cgsys-20351301-000000.db"}) {
        QFile x(f.backups.folder() + QString::fromUtf8(other));
        QVERIFY(x.open(QIODevice::WriteOnly));
    }
    QCOMPARE(f.backups.names(), made);
    QCOMPARE(f.backups.prune(0), QStringList());
    QCOMPARE(f.backups.prune(10), QStringList());
    QCOMPARE(f.backups.prune(3), made.mid(0, 3));
    QCOMPARE(f.backups.names(), made.mid(3));
    QCOMPARE(f.backups.prune(1), made.mid(3, 2));
    QCOMPARE(f.backups.names(), QStringList{made.last()});
    for (const char *other : {"notes.txt", "cgsys-old.db", "cgsys-20351301-000000.db"})
        QVERIFY(QFileInfo::exists(f.backups.folder() + QString::fromUtf8(other)));
}

void TstBackups::damagedBackupIsRefused_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("reason");
    QTest::newRow("truncated") << "truncate" << "";
    QTest::newRow("not SQLite") << "text" << "文件不是 SQLite 数据库";
    QTest::newRow("empty") << "empty" << "文件是空的";
    QTest::newRow("damaged page") << "scribble" << "";
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
    const Backups::Result good = f.backups.create();
    QVERIFY(good.ok());
    const QString file = f.backupPath(good.name);
    const QString set = f.env.rows(QStringLiteral("select 账套名 from ztb")).value(0).value(0);
    if (damage == QLatin1String("dropContract") || damage == QLatin1String("dropFixed")) {
        DbConnection other(QStringLiteral("damage"));
        QVERIFY(other.openSqlite(file));
        QVERIFY(other.execute(QStringLiteral("drop table ")
                              + (damage == QLatin1String("dropFixed") ? QStringLiteral("gysb") : f.table)));
        other.close();
        for (const char *s : {"-wal", "-shm"})
            QFile::remove(file + QLatin1String(s));
        if (damage == QLatin1String("dropContract"))
            reason = reason.arg(set, f.table);
    } else {
        QFile x(file);
        QVERIFY(x.open(QIODevice::ReadWrite));
        const qint64 size = x.size();
        if (damage == QLatin1String("truncate")) {
            QVERIFY(x.resize(size / 2));
        } else if (damage == QLatin1String("text")) {
            x.resize(0);
            x.write("账套名,合同编号\n2035年度,HT1\n");
        } else if (damage == QLatin1String("empty")) {
            x.resize(0);
        } else {
            // Garbage over the pages that hold the contract lines.
            x.seek(size / 2);
            x.write(QByteArray(8192, '\x5a'));
        }
    }
    const QStringList before = dump(f.env.dbPath());
    const QStringList backupsBefore = f.backups.names();

    Backups::Staged staged;
    const Backups::Result r = f.backups.stage(good.name, &staged);
    QCOMPARE(int(r.outcome), int(Backups::Outcome::Damaged));
    if (!reason.isEmpty())
        QCOMPARE(r.reason, reason);
    else
        QVERIFY2(!r.reason.isEmpty(), "a reason is given");
    // Nothing changed: same rows, no backup of the current database, no copy.
    QCOMPARE(dump(f.env.dbPath()), before);
    QCOMPARE(f.backups.names(), backupsBefore);
    QCOMPARE(f.stagedLeftovers(), QStringList());
    QVERIFY(staged.stagedPath.isEmpty());
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
    const Backups::Result taken = f.backups.create();
    QVERIFY(taken.ok());
    const QStringList atBackup = dump(f.env.dbPath());

    // Later work: lines deleted and added, a user added.
    QVERIFY(f.env.db().execute(QStringLiteral("delete from ") + f.table + QStringLiteral(" where 合同编号='HT-A'")));
    QVERIFY(writeContract(f.env.db(), f.table, QStringLiteral("HT-C"), 4));
    f.env.addUser(QStringLiteral("后来的人"), QStringLiteral("x"), {});
    const QStringList beforeRestore = dump(f.env.dbPath());
    QVERIFY(beforeRestore != atBackup);

    Clock::setFixed(cgtest::kFixedNow.addSecs(60));
    Backups::Staged staged;
    const Backups::Result s = f.backups.stage(taken.name, &staged);
    QVERIFY2(s.ok(), qPrintable(s.reason));
    QCOMPARE(staged.preRestoreName, QStringLiteral("cgsys-20350520-093115.db"));
    QVERIFY(QFileInfo::exists(staged.stagedPath));
    // Staging changes nothing yet.
    QCOMPARE(dump(f.env.dbPath()), beforeRestore);

    const Backups::Result r = f.backups.replace(f.env.db(), staged);
    QVERIFY2(r.ok(), qPrintable(r.reason));
    QVERIFY(f.env.db().isConnected());
    QCOMPARE(dump(f.env.dbPath()), atBackup);
    QCOMPARE(f.stagedLeftovers(), QStringList());
    // The state before the restore is kept in its own backup.
    QCOMPARE(dump(f.backupPath(staged.preRestoreName)), beforeRestore);
    // The connection works on the restored file, and writes.
    QCOMPARE(f.env.rows(QStringLiteral("select count(*) from ") + f.table).value(0).value(0), QStringLiteral("5"));
    QVERIFY(writeContract(f.env.db(), f.table, QStringLiteral("HT-D"), 1));
    QCOMPARE(f.env.rows(QStringLiteral("select 产品 from ") + f.table + QStringLiteral(" where 合同编号='HT-A'")).value(0),
             QStringList{hostile});
}

void TstBackups::restoreWaitsForOtherConnections()
{
    Fixture f;
    QVERIFY(writeContract(f.env.db(), f.table, QStringLiteral("HT-A"), 2));
    const Backups::Result taken = f.backups.create();
    QVERIFY(taken.ok());
    QVERIFY(writeContract(f.env.db(), f.table, QStringLiteral("HT-B"), 2));
    const QStringList current = dump(f.env.dbPath());
    DbConnection other(QStringLiteral("another"));
    QVERIFY(f.env.open(other));
    QVERIFY(other.execute(QStringLiteral("update yhb set 密码=密码")));

    Backups::Staged staged;
    QVERIFY(f.backups.stage(taken.name, &staged).ok());
    const Backups::Result r = f.backups.replace(f.env.db(), staged);
    QCOMPARE(int(r.outcome), int(Backups::Outcome::InUse));
    QCOMPARE(r.reason, QStringLiteral("数据库文件正被其他程序使用"));
    QVERIFY(f.env.db().isConnected());
    QCOMPARE(dump(f.env.dbPath()), current);
    Backups::discard(staged);
    QCOMPARE(f.stagedLeftovers(), QStringList());

    // Once the other connection is gone the same restore goes through.
    other.close();
    QVERIFY(f.backups.stage(taken.name, &staged).ok());
    QVERIFY(f.backups.replace(f.env.db(), staged).ok());
    QCOMPARE(f.env.rows(QStringLiteral("select count(*) from ") + f.table).value(0).value(0), QStringLiteral("2"));
}

void TstBackups::checksAreRemembered()
{
    Fixture f;
    const Backups::Result good = f.backups.create();
    QVERIFY(good.ok());
    const QString bad = QStringLiteral("cgsys-20350101-000000.db");
    {
        QFile x(f.backupPath(bad));
        QVERIFY(x.open(QIODevice::WriteOnly));
        x.write("not a database at all");
    }
    QList<BackupEntry> l = f.backups.list(false);
    QCOMPARE(l.size(), 2);
    QCOMPARE(int(l[0].check), int(BackupEntry::Check::Unchecked));
    l = f.backups.list();
    QCOMPARE(l[0].name, bad);
    QCOMPARE(int(l[0].check), int(BackupEntry::Check::Failed));
    QCOMPARE(l[0].reason, QStringLiteral("文件不是 SQLite 数据库"));
    QCOMPARE(l[1].name, good.name);
    QCOMPARE(int(l[1].check), int(BackupEntry::Check::Passed));
    QCOMPARE(l[1].time, cgtest::kFixedNow);
    QVERIFY(QFileInfo::exists(f.backups.folder() + Backups::checkRecordName()));

    // Same name, size and time: the remembered result, without a new check.
    const QString file = f.backupPath(good.name);
    const QDateTime mtime = QFileInfo(file).lastModified();
    const qint64 size = QFileInfo(file).size();
    {
        QFile x(file);
        QVERIFY(x.open(QIODevice::ReadWrite));
        x.write(QByteArray(int(size), 'x'));
        x.close();
        QVERIFY(x.open(QIODevice::ReadWrite));
        QVERIFY(x.setFileTime(mtime, QFileDevice::FileModificationTime));
    }
    QCOMPARE(int(f.backups.list(false)[1].check), int(BackupEntry::Check::Passed));
    // Another time: checked again.
    {
        QFile x(file);
        QVERIFY(x.open(QIODevice::ReadWrite));
        QVERIFY(x.setFileTime(mtime.addSecs(5), QFileDevice::FileModificationTime));
    }
    QCOMPARE(int(f.backups.list(false)[1].check), int(BackupEntry::Check::Unchecked));
    l = f.backups.list();
    QCOMPARE(int(l[1].check), int(BackupEntry::Check::Failed));
    // A pruned backup leaves the record.
    QVERIFY(QFile::remove(f.backupPath(bad)));
    f.backups.list();
    QFile record(f.backups.folder() + Backups::checkRecordName());
    QVERIFY(record.open(QIODevice::ReadOnly));
    QVERIFY(!record.readAll().contains(bad.toUtf8()));
}

void TstBackups::onceADay()
{
    const QDate day(2035, 5, 20);
    QVERIFY(DailyBackup::due(QString(), day, 30));
    QVERIFY(DailyBackup::due(QStringLiteral("2035-05-19"), day, 30));
    QVERIFY(!DailyBackup::due(QStringLiteral("2035-05-20"), day, 30));
    QVERIFY(!DailyBackup::due(QStringLiteral("2035-05-19"), day, 0));
    // A clock set back still backs up on a day that has none yet.
    QVERIFY(DailyBackup::due(QStringLiteral("2035-05-21"), day, 1));

    cgtest::TestEnv env;
    QCOMPARE(BackupSettings::keep(), 30);
    for (const char *stored : {"abc", "-3", ""}) {
        QVERIFY(Settings::write(BackupSettings::kSection, BackupSettings::kKeepKey, QString::fromUtf8(stored)));
        QCOMPARE(BackupSettings::keep(), 30);
    }
    QVERIFY(BackupSettings::setKeep(0));
    QCOMPARE(BackupSettings::keep(), 0);
}

void TstBackups::networkFileSystems_data()
{
    QTest::addColumn<quint64>("magic");
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("network");
    QTest::newRow("nfs") << quint64(0x6969) << "nfs4" << true;
    QTest::newRow("cifs") << quint64(0xFF534D42) << "cifs" << true;
    QTest::newRow("smb2") << quint64(0xFE534D42) << "smb3" << true;
    QTest::newRow("old smbfs") << quint64(0x517B) << "smbfs" << true;
    QTest::newRow("ceph") << quint64(0x00C36400) << "ceph" << true;
    QTest::newRow("9p") << quint64(0x01021997) << "9p" << true;
    QTest::newRow("sshfs") << quint64(0x65735546) << "fuse.sshfs" << true;
    QTest::newRow("rclone") << quint64(0x65735546) << "fuse.rclone" << true;
    QTest::newRow("gvfs") << quint64(0x65735546) << "fuse.gvfsd-fuse" << true;
    QTest::newRow("ntfs through fuse") << quint64(0x65735546) << "fuseblk" << false;
    QTest::newRow("exfat through fuse") << quint64(0x65735546) << "fuse.exfat" << false;
    QTest::newRow("ext4") << quint64(0xEF53) << "ext4" << false;
    QTest::newRow("tmpfs") << quint64(0x01021994) << "tmpfs" << false;
    QTest::newRow("unknown magic, nfs mount") << quint64(0) << "nfs" << true;
}

void TstBackups::networkFileSystems()
{
    QFETCH(quint64, magic);
    QFETCH(QString, type);
    QFETCH(bool, network);
    QCOMPARE(FileSystemInfo::isNetworkFileSystem(magic, type), network);
    // The real answer for the test folder, a local disk, also for a file
    // not written yet.
    QTemporaryDir dir;
    QVERIFY(!FileSystemInfo::isNetworkPath(dir.path() + QStringLiteral("/新/cgsys.db")));
    QCOMPARE(EmbeddedDatabaseFile(QStringLiteral("SQLite"), QStringLiteral("a.db"), dir.path()),
             dir.path() + QStringLiteral("/a.db"));
    QCOMPARE(EmbeddedDatabaseFile(QStringLiteral("sqlite"), QStringLiteral("/srv/a.db"), dir.path()),
             QStringLiteral("/srv/a.db"));
    QCOMPARE(EmbeddedDatabaseFile(QStringLiteral("postgresql://h"), QStringLiteral("a.db"), dir.path()), QString());
}

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (!args.isEmpty() && args.first() == QLatin1String("--writer")) {
        QCoreApplication app(argc, argv);
        return runWriter(args);
    }
    QApplication app(argc, argv);
    TstBackups t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_backups.moc"
