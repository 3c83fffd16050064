#include "Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

namespace corvane {

QString homePath()
{
    if (!qEnvironmentVariableIsEmpty("HOME"))
        return QDir::homePath();
    // Qt would answer "/", while the installer, like the environment the runner gives it, uses
    // the account's home.
    if (const passwd* account = ::getpwuid(::getuid());
        account && account->pw_dir && account->pw_dir[0] != '\0')
        return QDir::cleanPath(QFile::decodeName(account->pw_dir));
    return QDir::homePath();
}

QString expandTilde(const QString& path)
{
    if (path == u'~')
        return homePath();
    if (path.startsWith(u"~/"))
        return homePath() + path.mid(1);
    return path;
}

bool existsAt(const QString& path) { return !path.isEmpty() && QFileInfo::exists(path); }

} // namespace corvane
