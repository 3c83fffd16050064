#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

#include <sys/types.h>

namespace corvane {

// A pipe on which the wrapper's outer shell layer tells the app about the command it runs, in
// lines of its own: "leader <pid>" as it starts (its pid, which leads the session the wrapper made
// for the command), then "status <n>" with the login shell's exit status once that has returned.
//
// The wrapper's own status cannot be trusted alone: util-linux script killed by SIGTERM, SIGINT or
// SIGQUIT exits 0 while the command it ran is stopped halfway. A run succeeded only if the outer
// layer reported status 0. Only the outer layer writes here: the login shell gets the descriptor
// closed, so neither it nor the installer can write to or hold the pipe.
class StatusChannel {
public:
    // A new pipe, or null with *error set.
    static std::unique_ptr<StatusChannel> open(QString* error);

    ~StatusChannel();
    StatusChannel(const StatusChannel&) = delete;
    StatusChannel& operator=(const StatusChannel&) = delete;

    // The descriptor number the outer layer writes to: a single digit, as POSIX shells such as
    // dash accept no other in redirections.
    int childDescriptor() const { return m_childDescriptor; }

    // In the child, between fork and exec: makes the write end available as childDescriptor()
    // across exec. Async-signal-safe.
    void passToChild() const;

    // In the app once the child has started: the app keeps only the read end.
    void closeWriteEnd();

    // What the outer layer has written so far; each reads what has arrived, without blocking.
    std::optional<pid_t> leader();
    std::optional<int> status();

private:
    StatusChannel(int readEnd, int writeEnd);
    void readAvailable();
    std::optional<qint64> lastValue(const QByteArray& key) const;

    int m_readEnd = -1;
    int m_writeEnd = -1;
    int m_childDescriptor = -1;
    QByteArray m_received;
};

} // namespace corvane
