#pragma once

#include "Callbacks.h"

#include <QVBoxLayout>

namespace corvane {

class PushButton;

// The frame every screen shares: one column filling the screen, with 40 pixels of margin on the
// left and the right and no spacing of its own (every gap is added where it belongs), starting
// with a flexible space that takes the height the items leave.
class ScreenColumn : public QVBoxLayout {
    Q_OBJECT
public:
    explicit ScreenColumn(QWidget* screen);

    // A widget at its own width, centred.
    void addCentred(QWidget* widget);

    // A widget with 20 pixels more margin on each side, for text that wraps.
    void addIndented(QWidget* widget);

    // The screen's last item: a large button, its label at least PushButton::primaryLabelWidth
    // pixels wide, 24 pixels above the bottom edge, pressed by Return as the screen's default
    // action.
    PushButton* addBottomButton(const QString& text, Action onClick);
};

} // namespace corvane
