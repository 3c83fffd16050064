#include "PtyRun.h"

#include "ProcessControl.h"

#include "model/CorvaneCli.h"

#include <QDeadlineTimer>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace corvane {

PtyRun::PtyRun(const QString& wrapperPath, const WrapperCommand& command,
               std::unique_ptr<StatusChannel> channel, std::unique_ptr<AnswersFile> answers,
               SecretMask secrets, QObject* parent)
    : QObject(parent)
    , m_output(std::move(secrets))
    , m_channel(std::move(channel))
    , m_answers(std::move(answers))
{
    m_process.setProgram(wrapperPath);
    m_process.setArguments(command.arguments);
    m_process.setProcessEnvironment(command.environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setChildProcessModifier([channel = m_channel.get(), parent = ::getpid()] {
        startDetachedFrom(parent);
        channel->passToChild();
    });

    connect(&m_process, &QProcess::readyReadStandardOutput, this, &PtyRun::readOutput);
    connect(&m_process, &QProcess::finished, this, &PtyRun::onFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &PtyRun::onErrorOccurred);
}

PtyRun::~PtyRun()
{
    if (m_process.state() != QProcess::NotRunning)
        stop(std::chrono::seconds(2));
}

QFuture<RunResult> PtyRun::start()
{
    m_promise.start();
    m_process.start();
    m_channel->closeWriteEnd();
    return m_promise.future();
}

std::optional<pid_t> PtyRun::commandSession()
{
    const std::optional<pid_t> leader = m_channel->leader();
    if (!leader)
        return std::nullopt;
    // The outer layer leads the session script made; once it has gone, the rest of the session
    // still carries its pid as their session id.
    const pid_t session = ::getsid(*leader);
    return session > 0 ? session : *leader;
}

void PtyRun::stop(std::chrono::milliseconds grace)
{
    m_process.disconnect(this);
    m_answers.reset();
    if (!m_settled) {
        m_settled = true;
        m_promise.future().cancel();
        m_promise.finish();
    }
    if (m_process.state() == QProcess::NotRunning)
        return;

    const QDeadlineTimer deadline(grace);
    std::optional<pid_t> session = commandSession();
    // Just launched: the outer layer reports its session within moments.
    while (!session && m_process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        m_process.waitForFinished(5);
        session = commandSession();
    }
    if (session)
        signalSession(*session, {SIGTERM, SIGHUP, SIGCONT});
    else
        signalProcessGroup(m_process, SIGTERM);

    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::NotRunning)
            m_process.waitForFinished(10);
        else if (session && !sessionMembers(*session).isEmpty())
            QThread::msleep(10);
        else
            break;
    }
    if (session)
        signalSession(*session, {SIGKILL});
    if (m_process.state() != QProcess::NotRunning) {
        signalProcessGroup(m_process, SIGKILL);
        m_process.waitForFinished(1000);
    }
}

void PtyRun::readOutput() { m_output.append(m_process.readAllStandardOutput()); }

void PtyRun::onFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    // A wrapper killed by a signal reports the signal number; shells report that as 128 + n.
    const qint32 wrapperStatus = exitStatus == QProcess::NormalExit ? exitCode : 128 + exitCode;
    const std::optional<int> commandStatus = m_channel->status();
    if (commandStatus && cli::succeeded(*commandStatus) && cli::succeeded(wrapperStatus)) {
        settle(std::nullopt);
        return;
    }
    const qint32 status = commandStatus && *commandStatus != 0 ? *commandStatus
                          : wrapperStatus != 0                 ? wrapperStatus
                                                               : unreportedStatus;
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
