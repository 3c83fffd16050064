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

} // namespace corvane::cli
