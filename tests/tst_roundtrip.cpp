// Random argument lists through the real quoting, the real script utility and each real login
// shell: every argument must reach the command exactly as it was given.
//
// CORVANE_ROUNDTRIP_COUNT sets how many lists each shell gets (2,000 unless set) and
// CORVANE_ROUNDTRIP_SEED the generator's seed (a fixed one unless set); a failure prints both,
// so it can be replayed. Many lists go into one run, up to a command line of a few dozen KiB, so
// that thousands of lists take a few dozen runs.
#include "runner/Setup.h"
#include "runner/ShellQuote.h"
#include "support/TestHome.h"

#include <QStandardPaths>
#include <QTest>

#include <random>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

constexpr quint64 defaultSeed = 20240607;
constexpr int defaultCount = 2000;
constexpr qsizetype batchBytes = 32 * 1024; // far below the kernel's 128 KiB for one argument

// Strings that shells like to read as something else.
const QStringList awkward{u""_s,      u"'"_s,        u"\\"_s,    u"'\\''"_s,  u"\\'"_s,
                          u"-c"_s,    u"--"_s,       u"-ilc"_s,  u"~"_s,      u"~root/x"_s,
                          u"$HOME"_s, u"${PATH}"_s,  u"$(id)"_s, u"`id`"_s,   u"!!"_s,
                          u"!-1"_s,   u"^a^b"_s,     u"a=b"_s,   u"*"_s,      u"{a,b}"_s,
                          u"#x"_s,    u"; exit 7"_s, u"%s%n"_s,  u"\"\\\""_s, u"\n"_s};

const QString metacharacters = u"'\"\\$`!*?[]{}~#;&|<>()%^= \t\n"_s;

// One random argument list; the same random engine state gives the same list.
QStringList randomList(std::mt19937_64& random)
{
    const auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    QStringList arguments;
    for (int n = pick(1, 6); n > 0; --n) {
        if (pick(0, 9) == 0) {
            arguments.append(awkward.at(pick(0, int(awkward.size()) - 1)));
            continue;
        }
        QString text;
        for (int length = pick(0, 24); length > 0; --length) {
            const int kind = pick(0, 99);
            char32_t c;
            if (kind < 40)
                c = char32_t(pick(0x20, 0x7e));
            else if (kind < 65)
                c = char32_t(metacharacters.at(pick(0, int(metacharacters.size()) - 1)).unicode());
            else if (kind < 75)
                c = char32_t(pick(0, 32) == 32 ? 0x7f : pick(0x01, 0x1f));
            else if (kind < 88)
                c = char32_t(pick(0xa0, 0xd7ff));
            else if (kind < 92)
                c = char32_t(pick(0xe000, 0xfffd)); // private use, fish's own range among them
            else
                c = char32_t(pick(0x10000, 0x10fffd));
            text.append(QString::fromUcs4(&c, 1));
        }
        arguments.append(text);
    }
    return arguments;
}

} // namespace

class TestRoundTrip : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void argumentListsRoundTrip_data();
    void argumentListsRoundTrip();

private:
    std::unique_ptr<test::TestHome> m_home;
    quint64 m_seed = defaultSeed;
    int m_count = defaultCount;
};

void TestRoundTrip::initTestCase()
{
    m_home = std::make_unique<test::TestHome>();
    // Records its arguments, each followed by a NUL, away from the terminal.
    m_home->writeFile(u"bin/record-args"_s,
                      "#!/bin/sh\nprintf '%s\\0' \"$@\" > \"$HOME/recorded\"\n", true);
    bool ok = false;
    if (const quint64 seed = qEnvironmentVariable("CORVANE_ROUNDTRIP_SEED").toULongLong(&ok); ok)
        m_seed = seed;
    if (const int count = qEnvironmentVariableIntValue("CORVANE_ROUNDTRIP_COUNT", &ok); ok)
        m_count = count;
}

void TestRoundTrip::argumentListsRoundTrip_data()
{
    QTest::addColumn<QString>("shell");
    for (const char* shell : {"bash", "zsh", "dash", "fish"})
        QTest::newRow(shell) << QString::fromLatin1(shell);
}

void TestRoundTrip::argumentListsRoundTrip()
{
    QFETCH(QString, shell);
    const QString path = QStandardPaths::findExecutable(shell);
    if (path.isEmpty())
        QSKIP("shell not installed");
    qputenv("SHELL", QFile::encodeName(path));
    const ShellDialect dialect = dialectOf(path);
    const QString replay = u"seed %1, %2 lists per shell, %3"_s.arg(m_seed).arg(m_count).arg(shell);

    // Each shell gets the same lists, so a failure in one shell alone points at that shell.
    std::mt19937_64 random(m_seed);
    int made = 0;
    int runs = 0;
    while (made < m_count) {
        QStringList arguments{u"record-args"_s};
        while (made < m_count && commandLine(arguments, dialect)->toUtf8().size() < batchBytes) {
            arguments += randomList(random);
            ++made;
        }

        m_home->remove(u"recorded"_s);
        Setup setup;
        const std::optional<RunResult> result = test::waitForResult(setup.runViaPty(arguments));
        ++runs;
        QVERIFY2(result.has_value(), qPrintable(u"the run did not end; "_s + replay));
        if (*result)
            QFAIL(
                qPrintable(u"the run failed: "_s + test::failedOutput(*result) + u"; "_s + replay));

        QByteArray recorded = m_home->read(u"recorded"_s);
        recorded.chop(1); // the NUL after the last argument
        QStringList received;
        for (const QByteArray& part : recorded.split('\0'))
            received.append(QString::fromUtf8(part));
        const QStringList sent = arguments.mid(1);
        if (received != sent)
            qWarning("%s", qPrintable(replay)); // what replays the failure below
        // As long as each other first, so that a difference is shown where it is.
        QCOMPARE(received.mid(0, sent.size()), sent.mid(0, received.size()));
        QCOMPARE(received.size(), sent.size());
    }
    qInfo("%s: %d lists in %d runs", qPrintable(shell), made, runs);
}

QTEST_GUILESS_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
