#include "LinkButton.h"

#include "Look.h"

#include <QEvent>
#include <QPainter>

#include <cmath>

namespace corvane {

LinkButton::LinkButton(const QString& text, int pixelSize, QWidget* parent)
    : QPushButton(text, parent)
{
    setFont(look::font(pixelSize));
    setFlat(true);
    setAutoDefault(false);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
}

QSize LinkButton::sizeHint() const
{
    const QFontMetricsF metrics(font());
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text()))) + 2 * inset,
            static_cast<int>(std::ceil(metrics.height())) + 2 * inset};
}

bool LinkButton::event(QEvent* event)
{
    if (event->type() == QEvent::HoverEnter || event->type() == QEvent::HoverLeave)
        update();
    return QPushButton::event(event);
}

void LinkButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRectF textBox = QRectF(rect()).adjusted(look::focusRingMargin, look::focusRingMargin,
                                                   -look::focusRingMargin, -look::focusRingMargin);
    if (hasFocus())
        look::paintFocusRing(painter, look::continuousRoundedRect(textBox, 4), palette());
    QFont f = font();
    f.setUnderline(underMouse() && isEnabled());
    painter.setFont(f);
    QColor color = look::accentText(palette());
    if (isDown())
        color = color.darker(130);
    if (!isEnabled())
        color.setAlphaF(0.45f);
    painter.setPen(color);
    painter.drawText(textBox, Qt::AlignCenter | Qt::TextSingleLine, text());
}

} // namespace corvane
