#include "LevelLabel.h"

#include <QPainter>
#include <QStyle>

namespace corvane {

LevelLabel::LevelLabel(const QString& text, const QFont& font, look::Level level, QWidget* parent)
    : QLabel(text, parent)
    , m_level(level)
{
    setTextFormat(Qt::PlainText);
    setFont(font);
}

void LevelLabel::paintEvent(QPaintEvent*)
{
    // The same flags QLabel measures plain text with, so wrapped lines break where the size hint
    // expects them to.
    int flags = int(QStyle::visualAlignment(layoutDirection(), alignment()));
    if (wordWrap())
        flags |= Qt::TextWordWrap;
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(look::label(palette(), m_level));
    painter.drawText(contentsRect(), flags, text());
}

} // namespace corvane
