// Launch: from starting corvane-setup to its first painted window that takes input
// (CORVANE_SETUP_READY_MARK makes the app say when), against a bare Qt Widgets window with one line
// of text, measured in the same rounds. The home is temporary: a bash login shell whose start-up
// file takes a second before it finds a stand-in node, and Claude Code's settings file, so the
// file checks find a tool; the window must not wait for the shell. Peak memory beside the bare
// window's.
//   bench_launch [--runs N] [--platform offscreen|xvfb]
// With xvfb the benchmark starts its own X server and stops it at the end.
#include "Measure.h"

#include "support/TestHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <csignal>

using namespace corvane;
using namespace corvane::bench;
using namespace Qt::StringLiterals;

namespace {

struct Launch {
    double ms = 0;
    double peakMiB = 0;
};

// Starts a GUI program and waits for the line "ready" on its standard output; then reads its peak
// memory and ends it with SIGTERM, as a user closing it would.
Launch launchUntilReady(const QString& program, const QProcessEnvironment& environment,
                        const QStringList& arguments = {})
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const double start = nowMs();
    process.start();
    QByteArray seen;
    while (!seen.contains("ready\n")) {
        if (!process.waitForReadyRead(30000))
            qFatal("%s never said it was ready", qPrintable(program));
        seen += process.readAllStandardOutput();
    }
    Launch launch{nowMs() - start, peakRssMiB(process.processId())};
    ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished();
    }
    return launch;
}

// An X server of our own on the first free display from :90, or nothing when Xvfb is missing.
std::unique_ptr<QProcess> startXvfb(QString* display)
{
    for (int number = 90; number < 120; ++number) {
        const QString socket = u"/tmp/.X11-unix/X%1"_s.arg(number);
        if (QFileInfo::exists(socket) || QFileInfo::exists(u"/tmp/.X%1-lock"_s.arg(number)))
            continue;
        auto server = std::make_unique<QProcess>();
        server->setProgram(u"Xvfb"_s);
        server->setArguments({u":%1"_s.arg(number), u"-screen"_s, u"0"_s, u"1280x800x24"_s,
                              u"-nolisten"_s, u"tcp"_s});
        server->setStandardOutputFile(QProcess::nullDevice());
        server->setStandardErrorFile(QProcess::nullDevice());
        server->start();
        if (!server->waitForStarted())
            return nullptr;
        for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i)
            QThread::msleep(50);
        if (QFileInfo::exists(socket)) {
            *display = u":%1"_s.arg(number);
            return server;
        }
        server->kill();
        server->waitForFinished();
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int runs = runsFromArguments(arguments, 7);
    const qsizetype at = arguments.indexOf(u"--platform"_s);
    const QString platform = at >= 0 ? arguments.value(at + 1) : u"offscreen"_s;

    test::TestHome home;
    home.installNode("v20.11.1\n");
    home.setStartup("sleep 1");
    home.writeFile(u".claude/settings.json"_s, "{}\n");
    QDir(home.filePath({})).mkpath(u"tmp"_s);
    QDir(home.filePath({})).mkpath(u"runtime"_s);
    QFile::setPermissions(home.filePath(u"runtime"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home.filePath({}));
    environment.insert(u"SHELL"_s, u"/bin/bash"_s);
    environment.insert(u"TMPDIR"_s, home.filePath(u"tmp"_s));
    environment.insert(u"XDG_RUNTIME_DIR"_s, home.filePath(u"runtime"_s));
    environment.insert(u"npm_config_offline"_s, u"true"_s);
    environment.insert(u"CORVANE_SETUP_READY_MARK"_s, u"ready"_s);

    std::unique_ptr<QProcess> xServer;
    if (platform == u"xvfb") {
        QString display;
        xServer = startXvfb(&display);
        if (!xServer)
            qFatal("could not start Xvfb");
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        environment.insert(u"DISPLAY"_s, display);
    } else {
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    }

    // One untimed round first, so that every timed one finds the libraries in the page cache.
    launchUntilReady(QStringLiteral(CORVANE_SETUP_APP), environment);
    launchUntilReady(QStringLiteral(CORVANE_BARE_WINDOW), environment, {u"--text"_s});

    Series apps, textWindows, ratios, appMemory, windowMemory;
    for (int round = 0; round < runs; ++round) {
        Launch appLaunch, windowLaunch;
        // Each goes first in turn.
        for (int step = 0; step < 2; ++step) {
            if ((round + step) % 2 == 0)
                appLaunch = launchUntilReady(QStringLiteral(CORVANE_SETUP_APP), environment);
            else
                windowLaunch = launchUntilReady(QStringLiteral(CORVANE_BARE_WINDOW), environment,
                                                {u"--text"_s});
        }
        apps.add(appLaunch.ms);
        textWindows.add(windowLaunch.ms);
        ratios.add(appLaunch.ms / windowLaunch.ms);
        appMemory.add(appLaunch.peakMiB);
        windowMemory.add(windowLaunch.peakMiB);
    }

    printHeading(u"Launch (%1), login shell taking 1 s: corvane-setup to its first painted window "
                 u"that takes input"_s.arg(platform));
    printFigure(u"corvane-setup"_s, apps, u"ms"_s);
    printFigure(u"bare window with one line of text (baseline)"_s, textWindows, u"ms"_s);
    printRatio(u"ratio to the bare window"_s, ratios, 1.15);
    printBound(u"peak memory at that moment"_s, appMemory.median(), u"MiB"_s, 40);
    printFigure(u"peak memory, bare window"_s, windowMemory, u"MiB"_s);

    if (xServer) {
        xServer->terminate();
        xServer->waitForFinished();
    }
    return 0;
}
