#include "ui/Seams.h"

#include <QApplication>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProcess>
#include <QQueue>

namespace cg {

namespace {
bool g_msgRecording = false;
QQueue<QMessageBox::StandardButton> g_msgAnswers;
QList<ShownMessage> g_shown;

bool g_fileRecording = false;
QQueue<QString> g_paths;
QStringList g_captions;

bool g_launchRecording = false;
QStringList g_started;

bool g_printRecording = false;
PrintPreview::Handler g_printHandler;
QStringList g_printTitles;
} // namespace

namespace {

QMessageBox::StandardButton showBox(const QString &text, const QString &title, MsgIcon icon, bool yesNo,
                                    QWidget *owner)
{
    const QString caption = title.isEmpty() ? QStringLiteral("系统提示") : title;
    if (g_msgRecording) {
        g_shown.append({text, caption, icon, owner, yesNo});
        if (!g_msgAnswers.isEmpty())
            return g_msgAnswers.dequeue();
        return yesNo ? QMessageBox::No : QMessageBox::Ok;
    }
    QMessageBox::Icon boxIcon = QMessageBox::Information;
    if (icon == MsgIcon::Error)
        boxIcon = QMessageBox::Critical;
    if (icon == MsgIcon::Question)
        boxIcon = QMessageBox::Question;
    const QMessageBox::StandardButtons buttons = yesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
    QMessageBox box(boxIcon, caption, text, buttons, owner);
    box.setWindowModality(Qt::ApplicationModal);
    if (yesNo) {
        // Enter answers No; only a deliberate Yes goes on. Escape is No too.
        box.setDefaultButton(QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

QMessageBox::StandardButton ShowMessage(const QString &text, const QString &title, MsgIcon icon,
                                        QWidget *owner)
{
    return showBox(text, title, icon, icon == MsgIcon::Question, owner);
}

bool AskYesNo(const QString &text, QWidget *owner, MsgIcon icon)
{
    return showBox(text, QString(), icon, true, owner) == QMessageBox::Yes;
}

namespace MessageSeam {
void startRecording() { g_msgRecording = true; clear(); }
void stopRecording() { g_msgRecording = false; clear(); }
bool isRecording() { return g_msgRecording; }
void setNextAnswer(QMessageBox::StandardButton answer) { g_msgAnswers.enqueue(answer); }
QList<ShownMessage> &shown() { return g_shown; }
void clear()
{
    g_shown.clear();
    g_msgAnswers.clear();
}
} // namespace MessageSeam

namespace FileDialogs {
QString openFile(QWidget *parent, const QString &caption, const QString &filter, const QString &dir)
{
    if (g_fileRecording) {
        g_captions << caption;
        return g_paths.isEmpty() ? QString() : g_paths.dequeue();
    }
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}
QString saveFile(QWidget *parent, const QString &caption, const QString &filter, const QString &dir)
{
    if (g_fileRecording) {
        g_captions << caption;
        return g_paths.isEmpty() ? QString() : g_paths.dequeue();
    }
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}
void startRecording()
{
    g_fileRecording = true;
    g_paths.clear();
    g_captions.clear();
}
void stopRecording() { g_fileRecording = false; }
void setNextPath(const QString &path) { g_paths.enqueue(path); }
QStringList &captions() { return g_captions; }
} // namespace FileDialogs

namespace Launcher {
bool start(const QString &program, const QStringList &arguments)
{
    if (g_launchRecording) {
        g_started << (QStringList{program} + arguments).join(QLatin1Char(' '));
        return true;
    }
    return QProcess::startDetached(program, arguments);
}
void startRecording()
{
    g_launchRecording = true;
    g_started.clear();
}
void stopRecording() { g_launchRecording = false; }
QStringList &started() { return g_started; }
} // namespace Launcher

namespace PrintPreview {
bool show(QWidget *owner, const Job &job)
{
    if (g_printRecording) {
        g_printTitles << job.title;
        return g_printHandler ? g_printHandler(job) : false;
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                      job.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                      QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    printer.setDocName(job.title);
    QPrintPreviewDialog dialog(&printer, owner);
    dialog.setWindowTitle(job.title);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&job](QPrinter *p) { job.paint(*p); });
    // The preview paints for itself too; the dialog is accepted only after
    // its print button went through the printer dialog and the pages were
    // sent, and rejected when it is closed.
    return dialog.exec() == QDialog::Accepted;
}
void startRecording(Handler handler)
{
    g_printRecording = true;
    g_printHandler = std::move(handler);
    g_printTitles.clear();
}
void stopRecording()
{
    g_printRecording = false;
    g_printHandler = {};
}
QStringList &titles() { return g_printTitles; }
} // namespace PrintPreview

} // namespace cg
