#pragma once

#include "Look.h"

#include <QPushButton>

namespace corvane {

// A button drawn as a hyperlink: its text alone, in the accent colour, underlined while the mouse
// is over it, with the pointing-hand cursor. A QPushButton to the keyboard and to screen readers
// (Space presses it; its text is its name); focus shows as a ring around the text.
class LinkButton : public QPushButton {
    Q_OBJECT
public:
    LinkButton(const QString& text, int pixelSize, QWidget* parent = nullptr);

    // The room around the text, for the focus ring: gaps to a link are measured to its text.
    static constexpr int textPadding = 2;
    static constexpr int inset = textPadding + look::focusRingMargin;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
};

} // namespace corvane
