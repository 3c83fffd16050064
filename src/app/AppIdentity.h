#pragma once

#include <QIcon>
#include <QString>

namespace corvane {

// The reverse-DNS application id: the name of the desktop entry (without ".desktop"), of the
// icon and of the AppStream component. Set once, in the top CMakeLists.txt.
inline QString appId() { return QStringLiteral(CORVANE_APP_ID); }

// The window icon: the app mark as AppMark::paintIcon draws it, at whatever size is asked for.
// Painted on demand, so that nothing is drawn until a platform asks for a size.
QIcon appIcon();

} // namespace corvane
