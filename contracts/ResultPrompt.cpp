#include "contracts/ResultPrompt.h"
#include "ui/Shell.h"

#include <QHeaderView>
#include <QPointer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace cg {

ResultPromptWindow::ResultPromptWindow(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("结果提示窗口"));
    setWindowTitle(WindowTitle(QStringLiteral("系统提示")));
    setAttribute(Qt::WA_DeleteOnClose);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("超级列表框_提示"));
    m_list->setHeaderLabels({QStringLiteral("提示信息")});
    m_list->setColumnWidth(0, 380);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAccessibleName(QStringLiteral("提示信息"));
    m_list->setFont(QFont(QStringLiteral("微软雅黑")));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 2, 1, 2);
    layout->addWidget(m_list);
    resize(416, 251);
}

void ResultPromptWindow::append(const QString &line)
{
    auto *item = new QTreeWidgetItem(QStringList{line});
    m_list->addTopLevelItem(item);
    m_list->scrollToItem(item);
}

QStringList ResultPromptWindow::lines() const
{
    QStringList out;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        out << m_list->topLevelItem(i)->text(0);
    return out;
}

namespace ResultPrompt {

namespace {
QPointer<ResultPromptWindow> &current()
{
    static QPointer<ResultPromptWindow> w;
    return w;
}
} // namespace

void append(const QString &line)
{
    QPointer<ResultPromptWindow> &w = current();
    // A window the user closed may still wait for its deletion.
    if (w && w->isHidden()) {
        w->deleteLater();
        w = nullptr;
    }
    if (!w)
        w = new ResultPromptWindow(MainWindowWidget());
    w->append(line);
    // New lines bring the window forward, also from behind the query
    // window or from the task bar.
    if (w->isMinimized())
        w->showNormal();
    else
        w->show();
    w->raise();
    w->activateWindow();
}

ResultPromptWindow *window()
{
    ResultPromptWindow *w = current();
    return w && !w->isHidden() ? w : nullptr;
}

} // namespace ResultPrompt
} // namespace cg
