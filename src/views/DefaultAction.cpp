#include "DefaultAction.h"

#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

namespace corvane {

namespace {

const QString filterName = QStringLiteral("corvane-default-action");

class DefaultActionFilter : public QObject {
public:
    DefaultActionFilter(QWidget* screen, QPushButton* target)
        : QObject(screen)
        , button(target)
    {
        setObjectName(filterName);
    }

    QPointer<QPushButton> button;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        return triggerDefaultAction(static_cast<QWidget*>(watched));
    }
};

DefaultActionFilter* filterOf(const QWidget* screen)
{
    // Found by name and checked by type: the class has no meta-object of its own, so findChild
    // by type alone would match any child object (a layout, say).
    return screen ? dynamic_cast<DefaultActionFilter*>(
                        screen->findChild<QObject*>(filterName, Qt::FindDirectChildrenOnly))
                  : nullptr;
}

} // namespace

void setDefaultAction(QWidget* screen, QPushButton* button)
{
    DefaultActionFilter* filter = filterOf(screen);
    if (filter && filter->button)
        filter->button->setDefault(false);
    if (!filter) {
        filter = new DefaultActionFilter(screen, button);
        screen->installEventFilter(filter);
    }
    filter->button = button;
    if (button) {
        // Only dialogs press a default button; elsewhere the flag just draws it as one.
        button->setDefault(true);
        button->setAutoDefault(false);
    }
}

QPushButton* defaultAction(const QWidget* screen)
{
    const DefaultActionFilter* filter = filterOf(screen);
    return filter ? filter->button.data() : nullptr;
}

bool triggerDefaultAction(QWidget* screen)
{
    QPushButton* button = defaultAction(screen);
    if (!button || !button->isVisible() || !button->isEnabled())
        return false;
    button->click();
    return true;
}

} // namespace corvane
