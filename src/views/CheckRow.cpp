#include "CheckRow.h"

namespace corvane {

CheckRow::CheckRow(const QString& title, Binding<bool> isOn, QWidget* parent)
    : PaintedRow(title, parent)
    , m_isOn(std::move(isOn))
{
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
