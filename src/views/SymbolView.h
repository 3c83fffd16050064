#pragma once

#include "Look.h"

#include <QColor>
#include <QWidget>

namespace corvane {

// A symbol as a widget of a fixed square size, drawn at a colour level of the palette's text
// colour, or in the accent or green colour. Screen readers see it as a graphic; without an
// accessible name it is decorative and reported as invisible, so that they pass over it.
class SymbolView : public QWidget {
    Q_OBJECT
public:
    enum class Tint { Label, Accent, Green };

    SymbolView(look::Symbol symbol, int size, QWidget* parent = nullptr);

    void setSymbol(look::Symbol symbol);
    void setStroke(look::Stroke stroke);
    void setTint(Tint tint, look::Level level = look::Level::Primary);
    // A fixed colour instead of one from the palette.
    void setColor(const QColor& color);

    look::Symbol symbol() const { return m_symbol; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    look::Symbol m_symbol;
    look::Stroke m_stroke = look::Stroke::Regular;
    Tint m_tint = Tint::Label;
    look::Level m_level = look::Level::Primary;
    QColor m_color;
};

} // namespace corvane
