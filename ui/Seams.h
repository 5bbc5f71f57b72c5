#pragma once
// What the windows show or ask of the user goes through these small seams,
// so tests can answer message boxes and file dialogs and see programs start.
// The clock, the host and the process end are in data/Seams.h.

#include "data/Seams.h"

#include <QDateTime>
#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QPagedPaintDevice;
class QWidget;

namespace cg {

enum class MsgIcon { Information, Error, Question };

// Shows a message box: title "系统提示" when none is given; information and
// error boxes have an OK button, question boxes Yes and No. No is the
// default button of every question, so an Enter too many never confirms.
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
// A question with Yes and No (No the default); true only for Yes. The
// question icon unless the question is shown as a notice.
bool AskYesNo(const QString &text, QWidget *owner = nullptr, MsgIcon icon = MsgIcon::Question);

struct ShownMessage {
    QString text;
    QString title;
    MsgIcon icon;
    QWidget *owner;
    bool yesNo = false;   // Yes and No buttons, No the default
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

namespace Launcher {
// Starts another program without waiting for it. False when it could not start.
bool start(const QString &program, const QStringList &arguments = {});
void startRecording();
void stopRecording();
QStringList &started();
}

namespace PrintPreview {
// Paints every page on the device it is given (a printer or a PDF writer).
using Paint = std::function<void(QPagedPaintDevice &device)>;
struct Job {
    QString title;    // the preview window's title
    bool landscape = false;
    Paint paint;
};
// Shows the A4 print preview of the job; true only when the user printed
// it (the preview's print button and the printer dialog accepted), false
// when the preview was closed without printing.
bool show(QWidget *owner, const Job &job);
// Test mode: no preview is shown; each job is handed to the handler and its
// answer returned (false, not printed, when there is no handler).
using Handler = std::function<bool(const Job &job)>;
void startRecording(Handler handler = {});
void stopRecording();
QStringList &titles();
}

} // namespace cg
