#pragma once
// Backups of the embedded database: consistent copies written by SQLite
// itself into the working folder's 备份/, the check a copy must pass before
// it may replace the database, and the replacement in one step.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace cg {
class DbConnection;

struct BackupEntry {
    enum class Check { Unchecked, Passed, Failed };
    QString name;        // cgsys-YYYYMMDD-HHMMSS.db
    QDateTime time;      // from the name
    qint64 size = 0;
    Check check = Check::Unchecked;
    QString reason;      // why the check failed
};

class Backups {
public:
    enum class Outcome {
        Done,
        Damaged,   // the file failed the check; reason says why
        InUse,     // the database file is still open elsewhere
        Failed     // writing or reading a file failed; reason says why
    };
    struct Result {
        Outcome outcome = Outcome::Failed;
        QString reason;
        QString name;    // the backup written (create) or checked
        bool ok() const { return outcome == Outcome::Done; }
    };

    // databasePath: the embedded database file; folder: where the backups go.
    Backups(const QString &databasePath, const QString &folder);
    // WorkFolder + "备份/".
    static QString folderIn(const QString &workFolder);

    QString databasePath() const { return m_db; }
    QString folder() const { return m_folder; }

    // "cgsys-YYYYMMDD-HHMMSS.db"; a second copy in the same second gets
    // "-2", "-3" … before ".db".
    static QString fileName(const QDateTime &when, int serial = 1);
    // Time and serial of a backup name; false for any other file name.
    static bool parseName(const QString &name, QDateTime *when = nullptr, int *serial = nullptr);

    // Writes a consistent copy of the database as it is at this moment
    // (VACUUM INTO on a connection of its own; any thread), named by the
    // clock. The copy appears under its name only when complete.
    Result create() const;

    // Backup names, oldest first.
    QStringList names() const;
    // Deletes the oldest backups beyond the newest keep; keep <= 0 keeps
    // all. Returns the names deleted.
    QStringList prune(int keep) const;

    // Every backup, oldest first, with its check. A file is checked the
    // first time it is listed (or when its size or time changed); the
    // results are remembered in the folder.
    QList<BackupEntry> list(bool checkNew = true) const;

    // A file may replace the database when SQLite reads it, its integrity
    // check passes, the five fixed tables are there and so is the contract
    // table of every account set in its ztb.
    static Result check(const QString &file);

    // Restoring, in two steps around the moment the program lets go of the
    // database. stage(): checks the backup, backs the current database up,
    // copies the backup beside the database file and checks that copy.
    struct Staged {
        QString backupName;
        QString preRestoreName;   // the backup of the database before the restore
        QString stagedPath;       // the copy beside the database file
    };
    Result stage(const QString &backupName, Staged *staged) const;
    // replace(): closes live, puts the staged copy in place of the database
    // file with one rename and opens live on it again. When the database is
    // still open elsewhere or the rename fails, nothing changes and live is
    // opened on the old file again.
    Result replace(DbConnection &live, const Staged &staged) const;
    // Removes a staged copy that will not be used.
    static void discard(const Staged &staged);

    // The name of the file that remembers the checks, inside the folder.
    static QString checkRecordName();

private:
    QString m_db;
    QString m_folder;
};

} // namespace cg
