#include "SymbolView.h"

#include <QPainter>

namespace corvane {

SymbolView::SymbolView(look::Symbol symbol, int size, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
{
    setFixedSize(size, size);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    look::makeGraphic(this);
}

void SymbolView::setSymbol(look::Symbol symbol)
{
    if (m_symbol == symbol)
        return;
    m_symbol = symbol;
    update();
}

void SymbolView::setStroke(look::Stroke stroke)
{
    m_stroke = stroke;
    update();
}

void SymbolView::setTint(Tint tint, look::Level level)
{
    m_tint = tint;
    m_level = level;
    m_color = QColor();
    update();
}

void SymbolView::setColor(const QColor& color)
{
    m_color = color;
    update();
}

void SymbolView::paintEvent(QPaintEvent*)
{
    QColor color = m_color;
    if (!color.isValid()) {
        switch (m_tint) {
        case Tint::Label:
            color = look::label(palette(), m_level);
            break;
        case Tint::Accent:
            color = look::accent(palette());
            break;
        case Tint::Green:
            color = look::green(palette());
            break;
        }
    }
    QPainter painter(this);
    look::paintSymbol(painter, m_symbol, rect(), color, m_stroke);
}

} // namespace corvane
