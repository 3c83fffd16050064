#pragma once

#include "model/InstallAnswers.h"
#include "runner/SetupError.h"

#include <QFuture>
#include <QString>

#include <memory>
#include <optional>

namespace corvane {

class NodeCheck;
class Setup;

// What the flow asks of the machine. The real implementation is SetupOperations; tests stand in
// for it.
class Operations {
public:
    virtual ~Operations() = default;

    // Synchronous and bounded: the Node.js version, or nothing when Node.js is not usable.
    virtual std::optional<QString> nodeVersion() = 0;

    // True when the next nodeVersion() will answer at once, without waiting on a shell.
    virtual bool nodeVersionReady() const { return false; }

    // Asynchronous: each future gets one result on the thread that called, or is cancelled. A
    // future may outlive this object and its caller: the flow never relies on it being cancelled
    // before the flow goes.
    virtual QFuture<RunResult> runInstall(const InstallAnswers& answers) = 0;
    virtual QFuture<RunResult> runUpdate() = 0;
};

// The operations of the real machine, through Setup. Owns the Setup, and with it the live runs.
class SetupOperations final : public Operations {
public:
    SetupOperations();
    explicit SetupOperations(std::unique_ptr<Setup> setup);
    ~SetupOperations() override;

    // Starts the Node.js check now, for the next nodeVersion() to answer: the app calls it as it
    // starts, so the login shell's start-up files run while the window is built. A later check
    // (the user's "Check again") asks the shell afresh.
    void prefetchNodeVersion();

    std::optional<QString> nodeVersion() override;
    bool nodeVersionReady() const override;
    QFuture<RunResult> runInstall(const InstallAnswers& answers) override;
    QFuture<RunResult> runUpdate() override;

private:
    std::unique_ptr<Setup> m_setup;
    std::unique_ptr<NodeCheck> m_prefetched;
};

} // namespace corvane
