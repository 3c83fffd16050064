#include "ProcessGroup.h"

#include <QTest>

#include <csignal>
#include <unistd.h>

namespace corvane::e2e {

void leadOwnGroup(QProcess& server)
{
    server.setChildProcessModifier([] { ::setsid(); });
}

std::optional<QByteArray> startForFirstLine(QProcess& server, const QString& program,
                                            const QStringList& arguments, int boundMs)
{
    server.start(program, arguments);
    QByteArray printed;
    (void)QTest::qWaitFor(
        [&] {
            printed += server.readAllStandardOutput();
            return printed.contains('\n') || server.state() == QProcess::NotRunning;
        },
        boundMs);
    const qsizetype end = printed.indexOf('\n');
    if (end < 0)
        return std::nullopt;
    return printed.left(end);
}

void stopGroup(QProcess& server)
{
    if (server.state() == QProcess::NotRunning)
        return;
    const auto pid = static_cast<pid_t>(server.processId());
    if (pid > 0)
        ::kill(-pid, SIGTERM);
    if (!server.waitForFinished(5000)) {
        if (pid > 0)
            ::kill(-pid, SIGKILL);
        server.waitForFinished(2000);
    }
}

} // namespace corvane::e2e
