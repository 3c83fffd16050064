#include "model/CorvaneCli.h"
#include "model/QuestionsModel.h"
#include "support/TestHome.h"

#include <QFile>
#include <QJsonDocument>
#include <QTest>
#include <QThread>
#include <sys/stat.h>

using namespace corvane;
using namespace Qt::StringLiterals;
using Found = QList<ExistingHarness>;
using Tools = QStringList;
const QString cc = u"claude-code"_s, cx = u"codex"_s, sub = u"subscription"_s, e, x = u"x"_s;
const QString anth = u"anthropic-api"_s, oai = u"openai-api"_s, orr = u"openrouter"_s;
const QString gemini = u"gemini"_s, manifestFile = cli::manifestRelativePath.toString();
const auto none = std::nullopt;

class TestModel : public QObject {
    Q_OBJECT
    std::optional<test::TestHome> m_home;  // one for the run: the manifest path is resolved once
    std::optional<QuestionsModel> m_model; // a new user's, nothing detected; fresh for each test
    static QByteArray entries(const QByteArray& s) { return R"({"installations":[)" + s + "]}"; }
    // Edits: Claude Code's funding, Codex's, then the Anthropic, OpenAI and OpenRouter keys.
    QuestionsModel& edited()
    {
        QFETCH(Tools, selected);
        QFETCH(Tools, edits);
        m_model->setSelectedHarnesses(QSet<QString>(selected.begin(), selected.end()));
        m_model->setAnthropicApiKey(edits[2]); // keys before funding: a switch must not drop them
        m_model->setOpenaiApiKey(edits[3]);
        m_model->setOpenrouterApiKey(edits[4]);
        m_model->setClaudeFunding(edits[0]);
        m_model->setCodexFunding(edits[1]);
        return *m_model;
    }
private slots:
    void initTestCase() { m_home.emplace(); }
    void init() { m_model.emplace(QList<Harness>{}, Found{}); }
    void cleanup() { m_home->remove(manifestFile); }
    void manifest_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<Found>("expected");
        QTest::newRow("not JSON") << QByteArray("installations: codex") << Found{};
        QTest::newRow("top-level array") << QByteArray(R"([{"harness":"codex"}])") << Found{};
        QTest::newRow("non-object") << entries(R"({"harness":"codex"},5)") << Found{};
        QTest::newRow("bad harness")
            << entries(R"({"harness":5},{},{"harness":"codex"})") << Found{{cx, none, none}};
        QTest::newRow("disabled")
            << entries(R"({"harness":"a","disabled":true},{"harness":"b","disabled":1},
            {"harness":"c","disabled":1.0},{"harness":"d","disabled":2},
            {"harness":"e","disabled":"true"},{"harness":"f","disabled":false})")
            << Found{{u"d"_s, none, none}, {u"e"_s, none, none}, {u"f"_s, none, none}};
        QTest::newRow("codex subscription flag")
            << entries(R"(
            {"harness":"codex","openai_subscription_auth":true,"user_funded_provider":"x"},
            {"harness":"codex","openai_subscription_auth":1,"user_funded_provider":"x"},
            {"harness":"codex","openai_subscription_auth":2,"user_funded_provider":"x"},
            {"harness":"codex","openai_subscription_auth":"true","user_funded_provider":"x"},
            {"harness":"claude-code","user_funded_provider":"x","openai_subscription_auth":true})")
            << Found{{cx, none, sub}, {cx, none, sub}, {cx, none, x}, {cx, none, x}, {cc, x, none}};
        QTest::newRow("order, duplicates, unknown id, claude subscription")
            << entries(R"(
            {"harness":"codex","user_funded_provider":"openrouter"},
            {"harness":"claude-code","user_funded_provider":"claude-subscription"},
            {"harness":"gemini","user_funded_provider":"x","openai_subscription_auth":true},
            {"harness":"codex","openai_subscription_auth":true})")
            << Found{{cx, none, orr}, {cc, sub, none}, {gemini, none, none}, {cx, none, sub}};
        QTest::newRow("nested 100,000 deep")
            << entries(R"({"harness":"codex","x":)" + QByteArray(100000, '[') +
                       QByteArray(100000, ']') + "}")
            << Found{};
        QTest::newRow("invalid UTF-8 in a value")
            << entries("{\"harness\":\"codex\",\"user_funded_provider\":\"op\xff\xc0n\"}")
            << Found{};
    }
    void manifest()
    {
        QFETCH(QByteArray, content);
        m_home->writeFile(manifestFile, content);
        QVERIFY(hasExistingInstall());
        QTEST(readExistingHarnesses(), "expected");
    }
    void manifestSizeLimit_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<Found>("expected");
        QTest::newRow("at the limit") << manifestReadLimit << Found{{cx, none, none}};
        QTest::newRow("one byte more") << manifestReadLimit + 1 << Found{};
        QTest::newRow("50 MB") << qint64(50'000'000) << Found{};
    }
    void manifestSizeLimit()
    {
        // Valid JSON either way, padded out to the size: only the size decides.
        QFETCH(qint64, size);
        const QByteArray head = entries(R"({"harness":"codex"})").chopped(1) + ",\"pad\":\"";
        const QByteArray json = head + QByteArray(size - head.size() - 2, 'x') + "\"}";
        QCOMPARE(json.size(), size);
        m_home->writeFile(manifestFile, json);
        QVERIFY(hasExistingInstall());
        QTEST(readExistingHarnesses(), "expected");
    }
    void manifestFifo()
    {
        QVERIFY(!hasExistingInstall());
        QCOMPARE(::mkfifo(QFile::encodeName(manifestPath()).constData(), 0600), 0);
        QVERIFY(hasExistingInstall());
        Found found{{u"not read"_s, none, none}};
        QThread* reader = QThread::create([&] { found = readExistingHarnesses(); });
        reader->start(); // left running, and leaked, if it blocks
        QVERIFY2(reader->wait(QDeadlineTimer(3000)), "reading the manifest blocked");
        delete reader;
        QCOMPARE(found, Found{});
    }
    void seeding_data()
    {
        QTest::addColumn<QList<Harness>>("detected");
        QTest::addColumn<Found>("existing");
        QTest::addColumn<Tools>("selection");
        QTest::addColumn<Tools>("funding"); // Claude Code's, then Codex's
        const QList<Harness> all = harnesses(), nothing;
        QTest::newRow("new, none found") << nothing << Found{} << Tools{cc, cx} << Tools{sub, sub};
        QTest::newRow("new, codex found") << all.mid(1) << Found{} << Tools{cx} << Tools{sub, sub};
        QTest::newRow("returning, first record wins")
            << all << Found{{cc, none, none}, {cc, anth, none}, {cx, none, oai}, {cx, none, orr}}
            << Tools{cc, cx} << Tools{sub, oai};
        QTest::newRow("returning, unknown id kept")
            << all.mid(0, 1) << Found{{gemini, none, none}} << Tools{gemini} << Tools{sub, sub};
    }
    void seeding()
    {
        QFETCH(QList<Harness>, detected);
        QFETCH(Found, existing);
        const QuestionsModel model(detected, existing);
        QTEST(model.answers().harnesses, "selection");
        QTEST((Tools{model.claudeFunding(), model.codexFunding()}), "funding");
        QCOMPARE(model.isReturning(), !existing.isEmpty());
    }
    void canSubmit_data()
    {
        QTest::addColumn<Tools>("selected");
        QTest::addColumn<Tools>("edits");
        QTest::addColumn<bool>("expected");
        const Tools both{cc, cx}, claude{cc}, codex{cx};
        QTest::newRow("no tool") << Tools{} << Tools{sub, sub, e, e, e} << false;
        QTest::newRow("anthropic, tab") << claude << Tools{anth, sub, u"\t"_s, e, e} << false;
        QTest::newRow("anthropic, NBSP") << claude << Tools{anth, sub, u"\u00A0"_s, e, e} << false;
        QTest::newRow("anthropic, line feed") << claude << Tools{anth, sub, u"\n"_s, e, e} << true;
        QTest::newRow("openai, em space") << codex << Tools{sub, oai, x, u"\u2003"_s, x} << false;
        QTest::newRow("openai, key") << codex << Tools{sub, oai, e, x, e} << true;
        QTest::newRow("router for claude, blank") << both << Tools{orr, sub, x, x, u" "_s} << false;
        QTest::newRow("router for codex, no key") << both << Tools{sub, orr, x, x, e} << false;
        QTest::newRow("router for codex, key") << both << Tools{sub, orr, e, e, x} << true;
        QTest::newRow("unticked codex on router") << claude << Tools{sub, orr, e, e, e} << true;
        QTest::newRow("unticked claude on anthropic") << codex << Tools{anth, sub, e, e, e} << true;
    }
    void canSubmit() { QTEST(edited().canSubmit(), "expected"); }
    void answers_data()
    {
        QTest::addColumn<Tools>("selected");
        QTest::addColumn<Tools>("edits");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("keys kept whatever the funding")
            << Tools{cc} << Tools{orr, sub, u"a"_s, u"o"_s, u"r"_s}
            << R"({"harnesses":["claude-code"],"claudeFunding":["openrouter"],"codexFunding":[],
                "anthropicApiKey":"a","openaiApiKey":"o","openrouterApiKey":"r"})"_ba;
        QTest::newRow("key text exact, unticked tool's funding left out")
            << Tools{cx} << Tools{anth, oai, e, u" a\"b\\c\t ключ-🔑 \n"_s, e}
            << R"({"harnesses":["codex"],"claudeFunding":[],"codexFunding":["openai-api"],
                "openaiApiKey":" a\u0022b\u005Cc\t ключ-🔑 \n"})"_ba;
        QTest::newRow("catalog order, then others sorted")
            << Tools{u"h"_s, u"c"_s, u"e"_s, cx, u"a"_s, u"g"_s, cc, u"b"_s, u"f"_s, u"d"_s}
            << Tools{sub, orr, e, e, e}
            << R"({"harnesses":["claude-code","codex","a","b","c","d","e","f","g","h"],
                "claudeFunding":["subscription"],"codexFunding":["openrouter"]})"_ba;
    }
    void answers()
    {
        const QByteArray json = edited().answers().toJson();
        QFETCH(QByteArray, expected);
        QCOMPARE(QJsonDocument::fromJson(json), QJsonDocument::fromJson(expected));
    }
    void changedOncePerRealChange()
    {
        QList<QByteArray> seen{m_model->answers().toJson()}; // what an observer reads when notified
        connect(&*m_model, &QuestionsModel::changed, [&] { seen << m_model->answers().toJson(); });
        for (int round = 0; round < 2; ++round) { // the second round sets the same values again
            for (auto set : {&QuestionsModel::setClaudeFunding, &QuestionsModel::setCodexFunding,
                             &QuestionsModel::setAnthropicApiKey, &QuestionsModel::setOpenaiApiKey,
                             &QuestionsModel::setOpenrouterApiKey})
                ((*m_model).*set)(x);
            m_model->setSelected(cc, false);
        }
        QCOMPARE(seen.size(), 7);
        QCOMPARE(QSet<QByteArray>(seen.cbegin(), seen.cend()).size(), 7); // each saw the new value
    }
    void detection()
    {
        m_home->writeFile(u".claude/other.json"_s, {});
        QVERIFY(QFile::link(u"gone"_s, m_home->filePath(u".claude/settings.json"_s)));
        QCOMPARE(detectedHarnesses(), QList<Harness>{}); // a folder or a dangling link is no tool
        m_home->writeFile(u".codex/config.toml"_s, {});
        QCOMPARE(detectedHarnesses(), harnesses().mid(1)); // an empty file counts
        m_home->writeFile(u".claude/gone"_s, "{}");
        QCOMPARE(detectedHarnesses(), harnesses()); // in catalog order
    }
};

QTEST_GUILESS_MAIN(TestModel)
#include "tst_model.moc"
