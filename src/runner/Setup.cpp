#include "Setup.h"

#include "AnswersFile.h"
#include "NodeCheck.h"
#include "ProcessControl.h"
#include "PtyRun.h"
#include "ShellQuote.h"
#include "StatusChannel.h"
#include "TemporaryFolder.h"
#include "UserShell.h"
#include "WrapperCommand.h"

#include "model/CorvaneCli.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace corvane {

using namespace Qt::StringLiterals;

RunnerConfig RunnerConfig::system() { return {u"/usr/bin/script"_s, temporaryFolder()}; }

Setup::Setup(RunnerConfig config, QObject* parent)
    : QObject(parent)
    , m_config(std::move(config))
{
}

Setup::~Setup() { endAllRuns(); }

void Setup::removeStaleAnswersFiles() { AnswersFile::removeStale(m_config.tempFolder); }

QFuture<std::optional<QString>> Setup::nodeVersion(std::chrono::milliseconds bound)
{
    auto promise = std::make_shared<QPromise<std::optional<QString>>>();
    promise->start();
    auto* check = new NodeCheck(bound, this);
    m_checks.append(check);
    // The promise lives in the connection: a check deleted unanswered cancels its future.
    connect(check, &NodeCheck::answered, this,
            [this, check, promise](const std::optional<QString>& version) {
                m_checks.removeOne(check);
                check->deleteLater();
                promise->addResult(version);
                promise->finish();
            });
    check->start();
    return promise->future();
}

QFuture<RunResult> Setup::runViaPty(const QStringList& arguments)
{
    return launch(arguments, nullptr, {});
}

QFuture<RunResult> Setup::runInstall(const InstallAnswers& answers)
{
    QString error;
    std::unique_ptr<AnswersFile> file =
        AnswersFile::create(m_config.tempFolder, answers.toJson(), &error);
    if (!file)
        return settledLater(SystemError{error});
    const QStringList arguments = cli::installArguments(file->path());
    return launch(arguments, std::move(file), SecretMask(answers.keys()));
}

QFuture<RunResult> Setup::runUpdate() { return launch(cli::updateArguments(), nullptr, {}); }

QFuture<RunResult> Setup::launch(const QStringList& arguments, std::unique_ptr<AnswersFile> answers,
                                 SecretMask secrets)
{
    if (!QFileInfo::exists(m_config.wrapperPath))
        return settledLater(SetupError::scriptMissing());
    const QString shell = userShell();
    const std::optional<QString> line = commandLine(arguments, dialectOf(shell));
    if (!line)
        return settledLater(
            SystemError{u"An argument holds a NUL character, which no command line can carry."_s});

    QString error;
    std::unique_ptr<StatusChannel> channel = StatusChannel::open(&error);
    if (!channel)
        return settledLater(SystemError{error});
    const WrapperCommand command = wrapperCommand(shell, *line, channel->childDescriptor(),
                                                  QProcessEnvironment::systemEnvironment());
    auto* run = new PtyRun(m_config.wrapperPath, command, std::move(channel), std::move(answers),
                           std::move(secrets), this);
    m_runs.append(run);
    connect(run, &PtyRun::ended, this, [this, run] {
        m_runs.removeOne(run);
        run->deleteLater();
    });
    return run->start();
}

QFuture<RunResult> Setup::settledLater(const RunResult& result)
{
    // Results that are known at once still arrive from the event loop, like every other result.
    auto promise = std::make_shared<QPromise<RunResult>>();
    promise->start();
    QTimer::singleShot(0, this, [promise, result] {
        promise->addResult(result);
        promise->finish();
    });
    return promise->future();
}

void Setup::endAllRuns()
{
    qDeleteAll(std::exchange(m_checks, {}));
    const QList<PtyRun*> runs = std::exchange(m_runs, {});
    for (PtyRun* run : runs) {
        run->stop(stopGrace);
        delete run;
    }
}

} // namespace corvane
