#pragma once

#include "AnswersFile.h"
#include "OutputCollector.h"
#include "SetupError.h"

#include <QFuture>
#include <QObject>
#include <QProcess>
#include <QPromise>

#include <chrono>
#include <memory>

namespace corvane {

// One run of the wrapper on the calling thread's event loop: the process, its collected output
// and, for an install, its answers file. Nothing blocks while it runs.
//
// Order on a normal end: the process ends, the rest of its output is read, the answers file is
// removed, the future gets its result, then ended() is emitted. stop() ends it early instead; the
// future is then cancelled and ended() is not emitted.
class PtyRun : public QObject {
    Q_OBJECT
public:
    PtyRun(const QString& wrapperPath, const QStringList& wrapperArguments,
           const QProcessEnvironment& environment, std::unique_ptr<AnswersFile> answers,
           QObject* parent = nullptr);
    ~PtyRun() override;

    // Launches the wrapper in a session of its own. Call once.
    QFuture<RunResult> start();

    // Removes the answers file at once, asks the wrapper's process group to stop with SIGTERM
    // (the wrapper passes it on to the command in its pseudo-terminal; util-linux script then
    // takes about two seconds to exit), waits at most `grace` for it to end and then kills what
    // is left. Blocks for that time: meant for shutting down.
    void stop(std::chrono::milliseconds grace);

signals:
    void ended();

private:
    void readOutput();
    void onFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onErrorOccurred(QProcess::ProcessError error);
    void settle(const RunResult& result);

    QProcess m_process;
    OutputCollector m_output;
    std::unique_ptr<AnswersFile> m_answers;
    QPromise<RunResult> m_promise;
    bool m_settled = false;
};

// Sends sig to the process group led by the process (which was started in a session of its own),
// or to the process alone if it has not yet made its group.
void signalProcessGroup(const QProcess& process, int sig);

// Child-process modifier: puts the child in a new session, away from the app's terminal.
void startNewSession();

} // namespace corvane
