// Draws the app mark as square PNG icons, laid out as an icon theme wants them:
//   corvane-icons <folder> <name> <size>...
// writes <folder>/<size>x<size>/apps/<name>.png for each size.
#include "views/AppMark.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <cstdio>

using namespace corvane;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: corvane-icons <folder> <name> <size>...\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool isNumber = false;
        const int size = QByteArray(argv[i]).toInt(&isNumber);
        if (!isNumber || size < 16 || size > 1024) {
            std::fprintf(stderr, "corvane-icons: not an icon size: %s\n", argv[i]);
            return 2;
        }
        QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        {
            QPainter painter(&icon);
            AppMark::paintIcon(painter, icon.rect());
        }
        const QString apps = QStringLiteral("%1x%1/apps").arg(size);
        const QString file =
            folder.filePath(apps + QLatin1Char('/') + name + QStringLiteral(".png"));
        if (!QDir().mkpath(folder.filePath(apps)) || !icon.save(file)) {
            std::fprintf(stderr, "corvane-icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
