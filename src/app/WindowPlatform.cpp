#include "WindowPlatform.h"

#include <QPalette>
#include <QWidget>

namespace corvane {

namespace {

class OpaqueWindowPlatform final : public WindowPlatform {
public:
    void prepareBackground(QWidget& window) override
    {
        window.setAttribute(Qt::WA_TranslucentBackground, false);
        window.setBackgroundRole(QPalette::Window);
        window.setAutoFillBackground(true);
    }

    void bringToFront(QWidget& window) override
    {
        if (window.isMinimized())
            window.showNormal();
        window.raise();
        window.activateWindow();
    }
};

} // namespace

std::unique_ptr<WindowPlatform> makeWindowPlatform()
{
    return std::make_unique<OpaqueWindowPlatform>();
}

} // namespace corvane
