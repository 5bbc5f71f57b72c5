#pragma once
// The PDF copy of a contract: choosing a file, the bytes waiting to be
// stored, and the preview.
//
// The bytes are stored on the contract's first row (ContractStore::
// writeAttachment / clearAttachment / attachment). A window holds the bytes
// chosen but not saved yet in a PendingAttachment; the entry window stores
// them with its save, the change/modify window in its modify save (first
// clearAttachment when deleted(), then writeAttachment when changed()).

#include "contracts/ContractRecord.h"

#include <QByteArray>
#include <QString>

class QWidget;

namespace cg {

class PendingAttachment {
public:
    bool isEmpty() const { return m_bytes.isEmpty(); }
    const QByteArray &bytes() const { return m_bytes; }
    // Replaces the bytes and marks the attachment as changed.
    void set(const QByteArray &bytes)
    {
        m_bytes = bytes;
        m_changed = true;
    }
    // Empties the bytes and marks the stored attachment for deletion. A file
    // chosen before is dropped with it: nothing is changed but the deletion.
    // (A file chosen after the deletion is stored, and both are told.)
    void markDeleted()
    {
        m_bytes.clear();
        m_changed = false;
        m_deleted = true;
    }
    // No bytes, no marks.
    void clear()
    {
        m_bytes.clear();
        m_changed = m_deleted = false;
    }
    bool changed() const { return m_changed; }
    bool deleted() const { return m_deleted; }

private:
    QByteArray m_bytes;
    bool m_changed = false;
    bool m_deleted = false;
};

namespace Attachments {

// Filter of the open dialogs.
inline const QString kFilter = QStringLiteral("PDF文件 (*.pdf)");
inline const QString kDialogCaption = QStringLiteral("选择合同PDF电子档");
inline const QString kTooLarge = QStringLiteral("添加的PDF文件不能超过5MB，请将文件转换后再试！");
inline const QString kNotPdf = QStringLiteral("只能添加PDF格式的电子档！");
inline const QString kUnreadable = QStringLiteral("读取PDF文件失败！");
inline const QString kDamaged = QStringLiteral("PDF文件已损坏，不能作为附件！");

enum class FileCheck { Accepted, TooLarge, NotPdf, Unreadable, Damaged };

// Reads a chosen file: at most kMaxAttachmentBytes, and a PDF (its header
// "%PDF-" within the first 1024 bytes, as readers accept it) that loads. One
// that asks for a password is accepted: it is whole, only not shown here.
// bytes receives the whole file only when it is accepted.
FileCheck readFile(const QString &path, QByteArray *bytes);

// Shows the open dialog and reads the chosen file.
// A refusal is told by an error box. False when cancelled or refused.
bool chooseFile(QWidget *owner, QByteArray *bytes);

// The entry window's 附件 button: asks before replacing a chosen file, then
// chooseFile; an accepted file replaces the pending bytes.
void chooseForEntry(QWidget *owner, PendingAttachment &pending);

// WorkFolder + "合同PDF预览.pdf".
QString previewPath();

// Reads the stored attachment of the contract here, then writes it to the
// preview file and opens it with the PDF viewer on a worker thread, one
// preview after the other. False when the contract has no attachment.
bool preview(const ContractStore &store, const QString &number);
// Waits until the previews started so far are written and opened.
void waitForPreviews();

} // namespace Attachments
} // namespace cg
