#include "Look.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>

namespace corvane {

namespace look {

QFont font(int pixelSize, QFont::Weight weight)
{
    QFont f = QApplication::font();
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

QFont monospaceFont(int pixelSize, QFont::Weight weight)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setPixelSize(pixelSize);
    f.setWeight(weight);
    return f;
}

namespace {

constexpr qreal lightOpacity[] = {0.85, 0.50, 0.26, 0.10};
// Light text thinned by transparency on a dark window reads fainter than the same contrast in
// dark text, so the middle levels are a little stronger there.
constexpr qreal darkOpacity[] = {0.85, 0.60, 0.40, 0.10};

QColor withOpacity(const QColor& base, qreal opacity)
{
    QColor c = base;
    c.setAlphaF(static_cast<float>(base.alphaF() * opacity));
    return c;
}

// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
qreal luminance(const QColor& color)
{
    const auto linear = [](float channel) {
        return channel <= 0.03928f ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(color.redF()) + 0.7152 * linear(color.greenF()) +
           0.0722 * linear(color.blueF());
}

qreal contrast(const QColor& a, const QColor& b)
{
    const qreal first = luminance(a);
    const qreal second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// color, lightened in its own hue on a dark palette until it stands out from the window colour by
// ratio. A light palette's colour is returned as it is.
QColor standingOut(const QPalette& palette, QColor color, qreal ratio)
{
    if (!isDark(palette))
        return color;
    const QColor window = palette.color(QPalette::Window);
    while (contrast(color, window) < ratio && color.lightnessF() < 0.95f) {
        color = QColor::fromHslF(color.hslHueF(), color.hslSaturationF(),
                                 std::min(1.0f, color.lightnessF() + 0.02f), color.alphaF());
    }
    return color.toRgb();
}

} // namespace

QColor level(const QColor& base, Level level)
{
    return withOpacity(base, lightOpacity[static_cast<int>(level)]);
}

QColor label(const QPalette& palette, Level lvl)
{
    const qreal* opacity = isDark(palette) ? darkOpacity : lightOpacity;
    return withOpacity(palette.color(QPalette::WindowText), opacity[static_cast<int>(lvl)]);
}

// 3:1 is what controls and marks need to be told apart from their background; text needs 4.5:1.
QColor accent(const QPalette& palette)
{
    return standingOut(palette, palette.color(QPalette::Highlight), 3.0);
}

QColor accentText(const QPalette& palette)
{
    return standingOut(palette, palette.color(QPalette::Highlight), 4.5);
}

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

QColor green(const QPalette& palette)
{
    return isDark(palette) ? QColor(0x32, 0xd7, 0x4b) : QColor(0x28, 0xcd, 0x41);
}

QColor separator(const QPalette& palette)
{
    QColor c = palette.color(QPalette::WindowText);
    c.setAlphaF(isDark(palette) ? 0.16f : 0.12f);
    return c;
}

namespace {

// One corner of a continuous rounded rectangle, as distances in radii from the corner: a along
// the edge the path arrives on, b along the edge it leaves on.
struct CornerPoint {
    qreal a;
    qreal b;
};
constexpr qreal cornerReach = 1.52866483;
constexpr std::array<std::array<CornerPoint, 3>, 3> cornerCurves{{
    {{{1.08849323, 0.0}, {0.86840689, 0.0}, {0.66993427, 0.06549600}}},
    {{{0.37282392, 0.16905899}, {0.16906013, 0.37282401}, {0.06549600, 0.66993427}}},
    {{{0.0, 0.86840689}, {0.0, 1.08849323}, {0.0, cornerReach}}},
}};

void addCorner(QPainterPath& path, QPointF corner, QPointF back, QPointF onward, qreal radius)
{
    const auto at = [&](CornerPoint p) { return corner + radius * (p.a * back + p.b * onward); };
    path.lineTo(at({cornerReach, 0.0}));
    for (const auto& curve : cornerCurves)
        path.cubicTo(at(curve[0]), at(curve[1]), at(curve[2]));
}

} // namespace

QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius)
{
    const qreal r =
        std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / (2 * cornerReach));
    QPainterPath path;
    path.moveTo(rect.left() + r * cornerReach, rect.top());
    addCorner(path, rect.topRight(), {-1, 0}, {0, 1}, r);
    addCorner(path, rect.bottomRight(), {0, -1}, {-1, 0}, r);
    addCorner(path, rect.bottomLeft(), {1, 0}, {0, -1}, r);
    addCorner(path, rect.topLeft(), {0, 1}, {1, 0}, r);
    path.closeSubpath();
    return path;
}

void paintFocusRing(QPainter& painter, const QPainterPath& shape, const QPalette& palette,
                    RingSide side)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor ring = accent(palette);
    ring.setAlphaF(0.5f);
    // Stroked twice the margin wide, then cut to the side of the edge it belongs on.
    QPainterPathStroker stroker;
    stroker.setWidth(2 * focusRingMargin);
    stroker.setJoinStyle(Qt::RoundJoin);
    const QPainterPath stroke = stroker.createStroke(shape);
    painter.fillPath(
        side == RingSide::Outside ? stroke.subtracted(shape) : stroke.intersected(shape), ring);
    painter.restore();
}

namespace {

constexpr const char* graphicProperty = "corvaneGraphic";

class GraphicAccessible : public QAccessibleWidget {
public:
    explicit GraphicAccessible(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::Graphic)
    {
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (widget()->accessibleName().isEmpty())
            s.invisible = true;
        return s;
    }
};

QAccessibleInterface* graphicFactory(const QString&, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && widget->property(graphicProperty).toBool())
        return new GraphicAccessible(widget);
    return nullptr;
}

} // namespace

void makeGraphic(QWidget* widget)
{
    static const bool installed = [] {
        QAccessible::installFactory(graphicFactory);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(graphicProperty, true);
}

namespace {

// Strokes are a fraction of the symbol's size, like the weights of a symbol font.
qreal strokeWidth(qreal size, Stroke stroke)
{
    return size * (stroke == Stroke::Light ? 0.05 : 0.075);
}

QPainterPath checkPath(const QRectF& r)
{
    QPainterPath path;
    path.moveTo(r.left() + 0.28 * r.width(), r.top() + 0.52 * r.height());
    path.lineTo(r.left() + 0.44 * r.width(), r.top() + 0.68 * r.height());
    path.lineTo(r.left() + 0.73 * r.width(), r.top() + 0.33 * r.height());
    return path;
}

QPen roundPen(const QColor& color, qreal width)
{
    QPen pen(color, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

} // namespace

void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color,
                 Stroke stroke)
{
    const qreal side = std::min(box.width(), box.height());
    const QRectF r(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    const qreal line = strokeWidth(side, stroke);
    // The outline of rings and boxes sits inside the box.
    const QRectF outline = r.adjusted(line / 2 + side * 0.04, line / 2 + side * 0.04,
                                      -line / 2 - side * 0.04, -line / 2 - side * 0.04);
    const qreal boxRadius = side * 0.2;

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(roundPen(color, line));

    switch (symbol) {
    case Symbol::CheckboxOn: {
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawRoundedRect(r.adjusted(side * 0.06, side * 0.06, -side * 0.06, -side * 0.06),
                                boxRadius, boxRadius);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(roundPen(Qt::white, side * 0.1));
        painter.drawPath(checkPath(r));
        break;
    }
    case Symbol::CheckboxOff:
        painter.drawRoundedRect(outline, boxRadius * 0.9, boxRadius * 0.9);
        break;
    case Symbol::RadioOn: {
        painter.drawEllipse(outline);
        const qreal inner = side * 0.26;
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(r.center(), inner, inner);
        break;
    }
    case Symbol::RadioOff:
        painter.drawEllipse(outline);
        break;
    case Symbol::CheckCircleFilled:
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(r.adjusted(side * 0.04, side * 0.04, -side * 0.04, -side * 0.04));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(roundPen(Qt::white, side * 0.09));
        painter.drawPath(checkPath(r));
        break;
    case Symbol::XCircle: {
        painter.drawEllipse(outline);
        const qreal arm = side * 0.15;
        const QPointF c = r.center();
        painter.drawLine(QPointF(c.x() - arm, c.y() - arm), QPointF(c.x() + arm, c.y() + arm));
        painter.drawLine(QPointF(c.x() + arm, c.y() - arm), QPointF(c.x() - arm, c.y() + arm));
        break;
    }
    case Symbol::ExclamationCircle: {
        painter.drawEllipse(outline);
        const QPointF c = r.center();
        painter.drawLine(QPointF(c.x(), r.top() + side * 0.27),
                         QPointF(c.x(), r.top() + side * 0.57));
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawEllipse(QPointF(c.x(), r.top() + side * 0.71), line * 0.75, line * 0.75);
        break;
    }
    case Symbol::Checkmark:
        painter.setPen(roundPen(color, side * 0.11));
        painter.drawPath(
            checkPath(r.adjusted(-side * 0.12, -side * 0.12, side * 0.12, side * 0.12)));
        break;
    case Symbol::Copy: {
        // A document in front, lower right, and the visible part of one behind it.
        const qreal w = side * 0.58;
        const qreal h = side * 0.7;
        const qreal radius = side * 0.12;
        const QRectF front(r.right() - w - side * 0.08, r.bottom() - h - side * 0.04, w, h);
        const QRectF back = front.translated(-side * 0.26, -side * 0.22);
        QPainterPath frontPath;
        frontPath.addRoundedRect(front, radius, radius);
        QPainterPath backPath;
        backPath.addRoundedRect(back, radius, radius);
        QPainterPath hidden;
        hidden.addRoundedRect(front.adjusted(-line * 1.5, -line * 1.5, line * 1.5, line * 1.5),
                              radius + line, radius + line);
        painter.save();
        QPainterPath visible;
        visible.addRect(r.adjusted(-side, -side, side, side));
        painter.setClipPath(visible.subtracted(hidden));
        painter.drawPath(backPath);
        painter.restore();
        painter.drawPath(frontPath);
        break;
    }
    }
    painter.restore();
}

} // namespace look

} // namespace corvane
