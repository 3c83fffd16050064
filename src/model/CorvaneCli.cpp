#include "CorvaneCli.h"

namespace corvane::cli {

using namespace Qt::StringLiterals;

QStringList installArguments(const QString& answersPath)
{
    return {u"npx"_s,    u"--yes"_s, installPackage.toString(), u"install"_s, u"--config"_s,
            answersPath, u"--yes"_s};
}

QStringList updateArguments()
{
    return {u"npx"_s, u"--yes"_s, installPackage.toString(), u"update"_s, u"--all"_s};
}

QString startCommand(const QString& harnessId)
{
    if (harnessId == u"claude-code")
        return u"corv claude"_s;
    if (harnessId == u"codex")
        return u"corv codex"_s;
    return {};
}

} // namespace corvane::cli
