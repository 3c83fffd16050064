#include "ShellQuote.h"

#include <QFileInfo>

namespace corvane {

using namespace Qt::StringLiterals;

ShellDialect dialectOf(const QString& shellPath)
{
    return QFileInfo(shellPath).fileName() == u"fish" ? ShellDialect::Fish : ShellDialect::Posix;
}

QString quoteArgument(const QString& argument, ShellDialect dialect)
{
    QString quoted = argument;
    if (dialect == ShellDialect::Fish)
        quoted.replace(u'\\', u"\\\\"_s);
    quoted.replace(u'\'', u"'\\''"_s);
    return u'\'' + quoted + u'\'';
}

std::optional<QString> commandLine(const QStringList& arguments, ShellDialect dialect)
{
    QStringList quoted;
    quoted.reserve(arguments.size());
    for (const QString& argument : arguments) {
        if (argument.contains(QChar(u'\0')))
            return std::nullopt;
        quoted.append(quoteArgument(argument, dialect));
    }
    return quoted.join(u' ');
}

} // namespace corvane
