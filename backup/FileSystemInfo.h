#pragma once
// Which kind of file system a path lies on. SQLite's file locks are not
// reliable on network file systems, so the embedded database warns about
// them. Tests answer the question themselves.

#include <QString>
#include <functional>

namespace cg {

namespace FileSystemInfo {

// The file system holding path (or, while path does not exist yet, the
// nearest folder above it) is a network file system: NFS, SMB/CIFS, AFS,
// Ceph, 9P, sshfs and the other FUSE network mounts; on Windows a UNC path
// or a remote drive.
bool isNetworkPath(const QString &path);

// Linux: the decision for a statfs f_type and the mount's type name as the
// mount table gives it ("nfs4", "fuse.sshfs", "fuseblk" …). A FUSE mount
// counts as network only when its name says so, since local disks
// (NTFS, exFAT) are mounted through FUSE too.
bool isNetworkFileSystem(quint64 magic, const QString &typeName);

// Test mode: every question goes to answer; an empty function ends it.
void setOverride(std::function<bool(const QString &path)> answer);

} // namespace FileSystemInfo

// The embedded database file the connection values select (relative to the
// working folder unless absolute); empty for a server address.
QString EmbeddedDatabaseFile(const QString &server, const QString &database, const QString &workFolder);

// The question asked before an embedded database file on a network file
// system is opened: Yes shows the connection window instead.
QString NetworkFolderWarning(const QString &file);

} // namespace cg
