#pragma once

#include "Binding.h"
#include "RowLook.h"

#include <QCheckBox>

namespace corvane {

// A tick-box row: the title, and a ticked or empty box at the trailing edge. It is a QCheckBox to
// the keyboard (Space toggles, Tab reaches it) and to screen readers (a check box with its checked
// state), painted in the row look.
//
// The binding is the truth: a click or Space writes the negation of what isOn reads, and the box
// then shows what isOn reads back. The owner calls refresh() when the bound value may have changed
// by other means. A click anywhere on the row counts.
class CheckRow : public PaintedRow<QCheckBox> {
    Q_OBJECT
public:
    CheckRow(const QString& title, Binding<bool> isOn, QWidget* parent = nullptr);

    // Shows the bound value.
    void refresh();

protected:
    look::Symbol symbol(bool on) const override;
    void nextCheckState() override;

private:
    Binding<bool> m_isOn;
};

} // namespace corvane
