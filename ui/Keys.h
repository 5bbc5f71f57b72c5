#pragma once
// Enter as a keyboard delivers it. A key press goes to the widget that has
// the focus: for an editable combo box or a date picker that is the box
// itself, never its inner line edit (the line edit hands its focus to the
// box, and the box passes keys on to it without any event filter seeing
// them). So a handler for Enter sits on the control the user sees.

#include <functional>

class QEvent;
class QObject;
class QWidget;

namespace cg {

// True for a key press of Return or of the keypad's Enter.
bool IsEnterKey(const QEvent *event);

// Runs action when Return or the keypad's Enter is pressed while control
// has the focus. The key is consumed, so an editable combo box adds no item
// and the window's default button is not pressed. Passing a combo box's
// inner line edit attaches the handler to the box it belongs to.
void OnEnter(QWidget *control, std::function<void()> action);

} // namespace cg
