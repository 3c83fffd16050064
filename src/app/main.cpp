// Corvane Setup: one window that installs and configures Corvane.
#include "AppIdentity.h"
#include "QuitOnSignals.h"
#include "ReadyMark.h"
#include "SetupWindow.h"
#include "SingleInstance.h"

#include "flow/Operations.h"
#include "flow/RootView.h"
#include "runner/Setup.h"

#include <QApplication>

using namespace corvane;

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
    auto flow = std::make_unique<RootView>(std::make_unique<SetupOperations>(std::move(setup)));

    SetupWindow window(std::move(flow), WindowServices::system());
    ReadyMark::watchFromEnvironment(&window);
    QObject::connect(&instance, &SingleInstance::showRequested, &window,
                     &SetupWindow::bringToFront);
    window.show();
    const int status = QApplication::exec();
    window.releaseFlow();
    return status;
}
