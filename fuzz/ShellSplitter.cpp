#include "ShellSplitter.h"

namespace corvane::fuzz {

using namespace Qt::StringLiterals;

namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }

bool isSpecialUnquoted(QChar c) { return u"$`;|&<>()*?[#~{}"_s.contains(c); }

} // namespace

std::optional<QStringList> splitCommandLine(const QString& line, ShellDialect dialect)
{
    enum class Mode { Outside, Single, Double };
    const bool fish = dialect == ShellDialect::Fish;
    QStringList words;
    QString word;
    bool inWord = false;
    Mode mode = Mode::Outside;

    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        const bool hasNext = i + 1 < line.size();
        const QChar next = hasNext ? line[i + 1] : QChar();
        switch (mode) {
        case Mode::Outside:
            if (isBlank(c)) {
                if (inWord)
                    words.append(std::exchange(word, {}));
                inWord = false;
            } else if (c == u'\'') {
                mode = Mode::Single;
                inWord = true;
            } else if (c == u'"') {
                mode = Mode::Double;
                inWord = true;
            } else if (c == u'\\') {
                if (!hasNext)
                    return std::nullopt;
                ++i;
                if (next != u'\n') { // a backslash before a line feed joins lines
                    word.append(next);
                    inWord = true;
                }
            } else if (isSpecialUnquoted(c)) {
                return std::nullopt;
            } else {
                word.append(c);
                inWord = true;
            }
            break;
        case Mode::Single:
            if (c == u'\'') {
                mode = Mode::Outside;
            } else if (fish && c == u'\\' && (next == u'\\' || next == u'\'')) {
                word.append(next);
                ++i;
            } else {
                word.append(c);
            }
            break;
        case Mode::Double:
            if (c == u'"') {
                mode = Mode::Outside;
            } else if (c == u'$' || (!fish && c == u'`')) {
                return std::nullopt;
            } else if (c == u'\\' && hasNext &&
                       (next == u'"' || next == u'\\' || next == u'$' || next == u'\n' ||
                        (!fish && next == u'`'))) {
                if (next != u'\n')
                    word.append(next);
                ++i;
            } else {
                word.append(c);
            }
            break;
        }
    }
    if (mode != Mode::Outside)
        return std::nullopt;
    if (inWord)
        words.append(word);
    return words;
}

} // namespace corvane::fuzz
