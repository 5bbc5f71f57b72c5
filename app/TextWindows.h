#pragma once
#include "ui/Shell.h"

class QTextEdit;

namespace cg {

// The numbered help lines (without the heading).
QStringList HelpLines();
// The update history: CR LF line ends, starting with one.
QString UpdateHistoryText();

// Help text window: "砚禾澄屿合同管理系统--系统帮助".
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *owner = nullptr);
    QTextEdit *editor() const { return m_edit; }

private:
    QTextEdit *m_edit;
};

// Update history window: "砚禾澄屿合同管理系统--更新记录".
class UpdateHistoryWindow : public QWidget {
    Q_OBJECT
public:
    explicit UpdateHistoryWindow(QWidget *owner = nullptr);
    QTextEdit *editor() const { return m_edit; }

private:
    QTextEdit *m_edit;
};

} // namespace cg
