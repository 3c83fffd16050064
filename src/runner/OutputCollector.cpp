#include "OutputCollector.h"

#include "TerminalText.h"

#include <QMutexLocker>

#include <algorithm>
#include <cstring>

namespace corvane {

namespace {

// Where the text starts in bytes whose front was cut off (see OutputCollector::text()).
qsizetype startAfterCut(QByteArrayView bytes)
{
    for (const char boundary : {'\n', '\r', '\x1b'}) {
        const qsizetype at = bytes.indexOf(boundary);
        if (at >= 0)
            return boundary == '\x1b' ? at : at + 1;
    }
    qsizetype at = 0;
    while (at < bytes.size() && (static_cast<unsigned char>(bytes[at]) & 0xc0) == 0x80)
        ++at; // UTF-8 continuation bytes of a character whose start was dropped
    return at;
}

} // namespace

void OutputCollector::append(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return;
    QMutexLocker locker(&m_lock);
    if (bytes.size() >= bound) {
        m_dropped = m_dropped || !m_ring.isEmpty() || bytes.size() > bound;
        m_ring = bytes.last(bound).toByteArray();
        m_next = 0;
        return;
    }
    if (m_ring.size() < bound) {
        const qsizetype take = std::min(bound - m_ring.size(), bytes.size());
        if (m_ring.capacity() < m_ring.size() + take)
            m_ring.reserve(std::min(bound, std::max(2 * m_ring.capacity(), m_ring.size() + take)));
        m_ring.append(bytes.first(take));
        bytes = bytes.sliced(take);
    }
    while (!bytes.isEmpty()) {
        m_dropped = true;
        const qsizetype take = std::min(bound - m_next, bytes.size());
        std::memcpy(m_ring.data() + m_next, bytes.data(), static_cast<size_t>(take));
        m_next = (m_next + take) % bound;
        bytes = bytes.sliced(take);
    }
}

QString OutputCollector::text() const
{
    QMutexLocker locker(&m_lock);
    if (!m_dropped)
        return m_secrets.apply(cleanTerminalOutput(m_ring));
    const QByteArray inOrder = m_ring.sliced(m_next) + m_ring.first(m_next);
    const qsizetype start = startAfterCut(inOrder);
    QString text = cleanTerminalOutput(QByteArrayView(inOrder).sliced(start));
    if (start == 0 || (inOrder[start - 1] != '\n' && inOrder[start - 1] != '\r'))
        text.remove(0, std::max<qsizetype>(m_secrets.longest() - 1, 0));
    return m_secrets.apply(std::move(text));
}

qsizetype OutputCollector::size() const
{
    QMutexLocker locker(&m_lock);
    return m_ring.size();
}

} // namespace corvane
