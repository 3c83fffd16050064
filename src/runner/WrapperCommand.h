#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace corvane {

// How the system's script utility is started to run one command line in the user's login shell
// under a pseudo-terminal.
struct WrapperCommand {
    QStringList arguments;           // for the wrapper at its path
    QProcessEnvironment environment; // the wrapper's, which the command inherits
};

// The wrapper runs a POSIX outer layer on its new terminal, which in this order:
//  1. writes "leader <its pid>" to statusDescriptor (see StatusChannel);
//  2. gives the terminal 80 columns and 24 rows: the wrapper copies the size of its own input,
//     the null device, which leaves 0 × 0, and Node.js spinners that divide by the width then
//     loop for ever. Nothing is shown on a real terminal, so the classic size is as good as any;
//  3. gives the login shell the user's SHELL back, or none when the app's SHELL was not the one
//     used (unset, empty or unusable);
//  4. runs `shell -ilc line` with standard input from the null device (reads see end of file at
//     once and every time) and statusDescriptor closed;
//  5. writes "status <n>" with the login shell's exit status and exits with it.
// The environment is `environment` with TERM=xterm-256color when it has no TERM (a desktop app
// started from a launcher often has none), and HOME from the password database when HOME is unset
// or empty, so that the installer keeps its manifest where the app looks for it.
WrapperCommand wrapperCommand(const QString& shell, const QString& line, int statusDescriptor,
                              QProcessEnvironment environment);

} // namespace corvane
