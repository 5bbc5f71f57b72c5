#pragma once
#include "ui/Shell.h"

class QTabWidget;
class QToolButton;

namespace cg {

class NavigationWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit NavigationWindow(QWidget *owner = nullptr);

private:
    void selectPage(int page, QToolButton *pressed, const QString &logText);
    QToolButton *button(const QString &name, const QString &text, const QString &glyph,
                        const QColor &colour, int size, QWidget *parent);

    QTabWidget *m_tabs = nullptr;
    QToolButton *m_entry = nullptr;
    QToolButton *m_query = nullptr;
    QToolButton *m_basic = nullptr;
    QToolButton *m_system = nullptr;
};

} // namespace cg
