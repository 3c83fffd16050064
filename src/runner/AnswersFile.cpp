#include "AnswersFile.h"

#include <QDir>
#include <QUuid>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

using namespace Qt::StringLiterals;

namespace {

// Locks the file just created at path through fd. Another copy of the program cleaning up stale
// files could take the lock and unlink the file between creation and locking; that shows as a
// lock held elsewhere or a path that no longer names this file. A file system without advisory
// locks is accepted: the lock only guards against that cleanup, which then skips the file too.
bool lockOwnFile(int fd, const QString& path)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return false;
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(QFile::encodeName(path).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace

AnswersFile::AnswersFile(QString path)
    : m_path(std::move(path))
    , m_file(m_path)
{
}

AnswersFile::~AnswersFile()
{
    // Unlink while the lock is still held, so no other copy sees the file unlocked first.
    if (!m_path.isEmpty())
        QFile::remove(m_path);
    m_file.close();
}

std::unique_ptr<AnswersFile> AnswersFile::create(const QString& folder, const QByteArray& content,
                                                 QString* error)
{
    const QString name = u"corv_install_"_s +
                         QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + u".json"_s;
    return createAt(QDir(folder).filePath(name), content, error);
}

std::unique_ptr<AnswersFile> AnswersFile::createAt(const QString& path, const QByteArray& content,
                                                   QString* error)
{
    // A relative folder would put the secret wherever the app or a start-up file happens to be.
    if (!QDir::isAbsolutePath(path)) {
        *error = u"The temporary folder is not an absolute path."_s;
        return nullptr;
    }
    std::unique_ptr<AnswersFile> file(new AnswersFile(path));

    // NewOnly is O_CREAT | O_EXCL, which never follows a symbolic link at the path.
    if (!file->m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                           QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        *error = file->m_file.errorString();
        // Nothing of ours exists at the path, and something else may: leave it alone.
        file->m_path.clear();
        return nullptr;
    }
    if (!lockOwnFile(file->m_file.handle(), file->m_path)) {
        *error = u"The answers file was removed by another process as it was created."_s;
        file->m_path.clear(); // whatever the path names now is not ours to remove
        return nullptr;
    }
    if (file->m_file.write(content) != content.size() || !file->m_file.flush()) {
        *error = file->m_file.errorString();
        return nullptr;
    }
    return file;
}

int AnswersFile::removeStale(const QString& folder)
{
    if (!QDir::isAbsolutePath(folder))
        return 0;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({u"corv_install_*.json"_s}, QDir::Files | QDir::Hidden | QDir::System);
    int removed = 0;
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat info {};
        // Only our own regular files, and only those no live run holds locked.
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

} // namespace corvane
