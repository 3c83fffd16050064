#include "NodeCheck.h"

#include "ProcessControl.h"
#include "UserShell.h"

#include <csignal>
#include <unistd.h>

namespace corvane {

using namespace Qt::StringLiterals;

NodeCheck::NodeCheck(std::chrono::milliseconds bound)
    : m_deadline(bound)
{
    m_shell.setProgram(userShell());
    m_shell.setArguments({u"-ilc"_s, u"command -v node >/dev/null 2>&1 && node --version"_s});
    // A start-up file that reads input must not wait on the app's terminal.
    m_shell.setStandardInputFile(QProcess::nullDevice());
    m_shell.setStandardErrorFile(QProcess::nullDevice());
    m_shell.setChildProcessModifier([parent = ::getpid()] { startDetachedFrom(parent); });
    m_shell.start();
}

NodeCheck::~NodeCheck()
{
    if (m_shell.state() == QProcess::NotRunning)
        return;
    signalProcessGroup(m_shell, SIGKILL);
    m_shell.waitForFinished(1000);
}

bool NodeCheck::isAnswered()
{
    // The shell's end is noticed by the event loop; without one running yet, look now.
    return m_shell.state() == QProcess::NotRunning || m_shell.waitForFinished(0);
}

std::optional<QString> NodeCheck::result()
{
    if (m_shell.state() == QProcess::Starting && !m_shell.waitForStarted())
        return std::nullopt;
    if (m_shell.error() == QProcess::FailedToStart)
        return std::nullopt;
    if (m_shell.state() != QProcess::NotRunning &&
        !m_shell.waitForFinished(
            static_cast<int>(std::max<qint64>(0, m_deadline.remainingTime())))) {
        signalProcessGroup(m_shell, SIGKILL);
        m_shell.waitForFinished(1000);
        return std::nullopt;
    }
    const QString text = QString::fromUtf8(m_shell.readAllStandardOutput()).trimmed();
    if (!text.startsWith(u'v'))
        return std::nullopt;
    return text;
}

} // namespace corvane
