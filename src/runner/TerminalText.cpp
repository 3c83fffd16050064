#include "TerminalText.h"

#include <QStringList>

namespace corvane {

namespace {

constexpr char16_t esc = 0x1b;
constexpr char16_t bel = 0x07;

bool inRange(QChar c, char16_t low, char16_t high)
{
    return c.unicode() >= low && c.unicode() <= high;
}

// Each returns the index just past the sequence that starts with ESC at `at`, or -1 when the
// sequence is not complete.

qsizetype endOfControlSequence(QStringView text, qsizetype at)
{
    qsizetype i = at + 2;
    while (i < text.size() && inRange(text[i], 0x30, 0x3f))
        ++i;
    while (i < text.size() && inRange(text[i], 0x20, 0x2f))
        ++i;
    return i < text.size() && inRange(text[i], 0x40, 0x7e) ? i + 1 : -1;
}

qsizetype endOfOsCommand(QStringView text, qsizetype at)
{
    for (qsizetype i = at + 2; i < text.size(); ++i) {
        if (text[i] == bel)
            return i + 1;
        if (text[i] == esc && i + 1 < text.size() && text[i + 1] == u'\\')
            return i + 2;
    }
    return -1;
}

qsizetype endOfEscape(QStringView text, qsizetype at)
{
    qsizetype i = at + 1;
    while (i < text.size() && inRange(text[i], 0x20, 0x2f))
        ++i;
    return i < text.size() && inRange(text[i], 0x30, 0x7e) ? i + 1 : -1;
}

} // namespace

QString stripControlSequences(QStringView text)
{
    QString out;
    out.reserve(text.size());
    // Once one OS command runs to the end unterminated, every later one does too; remembering
    // that keeps the pass linear on text full of unterminated ESC ].
    bool osCommandsUnterminated = false;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != esc) {
            out.append(text[i++]);
            continue;
        }
        qsizetype end = -1;
        const QChar kind = i + 1 < text.size() ? text[i + 1] : QChar();
        if (kind == u'[') {
            end = endOfControlSequence(text, i);
        } else if (kind == u']') {
            if (!osCommandsUnterminated) {
                end = endOfOsCommand(text, i);
                osCommandsUnterminated = end < 0;
            }
        } else {
            end = endOfEscape(text, i);
        }
        if (end < 0)
            out.append(text[i++]);
        else
            i = end;
    }
    return out;
}

QString cleanTerminalOutput(const QByteArray& bytes)
{
    return stripControlSequences(QString::fromUtf8(bytes)).trimmed();
}

QString lastVisibleLine(QStringView text)
{
    const auto lines = text.split(u'\n', Qt::SkipEmptyParts);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const auto segments = line->split(u'\r');
        for (auto segment = segments.crbegin(); segment != segments.crend(); ++segment) {
            if (!segment->trimmed().isEmpty())
                return segment->toString();
        }
    }
    return {};
}

} // namespace corvane
