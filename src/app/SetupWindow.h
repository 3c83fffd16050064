#pragma once

#include "WindowPlatform.h"

#include "flow/RootView.h"
#include "views/Callbacks.h"

#include <QPointer>
#include <QWidget>

#include <chrono>
#include <memory>

class QVariantAnimation;

namespace corvane {

class FadeOverlay;

// What the screens need from the platform, handed in so that tests can stand in for it.
struct WindowServices {
    UrlOpener openUrl;   // links on the welcome and Node-missing screens
    TextCopier copyText; // the success screen's copy rows and the failure screen's details
    Action quit;         // the success screen's "Done": asks the application to end

    // The real ones: the default web browser, the system clipboard (its content replaced by plain
    // text alone) and QCoreApplication::quit().
    static WindowServices system();
};

// The wizard's one window, "Corvane Setup", 520 x 460 logical pixels and not resizable. It owns
// the flow controller and shows the view of its current screen, built from the flow's record for
// that screen. A change of another field redraws the view in place (setData); only a change of
// screen replaces it, with a cross-fade of the old picture over the new view (opacity, ease-out,
// fadeDuration). The questions screen is built once each time it is entered and keeps its own
// model while it stays.
//
// The start-up checks run once, as the window is first shown; they never block it, and until the
// Node.js check answers the screen shows its controls disabled. Return or Enter typed while no
// control has the focus presses the current screen's default button, when it is enabled.
//
// Closing the window hides it; the owner then calls releaseFlow() once the event loop has ended.
class SetupWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int contentWidth = 520;
    static constexpr int contentHeight = 460;
    static constexpr std::chrono::milliseconds fadeDuration{220};

    SetupWindow(std::unique_ptr<RootView> flow, WindowServices services,
                std::unique_ptr<WindowPlatform> platform = makeWindowPlatform(),
                QWidget* parent = nullptr);
    ~SetupWindow() override;

    // The flow controller, or null once released.
    RootView* flow() const { return m_flow.get(); }

    // The view of the current screen.
    QWidget* currentView() const { return m_view; }

    // Whether a cross-fade is running.
    bool isCrossFading() const;

    // Raises and activates the window, e.g. when a second start asks for it.
    void bringToFront();

    // Hides the window at once and lets the window system take it off the screen, then destroys
    // the views and the flow controller, and with them any live run: its clean-up may block for a
    // moment, but never with the window still up. Afterwards the window shows nothing.
    void releaseFlow();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void onFlowChanged(bool screenChanged);
    void replaceView(bool fade);
    QWidget* makeView();
    void redrawView();
    void finishFade();
    void focusFirstControl();

    std::unique_ptr<RootView> m_flow;
    WindowServices m_services;
    std::unique_ptr<WindowPlatform> m_platform;
    QPointer<QWidget> m_view;
    QPointer<FadeOverlay> m_overlay;
    QVariantAnimation* m_fade;
    bool m_shownOnce = false;
    bool m_painted = false;
};

} // namespace corvane
