// Removes stale answers files, starts one install run and stays until the run ends (exit 2) or the
// program is asked to quit (exit 0), the way the app does. Used to check what quitting mid-run
// leaves behind.
//   runholder <temporary folder>
#include "app/QuitOnSignals.h"
#include "runner/Setup.h"

#include <QCoreApplication>

using namespace corvane;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QuitOnSignals quitOnSignals;
    Setup setup({RunnerConfig::system().wrapperPath, app.arguments().value(1)});
    setup.removeStaleAnswersFiles();
    const InstallAnswers answers{{QStringLiteral("codex")},      {},
                                 {QStringLiteral("openai-api")}, std::nullopt,
                                 QStringLiteral("sk-secret"),    std::nullopt};
    setup.runInstall(answers).then(&app, [](const RunResult&) { QCoreApplication::exit(2); });
    return app.exec();
}
