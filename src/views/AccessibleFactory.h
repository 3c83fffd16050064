#pragma once

#include <QAccessible>
#include <QLatin1String>

namespace corvane {

// Makes screen readers see every Widget through an Interface (constructed from the Widget*), for a
// control whose Qt base class would describe it wrongly. Installs the factory once per process;
// call it from the widget's constructor.
template <class Widget, class Interface> void useAccessibleInterface()
{
    static const bool installed = [] {
        QAccessible::installFactory(
            [](const QString& className, QObject* object) -> QAccessibleInterface* {
                if (object && object->isWidgetType() &&
                    className == QLatin1String(Widget::staticMetaObject.className()))
                    return new Interface(static_cast<Widget*>(object));
                return nullptr;
            });
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace corvane
