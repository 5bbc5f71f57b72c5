#pragma once
// The window in which the change/modify window's user sees, replaces, adds,
// deletes or previews a contract's PDF copy. It only fills the caller's
// PendingAttachment; nothing reaches the database before the caller saves.

#include "contracts/Attachment.h"
#include "ui/Shell.h"

class QPushButton;

namespace cg {

class PdfPane;

class AttachmentWindow : public ChildWindow {
    Q_OBJECT
public:
    // store and number: the contract shown by the calling window.
    AttachmentWindow(QWidget *owner, PendingAttachment &pending, const ContractStore &store,
                     const QString &number);

    void previewStored();    // 按钮_预览
    void chooseReplacement();  // 按钮_修改
    void markDeleted();      // 按钮_删除
    PdfPane *pane() const { return m_pane; }

private:
    PendingAttachment &m_pending;
    ContractStore m_store;
    QString m_number;
    PdfPane *m_pane = nullptr;
};

// The window, not shown yet; it deletes itself when closed.
QWidget *CreateAttachmentWindow(QWidget *owner, PendingAttachment &pending, const ContractStore &store,
                                const QString &number);
// Shows it modally and returns when it is closed.
void ExecAttachmentWindow(QWidget *owner, PendingAttachment &pending, const ContractStore &store,
                          const QString &number);

} // namespace cg
