#pragma once

#include "runner/ShellQuote.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace corvane::fuzz {

// Splits a command line into words the way a shell of the dialect reads it, for the quoting the
// runner produces: blanks separate words; single quotes, double quotes and backslashes quote as
// that shell's grammar says. Anything the shell would expand or treat as an operator when it is not
// quoted ($, `, ;, |, &, <, >, (, ), *, ?, [, #, ~, {, }), and unbalanced quotes, make the line
// unsafe: the result is then nothing.
std::optional<QStringList> splitCommandLine(const QString& line, ShellDialect dialect);

} // namespace corvane::fuzz
