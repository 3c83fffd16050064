#include "Operations.h"

#include "runner/Setup.h"

namespace corvane {

SetupOperations::SetupOperations()
    : SetupOperations(std::make_unique<Setup>())
{
}

SetupOperations::SetupOperations(std::unique_ptr<Setup> setup)
    : m_setup(std::move(setup))
{
}

SetupOperations::~SetupOperations() = default;

QFuture<NodeVersion> SetupOperations::nodeVersion() { return m_setup->nodeVersion(); }

QFuture<RunResult> SetupOperations::runInstall(const InstallAnswers& answers)
{
    return m_setup->runInstall(answers);
}

QFuture<RunResult> SetupOperations::runUpdate() { return m_setup->runUpdate(); }

} // namespace corvane
