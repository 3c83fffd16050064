#include "NodeCheck.h"

#include "ProcessControl.h"
#include "TerminalText.h"
#include "UserShell.h"

#include <QUuid>

#include <csignal>
#include <unistd.h>

namespace corvane {

using namespace Qt::StringLiterals;

namespace {
// What node prints is a short line; text past this between the markers is not a version.
constexpr qsizetype versionRoom = 64 * 1024;

// Where marker last begins in text, or -1. Qt 6.4's QByteArray::lastIndexOf reads before the
// text when the marker is the longer of the two, which can crash on a short output.
qsizetype lastIndexOf(const QByteArray& text, const QByteArray& marker)
{
    return text.size() < marker.size() ? -1 : text.lastIndexOf(marker);
}
} // namespace

NodeCheck::NodeCheck(std::chrono::milliseconds bound, QObject* parent)
    : QObject(parent)
    , m_bound(bound)
{
    // A start-up file that reads input must not wait on the app's terminal.
    m_shell.setStandardInputFile(QProcess::nullDevice());
    m_shell.setStandardErrorFile(QProcess::nullDevice());
    m_shell.setChildProcessModifier([parent = ::getpid()] { startDetachedFrom(parent); });
    m_deadline.setSingleShot(true);
    connect(&m_shell, &QProcess::readyReadStandardOutput, this, &NodeCheck::readOutput);
    connect(&m_shell, &QProcess::finished, this, [this] {
        readOutput();
        finish(versionBetween(m_output, m_before, m_after));
    });
    connect(&m_shell, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(std::nullopt);
    });
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        finish(std::nullopt);
        killSession();
    });
}

NodeCheck::~NodeCheck() { stop(); }

QString NodeCheck::command(const QString& before, const QString& after)
{
    // Each marker is printed in two halves, so the command line itself never holds it whole: a
    // start-up file that echoes the command cannot fake an answer.
    const auto print = [](const QString& marker) {
        const qsizetype half = marker.size() / 2;
        return u"printf '%s%s\\n' '"_s + marker.left(half) + u"' '"_s + marker.mid(half) + u"'"_s;
    };
    return print(before) + u"; command -v node >/dev/null 2>&1 && node --version; "_s +
           print(after);
}

void NodeCheck::start()
{
    if (m_running)
        return;
    m_running = true;
    ++m_generation;
    const QString nonce = QUuid::createUuid().toString(QUuid::Id128);
    m_before = "corvane-node-check-begin-" + nonce.toLatin1();
    m_after = "corvane-node-check-end-" + nonce.toLatin1();
    m_output.clear();
    m_shell.setProgram(userShell());
    m_shell.setArguments(
        {u"-ilc"_s, command(QString::fromLatin1(m_before), QString::fromLatin1(m_after))});
    m_deadline.start(m_bound);
    m_shell.start();
}

void NodeCheck::stop()
{
    if (!m_running)
        return;
    m_running = false;
    ++m_generation;
    m_deadline.stop();
    killSession();
}

void NodeCheck::readOutput()
{
    m_output += m_shell.readAllStandardOutput();
    // Only the text after the last begin marker can matter; keep what may still become one.
    const qsizetype begin = lastIndexOf(m_output, m_before);
    if (begin < 0)
        m_output = m_output.right(m_before.size() - 1);
    else if (begin > 0)
        m_output.remove(0, begin);
    if (m_output.size() > m_before.size() + versionRoom && !m_output.contains(m_after))
        m_output.truncate(m_before.size() + versionRoom);
}

void NodeCheck::finish(std::optional<QString> version)
{
    if (!m_running)
        return;
    m_running = false;
    m_deadline.stop();
    // Queued, so that an answer never arrives from inside start(); a stop() or a new start() in
    // between voids it.
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_generation, version = std::move(version)] {
            if (generation == m_generation)
                emit answered(version);
        },
        Qt::QueuedConnection);
}

void NodeCheck::killSession()
{
    if (m_shell.state() == QProcess::NotRunning)
        return;
    // The shell leads its own session; start-up files may have put jobs in other groups of it.
    if (const auto pid = static_cast<pid_t>(m_shell.processId()); pid > 0)
        signalSession(pid, {SIGKILL});
    signalProcessGroup(m_shell, SIGKILL);
    m_shell.waitForFinished(1000);
}

std::optional<QString> NodeCheck::versionBetween(const QByteArray& output, const QByteArray& before,
                                                 const QByteArray& after)
{
    const qsizetype begin = lastIndexOf(output, before);
    if (begin < 0)
        return std::nullopt;
    const qsizetype from = begin + before.size();
    const qsizetype end = output.indexOf(after, from);
    const QString text = cleanTerminalOutput(
        QByteArrayView(output).sliced(from, (end < 0 ? output.size() : end) - from));
    if (!text.startsWith(u'v'))
        return std::nullopt;
    return text;
}

} // namespace corvane
