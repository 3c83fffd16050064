#pragma once

class QEvent;
class QObject;
class QPushButton;
class QWidget;

namespace corvane {

// The screen's default action: Return or Enter typed anywhere in the screen presses its default
// button, while that button is visible and enabled. A plain QWidget does not honour
// QPushButton::setDefault (only dialogs do), so the screen watches the keys itself: the key
// reaches it from whichever child has the focus, since buttons, boxes and line edits pass Return
// on to their parent. The button is also drawn as the default button.
//
// A screen without a default action (none set, or set to null) lets Return pass on unhandled.
void setDefaultAction(QWidget* screen, QPushButton* button);

// The button set for screen, or null.
QPushButton* defaultAction(const QWidget* screen);

// Presses screen's default button when it is visible and enabled; true when it did. For an owner
// that receives Return itself while no control of the screen has the focus.
bool triggerDefaultAction(QWidget* screen);

} // namespace corvane
