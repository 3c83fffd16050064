#pragma once

#include "SecretMask.h"
#include "SetupError.h"

#include "model/InstallAnswers.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace corvane {

class AnswersFile;
class NodeCheck;
class PtyRun;

// Where the runner finds its wrapper and puts its answers files.
struct RunnerConfig {
    QString wrapperPath; // the system's script utility, which gives commands a pseudo-terminal
    QString tempFolder;  // where answers files are created; must be absolute

    // /usr/bin/script and the user's temporary folder (see temporaryFolder()).
    static RunnerConfig system();
};

// Runs commands in the user's login shell.
//
// Runs live on the thread that owns the Setup object, which must be the main thread (on Linux a
// run's processes die with the thread that started them), and never block it; each run's future
// gets its one result on that thread. The object owns its live runs: destroying it (or
// endAllRuns()) removes their answers files at once and ends their processes, so no secret file
// and no process outlives the program that started it.
class Setup : public QObject {
    Q_OBJECT
public:
    explicit Setup(RunnerConfig config = RunnerConfig::system(), QObject* parent = nullptr);
    ~Setup() override;

    static constexpr std::chrono::milliseconds nodeCheckBound = std::chrono::seconds(10);
    // How long ending a run waits for a command that does not stop when asked, before killing it.
    static constexpr std::chrono::milliseconds stopGrace = std::chrono::seconds(2);

    // Removes the answers files that runs of a program killed outright left in the temporary
    // folder: this user's unlocked regular "corv_install_*.json" files, skipping those a live run
    // of another copy holds locked. Call once as the program starts.
    void removeStaleAnswersFiles();

    // Asks the user's interactive login shell for the Node.js version (see NodeCheck) and returns
    // at once. The future gets one result on this thread: the version (e.g. "v20.11.1"), or
    // nothing when node is not found there, the shell cannot start or it has not answered within
    // `bound`. endAllRuns() and destruction end a live check's session and cancel its future.
    QFuture<std::optional<QString>> nodeVersion(std::chrono::milliseconds bound = nodeCheckBound);

    // Runs arguments as one quoted command line in the user's login shell ("-ilc") under a
    // pseudo-terminal of 80 × 24 with TERM set, output and errors merged, input from the null
    // device (see wrapperCommand()). Result: success when the command's own status is 0;
    // SetupError::exitedWithStatus with the end of the cleaned output (see OutputCollector) for any
    // other status (a signal counts as 128 + its number; a command stopped from outside before it
    // could report one gives the wrapper's status, or PtyRun::unreportedStatus); SetupError::
    // scriptMissing when there is no wrapper; or a SystemError when the wrapper cannot be launched
    // or an argument holds a NUL character.
    QFuture<RunResult> runViaPty(const QStringList& arguments);

    // Writes answers to a fresh private answers file and runs the installer with it; the file is
    // gone before the result arrives, whatever the outcome. The answers' keys are hidden in the
    // output a failure carries (see SecretMask).
    QFuture<RunResult> runInstall(const InstallAnswers& answers);

    // Runs the updater; no answers file.
    QFuture<RunResult> runUpdate();

    // Ends every live run and Node.js check now (see PtyRun::stop()); their futures are
    // cancelled. Blocks for stopGrace and a little more at most.
    void endAllRuns();

private:
    QFuture<RunResult> launch(const QStringList& arguments, std::unique_ptr<AnswersFile> answers,
                              SecretMask secrets);
    QFuture<RunResult> settledLater(const RunResult& result);

    RunnerConfig m_config;
    QList<PtyRun*> m_runs;
    QList<NodeCheck*> m_checks;
};

} // namespace corvane
