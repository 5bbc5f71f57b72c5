#pragma once
#include <QLocalServer>
#include <QObject>

namespace cg {

// One running program per working folder: the first start listens on a
// local socket; a later start tells it to come forward and ends.
//
// The socket lives in the user's runtime folder (owner-only), never in the
// shared temporary folder, so another user can neither take the name nor
// pretend to be the running program. Deciding who is first happens under a
// lock file beside it, so that two starts at the same moment cannot both
// listen, and a socket file is removed only after a connection attempt has
// shown that nobody listens on it any more.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString &workFolder, QObject *parent = nullptr);

    // False when another instance runs: it was asked to come forward and this
    // start should end. True when this process is the one to run (listening,
    // or, when no private place for the socket exists, unguarded).
    bool claim();

    bool isListening() const { return m_server.isListening(); }
    // The socket's full name; empty when there is no private place for it.
    QString serverName() const { return m_name; }
    int activations() const { return m_activations; }

Q_SIGNALS:
    void activationRequested();

private:
    QString m_name;
    QString m_lockPath;
    QLocalServer m_server;
    int m_activations = 0;
};

// Brings the program's visible top-level window forward: the main window
// when it is shown, else the login or connection window.
void BringToFront();

} // namespace cg
