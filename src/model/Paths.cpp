#include "Paths.h"

#include <QDir>
#include <QFileInfo>

namespace corvane {

QString homePath() { return QDir::homePath(); }

QString expandTilde(const QString& path)
{
    if (path == u'~')
        return homePath();
    if (path.startsWith(u"~/"))
        return homePath() + path.mid(1);
    return path;
}

bool existsAt(const QString& path) { return !path.isEmpty() && QFileInfo::exists(path); }

} // namespace corvane
