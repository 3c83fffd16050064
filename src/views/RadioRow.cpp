#include "RadioRow.h"

#include "AccessibleFactory.h"

namespace corvane {

namespace {

// A radio row is a radio button whose group is kept by its owner.
class RadioRowAccessible : public RowAccessible {
public:
    explicit RadioRowAccessible(RadioRow* row)
        : RowAccessible(row, QAccessible::RadioButton)
    {
    }
};

} // namespace

RadioRow::RadioRow(const QString& title, std::function<bool()> isSelected,
                   std::function<void()> onSelect, QWidget* parent)
    : PaintedRow(title, parent)
    , m_isSelected(std::move(isSelected))
    , m_onSelect(std::move(onSelect))
{
    useAccessibleInterface<RadioRow, RadioRowAccessible>();
    setAutoExclusive(false);
    refresh();
}

void RadioRow::refresh() { setChecked(m_isSelected()); }

look::Symbol RadioRow::symbol(bool on) const
{
    return on ? look::Symbol::RadioOn : look::Symbol::RadioOff;
}

void RadioRow::nextCheckState()
{
    m_onSelect();
    refresh();
}

} // namespace corvane
