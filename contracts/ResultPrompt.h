#pragma once
// "砚禾澄屿合同管理系统--系统提示": one line per contract of a batch that
// involves two or more contracts. Created when a batch needs it; the lines
// of later batches follow while it stays open.

#include <QStringList>
#include <QWidget>

class QTreeWidget;

namespace cg {

class ResultPromptWindow : public QWidget {
    Q_OBJECT
public:
    explicit ResultPromptWindow(QWidget *owner = nullptr);
    void append(const QString &line);
    QStringList lines() const;

private:
    QTreeWidget *m_list;
};

namespace ResultPrompt {
// Appends a line, creating the window (owned by the main window) when none
// is open, and brings it forward: shown, raised and active.
void append(const QString &line);
// The open window, or nullptr.
ResultPromptWindow *window();
}

} // namespace cg
