#include "TerminalText.h"

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

// A string sequence ends at ST (ESC \), an OS command also at BEL. As in terminal parsers, any
// other ESC, CAN or SUB cancels the string; an ESC that cancels it starts a sequence of its own,
// so the string ends just before it.
qsizetype endOfString(QStringView text, qsizetype at, bool belEnds)
{
    for (qsizetype i = at + 2; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if ((c == bel && belEnds) || c == can || c == sub)
            return i + 1;
        if (c == esc)
            return i + 1 < text.size() && text[i + 1] == u'\\' ? i + 2 : i;
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

qsizetype endOfSequence(QStringView text, qsizetype at)
{
    if (at + 1 >= text.size())
        return -1;
    switch (text[at + 1].unicode()) {
    case u'[':
        return endOfControlSequence(text, at);
    case u']':
        return endOfString(text, at, true);
    case u'P': // device control string
    case u'X': // start of string
    case u'^': // privacy message
    case u'_': // application program command
        return endOfString(text, at, false);
    default:
        return endOfEscape(text, at);
    }
}

// Applies what a removed control sequence did to the current line, where it matters for the text
// a person would read there. Progress spinners (npm's, ora's) redraw a line by moving the cursor to
// its first column and erasing it, not by a carriage return; without this, the frame they erased
// would read as the transcript's last line. Cursor to column 1 becomes a carriage return, and
// erasing the whole line, or the rest of it from its first column, drops what the line holds so
// far. Other moves and erasures are only removed. Each character is dropped at most once, so the
// pass stays linear.
void editLine(QString& out, QStringView sequence)
{
    if (sequence.size() < 3 || sequence[1] != u'[')
        return;
    const QChar kind = sequence.back();
    const QStringView parameters = sequence.sliced(2, sequence.size() - 3);
    if (kind == u'G' && (parameters.isEmpty() || parameters == u"0" || parameters == u"1")) {
        out.append(u'\r');
        return;
    }
    if (kind != u'K')
        return;
    const bool wholeLine = parameters == u"2";
    const bool restFromStart =
        (parameters.isEmpty() || parameters == u"0") && !out.isEmpty() && out.back() == u'\r';
    if (wholeLine || restFromStart)
        out.truncate(out.lastIndexOf(u'\n') + 1);
}

} // namespace

QString stripControlSequences(QStringView text)
{
    QString out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype next = text.indexOf(QChar(esc), i);
        if (next < 0) {
            out.append(text.sliced(i));
            break;
        }
        out.append(text.sliced(i, next - i));
        // Linear: the search for a sequence's end stops at the next ESC at the latest, and runs
        // on to the end of the text only when no ESC follows.
        const qsizetype end = endOfSequence(text, next);
        if (end < 0) {
            out.append(text[next]);
            i = next + 1;
        } else {
            editLine(out, text.sliced(next, end - next));
            i = end;
        }
    }
    return out;
}

QString cleanTerminalOutput(QByteArrayView bytes)
{
    return stripControlSequences(QString::fromUtf8(bytes)).trimmed();
}

QString lastVisibleLine(QStringView text)
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
            return piece.toString();
        end = start - 1;
    }
    return {};
}

} // namespace corvane
