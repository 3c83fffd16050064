// The Node.js check (NodeCheck, answered through the event loop) against the bare login-shell
// command it runs, from a temporary home whose bash login shell finds a stand-in node. Each sample
// is the mean of a burst of checks, the two kinds interleaved.
//   bench_nodecheck [--runs N]
#include "Measure.h"

#include "runner/NodeCheck.h"
#include "runner/Setup.h"
#include "support/TestHome.h"

#include <QCoreApplication>
#include <QEventLoop>

using namespace corvane;
using namespace corvane::bench;
using namespace Qt::StringLiterals;

namespace {

constexpr int burst = 10;

double appCheck()
{
    NodeCheck check(Setup::nodeCheckBound);
    QEventLoop loop;
    std::optional<QString> version;
    QObject::connect(&check, &NodeCheck::answered, &loop, [&](const std::optional<QString>& v) {
        version = v;
        loop.quit();
    });
    const double start = nowMs();
    check.start();
    loop.exec();
    const double elapsed = nowMs() - start;
    if (version != u"v20.11.1"_s)
        qFatal("the Node.js check did not find the stand-in node");
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int runs = runsFromArguments(application.arguments(), 9);
    test::TestHome home;
    home.installNode("v20.11.1\n");
    qputenv("SHELL", "/bin/bash");

    Series checks, bare, ratios;
    for (int round = 0; round < runs; ++round) {
        double app = 0;
        double shell = 0;
        for (int i = 0; i < burst; ++i) {
            const auto [check, bareCheck] = timeInterleaved(round + i, appCheck, [] {
                return timeBareNodeCheck(QProcessEnvironment::systemEnvironment(), "v20.11.1");
            });
            app += check;
            shell += bareCheck;
        }
        checks.add(app / burst);
        bare.add(shell / burst);
        ratios.add(app / shell);
    }
    printHeading(u"Node.js check: NodeCheck against bash -ilc 'command -v node …'"_s);
    printFigure(u"NodeCheck"_s, checks, u"ms"_s);
    printFigure(u"bare login-shell command (baseline)"_s, bare, u"ms"_s);
    printRatio(u"ratio"_s, ratios, 1.10);
    return 0;
}
