#include "OutputCollector.h"

#include "TerminalText.h"

#include <QMutexLocker>

namespace corvane {

void OutputCollector::append(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return;
    QMutexLocker locker(&m_lock);
    m_data.append(bytes);
}

QString OutputCollector::text() const
{
    QMutexLocker locker(&m_lock);
    return cleanTerminalOutput(m_data);
}

} // namespace corvane
