#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace corvane::e2e {

// A throw-away home folder for a user whose npm knows only one registry.
//
// Its login shells (zsh, bash, sh) see a PATH holding the machine's real node, npm and npx, and
// the sh npm runs commands with, and nothing else. Its .npmrc points npm at the registry and at a
// cache of its own under the home, so every home starts with an empty npm cache. TMPDIR is a folder
// inside it.
//
// apply() makes this process look like a desktop app run by that user: HOME, SHELL and TMPDIR
// point here, every npm_config_* variable of the caller is replaced by the few that keep npm on
// the registry (the test environment tells npm to stay offline and points it at a dead port,
// which must not reach our children), and CI and TERM are unset, as they are for an app started
// from a launcher. The destructor restores the previous environment. Children started
// afterwards (the runner's, or a GUI app under test) inherit it; environment() gives the same
// for a QProcess without applying it.
class NpmHome {
public:
    // The node, npm and npx found on this process's PATH, or nothing when one is missing.
    struct NodeTools {
        QString node, npm, npx;
    };
    static std::optional<NodeTools> findNodeTools();

    NpmHome(const NodeTools& tools, const QString& registryUrl);
    ~NpmHome();
    NpmHome(const NpmHome&) = delete;
    NpmHome& operator=(const NpmHome&) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }
    QString tempPath() const { return filePath(QStringLiteral("tmp")); }
    QString cachePath() const { return filePath(QStringLiteral(".npm")); }
    // Where the stand-in records what it saw (CORVANE_STANDIN_RECORD).
    QString recordPath() const { return filePath(QStringLiteral("standin-record")); }
    QString shell() const { return m_shell; }

    // Points .npmrc at another registry address (after a restart on a new port).
    void setRegistry(const QString& registryUrl);

    void writeFile(const QString& relative, const QByteArray& content);
    QByteArray read(const QString& relative) const;

    void apply();
    QProcessEnvironment environment() const;

    // Variables set for every child; a null value means unset.
    QMap<QString, QByteArray> overrides() const;

private:
    void writeStartupFiles();

    QTemporaryDir m_dir;
    QString m_shell;
    QString m_registryUrl;
    std::optional<QList<std::pair<QByteArray, std::optional<QByteArray>>>> m_saved;
};

// Process ids of the running processes whose environment says HOME=home: every process a run
// in that home left behind. Empty where /proc is not there to read.
QList<qint64> processesOfHome(const QString& home);

// Whether a process has ended: no such process, or a zombie its parent has not reaped yet.
bool processGone(qint64 pid);

// Kills the given processes outright and waits (at most a few seconds) until they are gone.
void killProcesses(const QList<qint64>& pids);

} // namespace corvane::e2e
