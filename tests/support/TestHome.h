#pragma once

#include "runner/SetupError.h"

#include <QByteArray>
#include <QFuture>
#include <QString>
#include <QTemporaryDir>

namespace corvane::test {

// A throw-away home folder. While the object lives, HOME points at it, so catalogs, the manifest
// and every login shell a test starts see only it.
//
// Each login shell the runner may start (bash, zsh, dash/sh, fish) reads a start-up file here that
// sets PATH to this home's bin/ and then sysbin/, which links a few basic tools only: the machine's
// own node and npx are never found, so nothing can reach the npm registry.
class TestHome {
public:
    TestHome();
    ~TestHome();

    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }

    // Writes a file under the home, creating folders on the way; executable when asked. A write
    // that fails fails the running test.
    void writeFile(const QString& relative, const QByteArray& content, bool executable = false);
    // Removes a file or a whole folder under the home.
    void remove(const QString& relative);
    // Reads a file under the home; empty when missing.
    QByteArray read(const QString& relative) const;

    // A `node` in bin/ that prints output exactly (any bytes) and exits with status.
    void installNode(const QByteArray& output, int status = 0);
    // The Corvane stand-in as bin/npx; it records into standin-record/.
    void installStandIn();
    // Shell lines (POSIX syntax) every shell's start-up file runs after setting PATH.
    void setStartup(const QByteArray& lines);
    // Kills the processes the stand-in recorded, so that a test that fails mid-run leaves none.
    void killRecorded() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_previousHome;
};

// Whether a process is gone: no such process, or a zombie nobody has reaped yet. False for a pid
// that names no single process (0, 1 or negative, as an empty pid file reads), so that waiting for
// it fails rather than passes.
bool processGone(qint64 pid);

// Sends signal to the process pid, but only when pid names a single process other than init and
// this one: kill(0, …) and kill(-1, …) would reach the test's process group or every process.
// False when refused or when there is no such process.
bool signalProcess(qint64 pid, int signal);

// Spins the event loop until the future has its result, for at most timeoutMs.
std::optional<RunResult> waitForResult(const QFuture<RunResult>& future, int timeoutMs = 60000);

// The status of a SetupError::exitedWithStatus result, or -1 for any other result.
int failedStatus(const RunResult& result);

// The output of a SetupError::exitedWithStatus result, or empty.
QString failedOutput(const RunResult& result);

} // namespace corvane::test
