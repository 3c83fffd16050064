#pragma once

#include <QByteArray>
#include <QObject>

class QWidget;

namespace corvane {

// For the launch benchmark only: prints a line on standard output once the window's first picture
// is painted and the event loop has come back to take input, the moment a user can start to work
// the window. It only watches: what the app does is the same with or without it.
class ReadyMark : public QObject {
    Q_OBJECT
public:
    // Watches window when CORVANE_SETUP_READY_MARK is set, printing its value; otherwise nothing.
    static void watchFromEnvironment(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ReadyMark(QByteArray mark, QWidget* window);

    QByteArray m_mark;
};

} // namespace corvane
