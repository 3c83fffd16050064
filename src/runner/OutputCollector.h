#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>

namespace corvane {

// Everything one run's command printed, in arrival order. One per run; append() and text() may
// be called from any thread, and both hold the collector's one lock for their whole work.
class OutputCollector {
public:
    void append(const QByteArray& bytes);

    // The bytes so far as display text (see cleanTerminalOutput).
    QString text() const;

private:
    mutable QMutex m_lock;
    QByteArray m_data;
};

} // namespace corvane
