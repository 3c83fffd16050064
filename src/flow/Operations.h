#pragma once

#include "model/InstallAnswers.h"
#include "runner/SetupError.h"

#include <QFuture>
#include <QString>

#include <memory>
#include <optional>

namespace corvane {

class Setup;

// The Node.js version (e.g. "v20.11.1"), or nothing when Node.js is not usable.
using NodeVersion = std::optional<QString>;

// What the flow asks of the machine. The real implementation is SetupOperations; tests stand in
// for it.
class Operations {
public:
    virtual ~Operations() = default;

    // Asynchronous: each future gets one result on the thread that called, never from inside the
    // call, or is cancelled. A future may outlive this object and its caller: the flow never
    // relies on it being cancelled before the flow goes. The Node.js check is bounded in time.
    virtual QFuture<NodeVersion> nodeVersion() = 0;
    virtual QFuture<RunResult> runInstall(const InstallAnswers& answers) = 0;
    virtual QFuture<RunResult> runUpdate() = 0;
};

// The operations of the real machine, through Setup. Owns the Setup, and with it the live runs.
class SetupOperations final : public Operations {
public:
    SetupOperations();
    explicit SetupOperations(std::unique_ptr<Setup> setup);
    ~SetupOperations() override;

    QFuture<NodeVersion> nodeVersion() override;
    QFuture<RunResult> runInstall(const InstallAnswers& answers) override;
    QFuture<RunResult> runUpdate() override;

private:
    std::unique_ptr<Setup> m_setup;
};

} // namespace corvane
