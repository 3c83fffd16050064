#pragma once

#include "AnswersFile.h"
#include "OutputCollector.h"
#include "SecretMask.h"
#include "SetupError.h"
#include "StatusChannel.h"
#include "WrapperCommand.h"

#include <QFuture>
#include <QObject>
#include <QProcess>
#include <QPromise>

#include <chrono>
#include <memory>

namespace corvane {

// One run of the wrapper on the calling thread's event loop: the process, its collected output,
// its status channel and, for an install, its answers file. Nothing blocks while it runs. Start it
// on the main thread: on Linux the wrapper dies with the thread that started it.
//
// Order on a normal end: the process ends, the answers file is removed, the future gets its
// result, then ended() is emitted. The result is success only when the command's own status, as
// the status channel reports it, is 0 and the wrapper ended with 0 too. stop() ends the run early
// instead: the future is then cancelled (and finished) before stop() returns, and ended() is not
// emitted. The output a failure carries has the run's secrets hidden.
class PtyRun : public QObject {
    Q_OBJECT
public:
    // The status reported when the command never reported its own and the wrapper ended with 0:
    // the wrapper was stopped from outside before the command could end.
    static constexpr qint32 unreportedStatus = -1;

    PtyRun(const QString& wrapperPath, const WrapperCommand& command,
           std::unique_ptr<StatusChannel> channel, std::unique_ptr<AnswersFile> answers,
           SecretMask secrets = {}, QObject* parent = nullptr);
    ~PtyRun() override;

    // Launches the wrapper in a session of its own. Call once.
    QFuture<RunResult> start();

    // Removes the answers file at once, cancels the future, then ends the command's session (every
    // process in it gets SIGTERM, SIGHUP and SIGCONT) and waits, at most `grace`, for the session
    // and the wrapper to be gone; whatever is left then is killed. The wrapper is not sent SIGTERM
    // itself: util-linux script would wait two seconds before it exits. Blocks for that time at
    // most: meant for shutting down.
    void stop(std::chrono::milliseconds grace);

signals:
    void ended();

private:
    void readOutput();
    void onFinished(int exitCode, QProcess::ExitStatus exitStatus);
    void onErrorOccurred(QProcess::ProcessError error);
    void settle(const RunResult& result);
    // The command's session: the one its outer layer leads, or nothing when not yet known.
    std::optional<pid_t> commandSession();

    QProcess m_process;
    OutputCollector m_output;
    std::unique_ptr<StatusChannel> m_channel;
    std::unique_ptr<AnswersFile> m_answers;
    QPromise<RunResult> m_promise;
    bool m_settled = false;
};

} // namespace corvane
