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

// Activates the control's window and gives the control the focus, as a
// click would. False when the window is not shown, or the focus did not
// arrive at the control (or at the end of its focus-proxy chain).
inline bool focus(QWidget *control)
{
    if (!control || !control->isVisible())
        return false;
    QWidget *window = control->window();
    QWidget *target = control;
    while (target->focusProxy())
        target = target->focusProxy();
    // A window opened just before may still take the activation: ask
    // again until this one is active and the focus is where it belongs.
    return QTest::qWaitFor([&] {
        if (QApplication::activeWindow() != window) {
            window->activateWindow();
            return false;
        }
        if (QApplication::focusWidget() != target)
            control->setFocus(Qt::OtherFocusReason);
        return QApplication::focusWidget() == target;
    }, 2000);
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
