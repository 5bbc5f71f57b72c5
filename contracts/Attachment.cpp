#include "contracts/Attachment.h"

#include "data/Context.h"
#include "ui/PdfPane.h"
#include "ui/Seams.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThreadPool>

namespace cg::Attachments {

namespace {

// One worker: previews run one after the other, so two of them never write
// the preview file at the same time.
QThreadPool &previewPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(1);
        return p;
    }();
    return *pool;
}

void openWithViewer(const QString &path)
{
    const QString native = QDir::toNativeSeparators(path);
#if defined(Q_OS_WIN)
    Launcher::start(QStringLiteral("explorer.exe"), {native});
#elif defined(Q_OS_MACOS)
    Launcher::start(QStringLiteral("open"), {native});
#else
    Launcher::start(QStringLiteral("xdg-open"), {native});
#endif
}

} // namespace

FileCheck readFile(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileCheck::Unreadable;
    if (file.size() > kMaxAttachmentBytes)
        return FileCheck::TooLarge;
    // Read one byte more than allowed: a file that grew meanwhile is seen.
    const QByteArray data = file.read(kMaxAttachmentBytes + 1);
    if (data.size() > kMaxAttachmentBytes)
        return FileCheck::TooLarge;
    if (file.error() != QFileDevice::NoError)
        return FileCheck::Unreadable;
    if (!data.left(1024).contains("%PDF-"))
        return FileCheck::NotPdf;
    if (InspectPdf(data) == PdfContent::Damaged)
        return FileCheck::Damaged;
    if (bytes)
        *bytes = data;
    return FileCheck::Accepted;
}

bool chooseFile(QWidget *owner, QByteArray *bytes)
{
    const QString path = FileDialogs::openFile(owner, kDialogCaption, kFilter);
    if (path.isEmpty())
        return false;
    switch (readFile(path, bytes)) {
    case FileCheck::Accepted:
        return true;
    case FileCheck::TooLarge:
        ShowError(kTooLarge, owner);
        break;
    case FileCheck::NotPdf:
        ShowError(kNotPdf, owner);
        break;
    case FileCheck::Unreadable:
        ShowError(kUnreadable, owner);
        break;
    case FileCheck::Damaged:
        ShowError(kDamaged, owner);
        break;
    }
    return false;
}

void chooseForEntry(QWidget *owner, PendingAttachment &pending)
{
    // A notice with Yes and No, not a question mark.
    if (!pending.isEmpty()
        && !AskYesNo(QStringLiteral("你已经添加过电子档了，是否要修改！"), owner, MsgIcon::Information))
        return;
    QByteArray bytes;
    if (chooseFile(owner, &bytes))
        pending.set(bytes);
}

QString previewPath() { return Ctx().workFolder() + QStringLiteral("合同PDF预览.pdf"); }

bool preview(const ContractStore &store, const QString &number)
{
    // The database is read here, on the thread that owns the connection;
    // only the file and the viewer are left to the worker.
    const QByteArray bytes = store.attachment(number);
    if (bytes.isEmpty())
        return false;
    const QString path = previewPath();
    previewPool().start([bytes, path] {
        QSaveFile file(path);
        // A viewer may still hold the old file: then it shows that one.
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            return;
        openWithViewer(path);
    });
    return true;
}

void waitForPreviews() { previewPool().waitForDone(); }

} // namespace cg::Attachments
