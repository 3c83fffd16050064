#pragma once

#include "SecretMask.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QMutex>
#include <QString>

namespace corvane {

// The end of everything one run's command printed, in arrival order. One per run; append() and
// text() may be called from any thread, and each holds the collector's one lock for its whole work.
//
// Only the last `bound` bytes are kept, older ones dropped from the front as more arrive, so an
// installer that floods its terminal costs a fixed amount of memory, however long it runs.
//
// The run's secrets are hidden in text() (see SecretMask), after the escape sequences are removed,
// so that a key the command echoed with colours inside it is hidden too.
class OutputCollector {
public:
    explicit OutputCollector(SecretMask secrets = {})
        : m_secrets(std::move(secrets))
    {
    }

    // The failure screen shows only the last line; 1 MiB holds that line, and the lines before it
    // for context, for any output a person could read.
    static constexpr qsizetype bound = qsizetype(1) << 20;

    void append(QByteArrayView bytes);

    // The bytes kept so far, as display text (see cleanTerminalOutput). When the front was dropped,
    // the first kept line was cut somewhere inside, perhaps within a character or an escape
    // sequence: the text then starts after the first line feed kept (else the first carriage
    // return, else the first ESC, else the first whole character). So the last line is exactly the
    // one the whole output would give whenever it is shorter than the bound. In the last two cases
    // the text also loses as many characters as the longest secret has, less one, since a secret
    // cut there would show its end.
    QString text() const;

    // Bytes kept, never more than bound.
    qsizetype size() const;

private:
    const SecretMask m_secrets;
    mutable QMutex m_lock;
    QByteArray m_ring;    // grows up to bound, then is overwritten in a circle
    qsizetype m_next = 0; // once full: where the next byte goes, which is also the oldest byte
    bool m_dropped = false;
};

} // namespace corvane
