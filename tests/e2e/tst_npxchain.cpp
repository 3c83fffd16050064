// The real chain a user's machine runs: the app's operations start the real npx through script
// and a login shell; npx resolves "corvane@latest" from a local Verdaccio registry, unpacks it into
// a private npm cache and runs the Corvane stand-in, which prints with a real spinner library and
// keeps the installations manifest the next start reads. registry.py serves the registry and makes
// the user's home.
#include "flow/RootView.h"
#include "model/QuestionsModel.h"
#include "runner/TemporaryFolder.h"

#include "support/ScopedEnv.h"
#include "support/TestHome.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace corvane;
using namespace Qt::StringLiterals;
using corvane::test::processGone;
using corvane::test::TestHome;

namespace {

const QString python = QStringLiteral(CORVANE_PYTHON);
const QString registryScript = QStringLiteral(CORVANE_E2E_DIR "/registry.py");

// Bounds, not expectations: a run takes seconds; these only keep a hung run from hanging the test.
constexpr int runBoundMs = 180000;
constexpr int registryBoundMs = 180000; // starting Verdaccio and publishing

// Process ids of the running processes whose environment says HOME=home: every process a run in
// that home left behind.
QList<qint64> processesOfHome(const QString& home)
{
    const QByteArray wanted = "HOME=" + QFile::encodeName(home);
    QList<qint64> found;
    for (const QString& entry : QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const qint64 pid = entry.toLongLong();
        QFile environ(u"/proc/"_s + entry + u"/environ"_s);
        if (pid > 1 && pid != QCoreApplication::applicationPid() && !processGone(pid) &&
            environ.open(QIODevice::ReadOnly) && environ.readAll().split('\0').contains(wanted))
            found.append(pid);
    }
    return found;
}

} // namespace

class TestNpxChain : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void installChangeAndUpdateThroughTheRealChain();
    void failuresShowTheirCause_data();
    void failuresShowTheirCause();
    void quittingMidInstallLeavesNothing();

private:
    QString home() const { return m_home.filePath({}); }
    QString standinVersion() const;
    bool startFlow();
    bool waitForRunEnd() const;
    QList<ExistingHarness> preflightOfNextStart();
    QStringList answersFiles() const;

    // The user's home, and the registry's folder apart from it.
    TestHome m_home;
    QTemporaryDir m_dir;
    // registry.py serve, running for the whole test; it stops Verdaccio when its input closes.
    QProcess m_serve;
    // The environment of the user of home() that registry.py printed: applied to this process
    // before each case, so the app's operations and all they start run as that user.
    QJsonObject m_userEnvironment;
    std::unique_ptr<RootView> m_flow;
};

void TestNpxChain::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // registry.py and Verdaccio live outside the user's home, whose processes each case ends.
    QProcessEnvironment outside = QProcessEnvironment::systemEnvironment();
    outside.insert(u"HOME"_s, m_dir.path());
    m_serve.setProcessEnvironment(outside);
    m_serve.start(python,
                  {registryScript, u"serve"_s, m_dir.filePath(u"registry"_s), home(), u"1.0.0"_s});
    (void)m_serve.waitForReadyRead(registryBoundMs); // its one line, or its end
    m_userEnvironment = QJsonDocument::fromJson(m_serve.readLine()).object();
    const QString error = QString::fromLocal8Bit(m_serve.readAllStandardError()).trimmed();
    if (error.startsWith(u"SKIP: "_s))
        QSKIP(qPrintable(error.mid(6) + u", so the npx chain cannot run"_s));
    QVERIFY2(!m_userEnvironment.isEmpty(), qPrintable(u"registry.py did not serve: "_s + error));
}

void TestNpxChain::init()
{
    for (auto it = m_userEnvironment.begin(); it != m_userEnvironment.end(); ++it) {
        if (it.value().isNull())
            qunsetenv(qPrintable(it.key()));
        else
            qputenv(qPrintable(it.key()), it.value().toString().toLocal8Bit());
    }
    // Each case starts as a user who has Claude Code and has never run npm: no manifest, no
    // cache, no other tool.
    for (const QString& folder :
         {u".local"_s, u".npm"_s, u".claude"_s, u".codex"_s, u"tmp"_s, u"standin-record"_s})
        m_home.remove(folder);
    QVERIFY(QDir().mkpath(m_home.filePath(u"tmp"_s)));
    m_home.writeFile(u".claude/settings.json"_s, "{}");
}

void TestNpxChain::cleanup()
{
    // Closing the window ends its runs; whatever a failed case left running goes too.
    m_flow.reset();
    for (const qint64 pid : processesOfHome(home()))
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    QTRY_VERIFY_WITH_TIMEOUT(processesOfHome(home()).isEmpty(), 5000);
}

QString TestNpxChain::standinVersion() const
{
    return QJsonDocument::fromJson(m_home.read(u"standin-record/started.json"_s))["version"_L1]
        .toString();
}

bool TestNpxChain::startFlow()
{
    // The app's own wiring: the system's script and temporary folder, real operations.
    m_flow = std::make_unique<RootView>();
    m_flow->preflight();
    return QTest::qWaitFor([this] { return !m_flow->checking(); }, 15000);
}

bool TestNpxChain::waitForRunEnd() const
{
    return QTest::qWaitFor(
        [this] {
            return m_flow->screen() == Screen::Launched || m_flow->screen() == Screen::Failed;
        },
        runBoundMs);
}

QList<ExistingHarness> TestNpxChain::preflightOfNextStart()
{
    // The file checks are in at once; the Node.js check is not needed here.
    RootView next;
    next.preflight();
    return next.isReturning() ? next.existing() : QList<ExistingHarness>{};
}

QStringList TestNpxChain::answersFiles() const
{
    return QDir(temporaryFolder()).entryList({u"corv_install_*"_s}, QDir::Files | QDir::Hidden);
}

void TestNpxChain::installChangeAndUpdateThroughTheRealChain()
{
    QVERIFY(startFlow());

    QuestionsModel questions(m_flow->detected(), m_flow->existing());
    questions.setSelected(u"codex"_s, true);
    questions.setClaudeFunding(u"openrouter"_s);
    questions.setOpenrouterApiKey(u"sk-or-v1-e2e"_s);
    questions.setCodexFunding(u"subscription"_s);
    m_flow->onInstall(questions.answers());
    QVERIFY2(waitForRunEnd(), "the run did not end in time");
    QVERIFY2(m_flow->screen() == Screen::Launched, qPrintable(m_flow->errorText()));
    QCOMPARE(m_flow->launchedHarnessIds(), (QStringList{u"claude-code"_s, u"codex"_s}));
    QCOMPARE(preflightOfNextStart(),
             (QList<ExistingHarness>{{u"claude-code"_s, u"openrouter"_s, std::nullopt},
                                     {u"codex"_s, std::nullopt, u"subscription"_s}}));

    // The next start: a returning user changes Claude Code's funding and leaves Codex out of the
    // answers; its entry stays.
    QVERIFY(startFlow());
    QuestionsModel change(m_flow->detected(), m_flow->existing());
    change.setSelected(u"codex"_s, false);
    change.setClaudeFunding(u"anthropic-api"_s);
    change.setAnthropicApiKey(u"sk-ant-api03-e2e"_s);
    m_flow->onInstall(change.answers());
    QVERIFY2(waitForRunEnd(), "the run did not end in time");
    QVERIFY2(m_flow->screen() == Screen::Launched, qPrintable(m_flow->errorText()));
    QCOMPARE(m_flow->launchedHarnessIds(), QStringList{u"claude-code"_s});
    QCOMPARE(preflightOfNextStart(),
             (QList<ExistingHarness>{{u"codex"_s, std::nullopt, u"subscription"_s},
                                     {u"claude-code"_s, u"anthropic-api"_s, std::nullopt}}));

    // That run took the version npm had cached; "Update Version" on the next start runs the one
    // published since.
    QCOMPARE(standinVersion(), u"1.0.0"_s);
    QProcess publisher;
    publisher.setProcessChannelMode(QProcess::MergedChannels);
    publisher.start(python,
                    {registryScript, u"publish"_s, m_dir.filePath(u"registry"_s), u"1.1.0"_s});
    QVERIFY(publisher.waitForFinished(registryBoundMs));
    QVERIFY2(publisher.exitCode() == 0, publisher.readAll().constData());
    QVERIFY(startFlow());
    m_flow->onRefresh();
    QVERIFY2(waitForRunEnd(), "the run did not end in time");
    QVERIFY2(m_flow->screen() == Screen::Launched, qPrintable(m_flow->errorText()));
    QCOMPARE(m_flow->launchedHarnessIds(), (QStringList{u"codex"_s, u"claude-code"_s}));
    QCOMPARE(standinVersion(), u"1.1.0"_s);
}

void TestNpxChain::failuresShowTheirCause_data()
{
    // setting: "NAME=value" put in the run's environment; <registry> stands for the registry's
    // address. cause: a pattern for the failure screen's line; <home> and <registry> stand for
    // the home folder and the registry's address.
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("update");
    QTest::addColumn<QString>("cause");

    QTest::newRow("a flood of output first")
        << u"CORVANE_STANDIN_FAIL=flood:8"_s << false
        << u"^Error: the verbose run ended without installing anything \\(stand-in failure\\)$"_s;
    QTest::newRow("a prompt on standard input")
        << u"CORVANE_STANDIN_FAIL=prompt"_s << false
        << u"^\\? Replace the existing Claude Code settings\\? \\(y/N\\) Error: no answer: "
           "standard input was closed$"_s;
    QTest::newRow("update with nothing installed")
        << QString() << true
        << u"^Error: Corvane is not installed here: "
           "<home>/\\.local/state/corvane/installations\\.json is missing$"_s;
    // npm's error block ends with its advice and the pointer to its log; the cause comes first.
    QTest::newRow("not in the registry")
        << u"npm_config_registry=<registry>missing/"_s << false
        << u"^npm error 404 Not Found - GET <registry>missing/corvane"_s;
    QTest::newRow("registry not answering")
        << u"npm_config_registry=http://127.0.0.1:9/"_s << false
        << u"^npm error .*request to http://127\\.0\\.0\\.1:9/corvane failed.*ECONNREFUSED"_s;
    QTest::newRow("offline, nothing cached")
        << u"npm_config_offline=true"_s << false
        << u"^npm error request to <registry>corvane failed: cache mode is 'only-if-cached'"_s;
}

void TestNpxChain::failuresShowTheirCause()
{
    QFETCH(QString, setting);
    QFETCH(bool, update);
    QFETCH(QString, cause);
    const QString registry = m_userEnvironment.value("npm_config_registry"_L1).toString();
    // Set for this row alone: the next case runs with the user's own settings again.
    const QByteArray name = setting.section(u'=', 0, 0).toLocal8Bit();
    test::ScopedEnv env;
    if (!setting.isEmpty())
        env.set(name.constData(),
                setting.section(u'=', 1).replace(u"<registry>"_s, registry).toLocal8Bit());
    QVERIFY(startFlow());
    if (update) {
        m_flow->onRefresh();
    } else {
        QuestionsModel questions(m_flow->detected(), m_flow->existing());
        questions.setClaudeFunding(u"subscription"_s);
        m_flow->onInstall(questions.answers());
    }
    QVERIFY2(waitForRunEnd(), "the run did not end in time");
    QCOMPARE(m_flow->screen(), Screen::Failed);
    const FailedData shown = m_flow->failedData();
    const QRegularExpression expected(
        cause.replace(u"<home>"_s, QRegularExpression::escape(home()))
            .replace(u"<registry>"_s, QRegularExpression::escape(registry)));
    QVERIFY2(expected.match(shown.errorText).hasMatch(), qPrintable(shown.errorText));
    QVERIFY2(shown.details.contains(shown.errorText), qPrintable(shown.details));
    QVERIFY(answersFiles().isEmpty());
}

void TestNpxChain::quittingMidInstallLeavesNothing()
{
    const test::ScopedEnv hang("CORVANE_STANDIN_FAIL", "hang");
    QVERIFY(startFlow());
    QuestionsModel questions(m_flow->detected(), m_flow->existing());
    questions.setClaudeFunding(u"anthropic-api"_s);
    questions.setAnthropicApiKey(u"sk-ant-quit"_s);
    m_flow->onInstall(questions.answers());
    QVERIFY(QTest::qWaitFor(
        [this] { return QFileInfo::exists(m_home.filePath(u"standin-record/answers.json"_s)); },
        runBoundMs));
    QCOMPARE(answersFiles().size(), 1);
    // script, the shells, npm and the tool at least: the search below sees the run.
    const qsizetype running = processesOfHome(home()).size();
    QVERIFY2(running >= 4, qPrintable(u"%1 processes"_s.arg(running)));

    m_flow.reset(); // what closing the window does
    QVERIFY(answersFiles().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(processesOfHome(home()), QList<qint64>{}, 10000);
}

QTEST_GUILESS_MAIN(TestNpxChain)
#include "tst_npxchain.moc"
