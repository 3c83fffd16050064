#include "WrapperCommand.h"

#include "ShellQuote.h"

#include "model/Paths.h"

namespace corvane {

using namespace Qt::StringLiterals;

WrapperCommand wrapperCommand(const QString& shell, const QString& line, int statusDescriptor,
                              QProcessEnvironment environment)
{
    const auto quote = [](const QString& text) { return quoteArgument(text, ShellDialect::Posix); };
    const QString status = QString::number(statusDescriptor);
    const QString userShell = environment.value(u"SHELL"_s);
    const QString restoreShell = environment.contains(u"SHELL"_s) && userShell == shell
                                     ? u"SHELL="_s + quote(userShell) + u"; export SHELL"_s
                                     : u"unset SHELL"_s;
    const QStringList outer{
        u"echo \"leader $$\" >&"_s + status,
        u"stty cols 80 rows 24 2>/dev/null"_s,
        restoreShell,
        quote(shell) + u" -ilc "_s + quote(line) + u" </dev/null "_s + status + u">&-"_s,
        u"status=$?"_s,
        u"echo \"status $status\" >&"_s + status,
        u"exit $status"_s,
    };

    if (environment.value(u"TERM"_s).isEmpty())
        environment.insert(u"TERM"_s, u"xterm-256color"_s);
    if (environment.value(u"HOME"_s).isEmpty())
        environment.insert(u"HOME"_s, homePath());

#if defined(Q_OS_MACOS) || defined(Q_OS_FREEBSD) || defined(Q_OS_NETBSD) || defined(Q_OS_OPENBSD)
    // BSD script runs the rest of its arguments as the command.
    return {{u"-q"_s, u"/dev/null"_s, u"/bin/sh"_s, u"-c"_s, outer.join(u'\n')}, environment};
#else
    // util-linux script runs its -c string through $SHELL -c, and passes the command's status on
    // only with -e.
    environment.insert(u"SHELL"_s, u"/bin/sh"_s);
    return {{u"-q"_s, u"-e"_s, u"-c"_s, outer.join(u'\n'), u"/dev/null"_s}, environment};
#endif
}

} // namespace corvane
