#pragma once

#include <QString>

namespace corvane {

// The shell every command runs in: SHELL unchanged when it names a usable shell (see
// isUsableShell()); otherwise, as if SHELL were unset, "/bin/zsh" on macOS, and elsewhere the
// account's login shell from the password database when that is usable, else "/bin/sh".
QString userShell();

// An absolute path to a regular file this user may execute.
bool isUsableShell(const QString& path);

} // namespace corvane
