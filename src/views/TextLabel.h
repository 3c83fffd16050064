#pragma once

#include "Look.h"

#include <QLabel>

#include <optional>

class QTextLayout;

namespace corvane {

// A line of screen text in the look's font and a colour level of the palette's text colour.
//
// Its lines are centred (or aligned as setAlignment() says) and it wraps onto as many lines as the
// text needs: at word boundaries, and inside a word that is wider than the whole line (a long path
// or URL), so no text is ever cut short. It takes the width its layout gives it and asks for the
// height of its wrapped lines (height for width); an empty text keeps the height of one line.
// The text is always plain, never read as rich text or for mnemonics, since much of it comes from
// outside (an installer's output, a path): "<b>" is drawn as it stands. Screen readers read it as
// static text with exactly the drawn text as its name.
class TextLabel : public QLabel {
    Q_OBJECT
public:
    TextLabel(const QString& text, int pixelSize, QFont::Weight weight = QFont::Normal,
              look::Level level = look::Level::Primary, QWidget* parent = nullptr);

    // A fixed colour instead of a level of the palette's text colour.
    void setColor(const QColor& color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

    // The number of lines the text takes at width.
    int lineCount(int width) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Lays the text out at width; returns the height used.
    qreal layOut(QTextLayout& layout, qreal width) const;
    qreal lineHeight() const;

    look::Level m_level;
    std::optional<QColor> m_color;
};

} // namespace corvane
