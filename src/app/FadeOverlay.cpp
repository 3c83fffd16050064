#include "FadeOverlay.h"

#include <QPainter>

namespace corvane {

FadeOverlay::FadeOverlay(const QPixmap& picture, QWidget* parent)
    : QWidget(parent)
    , m_picture(picture)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void FadeOverlay::setOpacity(qreal opacity)
{
    m_opacity = opacity;
    update();
}

void FadeOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setOpacity(m_opacity);
    painter.drawPixmap(0, 0, m_picture);
}

} // namespace corvane
