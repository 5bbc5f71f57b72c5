#pragma once
#include <QLocalServer>
#include <QObject>

namespace cg {

// One running program per working folder: the first start listens on a
// local socket; a later start tells it to come forward and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString &workFolder, QObject *parent = nullptr);
    // True when another instance answered (and was asked to come forward).
    bool notifyRunningInstance();
    // Starts listening; false when that was not possible.
    bool listen();
    int activations() const { return m_activations; }

Q_SIGNALS:
    void activationRequested();

private:
    QString m_name;
    QLocalServer m_server;
    int m_activations = 0;
};

// Brings the program's visible top-level window forward: the main window
// when it is shown, else the login or connection window.
void BringToFront();

} // namespace cg
