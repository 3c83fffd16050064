#include "TerminalText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace corvane {

namespace {

constexpr char16_t esc = 0x1b;
constexpr char16_t bel = 0x07;
constexpr char16_t can = 0x18;
constexpr char16_t sub = 0x1a;

bool inRange(QChar c, char16_t low, char16_t high)
{
    return c.unicode() >= low && c.unicode() <= high;
}

// Where the sequence that starts with ESC at `at` ends: `end` is the index just past it, or -1 when
// it is not complete; then no ESC stands before `stop` (after `at`), so the search for the next
// sequence can go on from there and the whole pass stays linear.
struct Scan {
    qsizetype end;
    qsizetype stop;
};

// The index of the first character at or after from that is not one of the sixteen characters
// block .. block + 15 (block a multiple of 16: parameter and intermediate bytes of a sequence).
// Checks four characters at a time, since a hostile text can hold a sequence millions long.
qsizetype skipBlock(QStringView text, qsizetype from, char16_t block)
{
    const char16_t* const begin = text.utf16();
    const char16_t* p = begin + from;
    const char16_t* const end = begin + text.size();
    constexpr std::uint64_t mask = 0xfff0'fff0'fff0'fff0;
    const std::uint64_t wanted = std::uint64_t(block) * 0x0001'0001'0001'0001;
    while (end - p >= 4) {
        std::uint64_t four;
        std::memcpy(&four, p, sizeof four);
        if ((four & mask) != wanted)
            break;
        p += 4;
    }
    while (p < end && (*p & 0xfff0) == block)
        ++p;
    return p - begin;
}

Scan controlSequence(QStringView text, qsizetype at)
{
    const qsizetype i = skipBlock(text, skipBlock(text, at + 2, 0x30), 0x20);
    if (i < text.size() && inRange(text[i], 0x40, 0x7e))
        return {i + 1, i + 1};
    return {-1, i};
}

// A string sequence ends at ST (ESC \), an OS command also at BEL. As in terminal parsers, any
// other ESC, CAN or SUB cancels the string; an ESC that cancels it starts a sequence of its own,
// so the string ends just before it.
Scan string(QStringView text, qsizetype at, bool belEnds)
{
    for (qsizetype i = at + 2; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if ((c == bel && belEnds) || c == can || c == sub)
            return {i + 1, i + 1};
        if (c == esc) {
            const qsizetype end = i + 1 < text.size() && text[i + 1] == u'\\' ? i + 2 : i;
            return {end, end};
        }
    }
    return {-1, text.size()};
}

Scan escape(QStringView text, qsizetype at)
{
    const qsizetype i = skipBlock(text, at + 1, 0x20);
    if (i < text.size() && inRange(text[i], 0x30, 0x7e))
        return {i + 1, i + 1};
    return {-1, i};
}

Scan sequence(QStringView text, qsizetype at)
{
    if (at + 1 >= text.size())
        return {-1, text.size()};
    switch (text[at + 1].unicode()) {
    case u'[':
        return controlSequence(text, at);
    case u']':
        return string(text, at, true);
    case u'P': // device control string
    case u'X': // start of string
    case u'^': // privacy message
    case u'_': // application program command
        return string(text, at, false);
    default:
        return escape(text, at);
    }
}

// The one numeric parameter of a control sequence, -1 when it is absent and -2 when there is
// anything else (several, or a private marker).
int singleParameter(QStringView parameters)
{
    if (parameters.isEmpty())
        return -1;
    if (parameters.size() == 1 && inRange(parameters[0], u'0', u'9'))
        return parameters[0].unicode() - u'0';
    return -2;
}

// Applies what a removed control sequence did to the current line, where it matters for the text
// a person would read there. Progress spinners (npm's, ora's) redraw a line by moving the cursor to
// its first column and erasing it, not by a carriage return; without this, the frame they erased
// would read as the transcript's last line. Cursor to column 1 becomes a carriage return, and
// erasing the whole line, or the rest of it from its first column, drops what the line holds so
// far. Other moves and erasures are only removed. Each character is dropped at most once, so the
// pass stays linear.
// out[0, *written) is the text so far; sequence is read before anything is written.
void editLine(char16_t* out, qsizetype* written, QStringView sequence)
{
    if (sequence.size() < 3 || sequence[1] != u'[')
        return;
    const char16_t kind = sequence.back().unicode();
    if (kind != u'G' && kind != u'K')
        return;
    const int parameter = singleParameter(sequence.sliced(2, sequence.size() - 3));
    qsizetype& w = *written;
    if (kind == u'G') {
        if (parameter >= -1 && parameter <= 1)
            out[w++] = u'\r';
        return;
    }
    const bool wholeLine = parameter == 2;
    const bool restFromStart = (parameter == -1 || parameter == 0) && w > 0 && out[w - 1] == u'\r';
    if (!wholeLine && !restFromStart)
        return;
    while (w > 0 && out[w - 1] != u'\n')
        --w;
}

// The next ESC at or after from, or -1. Runs between sequences are often a few characters (a
// spinner frame): those are looked at directly, longer ones by the library's vectorised search.
qsizetype nextEscape(QStringView text, qsizetype from)
{
    const qsizetype near = std::min(text.size(), from + 32);
    for (qsizetype i = from; i < near; ++i) {
        if (text[i] == esc)
            return i;
    }
    return near < text.size() ? text.indexOf(QChar(esc), near) : -1;
}

} // namespace

QString stripControlSequences(QString text)
{
    qsizetype next = text.indexOf(QChar(esc));
    if (next < 0)
        return text;
    // The result is never longer than what has been read, so it is written over the text itself:
    // runs between sequences move down, and nothing is allocated.
    const qsizetype size = text.size();
    char16_t* data = reinterpret_cast<char16_t*>(text.data());
    const QStringView in(data, size);
    qsizetype written = next;
    qsizetype read = next;
    const auto keep = [&](qsizetype until) {
        if (written != read) {
            if (until - read <= 16)
                std::copy(data + read, data + until,
                          data + written); // moves down: no overlap issue
            else
                std::memmove(data + written, data + read,
                             std::size_t(until - read) * sizeof(char16_t));
        }
        written += until - read;
        read = until;
    };
    while (read < size) {
        // read is at an ESC here.
        const Scan scan = sequence(in, read);
        if (scan.end < 0) {
            keep(scan.stop); // an incomplete sequence stays as it stands
        } else {
            editLine(data, &written, in.sliced(read, scan.end - read));
            read = scan.end;
        }
        next = nextEscape(in, read);
        keep(next < 0 ? size : next);
    }
    text.truncate(written);
    return text;
}

QString cleanTerminalOutput(QByteArrayView bytes)
{
    return stripControlSequences(QString::fromUtf8(bytes)).trimmed();
}

namespace {

QStringView lastVisiblePiece(QStringView text)
{
    // Lines split at LF and the segments of a line split at CR, both read from the end: the last
    // non-blank piece between any two such breaks.
    qsizetype end = text.size();
    while (end > 0) {
        qsizetype start = end;
        while (start > 0 && text[start - 1] != u'\n' && text[start - 1] != u'\r')
            --start;
        const QStringView piece = text.sliced(start, end - start);
        if (!piece.trimmed().isEmpty())
            return piece;
        end = start - 1;
    }
    return {};
}

} // namespace

QString lastVisibleLine(QStringView text) { return lastVisiblePiece(text).toString(); }

QString lastVisibleLine(const QString& text)
{
    const QStringView piece = lastVisiblePiece(text);
    return piece.size() == text.size() ? text : piece.toString();
}

} // namespace corvane
