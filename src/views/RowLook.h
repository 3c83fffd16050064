#pragma once

#include "Look.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QSize>

namespace corvane {

// The look that CheckRow and RadioRow share: a rounded, faintly filled row with its title at the
// leading edge and a state symbol at the trailing edge. Background and border never change with
// the state; only the symbol and its colour do. A pressed row is dimmed, and a row that has the
// keyboard focus after a keyboard move (Tab) carries a ring in the accent colour.
namespace rowlook {

// The font of a row's title.
QFont titleFont();

// Room for the whole title and the symbol inside the row's margins.
QSize sizeHint(const QAbstractButton& row);

// The narrowest a row gets: the margins and the symbol; the title is elided beyond that.
QSize minimumSizeHint(const QAbstractButton& row);

// Paints row (title, symbol, background, focus ring) from the button's own state.
void paint(QAbstractButton& row, look::Symbol symbol, bool on);

} // namespace rowlook

// What a screen reader sees of a row: a check box or a radio button, named by its title, its
// checked state, a press action, and the whole row as its area. Qt's own interface for buttons
// gives a check box only its label's click area, and names a radio button that is not
// auto-exclusive a check box.
class RowAccessible : public QAccessibleWidget {
public:
    RowAccessible(QAbstractButton* row, QAccessible::Role role);

    QAccessible::State state() const override;
    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString& name) override;

private:
    QAbstractButton* row() const { return static_cast<QAbstractButton*>(widget()); }
};

// A check box or radio button drawn as a row: the row look, the title font, the full width its
// layout offers, and a click anywhere on the row as the button's click. The subclass names the
// symbols of its two states.
template <class Button> class PaintedRow : public Button {
public:
    PaintedRow(const QString& title, QWidget* parent)
        : Button(title, parent)
    {
        this->setFont(rowlook::titleFont());
        this->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override { return rowlook::sizeHint(*this); }
    QSize minimumSizeHint() const override { return rowlook::minimumSizeHint(*this); }

protected:
    virtual look::Symbol symbol(bool on) const = 0;

    void paintEvent(QPaintEvent*) override
    {
        const bool on = this->isChecked();
        rowlook::paint(*this, symbol(on), on);
    }
    bool hitButton(const QPoint& pos) const override { return this->rect().contains(pos); }
};

} // namespace corvane
