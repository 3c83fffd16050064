#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

namespace corvane {

// One question to the user's interactive login shell: is there a `node`, and which version?
//
// start() launches the shell and returns at once; the answer arrives later as answered(), exactly
// once per start(), from the event loop of the thread that owns the object (start it from the main
// thread: on Linux the shell dies with the thread that started it). The shell runs in a session of
// its own, reading its input from the null device, so that a start-up file can neither wait on the
// app's terminal nor hold up the answer with a background job. Past the bound, or on stop(), or
// when the object is destroyed, every process of the shell's session is killed; stop() and
// destruction report nothing, the bound reports no version.
//
// The shell prints a marker of ours just before `node --version` and another just after it, so
// whatever start-up and logout files print around them (greetings, colours, nvm's notices) never
// counts, and a greeting is never taken for a version.
class NodeCheck : public QObject {
    Q_OBJECT
public:
    explicit NodeCheck(std::chrono::milliseconds bound, QObject* parent = nullptr);
    ~NodeCheck() override;

    // Starts the shell; no effect while a check is running.
    void start();

    // Ends a running check at once (its whole session), without an answer.
    void stop();

    bool isRunning() const { return m_running; }

    // The shell's command line for the two markers.
    static QString command(const QString& before, const QString& after);

    // The version between the last `before` marker and the `after` marker that follows it (to the
    // end of the output when the shell printed none): decoded as UTF-8 with replacement, escape
    // sequences removed, trimmed; a version when it begins with "v", otherwise nothing.
    static std::optional<QString> versionBetween(const QByteArray& output, const QByteArray& before,
                                                 const QByteArray& after);

signals:
    // The version the shell reported (e.g. "v20.11.1"), or nothing when node is not found there,
    // the shell could not start, or it did not end within the bound.
    void answered(const std::optional<QString>& version);

private:
    void readOutput();
    void finish(std::optional<QString> version);
    void killSession();

    std::chrono::milliseconds m_bound;
    QProcess m_shell;
    QTimer m_deadline;
    QByteArray m_before;
    QByteArray m_after;
    QByteArray m_output;
    bool m_running = false;
    quint64 m_generation = 0;
};

} // namespace corvane
