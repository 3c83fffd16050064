#pragma once

#include "flow/Operations.h"

#include <QList>
#include <QPromise>

#include <functional>
#include <memory>

namespace corvane::test {

// Operations whose answers the test decides. The Node.js check answers `version` at once, or,
// while `hold` is set, when the test calls answer(); runs end only when the test settles them.
struct FakeOperations : Operations {
    NodeVersion version = QStringLiteral("v20.11.1");
    bool hold = false;
    int nodeChecks = 0;
    QList<InstallAnswers> installs;
    std::shared_ptr<QPromise<NodeVersion>> check;
    std::shared_ptr<QPromise<RunResult>> pending;
    std::function<void()> onDestroyed;

    ~FakeOperations() override
    {
        if (onDestroyed)
            onDestroyed();
    }
    QFuture<NodeVersion> nodeVersion() override
    {
        ++nodeChecks;
        check = std::make_shared<QPromise<NodeVersion>>();
        check->start();
        if (!hold)
            answer(version);
        return check->future();
    }
    void answer(const NodeVersion& answer) { check->addResult(answer), check->finish(); }
    QFuture<RunResult> runInstall(const InstallAnswers& answers) override
    {
        installs.append(answers);
        return runUpdate();
    }
    QFuture<RunResult> runUpdate() override
    {
        pending = std::make_shared<QPromise<RunResult>>();
        pending->start();
        return pending->future();
    }
    void settle(const RunResult& result) { pending->addResult(result), pending->finish(); }
};

} // namespace corvane::test
