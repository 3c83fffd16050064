#include "TextLabel.h"

#include "AccessibleFactory.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>

#include <cmath>

namespace corvane {

namespace {

// Qt's own interface for labels reads a text that looks like HTML as a document, and drops "&"
// as a mnemonic marker: the name would differ from what is drawn.
class TextLabelAccessible : public QAccessibleWidget {
public:
    explicit TextLabelAccessible(TextLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }
    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<const TextLabel*>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
};

} // namespace

TextLabel::TextLabel(const QString& text, int pixelSize, QFont::Weight weight, look::Level level,
                     QWidget* parent)
    : QLabel(text, parent)
    , m_level(level)
{
    useAccessibleInterface<TextLabel, TextLabelAccessible>();
    setTextFormat(Qt::PlainText);
    setFont(look::font(pixelSize, weight));
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setWordWrap(true);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void TextLabel::setColor(const QColor& color)
{
    m_color = color;
    update();
}

qreal TextLabel::lineHeight() const { return QFontMetricsF(font()).height(); }

qreal TextLabel::layOut(QTextLayout& layout, qreal width) const
{
    QTextOption option(
        QStyle::visualAlignment(layoutDirection(), alignment() & Qt::AlignHorizontal_Mask));
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setFont(font());
    layout.setText(text());
    layout.setTextOption(option);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return std::max(y, lineHeight());
}

int TextLabel::heightForWidth(int width) const
{
    QTextLayout layout;
    return static_cast<int>(std::ceil(layOut(layout, std::max(width, 1))));
}

int TextLabel::lineCount(int width) const
{
    QTextLayout layout;
    layOut(layout, std::max(width, 1));
    return layout.lineCount();
}

QSize TextLabel::sizeHint() const
{
    // The whole text on one line; the layout narrows it and asks heightForWidth.
    QTextLayout layout;
    const qreal height = layOut(layout, 1e6);
    qreal width = 0;
    for (int i = 0; i < layout.lineCount(); ++i)
        width = std::max(width, layout.lineAt(i).naturalTextWidth());
    return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

QSize TextLabel::minimumSizeHint() const { return {0, static_cast<int>(std::ceil(lineHeight()))}; }

void TextLabel::paintEvent(QPaintEvent*)
{
    QTextLayout layout;
    layOut(layout, width());
    QPainter painter(this);
    painter.setPen(m_color ? *m_color : look::label(palette(), m_level));
    layout.draw(&painter, QPointF(0, 0));
}

} // namespace corvane
