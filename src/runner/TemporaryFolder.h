#pragma once

#include <QString>

namespace corvane {

// Where answers files go: the user's temporary folder when it is usable; otherwise, on Linux,
// XDG_RUNTIME_DIR when it is usable and private (owned by this user, closed to everyone else);
// otherwise "/tmp". A TMPDIR that is relative counts as unusable: the file would land in whatever
// folder the app or a start-up file is in.
QString temporaryFolder();

// An absolute path to a directory this user can create files in.
bool isUsableFolder(const QString& path);

} // namespace corvane
