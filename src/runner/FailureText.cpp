#include "FailureText.h"

#include "TerminalText.h"

#include <QList>

#include <algorithm>
#include <array>
#include <optional>

namespace corvane {

namespace {

// The text a line shows: its last non-blank segment between carriage returns, or empty.
QStringView visibleSegment(QStringView line)
{
    qsizetype end = line.size();
    while (end > 0) {
        const qsizetype start = line.lastIndexOf(u'\r', end - 1) + 1;
        const QStringView segment = line.sliced(start, end - start);
        if (!segment.trimmed().isEmpty())
            return segment;
        end = start - 1;
    }
    return {};
}

// What follows npm's error prefix on a line, or nothing when the line does not begin with one.
std::optional<QStringView> npmErrorMessage(QStringView line)
{
    for (const QStringView prefix : {QStringView(u"npm error"), QStringView(u"npm ERR!")}) {
        if (line.startsWith(prefix) &&
            (line.size() == prefix.size() || line.at(prefix.size()).isSpace()))
            return line.sliced(prefix.size()).trimmed();
    }
    return std::nullopt;
}

// Whether a message of npm's error block says what happened.
bool tellsTheCause(QStringView message)
{
    // Names of the error's fields, which npm prints one per line before its message.
    static constexpr std::array<QStringView, 9> fields{
        u"code", u"syscall", u"errno", u"path", u"dest", u"signal", u"cwd", u"command", u"type"};
    const QList<QStringView> words = message.split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 2)
        return false; // "npm error", "npm error 404": a gap between paragraphs
    if (std::find(fields.begin(), fields.end(), words.first()) != fields.end())
        return false;
    // The log pointer: "A complete log of this run can be found in: <path>", or its path alone on
    // the next line (npm 9 and before, which named the log "…-debug.log" up to npm 6), or the
    // notice that no log could be written.
    return !message.startsWith(u"A complete log of this run") &&
           !message.startsWith(u"Log files were not written") &&
           !message.endsWith(u"-debug-0.log") && !message.endsWith(u"-debug.log");
}

} // namespace

QString failureLine(const QString& output)
{
    // Reads npm's block from the end: stops at the first line, blank ones aside, that is not npm's.
    QStringView cause;
    bool inBlock = false;
    qsizetype end = output.size();
    while (end > 0) {
        const qsizetype start = output.lastIndexOf(u'\n', end - 1) + 1;
        const QStringView shown = visibleSegment(QStringView(output).sliced(start, end - start));
        end = start - 1;
        if (shown.isEmpty())
            continue;
        const std::optional<QStringView> message = npmErrorMessage(shown);
        if (!message)
            break;
        inBlock = true;
        if (tellsTheCause(*message))
            cause = shown;
    }
    if (!inBlock)
        return lastVisibleLine(output);
    return cause.toString();
}

QString failureDetails(QStringView output)
{
    QStringList lines;
    qsizetype end = output.size();
    while (end >= 0 && lines.size() < detailsLineCount) {
        const qsizetype start = end > 0 ? output.lastIndexOf(u'\n', end - 1) + 1 : 0;
        const QStringView shown = visibleSegment(output.sliced(start, end - start));
        if (!shown.isEmpty() || !lines.isEmpty())
            lines.prepend(shown.toString());
        end = start - 1;
    }
    while (!lines.isEmpty() && lines.first().isEmpty())
        lines.removeFirst();
    return lines.join(u'\n');
}

} // namespace corvane
