#include "backup/Backups.h"
#include "data/Db.h"
#include "data/Schema.h"
#include "data/Seams.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QTextStream>
#include <filesystem>

#if defined(Q_OS_WIN)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace cg {

namespace {

const QRegularExpression &namePattern()
{
    static const QRegularExpression re(QStringLiteral("^cgsys-(\\d{8})-(\\d{6})(?:-(\\d+))?\\.db$"));
    return re;
}

QString uniqueConnectionName(const char *purpose)
{
    static QAtomicInt serial;
    return QStringLiteral("cgsys-%1-%2").arg(QLatin1String(purpose)).arg(serial.fetchAndAddRelaxed(1) + 1);
}

// A connection of its own on one file, closed and removed at the end of
// the scope, on whatever thread it was made.
class OwnConnection {
public:
    OwnConnection(const QString &path, bool readOnly, const char *purpose) : m_name(uniqueConnectionName(purpose))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=30000")
                                      : QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
        m_open = db.open();
        if (!m_open)
            m_error = db.lastError().text();
    }
    ~OwnConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    bool isOpen() const { return m_open; }
    QString error() const { return m_error; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    bool m_open = false;
    QString m_error;
};

// Data written is on the disk before the file gets its final name.
bool flushToDisk(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
#if defined(Q_OS_WIN)
    return _commit(f.handle()) == 0;
#else
    return ::fsync(f.handle()) == 0;
#endif
}

bool replaceFile(const QString &from, const QString &to, QString *error)
{
    std::error_code ec;
    // Replaces an existing target in one step (rename(2), MoveFileEx).
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()),
                            std::filesystem::path(to.toStdU16String()), ec);
    if (ec && error)
        *error = QString::fromLocal8Bit(ec.message().c_str());
    return !ec;
}

struct Remembered {
    qint64 size = -1;
    qint64 mtime = -1;
    bool passed = false;
    QString reason;
    bool operator==(const Remembered &) const = default;
};

QHash<QString, Remembered> readRecord(const QString &path)
{
    QHash<QString, Remembered> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return out;
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split(u'\t');
        if (fields.size() < 4)
            continue;
        Remembered r;
        r.size = fields[1].toLongLong();
        r.mtime = fields[2].toLongLong();
        r.passed = fields[3] == QLatin1String("1");
        r.reason = fields.mid(4).join(u' ');
        out.insert(fields[0], r);
    }
    return out;
}

void writeRecord(const QString &path, const QHash<QString, Remembered> &record)
{
    QStringList names = record.keys();
    names.sort();
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    QTextStream out(&f);
    out.setEncoding(QStringConverter::Utf8);
    for (const QString &n : names) {
        const Remembered &r = record[n];
        QString reason = r.reason;
        reason.replace(u'\t', u' ').replace(u'\n', u' ').replace(u'\r', u' ');
        out << n << '\t' << r.size << '\t' << r.mtime << '\t' << (r.passed ? '1' : '0') << '\t' << reason << '\n';
    }
    out.flush();
    f.commit();
}

Backups::Result failed(Backups::Outcome outcome, const QString &reason, const QString &name = QString())
{
    Backups::Result r;
    r.outcome = outcome;
    r.reason = reason;
    r.name = name;
    return r;
}

} // namespace

Backups::Backups(const QString &databasePath, const QString &folder) : m_db(databasePath), m_folder(folder)
{
    if (!m_folder.isEmpty() && !m_folder.endsWith(u'/'))
        m_folder += u'/';
}

QString Backups::folderIn(const QString &workFolder)
{
    QString f = workFolder;
    if (!f.endsWith(u'/'))
        f += u'/';
    return f + QStringLiteral("备份/");
}

QString Backups::checkRecordName() { return QStringLiteral("备份检查记录.txt"); }

QString Backups::fileName(const QDateTime &when, int serial)
{
    QString name = QStringLiteral("cgsys-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (serial > 1)
        name += QStringLiteral("-%1").arg(serial);
    return name + QStringLiteral(".db");
}

bool Backups::parseName(const QString &name, QDateTime *when, int *serial)
{
    const QRegularExpressionMatch m = namePattern().match(name);
    if (!m.hasMatch())
        return false;
    const QDateTime t(QDate::fromString(m.captured(1), QStringLiteral("yyyyMMdd")),
                      QTime::fromString(m.captured(2), QStringLiteral("HHmmss")));
    if (!t.isValid())
        return false;
    if (when)
        *when = t;
    if (serial)
        *serial = m.captured(3).isEmpty() ? 1 : m.captured(3).toInt();
    return true;
}

QStringList Backups::names() const
{
    struct Item {
        QDateTime when;
        int serial;
        QString name;
    };
    QList<Item> items;
    const QStringList files = QDir(m_folder).entryList({QStringLiteral("cgsys-*.db")}, QDir::Files);
    for (const QString &f : files) {
        Item it{QDateTime(), 1, f};
        if (parseName(f, &it.when, &it.serial))
            items << it;
    }
    std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
        return a.when != b.when ? a.when < b.when : a.serial < b.serial;
    });
    QStringList out;
    for (const Item &it : items)
        out << it.name;
    return out;
}

QStringList Backups::prune(int keep) const
{
    QStringList removed;
    if (keep <= 0)
        return removed;
    const QStringList all = names();
    for (int i = 0; i + keep < all.size(); ++i)
        if (QFile::remove(m_folder + all[i]))
            removed << all[i];
    return removed;
}

Backups::Result Backups::create() const
{
    if (!QFileInfo::exists(m_db))
        return failed(Outcome::Failed, QStringLiteral("数据库文件不存在：") + m_db);
    if (!QDir().mkpath(m_folder))
        return failed(Outcome::Failed, QStringLiteral("无法建立备份文件夹：") + m_folder);
    const QDateTime now = Clock::now();
    // Written under a name of its own first (two backups may run at once),
    // then given the first free backup name of this second.
    const QString part = m_folder + QStringLiteral(".cgsys-backup-%1-%2.part")
                                           .arg(QCoreApplication::applicationPid())
                                           .arg(uniqueConnectionName("part"));
    QFile::remove(part);
    QString error;
    {
        OwnConnection source(m_db, false, "backup");
        if (!source.isOpen()) {
            error = source.error();
        } else {
            QSqlQuery q(source.db());
            if (!q.prepare(QStringLiteral("VACUUM INTO ?")))
                error = q.lastError().text();
            else {
                q.addBindValue(part);
                if (!q.exec())
                    error = q.lastError().text();
            }
        }
    }
    if (error.isEmpty() && !flushToDisk(part))
        error = QStringLiteral("备份文件无法写入磁盘");
    QString name;
    for (int serial = 1; error.isEmpty() && name.isEmpty() && serial < 1000; ++serial) {
        // QFile::rename never replaces an existing file.
        if (!QFileInfo::exists(m_folder + fileName(now, serial)) && QFile::rename(part, m_folder + fileName(now, serial)))
            name = fileName(now, serial);
    }
    if (error.isEmpty() && name.isEmpty())
        error = QStringLiteral("备份文件无法改名");
    if (!error.isEmpty()) {
        QFile::remove(part);
        return failed(Outcome::Failed, error);
    }
    Result r;
    r.outcome = Outcome::Done;
    r.name = name;
    return r;
}

Backups::Result Backups::check(const QString &file)
{
    const QString name = QFileInfo(file).fileName();
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return failed(Outcome::Damaged, QStringLiteral("文件无法读取"), name);
    const QByteArray head = f.read(100);
    f.close();
    if (head.isEmpty())
        return failed(Outcome::Damaged, QStringLiteral("文件是空的"), name);
    if (!head.startsWith(QByteArrayLiteral("SQLite format 3\0")) || head.size() < 100)
        return failed(Outcome::Damaged, QStringLiteral("文件不是 SQLite 数据库"), name);

    OwnConnection c(file, true, "check");
    if (!c.isOpen())
        return failed(Outcome::Damaged, QStringLiteral("文件无法打开：") + c.error(), name);
    QSqlQuery q(c.db());
    if (!q.exec(QStringLiteral("PRAGMA integrity_check")))
        return failed(Outcome::Damaged, QStringLiteral("文件已损坏：") + q.lastError().databaseText(), name);
    QStringList problems;
    while (q.next())
        problems << q.value(0).toString();
    if (problems != QStringList{QStringLiteral("ok")})
        return failed(Outcome::Damaged,
                      QStringLiteral("完整性检查未通过：") + problems.value(0, QStringLiteral("没有结果")), name);

    QSet<QString> tables;
    if (!q.exec(QStringLiteral("select name from sqlite_master where type='table'")))
        return failed(Outcome::Damaged, QStringLiteral("文件已损坏：") + q.lastError().databaseText(), name);
    while (q.next())
        tables.insert(q.value(0).toString().toLower());
    for (const QString &t : Schema::fixedTables())
        if (!tables.contains(t))
            return failed(Outcome::Damaged, QStringLiteral("缺少数据表 ") + t, name);
    if (!q.exec(QStringLiteral("select 账套名,引用合同表 from ztb")))
        return failed(Outcome::Damaged, QStringLiteral("账套表无法读取：") + q.lastError().databaseText(), name);
    while (q.next()) {
        const QString table = q.value(1).toString();
        if (!tables.contains(table.toLower()))
            return failed(Outcome::Damaged,
                          QStringLiteral("缺少账套“%1”的合同表 %2").arg(q.value(0).toString(), table), name);
    }
    Result r;
    r.outcome = Outcome::Done;
    r.name = name;
    return r;
}

QList<BackupEntry> Backups::list(bool checkNew) const
{
    const QString recordPath = m_folder + checkRecordName();
    const QHash<QString, Remembered> before = readRecord(recordPath);
    QHash<QString, Remembered> after;
    QList<BackupEntry> out;
    for (const QString &n : names()) {
        const QFileInfo info(m_folder + n);
        BackupEntry e;
        e.name = n;
        parseName(n, &e.time);
        e.size = info.size();
        const qint64 mtime = info.lastModified().toMSecsSinceEpoch();
        Remembered r = before.value(n);
        if (r.size != e.size || r.mtime != mtime) {
            if (!checkNew) {
                out << e;
                continue;
            }
            const Result c = check(info.filePath());
            r.size = e.size;
            r.mtime = mtime;
            r.passed = c.ok();
            r.reason = c.reason;
        }
        after.insert(n, r);
        e.check = r.passed ? BackupEntry::Check::Passed : BackupEntry::Check::Failed;
        e.reason = r.reason;
        out << e;
    }
    if (checkNew && after != before)
        writeRecord(recordPath, after);
    return out;
}

Backups::Result Backups::stage(const QString &backupName, Staged *staged) const
{
    const QString source = m_folder + backupName;
    const Result checked = check(source);
    if (!checked.ok())
        return checked;
    const Result pre = create();
    if (!pre.ok())
        return failed(Outcome::Failed, QStringLiteral("恢复前备份当前数据库失败：") + pre.reason, backupName);

    // The copy lies beside the database file, so the rename that puts it in
    // place stays on one file system and is a single step.
    QTemporaryFile copy(QFileInfo(m_db).absolutePath() + QStringLiteral("/.cgsys-restore-XXXXXX"));
    copy.setAutoRemove(false);
    QFile in(source);
    bool copied = copy.open() && in.open(QIODevice::ReadOnly);
    while (copied && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        copied = !chunk.isEmpty() && copy.write(chunk) == chunk.size();
    }
    const QString copyPath = copy.fileName();
    copy.close();
    copied = copied && flushToDisk(copyPath);
    if (!copied) {
        QFile::remove(copyPath);
        return failed(Outcome::Failed, QStringLiteral("备份文件无法复制到数据库文件夹"), backupName);
    }
    const Result again = check(copyPath);
    if (!again.ok()) {
        QFile::remove(copyPath);
        return failed(Outcome::Failed, QStringLiteral("复制的备份文件未通过检查：") + again.reason, backupName);
    }
    staged->backupName = backupName;
    staged->preRestoreName = pre.name;
    staged->stagedPath = copyPath;
    Result r;
    r.outcome = Outcome::Done;
    r.name = backupName;
    return r;
}

Backups::Result Backups::replace(DbConnection &live, const Staged &staged) const
{
    live.close();
    // The last connection to close folds the write-ahead log into the file
    // and deletes it. A log still there belongs to a connection elsewhere,
    // and it would be applied to the restored file: leave everything.
    for (const char *suffix : {"-wal", "-journal"}) {
        if (QFileInfo::exists(m_db + QLatin1String(suffix))) {
            const bool reopened = live.openSqlite(m_db);
            Q_UNUSED(reopened);
            return failed(Outcome::InUse, QStringLiteral("数据库文件正被其他程序使用"), staged.backupName);
        }
    }
    QFile::remove(m_db + QStringLiteral("-shm"));
    QString error;
    const bool moved = replaceFile(staged.stagedPath, m_db, &error);
    const bool reopened = live.openSqlite(m_db);
    if (!moved) {
        discard(staged);
        return failed(Outcome::Failed, QStringLiteral("数据库文件无法替换：") + error, staged.backupName);
    }
    if (!reopened)
        return failed(Outcome::Failed, QStringLiteral("恢复后的数据库无法打开：") + live.lastError(),
                      staged.backupName);
    Result r;
    r.outcome = Outcome::Done;
    r.name = staged.backupName;
    return r;
}

void Backups::discard(const Staged &staged)
{
    if (!staged.stagedPath.isEmpty())
        QFile::remove(staged.stagedPath);
}

} // namespace cg
