#include "app/SingleInstance.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QLocalSocket>
#include <QMainWindow>
#include <QWidget>

namespace cg {

SingleInstance::SingleInstance(const QString &workFolder, QObject *parent) : QObject(parent)
{
    const QByteArray hash = QCryptographicHash::hash(workFolder.toUtf8(), QCryptographicHash::Md5).toHex().left(16);
    m_name = QStringLiteral("cgsys-") + QString::fromLatin1(hash);
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

bool SingleInstance::notifyRunningInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(1000))
        return false;
    socket.write("show");
    socket.waitForBytesWritten(1000);
    socket.waitForReadyRead(2000);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen()
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server.listen(m_name))
        return true;
    // A socket file left behind by a program that did not end in order.
    QLocalServer::removeServer(m_name);
    return m_server.listen(m_name);
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
