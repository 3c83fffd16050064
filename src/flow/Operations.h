#pragma once

#include "model/InstallAnswers.h"
#include "runner/SetupError.h"

#include <QFuture>
#include <QString>

#include <memory>
#include <optional>

namespace corvane {

class Setup;

// What the flow asks of the machine. The real implementation is SetupOperations; tests stand in
// for it.
class Operations {
public:
    virtual ~Operations() = default;

    // Synchronous and bounded: the Node.js version, or nothing when Node.js is not usable.
    virtual std::optional<QString> nodeVersion() = 0;

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

    std::optional<QString> nodeVersion() override;
    QFuture<RunResult> runInstall(const InstallAnswers& answers) override;
    QFuture<RunResult> runUpdate() override;

private:
    std::unique_ptr<Setup> m_setup;
};

} // namespace corvane
