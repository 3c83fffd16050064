#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace corvane {

// How the shell that reads a command line treats backslashes inside single quotes.
enum class ShellDialect {
    Posix, // sh, bash, zsh, dash: nothing is special inside single quotes
    Fish,  // fish: \\ and \' are escapes inside single quotes
};

// The dialect of the shell at shellPath, judged by its file name.
ShellDialect dialectOf(const QString& shellPath);

// One argument in single quotes, read back by a shell of that dialect as exactly the same string.
// POSIX: it's -> 'it'\''s'. Fish also doubles backslashes. The argument must not hold a NUL.
QString quoteArgument(const QString& argument, ShellDialect dialect);

// The arguments quoted and joined by single spaces; nothing when an argument holds a NUL
// character, which no command line can carry.
std::optional<QString> commandLine(const QStringList& arguments, ShellDialect dialect);

} // namespace corvane
