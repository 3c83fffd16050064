#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace corvane::test {

// A throw-away home folder. While the object lives, HOME points at it (the earlier value comes
// back afterwards), so catalogs, the manifest and every login shell a test starts see only it.
//
// Each login shell the runner may start (bash, zsh, dash/sh, fish) reads a start-up file here that
// sets PATH to this home's bin/ and then sysbin/, which holds links to a few basic tools only: the
// machine's own node and npx are never found, so nothing reaches the npm registry. Tests add
// stand-ins to bin/ and extra start-up lines with addStartup().
class TestHome {
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& relative) const;

    // Writes a file under the home, creating folders on the way.
    void writeFile(const QString& relative, const QByteArray& content);
    // Removes a file or a whole folder under the home.
    void remove(const QString& relative);

    // Puts an executable script into bin/.
    void installProgram(const QString& name, const QByteArray& script);
    // A `node` in bin/ that prints output exactly (any bytes) and exits with status.
    void installNode(const QByteArray& output, int status = 0);
    // The Corvane stand-in as bin/npx.
    void installStandIn();

    // Shell lines (POSIX syntax) run by every shell's start-up file after PATH is set.
    void addStartup(const QByteArray& lines);
    // Back to the plain start-up file.
    void resetStartup();

private:
    void writeStartupFiles();

    QTemporaryDir m_dir;
    QByteArray m_previousHome;
    QByteArray m_extraStartup;
};

// Whether a process is gone: no such process, or a zombie nobody has reaped yet.
bool processGone(qint64 pid);

// Reads a whole file; empty when it cannot be read.
QByteArray readAll(const QString& path);

// The full path of a program on this machine's PATH, or empty.
QString systemProgram(const QString& name);

} // namespace corvane::test
