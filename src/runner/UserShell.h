#pragma once

#include <QString>

namespace corvane {

// The shell every command runs in: SHELL unchanged when it is set (even to an empty value);
// otherwise "/bin/zsh" on macOS, and elsewhere the account's login shell from the password
// database, else "/bin/sh".
QString userShell();

} // namespace corvane
