#include "flow/RootView.h"
#include "runner/OutputCollector.h"
#include "runner/SetupError.h"
#include "runner/TerminalText.h"

#include <QTest>

using namespace corvane;
using namespace Qt::StringLiterals;

// ESC is written \033 and BEL \007: an octal escape never swallows the character after it.
class TestTerminalText : public QObject {
    Q_OBJECT
private slots:
    void cleaning_data();
    void cleaning();
    void hostileInputStaysLinear();
    void collectorKeepsOnlyTheEnd_data();
    void collectorKeepsOnlyTheEnd();
    void describe_data();
    void describe();
};

void TestTerminalText::cleaning_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("colour") << "\033[1;32mcaf\303\251 \342\234\223\033[0m"_ba << u"café ✓"_s;
    // Parameter bytes ? and :, an intermediate byte, then the other escapes with and without one.
    QTest::newRow("parameters, intermediates, other escapes")
        << "\033[?25l\033[38:5:208m\033[2 q\0337\033(Bamber\0338"_ba << u"amber"_s;
    QTest::newRow("BEL ends OSC, not DCS") << "\033]0;npm\007o\033Pq\007x\033\\k"_ba << u"ok"_s;
    QTest::newRow("hyperlink, ST")
        << "\033]8;;https://x.test\033\\docs\033]8;;\033\\"_ba << u"docs"_s;
    QTest::newRow("broken CSI, ESC at end") << "a\033[\nb\033"_ba << u"a\x1b[\nb\x1b"_s;
    QTest::newRow("DCS, SOS, PM, APC")
        << "\033P1$r0m\033\\a\033Xs\033\\b\033^p\033\\c\033_g\033\\d"_ba << u"abcd"_s;
    QTest::newRow("strings cancelled by CAN, SUB, the next sequence")
        << "\033]0;t\030a\033Pq#0\032b\033]0;npm\r\n\033[31mError: x\033[0m\r\n"_ba
        << u"abError: x"_s;
    QTest::newRow("invalid UTF-8") << "a\377b"_ba << u"a\uFFFDb"_s;
    QTest::newRow("only escapes and white space")
        << " \r\n\033[2K \t\033]0;t\007\033(B\n"_ba << QString();
    QTest::newRow("carriage returns inside") << "50%\r100%\r\ndone"_ba << u"50%\r100%\r\ndone"_s;
    // Spinners redraw by moving to the first column and erasing: what they erased is gone.
    QTest::newRow("npm's spinner")
        << "warn x\r\n\033[1G\033[0K\342\240\231\033[1G\033[0Kerror E404\r\n\033[1G\033[0K\342\240\271\033[1G\033[0K"_ba
        << u"warn x\r\nerror E404"_s;
    QTest::newRow("ora's spinner")
        << "\342\240\213 Installing\033[2K\033[1G\342\234\226 failed"_ba << u"\u2716 failed"_s;
    // Erasing the rest of a line not at its start, and a move to another column, erase nothing.
    QTest::newRow("mid-line erase, column 5") << "50%\033[K do\033[5Gne"_ba << u"50% done"_s;
}

void TestTerminalText::cleaning()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    // Every cut point, so a sequence and a multi-byte character are each split somewhere.
    for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
        OutputCollector collector;
        collector.append(bytes.left(cut));
        collector.append(bytes.mid(cut));
        QVERIFY2(collector.text() == expected, qPrintable(u"cut at %1"_s.arg(cut)));
    }
}

void TestTerminalText::hostileInputStaysLinear()
{
    // Also what keeps an unterminated OSC or DCS string as it came.
    // Each takes minutes through a pass that rescans the rest of the text for every ESC. Each
    // string is cancelled by the next ESC; the last one, unterminated, stays.
    for (const QByteArray& unit : {"\033]"_ba, "\033P"_ba, "\033[0123456789;"_ba}) {
        const QByteArray bytes = unit.repeated(200000);
        const bool string = unit.size() == 2;
        QCOMPARE(cleanTerminalOutput(bytes), QString::fromLatin1(string ? unit : bytes));
    }
    QCOMPARE(cleanTerminalOutput("\r"_ba.repeated(200000)), QString()); // nothing to show
}

void TestTerminalText::collectorKeepsOnlyTheEnd_data()
{
    QTest::addColumn<QByteArray>("line"); // repeated past the bound, then the last line
    QTest::addColumn<qsizetype>("chunk"); // bytes handed over at a time
    const QByteArray styled = "\033]0;npm\007\033[1;31mfetch ü ✓\033[0m 200\r\n"_ba;
    for (const qsizetype chunk : {qsizetype(4096), qsizetype(65537), qsizetype(3) << 20})
        QTest::addRow("lines, chunks of %lld", qlonglong(chunk)) << styled << chunk;
    // A spinner that redraws one line for ever with carriage returns alone: no line feed. (One that
    // erases the line each time leaves nothing to keep.)
    QTest::newRow("one endless line") << "\r\033[1m\033]0;⠋\007⠋ resolving ü"_ba << qsizetype(4096);
}

void TestTerminalText::collectorKeepsOnlyTheEnd()
{
    QFETCH(QByteArray, line);
    QFETCH(qsizetype, chunk);
    const QByteArray last = line.contains('\n') ? "Error: the end\r\n"_ba : "\r✖ failed: E404"_ba;
    // Every cut point within one repeated line: characters and sequences are cut everywhere.
    for (qsizetype shift = 0; shift < line.size(); ++shift) {
        const QByteArray whole =
            line.repeated(OutputCollector::bound / line.size() + 2) + QByteArray(shift, 'x') + last;
        OutputCollector collector;
        for (qsizetype at = 0; at < whole.size(); at += chunk) {
            collector.append(QByteArrayView(whole).sliced(at, std::min(chunk, whole.size() - at)));
            QVERIFY(collector.size() <= OutputCollector::bound);
        }
        const QString text = collector.text();
        const QString context = u"shifted by %1"_s.arg(shift);
        QVERIFY2(lastVisibleLine(text) == lastVisibleLine(cleanTerminalOutput(whole)),
                 qPrintable(context));
        QVERIFY2(text.size() > OutputCollector::bound / 4, qPrintable(context));
        // Nothing of a cut character or sequence is left at the front.
        for (const QChar c : QStringView(text).first(64))
            QVERIFY2(c >= u' ' || c == u'\r' || c == u'\n', qPrintable(context));
        QVERIFY2(!text.startsWith(QChar(QChar::ReplacementCharacter)), qPrintable(context));
    }
}

void TestTerminalText::describe_data()
{
    QTest::addColumn<QString>("output"); // of a run that failed
    QTest::addColumn<QString>("expected");
    const QString fallback = u"Setup didn't finish. You can try again."_s;
    QTest::newRow("blank lines, indented") << u"alpha\n\n  at main\n\n  \n\t\n"_s << u"  at main"_s;
    QTest::newRow("blank output") << u" \r\n\r\n\t"_s << fallback;
    // npm's error block as npm 9 printed it (tst_npxchain has npm 11's real ones, as npm 10 began
    // printing them): the line that says what happened, never the fields, the advice or the
    // pointer to the log.
    const QString log = u"npm error A complete log of this run can be found in: "
                        "/home/dev/.npm/_logs/2026-12-07T16_56_03_303Z-debug-0.log\r\n"_s;
    const QString timedOut = u"npm error network request to https://registry.npmjs.org/corvane "
                             "failed, reason: connect ETIMEDOUT 104.16.0.35:443"_s;
    QTest::newRow("npm 9")
        << u"npm ERR! code E404\nnpm ERR! 404 Not Found - GET https://registry.npmjs.org/"
           "corvane - Not found\nnpm ERR! 404\nnpm ERR! 404  'corvane@latest' is not in "
           "this registry.\nnpm ERR! 404 tarball, folder, http url, or git url.\n\nnpm "
           "ERR! A complete log of this run can be found in:\nnpm ERR!     "
           "/home/dev/.npm/_logs/2023-05-01T10_00_00_000Z-debug-0.log\n"_s
        << u"npm ERR! 404 Not Found - GET https://registry.npmjs.org/corvane - Not found"_s;
    QTest::newRow("npm's block, then the tool's own line")
        << u"npm error code E404\n"_s + timedOut + u"\nError: install failed"_s
        << u"Error: install failed"_s;
    QTest::newRow("npm's block without a cause") << u"npm error code E401\r\n"_s + log << fallback;
}

void TestTerminalText::describe()
{
    QFETCH(QString, output);
    QFETCH(QString, expected);
    QCOMPARE(RootView::describe(SetupError::exitedWithStatus(1, output), u"Setup didn't finish."_s),
             expected);
}

QTEST_GUILESS_MAIN(TestTerminalText)
#include "tst_terminaltext.moc"
