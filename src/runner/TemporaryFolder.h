#pragma once

#include <QString>

namespace corvane {

// Where answers files go. Off macOS, XDG_RUNTIME_DIR first when it is this user's private folder
// (see isPrivateRuntimeFolder()): on systemd desktops it lives in memory, so a removed file leaves
// no copy on disk and a crash leaves none past the session. Otherwise, and on macOS (whose
// TMPDIR is already a per-user folder), the user's temporary folder when it is usable; otherwise
// "/tmp". A TMPDIR that is relative counts as unusable: the file would land in whatever folder
// the app or a start-up file is in.
QString temporaryFolder();

// An absolute path to a directory this user can create files in.
bool isUsableFolder(const QString& path);

// An absolute path to a directory itself, not a symbolic link, owned by this user, with mode 0700
// exactly, that this user can create files in.
bool isPrivateRuntimeFolder(const QString& path);

} // namespace corvane
