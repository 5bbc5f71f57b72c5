#pragma once
// "砚禾澄屿合同管理系统--浏览附件": the stored PDF copy of one contract of the
// query list, shown inside the program; the system's PDF viewer stays one
// click away for printing.

#include "ui/Shell.h"

#include <functional>

class QLabel;
class QPushButton;

namespace cg {

class PdfPane;

class AttachmentBrowseWindow : public ChildWindow {
    Q_OBJECT
public:
    // How 按钮_系统打开 opens the contract of a line id in the system viewer.
    using OpenInViewer = std::function<void(qint64 lineId)>;
    AttachmentBrowseWindow(QWidget *owner, OpenInViewer viewer);

    // Reads and shows the stored attachment of the contract of that line.
    void showContract(qint64 lineId);
    // 按钮_系统打开
    void openInViewer();

    qint64 lineId() const { return m_lineId; }
    QString number() const { return m_number; }
    PdfPane *pane() const { return m_pane; }

private:
    OpenInViewer m_openInViewer;
    qint64 m_lineId = 0;
    QString m_number;
    QLabel *m_numberLabel = nullptr;
    QPushButton *m_open = nullptr;
    PdfPane *m_pane = nullptr;
};

} // namespace cg
