#include "StatusChannel.h"

#include <QList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace corvane {

using namespace Qt::StringLiterals;

namespace {

// The pipe's lines are a few dozen bytes; more means something else wrote there.
constexpr qsizetype receivedLimit = 4096;

#ifndef Q_OS_LINUX
bool setCloseOnExec(int fd) { return ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0; }
#endif

} // namespace

std::unique_ptr<StatusChannel> StatusChannel::open(QString* error)
{
    int ends[2];
    // Both ends close on exec, so no other child of the app inherits them.
#ifdef Q_OS_LINUX
    if (::pipe2(ends, O_CLOEXEC) != 0)
        ends[0] = ends[1] = -1;
#else
    if (::pipe(ends) != 0)
        ends[0] = ends[1] = -1;
    else if (!setCloseOnExec(ends[0]) || !setCloseOnExec(ends[1]))
        ::close(ends[0]), ::close(ends[1]), ends[0] = ends[1] = -1;
#endif
    // The app reads without waiting; the outer layer's writes may wait.
    if (ends[0] < 0 || ::fcntl(ends[0], F_SETFL, O_NONBLOCK) != 0) {
        *error = u"The status pipe could not be made: "_s + QString::fromLocal8Bit(strerror(errno));
        if (ends[0] >= 0)
            ::close(ends[0]), ::close(ends[1]);
        return nullptr;
    }
    // An app started with a standard descriptor closed gets the pipe there, where the child's
    // own standard streams go.
    if (ends[1] <= 2) {
        const int moved = ::fcntl(ends[1], F_DUPFD_CLOEXEC, 3);
        ::close(ends[1]);
        ends[1] = moved;
        if (moved < 0) {
            ::close(ends[0]);
            *error = u"The status pipe could not be placed."_s;
            return nullptr;
        }
    }
    return std::unique_ptr<StatusChannel>(new StatusChannel(ends[0], ends[1]));
}

StatusChannel::StatusChannel(int readEnd, int writeEnd)
    : m_readEnd(readEnd)
    , m_writeEnd(writeEnd)
    // A write end at a single digit is used as it is: the app holds that number until the child
    // has started, so nothing of Qt's own for the launch can be there. With every single digit
    // already taken, the child's 9 (something of the app's, useless to the child) is replaced.
    , m_childDescriptor(writeEnd <= 9 ? writeEnd : 9)
{
}

StatusChannel::~StatusChannel()
{
    closeWriteEnd();
    ::close(m_readEnd);
}

void StatusChannel::passToChild() const
{
    if (m_writeEnd == m_childDescriptor)
        ::fcntl(m_writeEnd, F_SETFD, 0);
    else
        ::dup2(m_writeEnd, m_childDescriptor); // a descriptor made by dup2 stays open across exec
}

void StatusChannel::closeWriteEnd()
{
    if (m_writeEnd >= 0)
        ::close(m_writeEnd);
    m_writeEnd = -1;
}

void StatusChannel::readAvailable()
{
    char buffer[512];
    while (m_received.size() < receivedLimit) {
        const ssize_t got = ::read(m_readEnd, buffer, sizeof buffer);
        if (got > 0)
            m_received.append(buffer, got);
        else if (got < 0 && errno == EINTR)
            continue;
        else
            break;
    }
}

std::optional<qint64> StatusChannel::lastValue(const QByteArray& key) const
{
    std::optional<qint64> value;
    const QList<QByteArray> lines = m_received.split('\n');
    // The last piece has no line feed yet: a line still being written.
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> words = lines[i].split(' ');
        bool isNumber = false;
        const qint64 number = words.size() == 2 ? words[1].toLongLong(&isNumber) : 0;
        if (words[0] == key && isNumber)
            value = number;
    }
    return value;
}

std::optional<pid_t> StatusChannel::leader()
{
    readAvailable();
    const std::optional<qint64> pid = lastValue("leader");
    if (!pid || *pid < 2)
        return std::nullopt;
    return static_cast<pid_t>(*pid);
}

std::optional<int> StatusChannel::status()
{
    readAvailable();
    const std::optional<qint64> value = lastValue("status");
    if (!value || *value < 0 || *value > 255)
        return std::nullopt;
    return static_cast<int>(*value);
}

} // namespace corvane
