// Corvane Setup: one window that installs and configures Corvane.
#include "AppIdentity.h"
#include "QuitOnSignals.h"
#include "SetupWindow.h"
#include "SingleInstance.h"

#include "flow/Operations.h"
#include "flow/RootView.h"
#include "runner/Setup.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>

using namespace corvane;

namespace {

// For the launch benchmark only: with CORVANE_SETUP_READY_MARK set, the app prints the variable's
// value as one line on standard output at the first paint after the start-up checks, when the
// window shows their results. The checks end with the Node.js question, so the mark waits for the
// first paint after that question has been answered, and asks for one in case the answers changed
// nothing on screen. Unset (always, outside the benchmark), none of this is installed.
class ReadyMark final : public QObject, public Operations {
public:
    ReadyMark(std::unique_ptr<Operations> operations, QByteArray mark)
        : m_operations(std::move(operations))
        , m_mark(std::move(mark))
    {
    }

    void watch(QWidget* window) { m_window = window; }

    std::optional<QString> nodeVersion() override
    {
        std::optional<QString> version = m_operations->nodeVersion();
        if (!m_checked && m_window) {
            m_checked = true;
            qApp->installEventFilter(this);
            m_window->update();
        }
        return version;
    }
    QFuture<RunResult> runInstall(const InstallAnswers& answers) override
    {
        return m_operations->runInstall(answers);
    }
    QFuture<RunResult> runUpdate() override { return m_operations->runUpdate(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            qApp->removeEventFilter(this);
            // Queued, so the line follows the whole picture, not its first widget.
            QTimer::singleShot(0, this, [this] {
                std::printf("%s\n", m_mark.constData());
                std::fflush(stdout);
            });
        }
        return false;
    }

private:
    std::unique_ptr<Operations> m_operations;
    QByteArray m_mark;
    QWidget* m_window = nullptr;
    bool m_checked = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane-setup"));
    QApplication::setApplicationDisplayName(QStringLiteral("Corvane Setup"));
    // Docks and task bars group the window under the desktop entry of this name, with its icon.
    QApplication::setDesktopFileName(appId());
    QApplication::setWindowIcon(appIcon());
    QuitOnSignals quitOnSignals;

    // A second start only brings the running wizard to the front; nothing is wrong.
    SingleInstance instance;
    if (!instance.isFirst()) {
        instance.askFirstToShow();
        return 0;
    }

    auto setup = std::make_unique<Setup>();
    // Answers files left by runs of a copy that was killed outright.
    setup->removeStaleAnswersFiles();
    auto setupOperations = std::make_unique<SetupOperations>(std::move(setup));
    setupOperations->prefetchNodeVersion();
    std::unique_ptr<Operations> operations = std::move(setupOperations);
    ReadyMark* readyMark = nullptr;
    if (const QByteArray mark = qgetenv("CORVANE_SETUP_READY_MARK"); !mark.isEmpty()) {
        auto marking = std::make_unique<ReadyMark>(std::move(operations), mark);
        readyMark = marking.get();
        operations = std::move(marking);
    }
    auto flow = std::make_unique<RootView>(std::move(operations));

    SetupWindow window(std::move(flow), WindowServices::system());
    if (readyMark)
        readyMark->watch(&window);
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     &SetupWindow::bringToFront);
    window.show();
    const int status = QApplication::exec();
    window.releaseFlow();
    return status;
}
