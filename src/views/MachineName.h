#pragma once

#include <QStringView>
#include <QtGlobal>

namespace corvane {

// What the screens call the user's machine: "Mac" on macOS, "computer" on every other system,
// where "on this Mac" would be plainly wrong. This constant alone decides it; the texts that name
// the machine take it as an argument, so both forms can be checked on any system.
#ifdef Q_OS_MACOS
inline constexpr QStringView machineName = u"Mac";
#else
inline constexpr QStringView machineName = u"computer";
#endif

} // namespace corvane
