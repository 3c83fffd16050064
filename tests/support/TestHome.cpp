#include "TestHome.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFutureWatcher>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <unistd.h>

namespace corvane::test {

using namespace Qt::StringLiterals;

TestHome::TestHome()
    : m_previousHome(qgetenv("HOME"))
{
    // Nothing has started yet, and going on would leave HOME pointing at the real home.
    if (!m_dir.isValid())
        qFatal("cannot create a temporary home folder");
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    QDir(m_dir.path()).mkpath(u"sysbin"_s);
    for (const char* tool :
         {"sh", "cat", "sleep", "stat", "mkdir", "cp", "sed", "tr", "seq", "head", "yes", "stty"})
        QFile::link(QStandardPaths::findExecutable(QString::fromLatin1(tool)),
                    filePath(u"sysbin/"_s + QString::fromLatin1(tool)));
    setStartup({});
}

TestHome::~TestHome() { qputenv("HOME", m_previousHome); }

void TestHome::writeFile(const QString& relative, const QByteArray& content, bool executable)
{
    QDir().mkpath(QFileInfo(filePath(relative)).path());
    QFile file(filePath(relative));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(content) != content.size())
        QTest::qFail(qPrintable(u"cannot write "_s + file.fileName()), __FILE__, __LINE__);
    if (executable)
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestHome::remove(const QString& relative)
{
    // Removing a folder as a file fails; a link, even to a folder, goes by itself.
    if (!QFile::remove(filePath(relative)))
        QDir(filePath(relative)).removeRecursively();
}

QByteArray TestHome::read(const QString& relative) const
{
    QFile file(filePath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TestHome::installNode(const QByteArray& output, int status)
{
    writeFile(u".node-output"_s, output);
    writeFile(u"bin/node"_s,
              "#!/bin/sh\ncat \"$HOME/.node-output\"\nexit " + QByteArray::number(status), true);
}

void TestHome::installStandIn()
{
    QFile standIn(QStringLiteral(CORVANE_STANDIN_DIR "/npx"));
    if (!standIn.open(QIODevice::ReadOnly))
        QTest::qFail("cannot read the stand-in", __FILE__, __LINE__);
    writeFile(u"bin/npx"_s, standIn.readAll(), true);
}

void TestHome::setStartup(const QByteArray& lines)
{
    writeFile(u".testrc"_s, "PATH=\"$HOME/bin:$HOME/sysbin\"; export PATH\n" + lines + '\n');
    for (const QString& file : {u".bash_profile"_s, u".profile"_s, u".zshrc"_s})
        writeFile(file, ". \"$HOME/.testrc\"\n");
    // fish reads its own syntax; it only needs the PATH.
    writeFile(u".config/fish/config.fish"_s, "set -gx PATH $HOME/bin $HOME/sysbin\n");
}

void TestHome::killRecorded() const
{
    for (const char* name : {"pid", "child-pid", "stubborn-pid"}) {
        signalProcess(read(u"standin-record/"_s + QLatin1StringView(name)).trimmed().toLongLong(),
                      SIGKILL);
    }
}

bool processGone(qint64 pid)
{
    if (pid <= 1)
        return false;
    if (::kill(static_cast<pid_t>(pid), 0) != 0)
        return true;
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    const QByteArray line = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && line.mid(close + 2, 1) == "Z";
}

bool signalProcess(qint64 pid, int signal)
{
    return pid > 1 && pid != ::getpid() && ::kill(static_cast<pid_t>(pid), signal) == 0;
}

std::optional<RunResult> waitForResult(const QFuture<RunResult>& future, int timeoutMs)
{
    // An event loop of its own rather than QTest::qWaitFor, which sleeps between rounds and so
    // reads a flooding command's output at a few MB/s.
    if (!future.isFinished()) {
        QEventLoop loop;
        QFutureWatcher<RunResult> watcher;
        QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        watcher.setFuture(future);
        loop.exec();
    }
    if (!future.isFinished() || future.isCanceled())
        return std::nullopt;
    return future.result();
}

int failedStatus(const RunResult& result)
{
    const auto* error = result ? std::get_if<SetupError>(&*result) : nullptr;
    return error && error->kind == SetupError::Kind::ExitedWithStatus ? error->status : -1;
}

QString failedOutput(const RunResult& result)
{
    const auto* error = result ? std::get_if<SetupError>(&*result) : nullptr;
    return error ? error->output : QString();
}

} // namespace corvane::test
