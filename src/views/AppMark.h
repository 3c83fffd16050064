#pragma once

#include <QWidget>

class QPainter;

namespace corvane {

// The product's logo, drawn in code: a brick-red square with continuous rounded corners, a capital
// C in a heavy rounded face (the heaviest weight of the default font where no rounded face is
// installed), and a soft drop shadow below. It fills whatever area it is given: the corner radius,
// the letter and the shadow follow the width (the height is not consulted). Decorative to screen
// readers.
class AppMark : public QWidget {
    Q_OBJECT
public:
    explicit AppMark(QWidget* parent = nullptr);

    // The face the letter is drawn in, chosen once.
    static QFont letterFont(int pixelSize);

    // Paints the square and its letter, without the shadow, filling square.
    static void paint(QPainter& painter, const QRectF& square);

    // Paints the mark as an application icon filling area, a square: inset by a sixteenth of the
    // side (at least a pixel) on each side, as icon themes draw square icons, with whole-pixel
    // edges and no shadow. The installed icons and the window icon are drawn by this.
    static void paintIcon(QPainter& painter, const QRect& area);

    QSize sizeHint() const override { return {76, 76}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace corvane
