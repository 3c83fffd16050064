#include "PushButton.h"

#include "Look.h"

#include <QPainter>

#include <cmath>

namespace corvane {

namespace {
constexpr int bezelHeight = 28;
constexpr int labelPadding = 16; // on each side of the label, inside the bezel
constexpr qreal bezelRadius = 7;
constexpr int labelPixelSize = 13;
} // namespace

PushButton::PushButton(const QString& text, Kind kind, QWidget* parent)
    : QPushButton(text, parent)
    , m_kind(kind)
{
    setFont(look::font(labelPixelSize));
    setAutoDefault(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setCursor(Qt::ArrowCursor);
}

void PushButton::setMinimumLabelWidth(int width)
{
    m_minimumLabelWidth = width;
    updateGeometry();
}

QSize PushButton::sizeHint() const
{
    const int label = static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(text())));
    return {std::max(label, m_minimumLabelWidth) + 2 * labelPadding + 2 * look::focusRingMargin,
            bezelHeight + 2 * look::focusRingMargin};
}

void PushButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bezel = QRectF(rect()).adjusted(look::focusRingMargin, look::focusRingMargin,
                                                 -look::focusRingMargin, -look::focusRingMargin);
    const QPainterPath shape = look::continuousRoundedRect(bezel, bezelRadius);
    const QPalette& pal = palette();
    const bool prominent = m_kind == Kind::Prominent || isDefault();
    const bool down = isDown();

    if (!isEnabled())
        painter.setOpacity(0.45);
    QColor text;
    if (prominent) {
        QColor fill = look::accent(pal);
        if (down)
            fill = fill.darker(118);
        painter.fillPath(shape, fill);
        text = pal.color(QPalette::HighlightedText);
    } else {
        QColor fill = pal.color(QPalette::Button);
        fill = look::isDark(pal) ? fill.lighter(down ? 150 : 125) : fill.lighter(down ? 96 : 112);
        painter.fillPath(shape, fill);
        QColor border = look::label(pal, look::Level::Tertiary);
        painter.setPen(QPen(border, 1));
        painter.drawPath(
            look::continuousRoundedRect(bezel.adjusted(0.5, 0.5, -0.5, -0.5), bezelRadius - 0.5));
        text = look::label(pal, look::Level::Primary);
    }
    painter.setOpacity(1);
    if (hasFocus())
        look::paintFocusRing(painter, shape, pal);
    if (!isEnabled())
        text.setAlphaF(text.alphaF() * 0.45f);
    painter.setPen(text);
    painter.setFont(font());
    painter.drawText(bezel, Qt::AlignCenter | Qt::TextSingleLine, this->text());
}

} // namespace corvane
