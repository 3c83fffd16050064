#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>

#include <functional>
#include <utility>

namespace corvane::bench {

// The samples of one measured quantity, summarised by median, min and max.
class Series {
public:
    void add(double value) { m_values.append(value); }
    qsizetype count() const { return m_values.size(); }
    double median() const;
    double min() const;
    double max() const;

private:
    QList<double> m_values;
};

// "  label   median  (min … max) unit" on standard output.
void printFigure(const QString& label, const Series& series, const QString& unit);

// A ratio against its goal, "at most goal": the median with min and max, the goal, and whether
// the median meets it.
void printRatio(const QString& label, const Series& ratios, double goal);

// A single value against an upper bound.
void printBound(const QString& label, double value, const QString& unit, double bound);

// A heading line for one benchmark.
void printHeading(const QString& text);

// The peak resident memory (VmHWM) of a live process, in MiB; -1 where the system cannot say.
double peakRssMiB(qint64 pid);

// The same for this process.
double ownPeakRssMiB();

// Milliseconds since an arbitrary fixed point, at nanosecond resolution.
double nowMs();

// Times a measured step and its baseline in one round, the baseline first in odd rounds, so that
// neither always finds the caches the other warmed. Returns both in milliseconds, measured first.
std::pair<double, double> timeInterleaved(int round, const std::function<double()>& measured,
                                          const std::function<double()>& baseline);

// The bare Node.js check: bash -ilc 'command -v node >/dev/null 2>&1 && node --version', input
// from the null device, errors thrown away, in the environment given; its time in milliseconds.
// Ends the benchmark when it does not print `expected`.
double timeBareNodeCheck(const QProcessEnvironment& environment, const QByteArray& expected);

// Rounds of a benchmark: "--runs N" among the arguments, else the default (never below 5).
int runsFromArguments(const QStringList& arguments, int fallback);

} // namespace corvane::bench
