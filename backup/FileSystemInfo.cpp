#include "backup/FileSystemInfo.h"
#include "data/Db.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#if defined(Q_OS_LINUX)
#include <sys/vfs.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace cg::FileSystemInfo {

namespace {

std::function<bool(const QString &)> &testAnswer()
{
    static std::function<bool(const QString &)> answer;
    return answer;
}

#if !defined(Q_OS_WIN)
// The path itself when it exists, else the nearest existing folder above it.
QString existingPart(const QString &path)
{
    QFileInfo info(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    while (!info.exists()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            break;
        info = QFileInfo(parent);
    }
    return info.absoluteFilePath();
}
#endif

} // namespace

bool isNetworkFileSystem(quint64 magic, const QString &typeName)
{
    switch (magic) {
    case 0x6969:        // NFS
    case 0x517B:        // SMB
    case 0xFF534D42:    // CIFS
    case 0xFE534D42:    // SMB2 / SMB3
    case 0x564C:        // NCP
    case 0x5346414F:    // AFS
    case 0x6B414653:    // kAFS
    case 0x73757245:    // Coda
    case 0x00C36400:    // Ceph
    case 0x01021997:    // 9P
    case 0x0BD00BD0:    // Lustre
    case 0x01161970:    // GFS2
    case 0x7461636F:    // OCFS2
    case 0x013111A8:    // IBRIX
        return true;
    case 0x65735546: {  // FUSE: the mount's own name tells what is behind it
        static const char *const networked[] = {
            "sshfs", "rclone", "s3fs", "gcsfuse", "goofys", "glusterfs", "ceph", "curlftpfs", "davfs",
            "webdav", "smbnetfs", "gvfsd-fuse", "nfs", "cifs", "smb", "afp", "ftp", "moosefs", "mfs",
            "lizardfs", "beegfs", "juicefs", "seaweedfs", "onedrive", "dropbox", "google-drive"};
        const QString name = typeName.toLower();
        const QString sub = name.startsWith(QLatin1String("fuse.")) ? name.mid(5) : name;
        for (const char *n : networked)
            if (sub.startsWith(QLatin1String(n)))
                return true;
        return false;
    }
    default:
        break;
    }
    // Whatever statfs said, a mount table name of a network file system counts.
    static const char *const names[] = {"nfs", "nfs4", "cifs", "smb", "smb2", "smb3", "smbfs", "afs",
                                        "ceph", "9p", "ncpfs", "coda", "lustre", "gfs2", "ocfs2"};
    for (const char *n : names)
        if (typeName.compare(QLatin1String(n), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool isNetworkPath(const QString &path)
{
    if (testAnswer())
        return testAnswer()(path);
#if defined(Q_OS_WIN)
    const QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (native.startsWith(QLatin1String("\\\\")))
        return true;   // \\server\share, also \\?\UNC\…
    if (native.size() >= 2 && native.at(1) == u':') {
        const std::wstring root = native.left(2).toStdWString() + L"\\";
        return GetDriveTypeW(root.c_str()) == DRIVE_REMOTE;
    }
    return false;
#else
    const QString where = existingPart(path);
    const QString typeName = QString::fromLatin1(QStorageInfo(where).fileSystemType());
#if defined(Q_OS_LINUX)
    struct statfs st {};
    const QByteArray encoded = QFile::encodeName(where);
    if (statfs(encoded.constData(), &st) == 0)
        return isNetworkFileSystem(quint64(quint32(st.f_type)), typeName);
#endif
    return isNetworkFileSystem(0, typeName);
#endif
}

void setOverride(std::function<bool(const QString &path)> answer) { testAnswer() = std::move(answer); }

} // namespace cg::FileSystemInfo

namespace cg {

QString EmbeddedDatabaseFile(const QString &server, const QString &database, const QString &workFolder)
{
    if (DbConnection::backendOf(server) != Backend::Sqlite)
        return {};
    if (QFileInfo(database).isRelative())
        return QDir(workFolder).filePath(database);
    return database;
}

QString NetworkFolderWarning(const QString &file)
{
    return QStringLiteral("内置数据库文件 %1 位于网络文件夹中。\n"
                          "内置数据库只供一台工作站使用：网络文件夹不能可靠地锁定文件，多台工作站同时打开它会损坏数据。"
                          "多台工作站共用数据时请使用 PostgreSQL 或 SQL Server 数据库。\n\n"
                          "是否打开数据库连接设置窗口修改连接？（选“否”仍打开此文件）")
        .arg(QDir::toNativeSeparators(file));
}

} // namespace cg
