// Prints how long a run takes whose command floods its terminal before failing, and how much of
// that output the failure text carries. Peak memory: run it under /usr/bin/time -v.
//   floodbench [megabytes]    (400 when not given)
#include "runner/Setup.h"
#include "runner/TerminalText.h"
#include "support/TestHome.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStandardPaths>

#include <cstdio>

using namespace corvane;
using namespace Qt::StringLiterals;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 megabytes = app.arguments().value(1, u"400"_s).toLongLong();
    test::TestHome home; // the login shell reads only this home's start-up files
    qputenv("SHELL", QFile::encodeName(QStandardPaths::findExecutable(u"bash"_s)));

    // npm-like log lines, then the line that says what went wrong.
    const QString flood =
        u"yes 'npm http fetch GET 200 https://registry.example/pkg 12ms' | "
        "head -c %1; echo; echo 'Error: the last line'; exit 1"_s.arg(megabytes << 20);
    Setup setup;
    QElapsedTimer timer;
    timer.start();
    const std::optional<RunResult> result =
        test::waitForResult(setup.runViaPty({u"sh"_s, u"-c"_s, flood}), 3600 * 1000);
    const qint64 elapsed = timer.elapsed();
    if (!result) {
        std::fprintf(stderr, "the run did not end\n");
        return 1;
    }
    const QString output = test::failedOutput(*result);
    std::printf(
        "%lld MB in %lld ms (%.0f MB/s); status %d; output %lld characters; last line: %s\n",
        megabytes, elapsed,
        elapsed > 0 ? static_cast<double>(megabytes) * 1000.0 / static_cast<double>(elapsed) : 0.0,
        test::failedStatus(*result), static_cast<long long>(output.size()),
        qPrintable(lastVisibleLine(output)));
    return 0;
}
