#include "Setup.h"

#include "AnswersFile.h"
#include "PtyRun.h"
#include "ShellQuote.h"
#include "UserShell.h"

#include "model/CorvaneCli.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <csignal>

namespace corvane {

using namespace Qt::StringLiterals;

namespace {

// How the wrapper is started for this system's script utility.
struct WrapperCommand {
    QStringList arguments;
    QProcessEnvironment environment;
};

WrapperCommand wrapperCommand(const QString& shell, const QString& line)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
#if defined(Q_OS_MACOS) || defined(Q_OS_FREEBSD) || defined(Q_OS_NETBSD) || defined(Q_OS_OPENBSD)
    // BSD script runs the rest of its arguments as the command.
    return {{u"-q"_s, u"/dev/null"_s, shell, u"-ilc"_s, line}, environment};
#else
    // util-linux script runs its -c string through $SHELL -c, and passes the command's status on
    // only with -e. A POSIX shell reads that outer layer; it gives the login shell the user's own
    // SHELL back (or none, as the app had none) and replaces itself with it.
    const auto quote = [](const QString& text) { return quoteArgument(text, ShellDialect::Posix); };
    const QString restoreShell =
        environment.contains(u"SHELL"_s)
            ? u"SHELL="_s + quote(environment.value(u"SHELL"_s)) + u"; export SHELL; "_s
            : u"unset SHELL; "_s;
    const QString outer = restoreShell + u"exec "_s + quote(shell) + u" -ilc "_s + quote(line);
    environment.insert(u"SHELL"_s, u"/bin/sh"_s);
    return {{u"-q"_s, u"-e"_s, u"-c"_s, outer, u"/dev/null"_s}, environment};
#endif
}

} // namespace

RunnerConfig RunnerConfig::system() { return {u"/usr/bin/script"_s, QDir::tempPath()}; }

Setup::Setup(RunnerConfig config, QObject* parent)
    : QObject(parent)
    , m_config(std::move(config))
{
    AnswersFile::removeStale(m_config.tempFolder);
}

Setup::~Setup() { endAllRuns(); }

std::optional<QString> Setup::nodeVersion(std::chrono::milliseconds bound)
{
    QProcess shell;
    shell.setProgram(userShell());
    shell.setArguments({u"-ilc"_s, u"command -v node >/dev/null 2>&1 && node --version"_s});
    // A start-up file that reads input must not wait on the app's terminal.
    shell.setStandardInputFile(QProcess::nullDevice());
    shell.setStandardErrorFile(QProcess::nullDevice());
    shell.setChildProcessModifier(startNewSession);
    shell.start();
    if (!shell.waitForStarted())
        return std::nullopt;
    if (!shell.waitForFinished(static_cast<int>(bound.count()))) {
        signalProcessGroup(shell, SIGKILL);
        shell.waitForFinished(1000);
        return std::nullopt;
    }
    const QString text = QString::fromUtf8(shell.readAllStandardOutput()).trimmed();
    if (!text.startsWith(u'v'))
        return std::nullopt;
    return text;
}

QFuture<RunResult> Setup::runViaPty(const QStringList& arguments)
{
    return launch(arguments, nullptr);
}

QFuture<RunResult> Setup::runInstall(const InstallAnswers& answers)
{
    QString error;
    std::unique_ptr<AnswersFile> file =
        AnswersFile::create(m_config.tempFolder, answers.toJson(), &error);
    if (!file)
        return settledLater(SystemError{error});
    const QStringList arguments = cli::installArguments(file->path());
    return launch(arguments, std::move(file));
}

QFuture<RunResult> Setup::runUpdate() { return launch(cli::updateArguments(), nullptr); }

QFuture<RunResult> Setup::launch(const QStringList& arguments, std::unique_ptr<AnswersFile> answers)
{
    if (!QFileInfo::exists(m_config.wrapperPath))
        return settledLater(SetupError::scriptMissing());
    const QString shell = userShell();
    const std::optional<QString> line = commandLine(arguments, dialectOf(shell));
    if (!line)
        return settledLater(
            SystemError{u"An argument holds a NUL character, which no command line can carry."_s});

    const WrapperCommand command = wrapperCommand(shell, *line);
    auto* run = new PtyRun(m_config.wrapperPath, command.arguments, command.environment,
                           std::move(answers), this);
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
    const QList<PtyRun*> runs = std::exchange(m_runs, {});
    for (PtyRun* run : runs) {
        run->stop(std::chrono::seconds(3));
        delete run;
    }
}

} // namespace corvane
