#pragma once
// "砚禾澄屿合同管理系统--合同编号缺号报告": the numbers missing from the
// account set's sequence with what the log knows of each, and the numbers
// outside the sequence; exportable to a workbook.

#include "reports/NumberGaps.h"
#include "ui/Shell.h"

class QLabel;
class QPushButton;
class QTableView;

namespace cg {

class RowTableModel;

class NumberGapWindow : public ChildWindow {
    Q_OBJECT
public:
    // Module of the log entries.
    static inline const QString kModule = QStringLiteral("合同编号缺号报告");

    explicit NumberGapWindow(QWidget *owner = nullptr);

    void reload();
    // 按钮_导出: asks for the file, writes the list and logs the outcome.
    bool exportList();

    RowTableModel *model() const { return m_model; }
    const GapReport &report() const { return m_report; }

private:
    QLabel *m_summary;
    QTableView *m_list;
    RowTableModel *m_model;
    QPushButton *m_refresh, *m_export, *m_close;
    GapReport m_report;
};

QWidget *CreateNumberGapWindow(QWidget *owner);

} // namespace cg
