#include "ReadyMark.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace corvane {

ReadyMark::ReadyMark(QByteArray mark, QWidget* window)
    : QObject(window)
    , m_mark(std::move(mark))
{
}

void ReadyMark::watchFromEnvironment(QWidget* window)
{
    const QByteArray mark = qgetenv("CORVANE_SETUP_READY_MARK");
    if (mark.isEmpty())
        return;
    window->installEventFilter(new ReadyMark(mark, window));
}

bool ReadyMark::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint) {
        watched->removeEventFilter(this);
        // Queued: the line comes when the loop is free for input again, after the whole picture.
        QTimer::singleShot(0, this, [this] {
            std::printf("%s\n", m_mark.constData());
            std::fflush(stdout);
        });
    }
    return false;
}

} // namespace corvane
