#include "StepDots.h"

#include "AccessibleFactory.h"
#include "Look.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace corvane {

namespace {

constexpr int dotSize = 6;
constexpr int dotSpacing = 6;

// Static text rather than the plain widget's "client" role, so that screen readers read the
// position in the walk; nothing at all while no position is shown.
class StepDotsAccessible : public QAccessibleWidget {
public:
    explicit StepDotsAccessible(StepDots* dots)
        : QAccessibleWidget(dots, QAccessible::StaticText)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (!named())
            s.invisible = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        return named() ? u"Step %1 of %2"_s.arg(dots()->current() + 1).arg(dots()->count())
                       : QString();
    }

private:
    const StepDots* dots() const { return static_cast<const StepDots*>(widget()); }
    bool named() const
    {
        return dots()->isShown() && dots()->current() >= 0 && dots()->current() < dots()->count();
    }
};

} // namespace

StepDots::StepDots(int count, int current, QWidget* parent)
    : QWidget(parent)
{
    useAccessibleInterface<StepDots, StepDotsAccessible>();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setSteps(count, current);
}

void StepDots::setSteps(int count, int current)
{
    if (count == m_count && current == m_current)
        return;
    const bool resized = count != m_count;
    m_count = count;
    m_current = current;
    if (resized)
        updateGeometry();
    update();
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

QSize StepDots::sizeHint() const
{
    if (!isShown())
        return {0, 0};
    return {m_count * dotSize + (m_count - 1) * dotSpacing, dotSize};
}

QSize StepDots::minimumSizeHint() const { return sizeHint(); }

void StepDots::paintEvent(QPaintEvent*)
{
    if (!isShown())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QSize content = sizeHint();
    const qreal left = (width() - content.width()) / 2.0;
    const qreal top = (height() - dotSize) / 2.0;
    const bool mirrored = layoutDirection() == Qt::RightToLeft;
    for (int i = 0; i < m_count; ++i) {
        const int slot = mirrored ? m_count - 1 - i : i;
        painter.setBrush(look::label(palette(), i == m_current ? look::Level::Primary
                                                               : look::Level::Quaternary));
        painter.drawEllipse(QRectF(left + slot * (dotSize + dotSpacing), top, dotSize, dotSize));
    }
}

} // namespace corvane
