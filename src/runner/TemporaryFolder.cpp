#include "TemporaryFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

using namespace Qt::StringLiterals;

bool isUsableFolder(const QString& path)
{
    return QDir::isAbsolutePath(path) && QFileInfo(path).isDir() &&
           ::access(QFile::encodeName(path).constData(), W_OK | X_OK) == 0;
}

bool isPrivateRuntimeFolder(const QString& path)
{
    struct stat info {};
    // lstat: a link that points elsewhere is not the folder the session made. Without the
    // trailing slash, which would have lstat follow a link after all.
    return isUsableFolder(path) &&
           ::lstat(QFile::encodeName(QDir::cleanPath(path)).constData(), &info) == 0 &&
           S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 07777) == 0700;
}

QString temporaryFolder()
{
#ifndef Q_OS_MACOS
    if (const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        isPrivateRuntimeFolder(runtime))
        return QDir::cleanPath(runtime);
#endif
    // QDir::tempPath() gives "" for a TMPDIR that does not exist, and resolves a relative one
    // against the working folder.
    if (const QString fromEnvironment = qEnvironmentVariable("TMPDIR");
        fromEnvironment.isEmpty() || QDir::isAbsolutePath(fromEnvironment)) {
        if (const QString folder = QDir::tempPath(); isUsableFolder(folder))
            return folder;
    }
    return u"/tmp"_s;
}

} // namespace corvane
