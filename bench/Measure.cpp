#include "Measure.h"

#include <QFile>
#include <QProcess>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace corvane::bench {

using namespace Qt::StringLiterals;

double Series::median() const
{
    if (m_values.isEmpty())
        return 0;
    QList<double> sorted = m_values;
    std::sort(sorted.begin(), sorted.end());
    const qsizetype middle = sorted.size() / 2;
    return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

double Series::min() const
{
    return m_values.isEmpty() ? 0 : *std::min_element(m_values.begin(), m_values.end());
}

double Series::max() const
{
    return m_values.isEmpty() ? 0 : *std::max_element(m_values.begin(), m_values.end());
}

namespace {

void printLine(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

QString number(double value)
{
    return QString::number(value, 'f', value >= 100 ? 0 : (value >= 10 ? 1 : 2));
}

} // namespace

void printHeading(const QString& text) { printLine(u"\n"_s + text); }

void printFigure(const QString& label, const Series& series, const QString& unit)
{
    printLine(u"  %1 %2 %3   (min %4, max %5, %6 runs)"_s.arg(label, -34)
                  .arg(number(series.median()), 9)
                  .arg(unit, -4)
                  .arg(number(series.min()), number(series.max()))
                  .arg(series.count()));
}

void printRatio(const QString& label, const Series& ratios, double goal)
{
    const bool meets = ratios.median() <= goal;
    printLine(u"  %1 %2 x      (min %3, max %4)  goal <= %5 x: %6"_s.arg(label, -34)
                  .arg(QString::number(ratios.median(), 'f', 3), 9)
                  .arg(QString::number(ratios.min(), 'f', 3), QString::number(ratios.max(), 'f', 3),
                       QString::number(goal, 'f', 2), meets ? u"meets"_s : u"MISSED"_s));
}

void printBound(const QString& label, double value, const QString& unit, double bound)
{
    printLine(u"  %1 %2 %3   goal < %4 %3: %5"_s.arg(label, -34)
                  .arg(number(value), 9)
                  .arg(unit, -4)
                  .arg(number(bound), value < bound ? u"meets"_s : u"MISSED"_s));
}

namespace {

double vmHwmMiB(const QString& statusPath)
{
    QFile status(statusPath);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

} // namespace

double peakRssMiB(qint64 pid) { return vmHwmMiB(u"/proc/%1/status"_s.arg(pid)); }

double ownPeakRssMiB() { return vmHwmMiB(u"/proc/self/status"_s); }

double nowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

std::pair<double, double> timeInterleaved(int round, const std::function<double()>& measured,
                                          const std::function<double()>& baseline)
{
    if (round % 2) {
        const double base = baseline();
        return {measured(), base};
    }
    const double first = measured();
    return {first, baseline()};
}

double timeBareNodeCheck(const QProcessEnvironment& environment, const QByteArray& expected)
{
    QProcess shell;
    shell.setProgram(u"/bin/bash"_s);
    shell.setArguments({u"-ilc"_s, u"command -v node >/dev/null 2>&1 && node --version"_s});
    shell.setProcessEnvironment(environment);
    shell.setStandardInputFile(QProcess::nullDevice());
    shell.setStandardErrorFile(QProcess::nullDevice());
    const double start = nowMs();
    shell.start();
    shell.waitForFinished(-1);
    const double elapsed = nowMs() - start;
    if (shell.readAllStandardOutput().trimmed() != expected)
        qFatal("the bare check did not find the stand-in node");
    return elapsed;
}

int runsFromArguments(const QStringList& arguments, int fallback)
{
    const qsizetype at = arguments.indexOf(u"--runs"_s);
    const int runs = at >= 0 ? arguments.value(at + 1).toInt() : fallback;
    return std::max(runs, 5);
}

} // namespace corvane::bench
