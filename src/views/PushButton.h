#pragma once

#include <QPushButton>

namespace corvane {

// A large push button drawn the same on every system: a rounded bezel 28 pixels high with its
// label in the look's 13-pixel font, at least a given label width wide. A standard button has a
// light bezel and a thin border; a prominent one, and the screen's default button, is filled with
// the accent colour. Keyboard focus shows as a ring in the margin left free around the bezel.
//
// It stays a QPushButton to the keyboard and to screen readers: Space presses it while it has the
// focus, and its text is its accessible name.
class PushButton : public QPushButton {
    Q_OBJECT
public:
    enum class Kind { Standard, Prominent };

    // The least label width of a screen's main button, whatever its text.
    static constexpr int primaryLabelWidth = 96;

    explicit PushButton(const QString& text, Kind kind = Kind::Standard, QWidget* parent = nullptr);

    // The label's width is at least width, however short its text.
    void setMinimumLabelWidth(int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind m_kind;
    int m_minimumLabelWidth = 0;
};

} // namespace corvane
