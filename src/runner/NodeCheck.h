#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>

#include <chrono>
#include <optional>

namespace corvane {

// One question to the user's interactive login shell: is there a `node`, and which version?
//
// The shell starts when the object is made, in a session of its own, reading its input from the
// null device, so that a start-up file can neither wait on the app's terminal nor leave it a
// background job to wait for; it dies with the app. It may answer while the event loop runs: the
// app starts its first check as it starts, so that the shell's start-up files run while the window
// is being built. Destroying an unanswered check kills the shell's whole session.
class NodeCheck {
public:
    // Starts the shell; the answer is due within bound of now.
    explicit NodeCheck(std::chrono::milliseconds bound);
    ~NodeCheck();
    NodeCheck(const NodeCheck&) = delete;
    NodeCheck& operator=(const NodeCheck&) = delete;

    // The version the shell reported (e.g. "v20.11.1"): its output trimmed, when it begins with
    // "v"; nothing when node is not found there, the shell could not start, or it did not end
    // within the bound (its session is then killed). Waits for the shell's exit, not for its
    // output to close. Call once.
    std::optional<QString> result();

    // True when the shell has ended (or could not start), so result() answers at once.
    bool isAnswered();

private:
    QProcess m_shell;
    QDeadlineTimer m_deadline;
};

} // namespace corvane
