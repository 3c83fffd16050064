#pragma once

#include <QString>

namespace corvane {

// The current user's home folder: HOME when it is set and not empty, so that tests can point it
// elsewhere; otherwise the account's home from the password database, else "/".
QString homePath();

// Replaces a leading "~" (alone or before "/") by homePath(); other paths come back unchanged.
QString expandTilde(const QString& path);

// True when something exists at path, following symbolic links: a file or a directory counts,
// a dangling link does not. Nothing is opened or read.
bool existsAt(const QString& path);

} // namespace corvane
