#include "RadioRow.h"

#include "AccessibleFactory.h"

#include <QAccessibleWidget>

namespace corvane {

namespace {

// Qt names a radio button that is not auto-exclusive a check box; a radio row is a radio button
// whose group is kept by its owner, so it says so.
class RadioRowAccessible : public QAccessibleWidget {
public:
    explicit RadioRowAccessible(RadioRow* row)
        : QAccessibleWidget(row, QAccessible::RadioButton)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = row()->isChecked();
        s.pressed = row()->isDown();
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return row()->text();
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override
    {
        if (name == pressAction())
            row()->click();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    RadioRow* row() const { return static_cast<RadioRow*>(widget()); }
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
