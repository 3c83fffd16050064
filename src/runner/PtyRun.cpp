#include "PtyRun.h"

#include "model/CorvaneCli.h"

#include <csignal>
#include <unistd.h>

namespace corvane {

void startNewSession() { ::setsid(); }

void signalProcessGroup(const QProcess& process, int sig)
{
    const qint64 pid = process.processId();
    if (pid <= 0)
        return;
    if (::kill(-static_cast<pid_t>(pid), sig) != 0)
        ::kill(static_cast<pid_t>(pid), sig);
}

PtyRun::PtyRun(const QString& wrapperPath, const QStringList& wrapperArguments,
               const QProcessEnvironment& environment, std::unique_ptr<AnswersFile> answers,
               QObject* parent)
    : QObject(parent)
    , m_answers(std::move(answers))
{
    m_process.setProgram(wrapperPath);
    m_process.setArguments(wrapperArguments);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setChildProcessModifier(startNewSession);

    connect(&m_process, &QProcess::readyReadStandardOutput, this, &PtyRun::readOutput);
    connect(&m_process, &QProcess::finished, this, &PtyRun::onFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &PtyRun::onErrorOccurred);
}

PtyRun::~PtyRun()
{
    if (m_process.state() != QProcess::NotRunning)
        stop(std::chrono::seconds(3));
}

QFuture<RunResult> PtyRun::start()
{
    m_promise.start();
    m_process.start();
    return m_promise.future();
}

void PtyRun::stop(std::chrono::milliseconds grace)
{
    m_process.disconnect(this);
    m_answers.reset();
    if (m_process.state() == QProcess::NotRunning)
        return;
    signalProcessGroup(m_process, SIGTERM);
    if (!m_process.waitForFinished(static_cast<int>(grace.count()))) {
        signalProcessGroup(m_process, SIGKILL);
        m_process.waitForFinished(1000);
    }
}

void PtyRun::readOutput() { m_output.append(m_process.readAllStandardOutput()); }

void PtyRun::onFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    // Whatever the pipe still holds is the end of the transcript, usually the very line that
    // says what went wrong.
    readOutput();
    // A wrapper killed by a signal reports the signal number; shells report that as 128 + n.
    const qint32 status = exitStatus == QProcess::NormalExit ? exitCode : 128 + exitCode;
    if (cli::succeeded(status))
        settle(std::nullopt);
    else
        settle(SetupError::exitedWithStatus(status, m_output.text()));
}

void PtyRun::onErrorOccurred(QProcess::ProcessError error)
{
    // Other errors are followed by finished(), which settles the run.
    if (error == QProcess::FailedToStart)
        settle(SystemError{m_process.errorString()});
}

void PtyRun::settle(const RunResult& result)
{
    if (m_settled)
        return;
    m_settled = true;
    m_answers.reset();
    m_promise.addResult(result);
    m_promise.finish();
    emit ended();
}

} // namespace corvane
