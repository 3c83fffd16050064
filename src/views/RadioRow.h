#pragma once

#include "RowLook.h"

#include <QRadioButton>

#include <functional>

namespace corvane {

// A radio row: the title, and a filled or empty ring at the trailing edge. It is a QRadioButton to
// the keyboard (Space selects, Tab reaches it) and to screen readers (a radio button with its
// checked state), painted in the row look.
//
// It is not auto-exclusive and never changes its own state: a click or Space calls onSelect, and
// the row then shows what isSelected reads. Clicking the selected row selects it again; it never
// unselects. The owner calls refresh() when the selection may have changed by other means.
class RadioRow : public PaintedRow<QRadioButton> {
    Q_OBJECT
public:
    RadioRow(const QString& title, std::function<bool()> isSelected, std::function<void()> onSelect,
             QWidget* parent = nullptr);

    // Shows what isSelected reads.
    void refresh();

protected:
    look::Symbol symbol(bool on) const override;
    void nextCheckState() override;

private:
    std::function<bool()> m_isSelected;
    std::function<void()> m_onSelect;
};

} // namespace corvane
