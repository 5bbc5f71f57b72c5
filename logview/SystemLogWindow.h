#pragma once
// "砚禾澄屿合同管理系统--系统日志查询": the operation log by entry date and an
// optional condition on one column, newest first, read page by page as the
// list scrolls; export of the shown entries and clearing of the whole log.

#include "logview/LogQuery.h"
#include "ui/Shell.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace cg {

class RowTableModel;

class SystemLogWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit SystemLogWindow(QWidget *owner = nullptr);
    ~SystemLogWindow() override;

    // &F.过滤 / Enter in the dates or the condition.
    void query();
    // &D.导出: the entries of the last query. True when the file was written.
    bool exportEntries();
    // &C.清空: the whole log, after two questions.
    void clearLog();

    RowTableModel *model() const { return m_model; }
    QTableView *list() const { return m_list; }
    const LogSelection &selection() const { return m_selection; }

private:
    void showSelection(const LogSelection &selection);
    bool mayClear() const;

    QDateEdit *m_start = nullptr, *m_end = nullptr;
    QComboBox *m_column = nullptr;
    QLineEdit *m_condition = nullptr;
    QPushButton *m_queryButton = nullptr, *m_exportButton = nullptr, *m_clearButton = nullptr;
    QTableView *m_list = nullptr;
    RowTableModel *m_model = nullptr;
    QLabel *m_count = nullptr;
    LogSelection m_selection;
    bool m_busy = false;
};

// The system log window, owned by owner (none when the log-size check opens
// it modally); registered under WindowKey::SystemLog.
QWidget *CreateSystemLogWindow(QWidget *owner);

} // namespace cg
