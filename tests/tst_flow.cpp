// The flow controller, with stand-in operations for every transition and the order in which it
// publishes changes.
#include "flow/RootView.h"
#include "model/QuestionsModel.h"
#include "support/FakeOperations.h"
#include "support/TestHome.h"

#include <QFutureWatcher>
#include <QSignalSpy>
#include <QTest>

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

namespace {

const QString manifest = u".local/state/corvane/installations.json"_s;

} // namespace

class TestFlow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void preflight();
    void install_data();
    void install();
    void textIsPublishedBeforeTheScreen();
    void runsThatOutliveTheFlow();
    void cleanup() { m_home->killRecorded(); }

private:
    // A whole preflight, Node.js answering with version.
    void preflight(const NodeVersion& version)
    {
        m_flow->preflight();
        m_ops->answer(version);
        QTRY_VERIFY(!m_flow->checking());
    }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<RootView> m_flow;
    FakeOperations* m_ops = nullptr;
    QStringList m_seen; // one entry per change: screen, cross-fade, texts
    const InstallAnswers m_answers{
        {u"codex"_s, u"claude-code"_s}, {u"subscription"_s}, {u"openai-api"_s}, {}, u"k"_s, {}};
};

void TestFlow::initTestCase() { m_home = std::make_unique<TestHome>(); }

void TestFlow::init()
{
    for (const QString& path : {u".claude"_s, u".codex"_s, u".local"_s})
        m_home->remove(path);
    auto ops = std::make_unique<FakeOperations>();
    ops->hold = true;
    m_ops = ops.get();
    m_flow = std::make_unique<RootView>(std::move(ops));
    m_seen.clear();
    connect(m_flow.get(), &RootView::changed, this, [this](bool screenChanged) {
        m_seen.append(u"%1%2 %3|%4|%5"_s.arg(int(m_flow->screen()))
                          .arg(screenChanged ? u"*"_s : u""_s)
                          .arg(m_flow->statusText(), m_flow->errorText(),
                               m_flow->launchedHarnessIds().join(u',')));
    });
}

void TestFlow::preflight()
{
    m_home->writeFile(u".codex/config.toml"_s, "");
    m_home->writeFile(u".claude/settings.json"_s, "{}");
    // The file checks are in at once, before Node.js answers. (What the screens do meanwhile, and
    // the rechecks from the Node-missing screen: tst_window.)
    m_flow->preflight();
    QCOMPARE(m_flow->detected(), harnesses());
    QVERIFY(m_flow->checking() && m_flow->welcomeData().checking);
    m_ops->answer(u"v20.11.1"_s);
    QTRY_VERIFY(!m_flow->checking());
    QVERIFY(!m_flow->isReturning() && m_flow->existing().isEmpty());

    // No Node.js: the answer changes the screen and ends the check in one change.
    m_seen.clear();
    preflight(std::nullopt);
    QCOMPARE(m_seen.last(), u"1* Installing\u2026||"_s);
    QVERIFY(!m_flow->rechecked());

    // Node.js arrives, a tool goes and the manifest changes: the recheck reads everything again.
    m_home->remove(u".claude"_s);
    m_home->writeFile(
        manifest, R"({"installations":[{"harness":"codex","user_funded_provider":"openrouter"}]})");
    m_flow->onRecheck();
    m_ops->answer(u"v22.0.0"_s);
    QTRY_COMPARE(m_flow->screen(), Screen::Welcome);
    QCOMPARE(m_flow->detected().size(), 1);
    QCOMPARE(m_flow->questionsData().existing,
             (QList<ExistingHarness>{{u"codex"_s, {}, u"openrouter"_s}}));
    QCOMPARE(m_ops->nodeChecks, 3);
}

void TestFlow::install_data()
{
    QTest::addColumn<QByteArray>("manifestText"); // null: no manifest
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<bool>("fails");
    QTest::newRow("new user") << QByteArray() << u"Installing\u2026"_s << false;
    QTest::newRow("manifest listing nothing") << "{}"_ba << u"Updating\u2026"_s << false;
    QTest::newRow("failure") << QByteArray() << u"Installing\u2026"_s << true;
}

void TestFlow::install()
{
    QFETCH(QByteArray, manifestText);
    QFETCH(QString, statusText);
    QFETCH(bool, fails);
    if (!manifestText.isNull())
        m_home->writeFile(manifest, manifestText);
    preflight(u"v20.11.1"_s);
    m_flow->onManage();
    QCOMPARE(m_flow->screen(), Screen::Questions);
    m_flow->onInstall(m_answers);
    QCOMPARE(m_flow->screen(), Screen::Installing);
    QCOMPARE(m_flow->installingData().statusText, statusText);
    QCOMPARE(m_ops->installs, QList<InstallAnswers>{m_answers});
    m_ops->settle(fails ? RunResult(SystemError{u"disk full"_s}) : std::nullopt);
    if (!fails) {
        QTRY_COMPARE(m_flow->screen(), Screen::Launched);
        QCOMPARE(m_flow->launchedData().harnessIds, m_answers.harnesses);
        QCOMPARE(m_flow->launchedData().isReturning, !manifestText.isNull());
        return;
    }
    QTRY_COMPARE(m_flow->screen(), Screen::Failed);
    QCOMPARE(m_flow->failedData().errorText, u"Setup didn't finish. You can try again."_s);
    // Retrying does not look at the machine again.
    m_home->writeFile(u".claude/settings.json"_s, "{}");
    m_flow->onRetry();
    QCOMPARE(m_flow->screen(), Screen::Welcome);
    QVERIFY(m_flow->detected().isEmpty());
    QCOMPARE(m_ops->nodeChecks, 1);
}

void TestFlow::textIsPublishedBeforeTheScreen()
{
    m_flow->onRefresh();
    m_ops->settle(SetupError::scriptMissing());
    QTRY_COMPARE(m_flow->screen(), Screen::Failed);
    // Each change once, the text before the screen; only screen changes cross-fade.
    const QString status = u"Updating\u2026|"_s;
    const QString error = status + u"Update didn't finish. You can try again.|"_s;
    QCOMPARE(m_seen, (QStringList{u"0 "_s + status + u"|"_s, u"3* "_s + status + u"|"_s,
                                  u"3 "_s + error, u"5* "_s + error}));
}

void TestFlow::runsThatOutliveTheFlow()
{
    // Waits until every watcher of run has heard of its end: ours hears it last.
    const auto heard = [](const QFuture<RunResult>& run) {
        QFutureWatcher<RunResult> last;
        QSignalSpy finished(&last, &QFutureWatcherBase::finished);
        last.setFuture(run);
        return finished.wait();
    };
    // A run cancelled while the flow lives leaves the screen as it is.
    m_flow->onRefresh();
    m_ops->pending->future().cancel();
    m_ops->pending->finish();
    QVERIFY(heard(m_ops->pending->future()));
    QCOMPARE(m_flow->screen(), Screen::Installing);

    // Runs that end after the flow and its operations have gone never call into the flow: its
    // storage, overwritten once it is destroyed, stays as it was left.
    alignas(RootView) std::byte storage[sizeof(RootView)];
    auto ops = std::make_unique<FakeOperations>();
    FakeOperations& later = *ops;
    auto* flow = new (storage) RootView(std::move(ops));
    flow->onRefresh();
    const std::shared_ptr<QPromise<RunResult>> updating = later.pending;
    flow->onRetry();
    flow->onManage();
    flow->onInstall(m_answers);
    const std::shared_ptr<QPromise<RunResult>> installing = later.pending;
    flow->~RootView();
    std::fill(std::begin(storage), std::end(storage), std::byte{0xa5});
    updating->addResult(std::nullopt);
    updating->finish();
    installing->addResult(SystemError{u"disk full"_s});
    installing->finish();
    QVERIFY(heard(updating->future()) && heard(installing->future()));
    QVERIFY(std::all_of(std::begin(storage), std::end(storage),
                        [](std::byte b) { return b == std::byte{0xa5}; }));
}

QTEST_GUILESS_MAIN(TestFlow)
#include "tst_flow.moc"
