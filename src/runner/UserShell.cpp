#include "UserShell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

namespace corvane {

using namespace Qt::StringLiterals;

bool isUsableShell(const QString& path)
{
    return QDir::isAbsolutePath(path) && QFileInfo(path).isFile() &&
           ::access(QFile::encodeName(path).constData(), X_OK) == 0;
}

QString userShell()
{
    // An empty SHELL, or one naming no program, would send the user to the Node-missing screen
    // and fail every run from the wrapper's own layer.
    if (const QString shell = qEnvironmentVariable("SHELL"); isUsableShell(shell))
        return shell;
#ifdef Q_OS_MACOS
    return u"/bin/zsh"_s;
#else
    if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_shell) {
        const QString shell = QFile::decodeName(account->pw_shell);
        if (isUsableShell(shell))
            return shell;
    }
    return u"/bin/sh"_s;
#endif
}

} // namespace corvane
