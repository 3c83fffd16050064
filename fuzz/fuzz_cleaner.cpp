// The output cleaner and the failure line on arbitrary bytes.
//
// Properties: the cleaned text keeps characters of the decoded text in order and adds none but
// carriage returns, each standing for a removed cursor move to the first column (so it never
// grows); it is trimmed; it keeps no ESC that began a complete sequence; the failure line
// is empty exactly when the text is, and otherwise is a non-blank piece of the text without a line
// break after which only white space follows; the failure screen's text is that line, or a line
// of npm's error block that ends the text, or the fallback when that block names no cause.
#include "FuzzCheck.h"

#include "flow/RootView.h"
#include "runner/FailureText.h"
#include "runner/TerminalText.h"

#include <cstddef>
#include <cstdint>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

constexpr char16_t esc = 0x1b;
constexpr char16_t bel = 0x07;

bool between(QChar c, char16_t low, char16_t high)
{
    return c.unicode() >= low && c.unicode() <= high;
}

// Whether a sequence that every terminal parser reads as one, and that the cleaner must therefore
// remove, starts with the ESC at `at`. Deliberately narrow, so that it holds whatever finer rules
// the cleaner follows for strings: a control sequence; an operating-system command whose body is
// printable and ends in BEL or ESC backslash; a plain escape other than the string introducers.
bool beginsCompleteSequence(const QString& text, qsizetype at)
{
    const qsizetype n = text.size();
    if (at + 1 >= n)
        return false;
    const QChar kind = text[at + 1];
    qsizetype i = at + 2;
    if (kind == u'[') {
        while (i < n && between(text[i], 0x30, 0x3f))
            ++i;
        while (i < n && between(text[i], 0x20, 0x2f))
            ++i;
        return i < n && between(text[i], 0x40, 0x7e);
    }
    if (kind == u']') {
        while (i < n && text[i].unicode() >= 0x20 && text[i].unicode() != 0x7f)
            ++i;
        return i < n && (text[i] == bel || (text[i] == esc && i + 1 < n && text[i + 1] == u'\\'));
    }
    if (kind == u'P' || kind == u'_' || kind == u'^' || kind == u'X')
        return false;
    i = at + 1;
    while (i < n && between(text[i], 0x20, 0x2f))
        ++i;
    return i < n && between(text[i], 0x30, 0x7e);
}

// Whether part is whole with characters removed and carriage returns added. A carriage return
// that does not match the next character of whole is taken as added, which never loses a match.
bool keepsOnlyWhatWasThere(const QString& part, const QString& whole)
{
    qsizetype j = 0;
    for (qsizetype i = 0; i < whole.size() && j < part.size(); ++i) {
        while (j < part.size() && part[j] == u'\r' && whole[i] != u'\r')
            ++j;
        if (j < part.size() && whole[i] == part[j])
            ++j;
    }
    while (j < part.size() && part[j] == u'\r')
        ++j;
    return j == part.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString decoded = QString::fromUtf8(bytes);
    const QString cleaned = cleanTerminalOutput(bytes);

    fuzz::check(cleaned.size() <= decoded.size(), "the cleaner never grows the text");
    fuzz::check(keepsOnlyWhatWasThere(cleaned, decoded),
                "the cleaner only removes characters, or turns a sequence into a line start",
                cleaned);
    fuzz::check(cleaned == cleaned.trimmed(), "the cleaned text is trimmed", cleaned);

    qsizetype looseEscapes = 0;
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        if (decoded[i] == esc && !beginsCompleteSequence(decoded, i))
            ++looseEscapes;
    }
    fuzz::check(cleaned.count(QChar(esc)) <= looseEscapes,
                "no ESC that began a complete sequence is left", cleaned);

    const QString line = lastVisibleLine(cleaned);
    fuzz::check(line.isEmpty() == cleaned.isEmpty(), "a failure line exists for any text", cleaned);
    if (!line.isEmpty()) {
        fuzz::check(!line.contains(u'\n') && !line.contains(u'\r'),
                    "the failure line holds no line break", line);
        fuzz::check(!line.trimmed().isEmpty(), "the failure line is not blank", line);
        const qsizetype at = cleaned.lastIndexOf(line);
        fuzz::check(at >= 0, "the failure line is a piece of the cleaned text", line);
        fuzz::check(cleaned.mid(at + line.size()).trimmed().isEmpty(),
                    "nothing visible follows the failure line", cleaned);
    }

    const QString cause = failureLine(cleaned);
    const bool npm = line.startsWith(u"npm error"_s) || line.startsWith(u"npm ERR!"_s);
    fuzz::check(cause == line || (npm && (cause.isEmpty() || cleaned.contains(cause))),
                "the failure text is the failure line, or a line of npm's closing block", cause);
    const QString shown =
        RootView::describe(SetupError::exitedWithStatus(1, cleaned), u"Setup didn't finish."_s);
    fuzz::check(shown == (cause.isEmpty() ? u"Setup didn't finish. You can try again."_s : cause),
                "the failure screen shows the failure text", shown);
    return 0;
}
