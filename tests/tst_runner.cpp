// Commands in real login shells: the Node.js check, and runs through the real script utility with
// the Corvane stand-in as npx, from a temporary HOME.
#include "flow/Operations.h"
#include "model/Paths.h"
#include "runner/NodeCheck.h"
#include "runner/OutputCollector.h"
#include "runner/Setup.h"
#include "runner/TerminalText.h"
#include "runner/UserShell.h"
#include "runner/WrapperCommand.h"
#include "support/ScopedEnv.h"
#include "support/TestHome.h"

#include <QFutureWatcher>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/mman.h>
#include <unistd.h>

using namespace corvane;
using namespace Qt::StringLiterals;

class TestRunner : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { m_home->killRecorded(); }
    void nodeVersion_data();
    void nodeVersion();
    void nodeCheckNeverWaitsOnInputOrPastItsBound();
    void nodeCheckReadsOnlyTheOutput();
    void nodeCheckEndsItsWholeSession_data();
    void nodeCheckEndsItsWholeSession();
    void runsThatCannotStart();
    void commandSeesATerminal_data();
    void commandSeesATerminal();
    void wrapperKilledFromOutsideFails_data();
    void wrapperKilledFromOutsideFails();
    void floodKeepsOnlyTheEnd();
    void homeWithoutHome_data();
    void homeWithoutHome();
    void unusableShellCountsAsUnset_data();
    void unusableShellCountsAsUnset();

private:
    // The answer of one Node.js check: the version, "nothing", or "no answer" when none came.
    QString checkNode(std::chrono::milliseconds bound = Setup::nodeCheckBound);
    RunResult run(const QStringList& arguments, RunnerConfig config = RunnerConfig::system());
    void useShell(const QString& name);
    std::unique_ptr<test::TestHome> m_home;
};

void TestRunner::initTestCase()
{
    m_home = std::make_unique<test::TestHome>();
    m_home->installStandIn();
}

void TestRunner::init()
{
    m_home->setStartup({});
    m_home->remove(u"standin-record"_s);
    for (const char* name : {"STANDIN_EXIT", "STANDIN_SIGNAL", "STANDIN_LAST_LINE", "STANDIN_BURST",
                             "STANDIN_HANG", "STANDIN_SPINNER"})
        qunsetenv(name);
    useShell(u"bash"_s);
}

void TestRunner::useShell(const QString& name)
{
    const QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        QSKIP("shell not installed");
    qputenv("SHELL", QFile::encodeName(path));
}

RunResult TestRunner::run(const QStringList& arguments, RunnerConfig config)
{
    Setup setup(std::move(config));
    const std::optional<RunResult> result = test::waitForResult(setup.runViaPty(arguments));
    if (!result) // a failure, and the run ends with setup
        QTest::qFail("the run did not end", __FILE__, __LINE__);
    return result.value_or(SystemError{u"the run did not end"_s});
}

void TestRunner::nodeVersion_data()
{
    QTest::addColumn<QString>("shell");
    QTest::addColumn<QByteArray>("output"); // null: no node on PATH
    QTest::addColumn<QByteArray>("startup");
    QTest::addColumn<QString>("expected"); // "nothing": not found
    const auto row = [](const char* shell, const char* name, const QByteArray& output,
                        const QByteArray& startup, const QString& expected) {
        QTest::addRow("%s: %s", shell, name)
            << QString::fromLatin1(shell) << output << startup << expected;
    };
    for (const char* s : {"bash", "zsh", "dash", "fish"}) {
        row(s, "version", "v20.11.1\n", "", u"v20.11.1"_s);
        row(s, "no node", QByteArray(), "", u"nothing"_s);
    }
    // What start-up and logout files print around the answer never counts, colour codes and
    // all; only what node printed does.
    for (const char* s : {"bash", "zsh"}) {
        row(s, "coloured greeting, no line end", "v20.11.1\n",
            "printf '\\033[1;32mWelcome\\033[0m'", u"v20.11.1"_s);
        row(s, "printed on exit", "v20.11.1\n", "trap 'echo bye' EXIT", u"v20.11.1"_s);
        row(s, "greeting in v, no node", QByteArray(), "echo 'very warm welcome'", u"nothing"_s);
        row(s, "version-like text on exit, no node", QByteArray(), "trap 'echo v1.0' EXIT",
            u"nothing"_s);
    }
    // Node's own output is read the same way whatever the shell.
    row("bash", "blanks first", "\n \tv18.0.0 \r\n", "", u"v18.0.0"_s);
    row("bash", "node's own second line", "v20\nbye\n", "", u"v20\nbye"_s);
    row("bash", "no v", "20.11.1", "", u"nothing"_s);
    row("bash", "bad UTF-8", "v2\xff", "", u"v2\uFFFD"_s);
}

void TestRunner::nodeVersion()
{
    QFETCH(QString, shell);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, startup);
    QFETCH(QString, expected);
    useShell(shell);
    m_home->remove(u"bin/node"_s);
    if (!output.isNull())
        m_home->installNode(output, 3); // a failing status does not matter
    m_home->setStartup(startup);
    QCOMPARE(checkNode(), expected);
}

QString TestRunner::checkNode(std::chrono::milliseconds bound)
{
    NodeCheck check(bound);
    QSignalSpy answered(&check, &NodeCheck::answered);
    check.start();
    if (!answered.wait(int(bound.count()) + 5000))
        return u"no answer"_s;
    QCoreApplication::processEvents();
    if (answered.size() != 1)
        return u"answered twice"_s;
    return answered.first().first().value<NodeVersion>().value_or(u"nothing"_s);
}

void TestRunner::nodeCheckNeverWaitsOnInputOrPastItsBound()
{
    // This process's input never ends, as a terminal's would not: a start-up file reading it must
    // get end-of-file from the null device.
    // A bound far above what a busy machine needs for these, and below the job's 60 s.
    constexpr std::chrono::seconds bound(30);
    int endless[2];
    QVERIFY(::pipe(endless) == 0);
    const int savedInput = ::dup(STDIN_FILENO);
    ::dup2(endless[0], STDIN_FILENO);
    m_home->installNode("v20.11.1\n");
    m_home->setStartup("read answer");
    const QString version = checkNode(bound);
    ::dup2(savedInput, STDIN_FILENO);
    for (const int fd : {savedInput, endless[0], endless[1]})
        ::close(fd);
    QCOMPARE(version, u"v20.11.1"_s);

    // A background job holding the shell's output does not hold up the answer, nor do 50 MB of
    // blank lines before it.
    m_home->setStartup("sleep 60 & echo $! > \"$HOME/sleeper\"");
    QCOMPARE(checkNode(bound), u"v20.11.1"_s);
    test::signalProcess(m_home->read(u"sleeper"_s).trimmed().toLongLong(), SIGKILL);
    m_home->setStartup("head -c 50000000 /dev/zero | tr '\\0' '\\n'");
    QCOMPARE(checkNode(bound), u"v20.11.1"_s);
}

void TestRunner::nodeCheckReadsOnlyTheOutput()
{
    // An output shorter than the markers, just after a page nobody may read: a search that reads
    // before the output crashes here.
    const long page = ::sysconf(_SC_PAGESIZE);
    auto* pages = static_cast<char*>(
        ::mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    QVERIFY(pages != MAP_FAILED);
    const auto unmap = qScopeGuard([&] { ::munmap(pages, 2 * page); });
    QVERIFY(::mprotect(pages, page, PROT_NONE) == 0);
    std::memcpy(pages + page, "v20", 3);
    QCOMPARE(NodeCheck::versionBetween(QByteArray::fromRawData(pages + page, 3), "begin-marker",
                                       "end-marker"),
             std::nullopt);
}

void TestRunner::nodeCheckEndsItsWholeSession_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("past the bound") << u"bound"_s;
    QTest::newRow("stopped") << u"stop"_s;
    QTest::newRow("app closing") << u"close"_s;
}

void TestRunner::nodeCheckEndsItsWholeSession()
{
    QFETCH(QString, how);
    // A start-up file that hangs, with a job of its own in another process group of the session.
    m_home->installNode("v20.11.1\n");
    m_home->setStartup("/usr/bin/perl -e 'setpgrp(0, 0); exec \"sleep\", \"60\"' &\n"
                       "echo $! > \"$HOME/sleeper\"; echo $$ > \"$HOME/shell\"; sleep 60");
    m_home->remove(u"sleeper"_s);
    m_home->remove(u"shell"_s);
    auto setup = std::make_unique<Setup>();
    QFutureWatcher<NodeVersion> watcher;
    QSignalSpy answered(&watcher, &QFutureWatcherBase::finished);
    watcher.setFuture(setup->nodeVersion(how == u"bound" ? std::chrono::milliseconds(1500)
                                                         : Setup::nodeCheckBound));
    QTRY_VERIFY(m_home->read(u"sleeper"_s).endsWith('\n') &&
                m_home->read(u"shell"_s).endsWith('\n'));
    const qint64 sleeper = m_home->read(u"sleeper"_s).trimmed().toLongLong();
    const qint64 shell = m_home->read(u"shell"_s).trimmed().toLongLong();
    QVERIFY(sleeper > 1 && shell > 1);
    QTRY_VERIFY(::getpgid(pid_t(sleeper)) != ::getpgid(pid_t(shell))); // once perl has moved
    if (how == u"bound") {
        QVERIFY(answered.wait(5000));
        QCOMPARE(watcher.future().result(), NodeVersion());
    } else {
        if (how == u"stop")
            setup->endAllRuns();
        else
            setup.reset();
        QVERIFY(answered.wait(1000));
        QVERIFY(watcher.isCanceled());
    }
    QTRY_VERIFY(test::processGone(sleeper) && test::processGone(shell));
}

void TestRunner::runsThatCannotStart()
{
    // Something at the wrapper's path that cannot be executed: a launch error, not a status. (A
    // missing wrapper: tst_install's answersFileLivesOnlyWhileTheInstallerRuns.)
    RunnerConfig config = RunnerConfig::system();
    config.wrapperPath = QDir::tempPath();
    QVERIFY(std::holds_alternative<SystemError>(*run({u"npx"_s}, config)));
    // No command line can carry a NUL: refused before anything starts.
    QVERIFY(std::holds_alternative<SystemError>(*run({u"npx"_s, u"a\0b"_s})));
    QVERIFY(m_home->read(u"standin-record/args"_s).isEmpty());
}

void TestRunner::commandSeesATerminal_data()
{
    QTest::addColumn<QString>("shell");
    QTest::addColumn<QByteArray>("term"); // null: the app has no TERM
    QTest::addColumn<QString>("ending");  // how the command ends
    QTest::addColumn<int>("status");
    for (const char* shell : {"bash", "zsh", "fish"}) {
        const QString sh = QString::fromLatin1(shell);
        QTest::addRow("%s, no TERM, exit 255", shell) << sh << QByteArray() << u"exit 255"_s << 255;
        QTest::addRow("%s, TERM kept, SIGTERM", shell)
            << sh << "vt100"_ba << u"kill -TERM $$"_s << 128 + SIGTERM;
        QTest::addRow("%s, SIGKILL", shell)
            << sh << "vt100"_ba << u"kill -KILL $$"_s << 128 + SIGKILL;
    }
}

void TestRunner::commandSeesATerminal()
{
    QFETCH(QString, shell);
    QFETCH(QByteArray, term);
    QFETCH(QString, ending);
    QFETCH(int, status);
    useShell(shell);
    test::ScopedEnv env("TERM", term);
    // A busy app may hold every single-digit descriptor; the status still gets through.
    QList<int> taken{::open("/dev/null", O_RDONLY)};
    while (taken.last() >= 0 && taken.last() <= 9)
        taken.append(::open("/dev/null", O_RDONLY));
    const auto release = qScopeGuard([&] {
        for (const int fd : taken)
            ::close(fd);
    });
    // Size as the terminal reports it on standard output, TERM, the user's SHELL rather than the
    // wrapper's, standard input at end of file for every read, not only the first, and the output
    // decoded as the terminal text it is: carriage returns kept, bad bytes replaced.
    const RunResult result =
        run({u"sh"_s, u"-c"_s,
             u"stty size <&1; echo \"TERM=$TERM\"; echo \"SHELL=$SHELL\"; "
             "read a; read b; echo \"read $?\"; printf 'bad \\377\\376 end\\n'; "_s +
                 ending});
    QCOMPARE(test::failedStatus(result), status);
    const QString expected =
        u"24 80\r\nTERM=%1\r\nSHELL=%2\r\nread 1\r\nbad \uFFFD\uFFFD end"_s.arg(
            QString::fromLatin1(term.isNull() ? "xterm-256color"_ba : term),
            qEnvironmentVariable("SHELL"));
    // A shell may add its own word after a command a signal ended.
    QCOMPARE(test::failedOutput(result).left(expected.size()), expected);

    // A spinner that loops while the width is 0 finishes, and success is no failure.
    qputenv("STANDIN_SPINNER", "1");
    QVERIFY(!run({u"npx"_s, u"--yes"_s, u"corvane@latest"_s, u"update"_s}));
}

void TestRunner::wrapperKilledFromOutsideFails_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGQUIT") << int(SIGQUIT);
    QTest::newRow("SIGKILL") << int(SIGKILL);
}

void TestRunner::wrapperKilledFromOutsideFails()
{
    QFETCH(int, signal);
    qputenv("STANDIN_HANG", "1");
    Setup setup;
    const QFuture<RunResult> future =
        setup.runViaPty({u"npx"_s, u"--yes"_s, u"corvane@latest"_s, u"update"_s});
    QTRY_VERIFY(!m_home->read(u"standin-record/child-pid"_s).isEmpty());
    // The wrapper is the parent of the outer layer, which leads the installer's session.
    const qint64 installer = m_home->read(u"standin-record/pid"_s).toLongLong();
    QVERIFY(installer > 1);
    const pid_t leader = ::getsid(static_cast<pid_t>(installer));
    QVERIFY(leader > 1 && leader != ::getsid(0));
    QFile stat(u"/proc/%1/stat"_s.arg(leader));
    QVERIFY(stat.open(QIODevice::ReadOnly));
    const QByteArray line = stat.readAll();
    const pid_t wrapper =
        static_cast<pid_t>(line.mid(line.lastIndexOf(')') + 2).split(' ')[1].toLongLong());
    QVERIFY(test::signalProcess(wrapper, signal));
    const std::optional<RunResult> result = test::waitForResult(future, 30000);
    QVERIFY(result);
    QVERIFY2(*result, "a run stopped halfway was reported as success");
    if (signal == SIGKILL) // which the wrapper cannot catch: its status is a shell's for it
        QCOMPARE(test::failedStatus(*result), 128 + SIGKILL);
}

void TestRunner::floodKeepsOnlyTheEnd()
{
    // A few hundred megabytes of log through the real terminal, then the line that matters.
    const RunResult result =
        run({u"sh"_s, u"-c"_s,
             u"yes 'npm http fetch GET 200 https://registry.example/pkg 12ms' | head -c 209715200; "
             "echo; echo 'Error: the last line'; exit 3"_s});
    QCOMPARE(test::failedStatus(result), 3);
    const QString output = test::failedOutput(result);
    QCOMPARE(lastVisibleLine(output), u"Error: the last line"_s);
    QVERIFY(output.size() <= OutputCollector::bound);
    QVERIFY(output.size() > OutputCollector::bound / 2);
    // It starts with a whole line.
    QVERIFY(output.startsWith(u"npm http fetch GET 200 https://registry.example/pkg 12ms\r\n"_s));
}

void TestRunner::homeWithoutHome_data()
{
    QTest::addColumn<bool>("unset");
    QTest::newRow("HOME unset") << true;
    QTest::newRow("HOME empty") << false;
}

void TestRunner::homeWithoutHome()
{
    QFETCH(bool, unset);
    const passwd* account = ::getpwuid(::getuid());
    QVERIFY(account && account->pw_dir);
    const QString accountHome = QDir::cleanPath(QFile::decodeName(account->pw_dir));
    test::ScopedEnv env("HOME", unset ? QByteArray() : ""_ba);
    QCOMPARE(homePath(), accountHome);
    QCOMPARE(expandTilde(u"~/.codex/config.toml"_s), accountHome + u"/.codex/config.toml"_s);
    // The installer, started in the wrapper's environment, keeps its manifest there too.
    QCOMPARE(wrapperCommand(u"/bin/sh"_s, u"true"_s, 9, QProcessEnvironment::systemEnvironment())
                 .environment.value(u"HOME"_s),
             accountHome);
}

void TestRunner::unusableShellCountsAsUnset_data()
{
    QTest::addColumn<QByteArray>("shell"); // resolved against "/" when relative
    QTest::newRow("empty") << ""_ba;
    QTest::newRow("relative, naming a program") << "usr/bin/env"_ba; // no one's login shell
    QTest::newRow("missing") << "/nonexistent/sh"_ba;
    QTest::newRow("not executable") << "/etc/passwd"_ba;
    QTest::newRow("a folder") << "/bin"_ba;
}

void TestRunner::unusableShellCountsAsUnset()
{
    QFETCH(QByteArray, shell);
    const QString workingFolder = QDir::currentPath();
    const auto restore = qScopeGuard([&] { QDir::setCurrent(workingFolder); });
    QDir::setCurrent(u"/"_s);
    test::ScopedEnv env("SHELL", QByteArray());
    const QString unset = userShell();
    env.set("SHELL", shell);
    QCOMPARE(userShell(), unset);
#ifndef Q_OS_MACOS
    // Unset: the account's shell when it is usable, else /bin/sh.
    const passwd* account = ::getpwuid(::getuid());
    const QString own = QFile::decodeName(account && account->pw_shell ? account->pw_shell : "");
    QCOMPARE(unset, isUsableShell(own) ? own : u"/bin/sh"_s);
#endif
}

QTEST_GUILESS_MAIN(TestRunner)
#include "tst_runner.moc"
