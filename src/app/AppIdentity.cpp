#include "AppIdentity.h"

#include "views/AppMark.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

namespace corvane {

namespace {

class AppMarkIconEngine final : public QIconEngine {
public:
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        AppMark::paintIcon(*painter, rect);
    }
    // QIconEngine's own pixmap paints on a pixmap it never cleared.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, pixmap.rect(), mode, state);
        return pixmap;
    }
    QIconEngine* clone() const override { return new AppMarkIconEngine; }
    QString key() const override { return QStringLiteral("corvane-app-mark"); }
};

} // namespace

QIcon appIcon() { return QIcon(new AppMarkIconEngine); }

} // namespace corvane
