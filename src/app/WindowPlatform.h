#pragma once

#include <memory>

class QWidget;

namespace corvane {

// What the window asks of the platform it runs on, in one place.
class WindowPlatform {
public:
    virtual ~WindowPlatform() = default;

    // Gives the window its background, once, before it is first shown.
    virtual void prepareBackground(QWidget& window) = 0;

    // Brings the window to the front with the keyboard focus, restoring it when minimised.
    virtual void bringToFront(QWidget& window) = 0;
};

// The platform this program runs on. Everywhere for now the background is the palette's window
// colour, opaque: a translucent fill without a blur behind it hurts legibility, and a plain Qt
// program has no blur service here. macOS's under-window material would belong here too.
std::unique_ptr<WindowPlatform> makeWindowPlatform();

} // namespace corvane
