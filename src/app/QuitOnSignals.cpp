#include "QuitOnSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace corvane {

namespace {

constexpr std::array handledSignals{SIGTERM, SIGINT, SIGHUP};

// The self-pipe: the handler may only write to it; the event loop reads the other end.
int wakePipe[2] = {-1, -1};
struct sigaction previous[handledSignals.size()];

void onSignal(int signal)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

QuitOnSignals::QuitOnSignals(QObject* parent)
    : QObject(parent)
{
    Q_ASSERT(wakePipe[0] < 0);
    if (::pipe(wakePipe) != 0)
        return;
    for (int fd : wakePipe) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    m_notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitOnSignals::drain);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < handledSignals.size(); ++i)
        ::sigaction(handledSignals[i], &action, &previous[i]);
}

QuitOnSignals::~QuitOnSignals()
{
    if (!m_notifier)
        return;
    for (std::size_t i = 0; i < handledSignals.size(); ++i)
        ::sigaction(handledSignals[i], &previous[i], nullptr);
    delete m_notifier;
    for (int& fd : wakePipe) {
        ::close(fd);
        fd = -1;
    }
}

void QuitOnSignals::drain()
{
    unsigned char byte = 0;
    bool any = false;
    while (::read(wakePipe[0], &byte, 1) == 1)
        any = true;
    if (any)
        QCoreApplication::quit();
}

} // namespace corvane
