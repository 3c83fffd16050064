#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

using namespace Qt::StringLiterals;

namespace {

// Opens path, which must be a named pipe of this user's; -1 otherwise.
int openOwnPipe(const QString& path, int mode)
{
    const int fd =
        ::open(QFile::encodeName(path).constData(), mode | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_pipePath(QDir(folder).filePath(u"corvane-setup.pipe"_s))
    , m_lock(QDir(folder).filePath(u"corvane-setup.lock"_s))
{
    if (folder.isEmpty() || QDir::isRelativePath(folder)) {
        m_first = true;
        return;
    }
    // Never by age: a wizard may stay open for hours. A dead holder is still detected by its pid.
    m_lock.setStaleLockTime(0);
    if (!m_lock.tryLock(0) && m_lock.error() == QLockFile::LockFailedError)
        return;
    m_first = true;
    if (!m_lock.isLocked())
        return;

    // Ours now: whatever is left at the path belongs to a copy that is gone.
    const QByteArray path = QFile::encodeName(m_pipePath);
    ::unlink(path.constData());
    if (::mkfifo(path.constData(), 0600) != 0)
        return;
    m_reader = openOwnPipe(m_pipePath, O_RDONLY);
    m_keeper = m_reader < 0 ? -1 : openOwnPipe(m_pipePath, O_WRONLY);
    if (m_keeper < 0)
        return;
    m_notifier = new QSocketNotifier(m_reader, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SingleInstance::drain);
}

SingleInstance::~SingleInstance()
{
    delete m_notifier;
    for (const int fd : {m_reader, m_keeper}) {
        if (fd >= 0)
            ::close(fd);
    }
    if (m_keeper >= 0)
        ::unlink(QFile::encodeName(m_pipePath).constData());
}

QString SingleInstance::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

bool SingleInstance::askFirstToShow() const
{
    // Without a reader (the first copy is gone, or never made its pipe) opening fails at once.
    const int fd = openOwnPipe(m_pipePath, O_WRONLY);
    if (fd < 0)
        return false;
    const char request = 's';
    const bool taken = ::write(fd, &request, 1) == 1;
    ::close(fd);
    return taken;
}

void SingleInstance::drain()
{
    char buffer[64];
    bool asked = false;
    ssize_t got = 0;
    while ((got = ::read(m_reader, buffer, sizeof buffer)) > 0)
        asked = true;
    if (asked)
        emit showRequested();
}

} // namespace corvane
