// The output cleaner and the failure line against plain UTF-8 decoding of the same bytes: on
// installer-like text, and on hostile texts (an unterminated ESC [ run, a stream of unterminated
// ESC ] titles, a text of carriage returns only, one line of a million redraws). Each at 64 MiB
// and at four times that, to show that the work grows linearly.
//   bench_cleaning [--runs N] [--megabytes M]
#include "InstallerText.h"
#include "Measure.h"

#include "runner/TerminalText.h"

#include <QCoreApplication>
#include <QStringList>

#include <functional>

using namespace corvane;
using namespace corvane::bench;
using namespace Qt::StringLiterals;

namespace {

struct Input {
    QString name;
    std::function<QByteArray(qsizetype)> make;
};

QByteArray repeated(const QByteArray& unit, qsizetype size)
{
    QByteArray text = unit.repeated(size / unit.size() + 1);
    text.truncate(size);
    return text;
}

// Keeps the compiler from dropping work whose result is otherwise unused.
volatile qsizetype sink = 0;

double timeCleaning(const QByteArray& bytes)
{
    const double start = nowMs();
    const QString cleaned = cleanTerminalOutput(bytes);
    const QString line = lastVisibleLine(cleaned);
    const double elapsed = nowMs() - start;
    sink = sink + cleaned.size() + line.size();
    return elapsed;
}

double timeDecoding(const QByteArray& bytes)
{
    const double start = nowMs();
    const QString decoded = QString::fromUtf8(bytes);
    const double elapsed = nowMs() - start;
    sink = sink + decoded.size();
    return elapsed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int runs = runsFromArguments(arguments, 5);
    const qsizetype at = arguments.indexOf(u"--megabytes"_s);
    const qsizetype base = (at >= 0 ? arguments.value(at + 1).toLongLong() : 64) * 1024 * 1024;

    const QList<Input> inputs{
        {u"installer text"_s,
         [](qsizetype size) {
             QByteArray text = installerText(size - qsizetype(sizeof lastLine));
             return text + lastLine + '\n';
         }},
        {u"unterminated ESC [ run"_s,
         [](qsizetype size) { return "\033["_ba + repeated("0123456789;"_ba, size - 2); }},
        {u"unterminated ESC ] titles"_s,
         [](qsizetype size) { return repeated("\033]0;npm install corvane \r\n"_ba, size); }},
        {u"carriage returns only"_s, [](qsizetype size) { return QByteArray(size, '\r'); }},
        // One line redrawn again and again: a failure line behind millions of carriage returns.
        {u"one line of redraws"_s,
         [](qsizetype size) {
             return repeated("\033[2K 50%\r"_ba, size - qsizetype(sizeof lastLine)) + lastLine;
         }},
    };

    printHeading(u"Cleaning: cleanTerminalOutput + lastVisibleLine against QString::fromUtf8"_s);
    for (const Input& input : inputs) {
        Series cleanTimes[2], decodeTimes[2], ratios;
        for (int scale = 0; scale < 2; ++scale) {
            const qsizetype size = base * (scale ? 4 : 1);
            const QByteArray bytes = input.make(size);
            for (int round = 0; round < runs; ++round) {
                const auto [clean, decode] = timeInterleaved(
                    round, [&] { return timeCleaning(bytes); },
                    [&] { return timeDecoding(bytes); });
                cleanTimes[scale].add(clean);
                decodeTimes[scale].add(decode);
                if (scale == 0)
                    ratios.add(clean / decode);
            }
        }
        const QString mib = QString::number(base / (1024 * 1024));
        printHeading(u"  %1, %2 MiB"_s.arg(input.name, mib));
        printFigure(u"cleaner + failure line"_s, cleanTimes[0], u"ms"_s);
        printFigure(u"UTF-8 decoding (baseline)"_s, decodeTimes[0], u"ms"_s);
        printRatio(u"ratio"_s, ratios, 2.0);
        printFigure(u"cleaner + failure line, 4 x the input"_s, cleanTimes[1], u"ms"_s);
        Series growth;
        growth.add(cleanTimes[1].median() / cleanTimes[0].median());
        printRatio(u"4 x input: time grows by"_s, growth, 4.4);
    }
    return 0;
}
