#include "model/Catalog.h"
#include "support/TestHome.h"

#include <QFile>
#include <QTest>

using namespace corvane;
using namespace Qt::StringLiterals;

class TestCatalog : public QObject {
    Q_OBJECT
private slots:
    void detection_data();
    void detection();
    void catalogOrderHoldsWhateverIsCreatedFirst();
};

void TestCatalog::detection_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("nothing") << u"none"_s << QStringList{};
    QTest::newRow("folder without settings file") << u"claude-dir"_s << QStringList{};
    QTest::newRow("empty codex config") << u"codex-empty"_s << QStringList{u"codex"_s};
    QTest::newRow("dangling link") << u"claude-dangling"_s << QStringList{};
    QTest::newRow("link to a file") << u"claude-link"_s << QStringList{u"claude-code"_s};
    QTest::newRow("folder at the file's path") << u"codex-folder"_s << QStringList{u"codex"_s};
    QTest::newRow("both") << u"both"_s << QStringList{u"claude-code"_s, u"codex"_s};
}

void TestCatalog::detection()
{
    QFETCH(QString, setup);
    QFETCH(QStringList, expected);

    test::TestHome home;
    if (setup == u"claude-dir") {
        home.writeFile(u".claude/other.json"_s, "{}");
    } else if (setup == u"codex-empty") {
        home.writeFile(u".codex/config.toml"_s, "");
    } else if (setup == u"claude-dangling") {
        home.writeFile(u".claude/placeholder"_s, "");
        QVERIFY(QFile::link(home.filePath(u"missing.json"_s), home.filePath(u".claude/settings.json"_s)));
    } else if (setup == u"claude-link") {
        home.writeFile(u"real-settings.json"_s, "{}");
        home.writeFile(u".claude/placeholder"_s, "");
        QVERIFY(QFile::link(home.filePath(u"real-settings.json"_s),
                            home.filePath(u".claude/settings.json"_s)));
    } else if (setup == u"codex-folder") {
        home.writeFile(u".codex/config.toml/inside"_s, "");
    } else if (setup == u"both") {
        home.writeFile(u".codex/config.toml"_s, "model = 'x'");
        home.writeFile(u".claude/settings.json"_s, "{}");
    }

    QStringList found;
    for (const Harness& harness : detectedHarnesses())
        found.append(harness.id);
    QCOMPARE(found, expected);
}

void TestCatalog::catalogOrderHoldsWhateverIsCreatedFirst()
{
    // Codex's file appears first and Claude Code's later: the list still follows the catalog.
    test::TestHome home;
    home.writeFile(u".codex/config.toml"_s, "");
    QCOMPARE(detectedHarnesses().size(), 1);
    home.writeFile(u".claude/settings.json"_s, "");
    const QList<Harness> found = detectedHarnesses();
    QCOMPARE(found.size(), 2);
    QCOMPARE(found[0].name, u"Claude Code"_s);
    QCOMPARE(found[1].name, u"Codex"_s);
}

QTEST_GUILESS_MAIN(TestCatalog)
#include "tst_catalog.moc"
