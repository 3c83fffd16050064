#include "LargeButton.h"

#include "Look.h"

#include <QStyleOptionButton>

#include <algorithm>

namespace corvane {

namespace {

constexpr int largeHeight = 28;
constexpr int largeHorizontalPadding = 6; // beyond the style's own, each side

} // namespace

LargeButton::LargeButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent)
{
    setFont(look::font(13));
}

void LargeButton::setMinimumLabelWidth(int width)
{
    m_minimumLabelWidth = width;
    updateGeometry();
}

QSize LargeButton::sizeHint() const
{
    // As QPushButton measures itself, with the label at least the minimum width.
    QStyleOptionButton option;
    initStyleOption(&option);
    QSize label = fontMetrics().size(Qt::TextShowMnemonic, text());
    label.setWidth(std::max(label.width(), m_minimumLabelWidth) + 2 * largeHorizontalPadding);
    QSize size = style()->sizeFromContents(QStyle::CT_PushButton, &option, label, this);
    size.setHeight(std::max(size.height(), largeHeight));
    return size;
}

QSize LargeButton::minimumSizeHint() const { return sizeHint(); }

} // namespace corvane
