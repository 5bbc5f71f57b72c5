#include "contracts/AttachmentWindow.h"

#include "ui/PdfPane.h"
#include "ui/Shell.h"
#include "ui/Seams.h"

#include <QEventLoop>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPdfView>
#include <QPushButton>
#include <QVBoxLayout>

namespace cg {

AttachmentWindow::AttachmentWindow(QWidget *owner, PendingAttachment &pending, const ContractStore &store,
                                   const QString &number)
    : ChildWindow(QStringLiteral("附件修改"), QString(), QString(), QString(), owner),
      m_pending(pending), m_store(store), m_number(number)
{
    setObjectName(QStringLiteral("附件修改"));
    setAttribute(Qt::WA_DeleteOnClose);

    QPushButton *preview = NamedButton(QStringLiteral("按钮_预览"), QStringLiteral("预览"), this);
    preview->setToolTip(QStringLiteral("点击可以预览该附件"));
    QPushButton *change = NamedButton(QStringLiteral("按钮_修改"), QStringLiteral("修改/添加"), this);
    change->setToolTip(QStringLiteral("有附件就修改，没附件就添加"));
    QPushButton *remove = NamedButton(QStringLiteral("按钮_删除"), QStringLiteral("删除"), this);

    auto *hint1 = new QLabel(QStringLiteral("提示：点击“删除”按钮后需要保存才生效。"), this);
    hint1->setObjectName(QStringLiteral("标签1"));
    auto *hint2 = new QLabel(QStringLiteral("提示：在有附件的情况下删除按钮才有效，否则为禁止状态。"), this);
    hint2->setObjectName(QStringLiteral("标签2"));
    hint2->setWordWrap(true);

    const bool stored = m_store.hasAttachment(m_number);
    preview->setEnabled(stored);
    remove->setEnabled(stored);

    // The copy the contract will have after its save: a file chosen in an
    // earlier opening, none after a deletion, otherwise the stored one.
    auto *shown = new QLabel(this);
    shown->setObjectName(QStringLiteral("标签_电子档"));
    m_pane = new PdfPane(this);
    shown->setBuddy(m_pane->view());
    if (m_pending.changed()) {
        shown->setText(QStringLiteral("新选择的电子档（保存后生效）："));
        m_pane->setBytes(m_pending.bytes());
    } else if (m_pending.deleted()) {
        shown->setText(QStringLiteral("已保存的电子档："));
        m_pane->showNotice(QStringLiteral("电子档已删除，保存后生效。"));
    } else {
        shown->setText(QStringLiteral("已保存的电子档："));
        m_pane->setBytes(stored ? m_store.attachment(m_number) : QByteArray());
    }

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(preview);
    buttons->addWidget(change);
    buttons->addWidget(remove);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(hint1);
    layout->addWidget(hint2);
    layout->addWidget(shown);
    layout->addWidget(m_pane, 1);
    resize(640, 760);

    connect(preview, &QPushButton::clicked, this, [this] { previewStored(); });
    connect(change, &QPushButton::clicked, this, [this] { chooseReplacement(); });
    connect(remove, &QPushButton::clicked, this, [this] { markDeleted(); });
}

void AttachmentWindow::previewStored() { Attachments::preview(m_store, m_number); }

void AttachmentWindow::chooseReplacement()
{
    QByteArray bytes;
    if (!Attachments::chooseFile(this, &bytes))
        return;
    m_pending.set(bytes);
    close();
}

void AttachmentWindow::markDeleted()
{
    if (!AskYesNo(QStringLiteral("是否要删除合同附件，删除后无法恢复！"), this))
        return;
    m_pending.markDeleted();
    close();
}

QWidget *CreateAttachmentWindow(QWidget *owner, PendingAttachment &pending, const ContractStore &store,
                                const QString &number)
{
    return new AttachmentWindow(owner, pending, store, number);
}

void ExecAttachmentWindow(QWidget *owner, PendingAttachment &pending, const ContractStore &store,
                          const QString &number)
{
    QPointer<QWidget> w = CreateAttachmentWindow(owner, pending, store, number);
    w->setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    QObject::connect(w, &QObject::destroyed, &loop, &QEventLoop::quit);
    w->show();
    if (w)
        loop.exec();
}

} // namespace cg
