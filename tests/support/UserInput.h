#pragma once
// Keys as a user's keyboard delivers them: the control is given the focus in
// its active window, and every key goes to QApplication::focusWidget(), not
// to an inner child of the control.

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>
#include <QtTest>

namespace cgtest {

// Shows and activates the control's window and gives the control the focus.
// False when the focus did not arrive there (the control or its focus proxy).
inline bool focus(QWidget *control)
{
    if (!control)
        return false;
    QWidget *window = control->window();
    if (!window->isVisible())
        window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return false;
    control->setFocus(Qt::OtherFocusReason);
    QWidget *target = control;
    while (target->focusProxy())
        target = target->focusProxy();
    return QApplication::focusWidget() == target;
}

// Presses and releases a key in the control.
inline bool press(QWidget *control, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    if (!focus(control))
        return false;
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    return true;
}

// Return, and the keypad's Enter.
inline bool pressReturn(QWidget *control) { return press(control, Qt::Key_Return); }
inline bool pressKeypadEnter(QWidget *control) { return press(control, Qt::Key_Enter, Qt::KeypadModifier); }

// Replaces the control's text by typing: select all, then one key event per
// character (also for characters QTest::keyClicks cannot type).
inline bool typeText(QWidget *control, const QString &text)
{
    if (!focus(control))
        return false;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty()) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        return true;
    }
    for (const QChar c : text) {
        QKeyEvent keyPress(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(QApplication::focusWidget(), &keyPress);
        QKeyEvent keyRelease(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(QApplication::focusWidget(), &keyRelease);
    }
    return true;
}

} // namespace cgtest
