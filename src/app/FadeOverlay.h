#pragma once

#include <QPixmap>
#include <QWidget>

namespace corvane {

// The outgoing screen's picture, laid over the incoming view and fading out: over an opaque
// background this is an exact cross-fade, and the incoming view is live from the first frame.
// It takes no input and no focus.
class FadeOverlay : public QWidget {
    Q_OBJECT
public:
    FadeOverlay(const QPixmap& picture, QWidget* parent);

    void setOpacity(qreal opacity);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
    qreal m_opacity = 1;
};

} // namespace corvane
