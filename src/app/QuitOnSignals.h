#pragma once

#include <QObject>

class QSocketNotifier;

namespace corvane {

// Turns SIGTERM, SIGINT and SIGHUP into QCoreApplication::quit(), so that the event loop returns
// and the owners of live runs end them in their destructors instead of the program dying on the
// spot. One instance per program, created after the application object; destroying it restores
// the previous handlers.
class QuitOnSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitOnSignals(QObject* parent = nullptr);
    ~QuitOnSignals() override;

private:
    void drain();

    QSocketNotifier* m_notifier = nullptr;
};

} // namespace corvane
