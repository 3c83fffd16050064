// The real chain a user's machine runs: the app's operations start the real npx through script
// and a login shell; npx resolves "corvane@latest" from a local Verdaccio registry, unpacks it into
// a private npm cache and runs the Corvane stand-in, which prints with a real spinner library and
// keeps the installations manifest the next start reads. registry.py serves the registry and makes
// the user's home.
#include "flow/RootView.h"
#include "model/QuestionsModel.h"
#include "runner/Setup.h"
#include "runner/TemporaryFolder.h"

#include "support/TestHome.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace corvane;
using namespace Qt::StringLiterals;
using corvane::test::processGone;

namespace {

const QString python = QStringLiteral(CORVANE_PYTHON);
const QString registryScript = QStringLiteral(CORVANE_E2E_DIR "/registry.py");
const QString manifestRelative = u".local/state/corvane/installations.json"_s;

// Bounds, not expectations: a run takes seconds; these only keep a hung run from hanging the test.
constexpr int runBoundMs = 180000;
constexpr int hungSpinnerBoundMs = 15000;
constexpr int registryBoundMs = 180000; // starting Verdaccio and publishing

bool runEnded(const RootView& flow)
{
    return flow.screen() == Screen::Launched || flow.screen() == Screen::Failed;
}

QString sha256(const QString& text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

int countMatching(const QStringList& lines, const QString& pattern)
{
    const QRegularExpression expression(pattern);
    return int(std::count_if(lines.cbegin(), lines.cend(), [&](const QString& line) {
        return expression.match(line).hasMatch();
    }));
}

// Process ids of the running processes whose environment says HOME=home: every process a run in
// that home left behind. Empty where /proc is not there to read.
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

void killProcesses(const QList<qint64>& pids)
{
    for (const qint64 pid : pids)
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    (void)QTest::qWaitFor([&pids] { return std::all_of(pids.cbegin(), pids.cend(), processGone); },
                          5000);
}

// The user's home that registry.py makes: the machine's node, npm and npx on its login shells'
// PATH, TMPDIR in tmp/, XDG_RUNTIME_DIR in run/, npm's cache in .npm/.
class Home {
public:
    explicit Home(QString path)
        : m_path(std::move(path))
    {
    }
    QString path() const { return m_path; }
    QString filePath(const QString& relative) const { return m_path + u'/' + relative; }
    QString tempPath() const { return filePath(u"tmp"_s); }
    QString runtimePath() const { return filePath(u"run"_s); }
    QString cachePath() const { return filePath(u".npm"_s); }

    void writeFile(const QString& relative, const QByteArray& content) const
    {
        QFile file(filePath(relative));
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                     file.write(content) == content.size(),
                 qPrintable(file.fileName()));
    }
    QByteArray read(const QString& relative) const
    {
        QFile file(filePath(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QString m_path;
};

// registry.py serve, run for as long as the registry is wanted. The environment it prints, that
// of the user of home, is applied to this process, so the app's operations and everything they
// start run as that user against this registry.
class Registry {
public:
    Registry(QString folder, QString home)
        : m_folder(std::move(folder))
        , m_home(std::move(home))
    {
    }
    ~Registry() { stop(); }

    // Starts it (while it runs, only applies its environment again, as another registry's or a
    // case's changes may have replaced it) with the stand-in published under each of versions.
    // False with *error set when it cannot, beginning "SKIP: " when Node.js is missing.
    bool start(QString* error, const QStringList& versions = {})
    {
        if (m_serve.state() == QProcess::NotRunning) {
            QStringList arguments{registryScript, u"serve"_s, m_folder, u"--home"_s, m_home};
            for (const QString& version : versions)
                arguments << u"--publish"_s << version;
            m_serve.start(python, arguments);
            (void)QTest::qWaitFor(
                [this] { return m_serve.canReadLine() || m_serve.state() == QProcess::NotRunning; },
                registryBoundMs);
            m_served = QJsonDocument::fromJson(m_serve.readLine()).object();
            if (m_served.isEmpty()) {
                *error = QString::fromLocal8Bit(m_serve.readAllStandardError()).trimmed();
                if (error->isEmpty())
                    *error = u"registry.py did not serve: "_s + m_serve.errorString();
                stop();
                return false;
            }
        }
        const QJsonObject environment = m_served.value("env"_L1).toObject();
        for (auto it = environment.begin(); it != environment.end(); ++it) {
            if (it.value().isNull())
                qunsetenv(qPrintable(it.key()));
            else
                qputenv(qPrintable(it.key()), it.value().toString().toLocal8Bit());
        }
        return true;
    }

    // Closing its input stops Verdaccio and ends it.
    void stop()
    {
        if (m_serve.state() == QProcess::NotRunning)
            return;
        m_serve.closeWriteChannel();
        if (!m_serve.waitForFinished(15000))
            m_serve.kill(), m_serve.waitForFinished(5000);
    }

    QString url() const { return m_served.value("url"_L1).toString(); }

    // False with the reason in *output when it fails.
    bool publish(const QString& version, QString* output) const
    {
        QProcess publisher;
        publisher.setProcessChannelMode(QProcess::MergedChannels);
        publisher.start(python, {registryScript, u"publish"_s, m_folder, version});
        const bool ended = publisher.waitForFinished(registryBoundMs);
        *output = QString::fromLocal8Bit(publisher.readAll());
        return ended && publisher.exitStatus() == QProcess::NormalExit && publisher.exitCode() == 0;
    }

    // The requests served since it started, as "GET /corvane 200".
    QStringList requests() const
    {
        QStringList served;
        QFile log(m_served.value("log"_L1).toString());
        if (!log.open(QIODevice::ReadOnly))
            return served;
        while (!log.atEnd()) {
            const QJsonObject entry = QJsonDocument::fromJson(log.readLine()).object();
            const QJsonObject request = entry.value("request"_L1).toObject();
            if (!request.isEmpty() && entry.contains("status"_L1))
                served.append(u"%1 %2 %3"_s
                                  .arg(request.value("method"_L1).toString(),
                                       request.value("url"_L1).toString())
                                  .arg(entry.value("status"_L1).toInt()));
        }
        return served;
    }

private:
    QString m_folder;
    QString m_home;
    QProcess m_serve;
    QJsonObject m_served; // what it printed: {"url", "log", "env"}
};

} // namespace

class TestNpxChain : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void spinnerFinishesUnderThePseudoTerminal();
    void firstRunFillsTheCacheAndTheNextReusesIt();
    void updatePicksUpANewlyPublishedVersion();
    void failuresShowTheToolsLastLine_data();
    void failuresShowTheToolsLastLine();
    void quittingMidInstallLeavesNothing();
    void npmFailuresShowTheirCause_data();
    void npmFailuresShowTheirCause();

private:
    void publish(const QString& version);
    void startFlow();
    void waitForRunEnd(int boundMs = runBoundMs);
    QJsonObject readJson(const QString& relative) const;
    QStringList answersFiles() const;
    QList<ExistingHarness> preflightOfNextStart();
    QList<qint64> recordedPids() const;

    QTemporaryDir m_dir;
    // One home for the whole run: the app resolves the manifest's path once per process.
    std::unique_ptr<Home> m_home;
    std::unique_ptr<Registry> m_registry;
    std::unique_ptr<RootView> m_flow;
    int m_minor = 0; // "latest" is 1.<m_minor>.0
};

void TestNpxChain::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_home = std::make_unique<Home>(m_dir.filePath(u"home"_s));
    m_registry = std::make_unique<Registry>(m_dir.filePath(u"registry"_s), m_home->path());
    QElapsedTimer timer;
    timer.start();
    QString error;
    const bool started = m_registry->start(&error, {u"1.0.0"_s});
    if (error.startsWith(u"SKIP: "_s))
        QSKIP(qPrintable(error.mid(6) + u", so the npx chain cannot run"_s));
    QVERIFY2(started, qPrintable(error));
    qInfo("registry started and the stand-in published in %lld ms at %s", timer.elapsed(),
          qPrintable(m_registry->url()));
}

void TestNpxChain::init()
{
    QString error;
    QVERIFY2(m_registry->start(&error), qPrintable(error));
    // Each case starts as a user who has never run npm: no manifest, no cache, no tools.
    for (const QString& folder :
         {u".local"_s, u".npm"_s, u".claude"_s, u".codex"_s, u"tmp"_s, u"standin-record"_s})
        QDir(m_home->filePath(folder)).removeRecursively();
    QDir(m_home->path()).mkpath(u"tmp"_s);
    qunsetenv("CORVANE_STANDIN_FAIL");
}

void TestNpxChain::cleanup()
{
    // Closing the window ends its runs; whatever a failed case left running goes too.
    m_flow.reset();
    if (m_home)
        killProcesses(processesOfHome(m_home->path()));
}

void TestNpxChain::cleanupTestCase()
{
    cleanup();
    m_registry.reset();
}

void TestNpxChain::publish(const QString& version)
{
    QString output;
    QVERIFY2(m_registry->publish(version, &output), qPrintable(output));
}

void TestNpxChain::startFlow()
{
    // The app's own wiring: the system's script and temporary folder, real operations.
    m_flow = std::make_unique<RootView>();
    m_flow->preflight();
    QVERIFY2(QTest::qWaitFor([this] { return !m_flow->checking(); }, 15000),
             "Node.js was not checked in time");
}

void TestNpxChain::waitForRunEnd(int boundMs)
{
    QVERIFY2(QTest::qWaitFor([this] { return runEnded(*m_flow); }, boundMs),
             "the run did not end in time");
}

QJsonObject TestNpxChain::readJson(const QString& relative) const
{
    return QJsonDocument::fromJson(m_home->read(relative)).object();
}

QStringList TestNpxChain::answersFiles() const
{
    return QDir(temporaryFolder()).entryList({u"corv_install_*"_s}, QDir::Files | QDir::Hidden);
}

QList<ExistingHarness> TestNpxChain::preflightOfNextStart()
{
    // The file checks are in at once; the Node.js check is not needed here.
    RootView next;
    next.preflight();
    if (!next.isReturning())
        return {};
    return next.existing();
}

QList<qint64> TestNpxChain::recordedPids() const
{
    const QJsonObject started = readJson(u"standin-record/started.json"_s);
    return {started.value("pid"_L1).toInteger(), started.value("ppid"_L1).toInteger()};
}

void TestNpxChain::spinnerFinishesUnderThePseudoTerminal()
{
    m_home->writeFile(u".codex/config.toml"_s, "");
    startFlow();
    QCOMPARE(m_flow->screen(), Screen::Welcome);
    QuestionsModel questions(m_flow->detected(), m_flow->existing());
    questions.setCodexFunding(u"subscription"_s);
    m_flow->onInstall(questions.answers());

    // ora never stops clearing a line of a terminal with no columns: this bound is the sign.
    const bool ended = QTest::qWaitFor([this] { return runEnded(*m_flow); }, hungSpinnerBoundMs);
    const QJsonObject started = readJson(u"standin-record/started.json"_s);
    qInfo("the stand-in saw a terminal: %s, %d columns, %d rows, TERM %s",
          started.value("isTTY"_L1).toBool() ? "yes" : "no", started.value("columns"_L1).toInt(),
          started.value("rows"_L1).toInt(),
          qPrintable(started.value("term"_L1).toString(u"unset"_s)));
    QVERIFY(started.value("isTTY"_L1).toBool());
    QVERIFY2(ended, "the installer's spinner never finished");
    QCOMPARE(m_flow->screen(), Screen::Launched);
    QVERIFY(started.value("columns"_L1).toInt() > 0 && started.value("rows"_L1).toInt() > 0);
}

void TestNpxChain::firstRunFillsTheCacheAndTheNextReusesIt()
{
    const QString openrouterKey = u"sk-or-v1-\"quoted\" \\ ключ "_s;
    const QString anthropicKey = u"sk-ant-api03-e2e"_s;
    m_home->writeFile(u".claude/settings.json"_s, "{}");
    startFlow();
    QCOMPARE(m_flow->screen(), Screen::Welcome);
    QVERIFY(!m_flow->isReturning());
    QCOMPARE(m_flow->detected().size(), 1);
    QVERIFY(!QDir(m_home->cachePath()).exists());
    const qsizetype requestsAtStart = m_registry->requests().size();

    QuestionsModel questions(m_flow->detected(), m_flow->existing());
    questions.setSelected(u"codex"_s, true);
    questions.setClaudeFunding(u"openrouter"_s);
    questions.setOpenrouterApiKey(openrouterKey);
    questions.setCodexFunding(u"subscription"_s);
    QVERIFY(questions.canSubmit());
    QElapsedTimer timer;
    timer.start();
    m_flow->onInstall(questions.answers());
    QCOMPARE(m_flow->installingData().statusText, u"Installing\u2026"_s);
    waitForRunEnd();
    QVERIFY2(m_flow->screen() == Screen::Launched, qPrintable(m_flow->errorText()));
    qInfo("first install, empty npm cache: %lld ms", timer.elapsed());
    QCOMPARE(m_flow->launchedHarnessIds(), (QStringList{u"claude-code"_s, u"codex"_s}));
    QVERIFY(answersFiles().isEmpty());
    QVERIFY(countMatching(m_registry->requests().mid(requestsAtStart),
                          u"^GET /corvane/-/corvane-[0-9.]+\\.tgz 200$"_s) > 0);
    QVERIFY(QDir(m_home->cachePath() + u"/_npx"_s).exists());

    // The key reached the tool exactly, and nothing under the home holds it afterwards.
    const QJsonObject received = readJson(u"standin-record/answers.json"_s);
    QCOMPARE(received.value("keys"_L1).toObject(),
             (QJsonObject{{u"openrouterApiKey"_s, sha256(openrouterKey)}}));
    QDirIterator files(m_home->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly))
            QVERIFY2(!file.readAll().contains(openrouterKey.toUtf8()), qPrintable(file.fileName()));
    }

    const QList<ExistingHarness> afterFirst{{u"claude-code"_s, u"openrouter"_s, std::nullopt},
                                            {u"codex"_s, std::nullopt, u"subscription"_s}};
    QCOMPARE(preflightOfNextStart(), afterFirst);

    // The next start: a returning user changes Claude Code's funding and leaves Codex out of the
    // answers; its entry stays. npx runs the package from the cache without fetching it again.
    const qsizetype requestsBefore = m_registry->requests().size();
    startFlow();
    QVERIFY(m_flow->isReturning());
    QuestionsModel change(m_flow->detected(), m_flow->existing());
    change.setSelected(u"codex"_s, false);
    change.setClaudeFunding(u"anthropic-api"_s);
    change.setAnthropicApiKey(anthropicKey);
    QVERIFY(change.canSubmit());
    timer.restart();
    m_flow->onInstall(change.answers());
    QCOMPARE(m_flow->installingData().statusText, u"Updating\u2026"_s);
    waitForRunEnd();
    QVERIFY2(m_flow->screen() == Screen::Launched, qPrintable(m_flow->errorText()));
    qInfo("second install, warm npm cache: %lld ms", timer.elapsed());
    QCOMPARE(m_flow->launchedHarnessIds(), QStringList{u"claude-code"_s});
    QCOMPARE(countMatching(m_registry->requests().mid(requestsBefore), u"\\.tgz "_s), 0);

    QCOMPARE(preflightOfNextStart(),
             (QList<ExistingHarness>{{u"codex"_s, std::nullopt, u"subscription"_s},
                                     {u"claude-code"_s, u"anthropic-api"_s, std::nullopt}}));
    const QJsonArray installations = readJson(manifestRelative).value("installations"_L1).toArray();
    QCOMPARE(installations.size(), 2);
}

void TestNpxChain::updatePicksUpANewlyPublishedVersion()
{
    m_home->writeFile(u".codex/config.toml"_s, "");
    const QString before = u"1.%1.0"_s.arg(m_minor);
    startFlow();
    QuestionsModel questions(m_flow->detected(), m_flow->existing());
    questions.setCodexFunding(u"openai-api"_s);
    questions.setOpenaiApiKey(u"sk-proj-e2e"_s);
    m_flow->onInstall(questions.answers());
    waitForRunEnd();
    QVERIFY2(m_flow->screen() == Screen::Launched, qPrintable(m_flow->errorText()));
    QCOMPARE(readJson(manifestRelative).value("corvane_version"_L1).toString(), before);

    const QString after = u"1.%1.0"_s.arg(++m_minor);
    publish(after);

    // "Update Version" on the next start.
    startFlow();
    QVERIFY(m_flow->isReturning());
    QElapsedTimer timer;
    timer.start();
    m_flow->onRefresh();
    QCOMPARE(m_flow->installingData().statusText, u"Updating\u2026"_s);
    waitForRunEnd();
    QVERIFY2(m_flow->screen() == Screen::Launched, qPrintable(m_flow->errorText()));
    qInfo("update to a newly published version: %lld ms", timer.elapsed());
    QCOMPARE(m_flow->launchedHarnessIds(), QStringList{u"codex"_s});
    QCOMPARE(readJson(u"standin-record/started.json"_s).value("version"_L1).toString(), after);
    const QJsonObject manifest = readJson(manifestRelative);
    QCOMPARE(manifest.value("corvane_version"_L1).toString(), after);
    QCOMPARE(manifest.value("installations"_L1).toArray().at(0).toObject().value("installed_by"_L1),
             QJsonValue(u"corvane@"_s + after));
    QCOMPARE(preflightOfNextStart(),
             (QList<ExistingHarness>{{u"codex"_s, std::nullopt, u"openai-api"_s}}));
}

void TestNpxChain::failuresShowTheToolsLastLine_data()
{
    QTest::addColumn<QByteArray>("failure"); // CORVANE_STANDIN_FAIL
    QTest::addColumn<bool>("update");
    QTest::addColumn<QString>("expected"); // "%1" stands for the home folder

    QTest::newRow("the tool's error") << "error:Error: OpenRouter refused the key (401)"_ba << false
                                      << u"Error: OpenRouter refused the key (401)"_s;
    QTest::newRow("a flood of output first")
        << "flood:8"_ba << false
        << u"Error: the verbose run ended without installing anything (stand-in failure)"_s;
    QTest::newRow("a prompt on standard input")
        << "prompt"_ba << false
        << u"? Replace the existing Claude Code settings? (y/N) Error: no answer: standard input "
           "was closed"_s;
    QTest::newRow("update with nothing installed")
        << QByteArray() << true
        << u"Error: Corvane is not installed here: %1/.local/state/corvane/installations.json "
           "is missing"_s;
}

void TestNpxChain::failuresShowTheToolsLastLine()
{
    QFETCH(QByteArray, failure);
    QFETCH(bool, update);
    QFETCH(QString, expected);
    if (!failure.isEmpty())
        qputenv("CORVANE_STANDIN_FAIL", failure);
    m_home->writeFile(u".claude/settings.json"_s, "{}");
    startFlow();
    if (update) {
        m_flow->onRefresh();
    } else {
        QuestionsModel questions(m_flow->detected(), m_flow->existing());
        questions.setClaudeFunding(u"subscription"_s);
        m_flow->onInstall(questions.answers());
    }
    QVERIFY2(QTest::qWaitFor([this] { return runEnded(*m_flow); }, runBoundMs),
             "the run did not end in time");
    QCOMPARE(m_flow->screen(), Screen::Failed);
    QCOMPARE(m_flow->errorText(), expected.replace(u"%1"_s, m_home->path()));
    QVERIFY(answersFiles().isEmpty());
    QVERIFY(!QFileInfo::exists(m_home->filePath(manifestRelative)));
}

void TestNpxChain::quittingMidInstallLeavesNothing()
{
    qputenv("CORVANE_STANDIN_FAIL", "hang");
    m_home->writeFile(u".claude/settings.json"_s, "{}");
    startFlow();
    QuestionsModel questions(m_flow->detected(), m_flow->existing());
    questions.setClaudeFunding(u"anthropic-api"_s);
    questions.setAnthropicApiKey(u"sk-ant-quit"_s);
    m_flow->onInstall(questions.answers());
    QVERIFY(QTest::qWaitFor(
        [this] { return QFileInfo::exists(m_home->filePath(u"standin-record/answers.json"_s)); },
        runBoundMs));
    QCOMPARE(answersFiles().size(), 1);
    const QList<qint64> tool = recordedPids();
    QVERIFY(tool.at(0) > 0 && tool.at(1) > 0);
    const QList<qint64> running = processesOfHome(m_home->path());
#ifdef Q_OS_LINUX
    // script, the shells, npm and the tool at least.
    QVERIFY2(running.size() >= 4, qPrintable(u"%1 processes"_s.arg(running.size())));
#endif

    m_flow.reset(); // what closing the window does
    QVERIFY(answersFiles().isEmpty());
    for (const qint64 pid : tool)
        QTRY_VERIFY_WITH_TIMEOUT(processGone(pid), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(processesOfHome(m_home->path()), QList<qint64>{}, 10000);
}

void TestNpxChain::npmFailuresShowTheirCause_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("cause"); // a pattern; %1 stands for the registry's address
    QTest::newRow("not in the registry")
        << u"missing"_s
        << u"^npm error 404 Not Found - GET %1missing/corvane - no such package available$"_s;
    QTest::newRow("registry stopped")
        << u"stopped"_s
        << u"^npm error (FetchError: )?request to %1corvane failed, reason: connect ECONNREFUSED"_s;
    QTest::newRow("offline, nothing cached")
        << u"offline"_s
        << u"^npm error request to %1corvane failed: cache mode is 'only-if-cached' but no "
           "cached response is available\\.$"_s;
}

void TestNpxChain::npmFailuresShowTheirCause()
{
    QFETCH(QString, failure);
    QFETCH(QString, cause);
    const QString registry = m_registry->url();
    if (failure == u"missing")
        // A path the registry holds nothing under; the next case's init() applies the registry again.
        qputenv("npm_config_registry", (registry + u"missing/"_s).toUtf8());
    else if (failure == u"stopped")
        m_registry->stop();
    else
        qputenv("npm_config_offline", "true");
    const auto online = qScopeGuard([] { qputenv("npm_config_offline", "false"); });
    m_home->writeFile(u".codex/config.toml"_s, "");
    startFlow();
    QuestionsModel questions(m_flow->detected(), m_flow->existing());
    questions.setCodexFunding(u"subscription"_s);
    m_flow->onInstall(questions.answers());
    waitForRunEnd();
    QCOMPARE(m_flow->screen(), Screen::Failed);
    const FailedData shown = m_flow->failedData();
    const QRegularExpression expected(cause.arg(QRegularExpression::escape(registry)));
    QVERIFY2(expected.match(shown.errorText).hasMatch(), qPrintable(shown.errorText));
    // The details hold the whole block, down to npm's pointer to its log.
    QVERIFY2(shown.details.contains(shown.errorText) &&
                 shown.details.section(u'\n', -1).contains(u"A complete log of this run"_s),
             qPrintable(shown.details));
    QVERIFY(answersFiles().isEmpty());
}

QTEST_GUILESS_MAIN(TestNpxChain)
#include "tst_npxchain.moc"
