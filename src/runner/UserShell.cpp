#include "UserShell.h"

#include <QtGlobal>

#include <pwd.h>
#include <unistd.h>

namespace corvane {

using namespace Qt::StringLiterals;

QString userShell()
{
    if (qEnvironmentVariableIsSet("SHELL"))
        return qEnvironmentVariable("SHELL");
#ifdef Q_OS_MACOS
    return u"/bin/zsh"_s;
#else
    if (const passwd* account = ::getpwuid(::getuid());
        account && account->pw_shell && account->pw_shell[0] != '\0')
        return QString::fromLocal8Bit(account->pw_shell);
    return u"/bin/sh"_s;
#endif
}

} // namespace corvane
