#include "ui/Keys.h"

#include <QAbstractSpinBox>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace cg {

namespace {

class EnterCatcher : public QObject {
public:
    EnterCatcher(QWidget *target, std::function<void()> action)
        : QObject(target), m_target(target), m_action(std::move(action))
    {
        target->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_target || !IsEnterKey(event))
            return false;
        // A date picker takes what was typed into it first, as its own
        // Enter would.
        if (auto *spin = qobject_cast<QAbstractSpinBox *>(m_target))
            spin->interpretText();
        m_action();
        return true;
    }

private:
    QWidget *m_target;
    std::function<void()> m_action;
};

// The widget that receives the keys meant for control: the end of its
// focus-proxy chain (an editable combo box's line edit names the box).
QWidget *keyTarget(QWidget *control)
{
    QWidget *w = control;
    for (int guard = 0; guard < 8 && w->focusProxy(); ++guard)
        w = w->focusProxy();
    return w;
}

} // namespace

bool IsEnterKey(const QEvent *event)
{
    if (!event || event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

void OnEnter(QWidget *control, std::function<void()> action)
{
    if (!control || !action)
        return;
    new EnterCatcher(keyTarget(control), std::move(action));
}

} // namespace cg
