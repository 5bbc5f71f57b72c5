#include "contracts/AttachmentBrowseWindow.h"

#include "contracts/ContractQuery.h"
#include "data/Context.h"
#include "ui/PdfPane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace cg {

AttachmentBrowseWindow::AttachmentBrowseWindow(QWidget *owner, OpenInViewer viewer)
    : ChildWindow(QStringLiteral("浏览附件"), QStringLiteral("合同查询"), QStringLiteral("打开浏览附件窗口"),
                  QStringLiteral("关闭浏览附件窗口"), owner),
      m_openInViewer(std::move(viewer))
{
    setObjectName(QStringLiteral("浏览附件窗口"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_numberLabel = new QLabel(this);
    m_numberLabel->setObjectName(QStringLiteral("标签_合同编号"));
    m_open = NamedButton(QStringLiteral("按钮_系统打开"), QStringLiteral("用系统程序打开"), this);
    m_open->setToolTip(QStringLiteral("用系统中打开PDF文件的程序打开该附件，可以从那里打印"));
    m_pane = new PdfPane(this);

    auto *top = new QHBoxLayout;
    top->addWidget(m_numberLabel, 1);
    top->addWidget(m_open);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    layout->addWidget(m_pane, 1);
    resize(720, 860);

    connect(m_open, &QPushButton::clicked, this, [this] { openInViewer(); });
    logOpened();
}

void AttachmentBrowseWindow::showContract(qint64 lineId)
{
    const ContractQuery query(Ctx().db(), Ctx().login.contractTable);
    bool found = false;
    m_lineId = lineId;
    m_number = query.numberOf(lineId, &found);
    m_numberLabel->setText(found ? QStringLiteral("合同编号：") + m_number : QString());
    if (!found) {
        // Deleted meanwhile on another workstation.
        m_pane->showNotice(QStringLiteral("没有找到该合同，请重新过滤！"));
        m_open->setEnabled(false);
        return;
    }
    const QByteArray bytes = query.storedAttachment(lineId);
    m_pane->setBytes(bytes);
    m_open->setEnabled(!bytes.isEmpty());
}

void AttachmentBrowseWindow::openInViewer()
{
    if (m_lineId != 0 && m_openInViewer)
        m_openInViewer(m_lineId);
}

} // namespace cg
