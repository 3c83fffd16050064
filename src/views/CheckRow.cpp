#include "CheckRow.h"

#include "AccessibleFactory.h"

namespace corvane {

namespace {

class CheckRowAccessible : public RowAccessible {
public:
    explicit CheckRowAccessible(CheckRow* row)
        : RowAccessible(row, QAccessible::CheckBox)
    {
    }
};

} // namespace

CheckRow::CheckRow(const QString& title, Binding<bool> isOn, QWidget* parent)
    : PaintedRow(title, parent)
    , m_isOn(std::move(isOn))
{
    useAccessibleInterface<CheckRow, CheckRowAccessible>();
    refresh();
}

void CheckRow::refresh() { setChecked(m_isOn.get()); }

look::Symbol CheckRow::symbol(bool on) const
{
    return on ? look::Symbol::CheckboxOn : look::Symbol::CheckboxOff;
}

void CheckRow::nextCheckState()
{
    m_isOn.set(!m_isOn.get());
    refresh();
}

} // namespace corvane
