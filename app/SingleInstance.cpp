#include "app/SingleInstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QMainWindow>
#include <QStandardPaths>
#include <QWidget>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace cg {

#ifndef Q_OS_WIN
namespace {

// The folder for the socket: the user's runtime folder, and only while it
// belongs to this user alone.
QString privateRuntimeFolder()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        return {};
    const QFileInfo info(dir);
    constexpr QFile::Permissions foreign = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (!info.isDir() || info.ownerId() != ::getuid() || (info.permissions() & foreign))
        return {};
    return dir;
}

} // namespace
#endif

SingleInstance::SingleInstance(const QString &workFolder, QObject *parent) : QObject(parent)
{
    const QByteArray hash = QCryptographicHash::hash(workFolder.toUtf8(), QCryptographicHash::Md5).toHex().left(16);
    const QString key = QStringLiteral("cgsys-") + QString::fromLatin1(hash);
#ifdef Q_OS_WIN
    // Pipe names are machine-wide; the working folder lies in the user's
    // profile, so the name is the user's own; the pipe admits only that user.
    m_name = key;
    m_lockPath = QDir::tempPath() + u'/' + key + QStringLiteral(".lock");
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
#else
    // The folder keeps strangers out. Without socket options the server binds
    // the name directly, so listening fails instead of replacing the socket
    // of a running program.
    const QString dir = privateRuntimeFolder();
    if (!dir.isEmpty()) {
        m_name = dir + u'/' + key;
        m_lockPath = m_name + QStringLiteral(".lock");
    }
#endif
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *s = m_server.nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            ++m_activations;
            Q_EMIT activationRequested();
            s->write("ok");
            s->flush();
        }
    });
}

bool SingleInstance::claim()
{
    if (m_name.isEmpty())
        return true;
    // Starts take turns from here until one listens. A lock left by a start
    // that was killed is taken over as soon as its process is gone.
    QLockFile lock(m_lockPath);
    const bool locked = lock.tryLock(10000);

    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(1000)) {
        if (locked)
            lock.unlock();
        probe.write("show");
        probe.waitForBytesWritten(1000);
        probe.waitForReadyRead(2000);
        probe.disconnectFromServer();
        return false;
    }
    // Refused: a socket file whose program ended without clean-up. Only the
    // holder of the lock may remove it; another start could be about to
    // listen on a fresh one.
    if (locked && probe.error() == QLocalSocket::ConnectionRefusedError)
        QLocalServer::removeServer(m_name);
    // When listening fails this start runs unguarded rather than not at all.
    m_server.listen(m_name);
    return true;
}

void BringToFront()
{
    QWidget *target = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible())
            continue;
        if (qobject_cast<QMainWindow *>(w)) {
            target = w;
            break;
        }
        if (!target)
            target = w;
    }
    if (!target)
        return;
    if (target->isMinimized())
        target->setWindowState(target->windowState() & ~Qt::WindowMinimized);
    target->show();
    target->raise();
    target->activateWindow();
}

} // namespace cg
