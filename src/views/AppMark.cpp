#include "AppMark.h"

#include "Look.h"

#include <QFontDatabase>
#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace corvane {

namespace {

const QColor squareColor(0xB2, 0x3A, 0x2C);
const QColor letterColor(0xFB, 0xF7, 0xEF);

// Heavy rounded faces, the closest to the system's rounded design first.
const QString& roundedFamily()
{
    static const QString family = [] {
        const QStringList installed = QFontDatabase::families();
        for (const char* candidate :
             {"SF Pro Rounded", "Nunito", "M PLUS Rounded 1c", "Rounded Mplus 1c", "Varela Round",
              "Arial Rounded MT Bold"}) {
            const QString name = QString::fromLatin1(candidate);
            if (installed.contains(name, Qt::CaseInsensitive))
                return name;
        }
        return QString();
    }();
    return family;
}

} // namespace

AppMark::AppMark(QWidget* parent)
    : QWidget(parent)
{
    look::makeGraphic(this);
    // The shadow belongs to the composite of square and letter, and falls outside the area.
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, 46));
    setGraphicsEffect(shadow);
}

QFont AppMark::letterFont(int pixelSize)
{
    QFont font = roundedFamily().isEmpty() ? look::font(10) : QFont(roundedFamily());
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Black);
    return font;
}

void AppMark::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const qreal s = width();
    if (auto* shadow = qobject_cast<QGraphicsDropShadowEffect*>(graphicsEffect())) {
        // Qt's blur radius spans about twice the reach of the platform's shadow radius.
        shadow->setBlurRadius(2 * 0.06 * s);
        shadow->setOffset(0, 0.03 * s);
    }
}

void AppMark::paint(QPainter& painter, const QRectF& square)
{
    const qreal s = square.width();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(look::continuousRoundedRect(square, 0.22 * s), squareColor);

    // Centred on the letter's own outline, not on its line box, so it sits in the optical middle.
    // Outlined large and scaled down, so the letter follows the width smoothly.
    constexpr int outlineSize = 200;
    QPainterPath outline;
    outline.addText(0, 0, letterFont(outlineSize), QStringLiteral("C"));
    QPainterPath letter =
        QTransform::fromScale(0.56 * s / outlineSize, 0.56 * s / outlineSize).map(outline);
    letter.translate(square.center() - letter.boundingRect().center());
    painter.fillPath(letter, letterColor);
    painter.restore();
}

void AppMark::paintIcon(QPainter& painter, const QRect& area)
{
    const int side = std::min(area.width(), area.height());
    const int inset = std::max(1, (side + 8) / 16);
    paint(painter, QRectF(area.x() + inset, area.y() + inset, side - 2 * inset, side - 2 * inset));
}

void AppMark::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, QRectF(rect()));
}

} // namespace corvane
