#include "Operations.h"

#include "runner/NodeCheck.h"
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

void SetupOperations::prefetchNodeVersion()
{
    m_prefetched = std::make_unique<NodeCheck>(Setup::nodeCheckBound);
}

bool SetupOperations::nodeVersionReady() const
{
    return m_prefetched && m_prefetched->isAnswered();
}

std::optional<QString> SetupOperations::nodeVersion()
{
    if (std::unique_ptr<NodeCheck> check = std::exchange(m_prefetched, nullptr))
        return check->result();
    return Setup::nodeVersion();
}

QFuture<RunResult> SetupOperations::runInstall(const InstallAnswers& answers)
{
    return m_setup->runInstall(answers);
}

QFuture<RunResult> SetupOperations::runUpdate() { return m_setup->runUpdate(); }

} // namespace corvane
