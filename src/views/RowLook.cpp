#include "RowLook.h"

#include <QAbstractButton>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace corvane::rowlook {

namespace {

constexpr int horizontalMargin = 14;
constexpr int verticalMargin = 11;
constexpr int symbolSize = 16; // the drawn glyph is about 15 px, as a symbol at a 15 px font
constexpr int spacing = 8;
constexpr qreal cornerRadius = 8;
constexpr qreal fillOpacity = 0.4;
constexpr qreal pressedOpacity = 0.7;
constexpr qreal disabledOpacity = 0.45;

int contentHeight(const QAbstractButton& row)
{
    return std::max(row.fontMetrics().height(), symbolSize);
}

} // namespace

QFont titleFont() { return look::font(13); }

QSize sizeHint(const QAbstractButton& row)
{
    const int title = row.fontMetrics().horizontalAdvance(row.text());
    return {horizontalMargin + title + spacing + symbolSize + horizontalMargin,
            verticalMargin + contentHeight(row) + verticalMargin};
}

QSize minimumSizeHint(const QAbstractButton& row)
{
    return {horizontalMargin + symbolSize + horizontalMargin,
            verticalMargin + contentHeight(row) + verticalMargin};
}

void paint(QAbstractButton& row, look::Symbol symbol, bool on)
{
    const QPalette& palette = row.palette();
    QPainter painter(&row);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!row.isEnabled())
        painter.setOpacity(disabledOpacity);
    else if (row.isDown())
        painter.setOpacity(pressedOpacity);

    // A 1 px line on whole pixels: the rectangle sits half a pixel inside the edges.
    const QRectF frame = QRectF(row.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor fill = look::label(palette, look::Level::Quaternary);
    fill.setAlphaF(static_cast<float>(fill.alphaF() * fillOpacity));
    painter.setPen(QPen(look::separator(palette), 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(frame, cornerRadius, cornerRadius);

    // Only a keyboard move shows the ring, as on the platforms' own controls; a click that
    // focuses the row does not.
    if (row.hasFocus() && row.window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        painter.setPen(QPen(look::accent(palette), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(row.rect()).adjusted(1, 1, -1, -1), cornerRadius - 0.5,
                                cornerRadius - 0.5);
    }

    const QRect content =
        row.rect().adjusted(horizontalMargin, verticalMargin, -horizontalMargin, -verticalMargin);
    const Qt::LayoutDirection direction = row.layoutDirection();
    const QRect symbolBox(content.right() + 1 - symbolSize,
                          content.top() + (content.height() - symbolSize) / 2, symbolSize,
                          symbolSize);
    const QRect titleBox(content.left(), content.top(),
                         std::max(0, content.width() - symbolSize - spacing), content.height());

    painter.setFont(row.font());
    painter.setPen(look::label(palette, look::Level::Primary));
    const QString title =
        row.fontMetrics().elidedText(row.text(), Qt::ElideRight, titleBox.width());
    painter.drawText(QStyle::visualRect(direction, row.rect(), titleBox),
                     int(QStyle::visualAlignment(direction, Qt::AlignLeft | Qt::AlignVCenter)),
                     title);

    look::paintSymbol(painter, symbol, QStyle::visualRect(direction, row.rect(), symbolBox),
                      on ? look::accent(palette) : look::label(palette, look::Level::Tertiary));
}

} // namespace corvane::rowlook

namespace corvane {

RowAccessible::RowAccessible(QAbstractButton* row, QAccessible::Role role)
    : QAccessibleWidget(row, role)
{
}

QAccessible::State RowAccessible::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    s.checkable = true;
    s.checked = row()->isChecked();
    s.pressed = row()->isDown();
    return s;
}

QString RowAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
        return row()->text();
    return QAccessibleWidget::text(t);
}

QStringList RowAccessible::actionNames() const
{
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void RowAccessible::doAction(const QString& name)
{
    if (name == pressAction())
        row()->click();
    else
        QAccessibleWidget::doAction(name);
}

} // namespace corvane
