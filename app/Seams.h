#pragma once
// Everything the program shows or asks of the world goes through these small
// seams, so tests can answer message boxes and file dialogs, fix the clock and
// the host, and see a process end without the test ending.

#include <QDateTime>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace cg {

enum class MsgIcon { Information, Error, Question };

// Shows a message box: title "系统提示" when none is given; information and
// error boxes have an OK button, question boxes Yes and No.
QMessageBox::StandardButton ShowMessage(const QString &text, const QString &title = QString(),
                                        MsgIcon icon = MsgIcon::Information,
                                        QWidget *owner = nullptr);
inline QMessageBox::StandardButton ShowError(const QString &text, QWidget *owner = nullptr)
{
    return ShowMessage(text, QString(), MsgIcon::Error, owner);
}
inline QMessageBox::StandardButton ShowInfo(const QString &text, QWidget *owner = nullptr)
{
    return ShowMessage(text, QString(), MsgIcon::Information, owner);
}
inline bool AskYesNo(const QString &text, QWidget *owner = nullptr)
{
    return ShowMessage(text, QString(), MsgIcon::Question, owner) == QMessageBox::Yes;
}

struct ShownMessage {
    QString text;
    QString title;
    MsgIcon icon;
    QWidget *owner;
};

namespace MessageSeam {
// While recording, no box is shown: each call is recorded and answered from
// the queue (OK, or No for a question, when the queue is empty).
void startRecording();
void stopRecording();
bool isRecording();
void setNextAnswer(QMessageBox::StandardButton answer);
QList<ShownMessage> &shown();
void clear();
}

namespace FileDialogs {
QString openFile(QWidget *parent, const QString &caption, const QString &filter,
                 const QString &dir = QString());
QString saveFile(QWidget *parent, const QString &caption, const QString &filter,
                 const QString &dir = QString());
// Test mode: each dialog takes the next queued path; an empty queue cancels.
void startRecording();
void stopRecording();
void setNextPath(const QString &path);
QStringList &captions();
}

namespace Clock {
QDateTime now();
void setFixed(const QDateTime &when);   // invalid: back to the real clock
}

namespace HostInfo {
QString computerName();
QString ipv4Address();   // first IPv4 address of this host; 127.0.0.1 when none
void setOverride(const QString &computerName, const QString &ipv4);
void clearOverride();
}

namespace Launcher {
// Starts another program without waiting for it. False when it could not start.
bool start(const QString &program, const QStringList &arguments = {});
void startRecording();
void stopRecording();
QStringList &started();
}

namespace ProcessExit {
enum class Mode { Orderly, Immediate };
// Orderly leaves the event loop and lets main() return the code; Immediate
// ends the process on the spot. In test mode both are only recorded.
void exit(int code, Mode mode);
void startRecording();
void stopRecording();
struct Request {
    int code;
    Mode mode;
};
QList<Request> &requests();
}

} // namespace cg
