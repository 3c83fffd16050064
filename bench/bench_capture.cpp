// Capture: Setup::runViaPty on an installer that prints 64 MiB of installer-like text and fails,
// against the script utility running the same login-shell command with its output thrown away.
// Then the app's peak memory for 64 MiB and for 256 MiB of output, each run in a fresh process.
//   bench_capture [--runs N] [--megabytes M]
//   bench_capture --peak-rss M      (one run in this process; prints its peak memory)
#include "InstallerText.h"
#include "Measure.h"

#include "runner/Setup.h"
#include "runner/ShellQuote.h"
#include "runner/TerminalText.h"
#include "support/TestHome.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProcess>

#include <cstdio>

using namespace corvane;
using namespace corvane::bench;
using namespace Qt::StringLiterals;

namespace {

QStringList floodCommand(qsizetype megabytes)
{
    return {QStringLiteral(CORVANE_FLOOD), QString::number(megabytes)};
}

// Waits in the event loop as the app does, woken by the run's own events; a wait that polls
// would add its own sleeps to every read of the output.
RunResult resultOf(const QFuture<RunResult>& future)
{
    QEventLoop loop;
    QFutureWatcher<RunResult> watcher;
    QObject::connect(&watcher, &QFutureWatcher<RunResult>::finished, &loop, &QEventLoop::quit);
    watcher.setFuture(future);
    if (!future.isFinished())
        loop.exec();
    return future.result();
}

double captureRun(qsizetype megabytes)
{
    const double start = nowMs();
    Setup setup;
    const RunResult result = resultOf(setup.runViaPty(floodCommand(megabytes)));
    const double elapsed = nowMs() - start;
    if (test::failedStatus(result) != 1 ||
        lastVisibleLine(test::failedOutput(result)) != QLatin1StringView(lastLine))
        qFatal("the run did not fail with the installer's last line");
    return elapsed;
}

// The wrapper alone: the same shell command under script, output to the null device.
double wrapperRun(qsizetype megabytes)
{
    const QString line = *commandLine(floodCommand(megabytes), ShellDialect::Posix);
    QProcess script;
    script.setProgram(u"/usr/bin/script"_s);
#if defined(Q_OS_MACOS) || defined(Q_OS_FREEBSD) || defined(Q_OS_NETBSD) || defined(Q_OS_OPENBSD)
    script.setArguments({u"-q"_s, u"/dev/null"_s, u"/bin/bash"_s, u"-ilc"_s, line});
#else
    script.setArguments({u"-q"_s, u"-e"_s, u"-c"_s,
                         u"exec /bin/bash -ilc "_s + quoteArgument(line, ShellDialect::Posix),
                         u"/dev/null"_s});
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"SHELL"_s, u"/bin/sh"_s);
    script.setProcessEnvironment(environment);
#endif
    script.setStandardInputFile(QProcess::nullDevice());
    script.setStandardOutputFile(QProcess::nullDevice());
    const double start = nowMs();
    script.start();
    script.waitForFinished(-1);
    const double elapsed = nowMs() - start;
    if (script.exitCode() != 1)
        qFatal("the wrapper did not pass the installer's status on");
    return elapsed;
}

double peakRssOfRun(qsizetype megabytes)
{
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({u"--peak-rss"_s, QString::number(megabytes)});
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start();
    child.waitForFinished(-1);
    return child.readAllStandardOutput().trimmed().toDouble();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    test::TestHome home;
    qputenv("SHELL", "/bin/bash");

    if (const qsizetype at = arguments.indexOf(u"--peak-rss"_s); at >= 0) {
        captureRun(arguments.value(at + 1).toLongLong());
        std::printf("%.1f\n", ownPeakRssMiB());
        return 0;
    }

    const int runs = runsFromArguments(arguments, 5);
    const qsizetype at = arguments.indexOf(u"--megabytes"_s);
    const qsizetype megabytes = at >= 0 ? arguments.value(at + 1).toLongLong() : 64;

    Series captures, wrappers, ratios;
    for (int round = 0; round < runs; ++round) {
        const auto [capture, wrapper] = timeInterleaved(
            round, [&] { return captureRun(megabytes); }, [&] { return wrapperRun(megabytes); });
        captures.add(capture);
        wrappers.add(wrapper);
        ratios.add(capture / wrapper);
    }
    printHeading(u"Capture: Setup::runViaPty on %1 MiB of installer output that fails, against "
                 u"script with output to /dev/null"_s.arg(megabytes));
    printFigure(u"Setup::runViaPty"_s, captures, u"ms"_s);
    printFigure(u"script alone (baseline)"_s, wrappers, u"ms"_s);
    printRatio(u"ratio"_s, ratios, 1.10);

    const double small = peakRssOfRun(megabytes);
    const double large = peakRssOfRun(megabytes * 4);
    printHeading(u"  peak memory of the process that runs it"_s);
    std::printf("  %-34s %9.1f MiB\n  %-34s %9.1f MiB\n",
                qPrintable(u"%1 MiB of output"_s.arg(megabytes)), small,
                qPrintable(u"%1 MiB of output"_s.arg(megabytes * 4)), large);
    Series growth;
    growth.add(large / small);
    printRatio(u"4 x output: peak memory grows by"_s, growth, 1.10);
    return 0;
}
