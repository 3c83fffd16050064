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

QString temporaryFolder()
{
    // QDir::tempPath() gives "" for a TMPDIR that does not exist, and resolves a relative one
    // against the working folder.
    if (const QString fromEnvironment = qEnvironmentVariable("TMPDIR");
        fromEnvironment.isEmpty() || QDir::isAbsolutePath(fromEnvironment)) {
        if (const QString folder = QDir::tempPath(); isUsableFolder(folder))
            return folder;
    }
#ifdef Q_OS_LINUX
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    struct stat info {};
    if (isUsableFolder(runtime) && ::stat(QFile::encodeName(runtime).constData(), &info) == 0 &&
        info.st_uid == ::geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0)
        return QDir::cleanPath(runtime);
#endif
    return u"/tmp"_s;
}

} // namespace corvane
