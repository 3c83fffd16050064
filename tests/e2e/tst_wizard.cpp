// The wizard as a user drives it: the built corvane-setup on a virtual X display of the test's
// own, worked with real key presses, typing and clicks (xdotool), read the way a screen reader
// reads it, and running the real npx chain against a local registry serving the Corvane stand-in.
// A picture of every screen goes to the test's output folder.
//
// The cases build on each other like a user's weeks: a first install, an update in a new process,
// then a change of funding that fails and is tried again.
#include "views/MachineName.h"

#include "support/AccessibilityBus.h"
#include "support/LocalRegistry.h"
#include "support/NpmHome.h"
#include "support/XServer.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <csignal>

using namespace corvane;
using namespace corvane::e2e;
using namespace Qt::StringLiterals;

namespace {

const QString standInPackage = QStringLiteral(CORVANE_STANDIN_PACKAGE);
const QString appProgram = QStringLiteral(CORVANE_SETUP_APP);
const QString screensFolder = QStringLiteral(CORVANE_E2E_SCREENS);
const QString manifestRelative = u".local/state/corvane/installations.json"_s;
const QString windowTitle = u"Corvane Setup"_s;
const QString failedTitle = u"Something went wrong"_s;

// Bounds, not expectations.
constexpr int appearBoundMs = 60000; // the window and the start-up checks
constexpr int screenBoundMs = 15000; // one screen after a key press or a click
constexpr int runBoundMs = 180000;   // an install or update through npx
constexpr int exitBoundMs = 20000;
constexpr int settleBoundMs = 3000;
constexpr int pollMs = 100;

// Typed into the masked field: quotes, a dollar, a backquote and a backslash that would do harm
// if the key ever reached a shell command line.
const QString firstKey = u"sk-or-v1-e2e'\"$(touch pwned)`touch pwned`;\\ 42"_s;
const QString secondKey = u"sk-or-v1-replacement-7f3a"_s;

QString sha256(const QString& text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString machineText(const QString& pattern) { return pattern.arg(machineName); }

// A screen as a screen reader sees it.
struct Seen {
    QList<AccessibleNode> nodes;

    const AccessibleNode* find(const QString& name, const QString& role = {}) const
    {
        for (const AccessibleNode& node : nodes) {
            if (node.name == name && (role.isEmpty() || node.role == role))
                return &node;
        }
        return nullptr;
    }
    bool shows(const QString& name, const QString& role = {}) const
    {
        return find(name, role) != nullptr;
    }
    // The first text that follows the node named after, in reading order.
    QString textAfter(const QString& after) const
    {
        const auto from = std::find_if(nodes.cbegin(), nodes.cend(),
                                       [&after](const auto& node) { return node.name == after; });
        const auto text = std::find_if(from == nodes.cend() ? from : from + 1, nodes.cend(),
                                       [](const auto& node) { return node.role == u"label"; });
        return text == nodes.cend() ? QString() : text->name;
    }
    QString describe() const
    {
        QStringList lines;
        for (const AccessibleNode& node : nodes)
            lines.append(u"  %1 \"%2\"%3%4%5"_s.arg(
                node.role, node.name, node.has(AccessibleNode::Focused) ? u" focused"_s : u""_s,
                node.has(AccessibleNode::Checked) ? u" checked"_s : u""_s,
                node.has(AccessibleNode::Enabled) ? u""_s : u" disabled"_s));
        return lines.join(u'\n');
    }
};

} // namespace

class TestWizard : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void firstInstallWithAnOpenRouterKey();
    void returningUserUpdatesToANewVersion();
    void failedChangeOfKeyAndTryAgain();

private:
    bool startApp(const QString& failure = {});
    std::optional<Seen> seen() const;
    std::optional<Seen> waitFor(const std::function<bool(const Seen&)>& condition, int boundMs);
    std::optional<Seen> waitForTexts(const QStringList& names, int boundMs = screenBoundMs);
    std::optional<Seen> waitForState(const QString& name, const QString& role,
                                     AccessibleNode::State state);
    std::optional<Seen> runFromReturn(const QString& progressText, qint64* elapsedMs, QString* why);
    bool keys(const QStringList& names);
    bool type(const QString& text);
    bool click(const AccessibleNode& node);
    void picture(const QString& name);
    bool endedCleanly(QString* why);
    QString lastSeen() const;
    QJsonObject readJson(const QString& relative) const;
    QStringList answersFiles() const;
    bool homeHolds(const QString& secret) const;

    std::optional<NpmHome::NodeTools> m_tools;
    std::unique_ptr<XServer> m_x;
    std::unique_ptr<AccessibilityBus> m_bus;
    std::unique_ptr<LocalRegistry> m_registry;
    std::unique_ptr<NpmHome> m_home;
    std::unique_ptr<QProcess> m_app;
    std::optional<Seen> m_lastSeen;
    QString m_case;
    int m_pictures = 0;
    bool m_installed = false;
};

void TestWizard::initTestCase()
{
    const QStringList missing = XServer::missingPrograms() + AccessibilityBus::missingPrograms();
    if (!missing.isEmpty())
        QSKIP(qPrintable(u"the wizard cannot be driven on a virtual display here: %1 missing "
                         "(./dev test installs them on Debian)"_s.arg(missing.join(u", "_s))));
    m_tools = NpmHome::findNodeTools();
    if (!m_tools)
        QSKIP("Node.js (node, npm and npx) is not on PATH, so the wizard cannot install anything");
    QVERIFY2(QFileInfo(appProgram).isExecutable(), qPrintable(appProgram + u" is not built"_s));

    m_registry = std::make_unique<LocalRegistry>(QStringLiteral(CORVANE_E2E_DIR), m_tools->node,
                                                 m_tools->npm);
    QVERIFY2(m_registry->isInstalled(),
             "Verdaccio is not installed in tests/e2e: ./dev test installs it (npm ci there)");
    QVERIFY2(QFileInfo(standInPackage + u"/node_modules/ora/package.json"_s).isFile(),
             "the stand-in's bundled dependencies are missing: ./dev test installs them "
             "(npm ci in standin/corvane)");

    QDir(screensFolder).removeRecursively();
    QVERIFY(QDir().mkpath(screensFolder));

    QElapsedTimer timer;
    timer.start();
    QString error;
    m_x = std::make_unique<XServer>();
    QVERIFY2(m_x->start(&error), qPrintable(error));
    m_bus = std::make_unique<AccessibilityBus>();
    QVERIFY2(m_bus->start(m_x->display(), &error), qPrintable(error));
    qInfo("display %s with a screen reader's bus ready in %lld ms", qPrintable(m_x->display()),
          timer.elapsed());

    timer.restart();
    QVERIFY2(m_registry->start(&error), qPrintable(error));
    QString output;
    QVERIFY2(m_registry->publish(standInPackage, u"1.0.0"_s, &output), qPrintable(output));
    qInfo("registry started and the stand-in published in %lld ms", timer.elapsed());

    m_home = std::make_unique<NpmHome>(*m_tools, m_registry->url());
    m_home->apply();
    QDir(m_home->path()).mkpath(u"run"_s);
    QFile::setPermissions(m_home->filePath(u"run"_s),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_home->writeFile(u".claude/settings.json"_s, "{}");
}

void TestWizard::init()
{
    m_case = QString::fromLatin1(QTest::currentTestFunction());
    m_pictures = 0;
    m_lastSeen.reset();
    // What the stand-in records is what this case's run saw, and nothing older.
    QDir(m_home->recordPath()).removeRecursively();
    // The pointer rests off the window, so no hover shows in the pictures.
    QVERIFY(m_x->xdotool(
        {u"mousemove"_s, u"%1"_s.arg(XServer::width - 8), u"%1"_s.arg(XServer::height - 8)}));
}

void TestWizard::cleanup()
{
    if (QTest::currentTestFailed())
        qInfo("the screen reader saw last:\n%s", qPrintable(lastSeen()));
    if (m_app && m_app->state() != QProcess::NotRunning) {
        m_app->kill();
        m_app->waitForFinished(5000);
    }
    m_app.reset();
    if (m_home)
        killProcesses(processesOfHome(m_home->path()));
}

void TestWizard::cleanupTestCase()
{
    cleanup();
    m_home.reset();
    m_registry.reset();
    m_bus.reset();
    m_x.reset();
}

bool TestWizard::startApp(const QString& failure)
{
    QProcessEnvironment environment = m_home->environment();
    environment.insert(u"DISPLAY"_s, m_x->display());
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, m_bus->sessionAddress());
    environment.insert(u"XDG_RUNTIME_DIR"_s, m_home->filePath(u"run"_s));
    // As started from a desktop: the platform's own windows, nothing the test run set for Qt.
    for (const QString& name :
         {u"QT_QPA_PLATFORM"_s, u"WAYLAND_DISPLAY"_s, u"XAUTHORITY"_s, u"CORVANE_STANDIN_FAIL"_s})
        environment.remove(name);
    if (!failure.isEmpty())
        environment.insert(u"CORVANE_STANDIN_FAIL"_s, failure);

    m_app = std::make_unique<QProcess>();
    m_app->setProcessEnvironment(environment);
    m_app->setWorkingDirectory(m_home->path());
    m_app->setProcessChannelMode(QProcess::MergedChannels);
    m_app->setStandardOutputFile(screensFolder + u'/' + m_case + u".log"_s, QIODevice::Append);
    m_app->setStandardInputFile(QProcess::nullDevice());
    m_app->start(appProgram, {});
    return m_app->waitForStarted(10000);
}

std::optional<Seen> TestWizard::seen() const
{
    if (!m_app || m_app->state() != QProcess::Running)
        return std::nullopt;
    const auto nodes = m_bus->showingNodes(m_app->processId());
    if (!nodes)
        return std::nullopt;
    return Seen{*nodes};
}

std::optional<Seen> TestWizard::waitFor(const std::function<bool(const Seen&)>& condition,
                                        int boundMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        if (const auto now = seen()) {
            m_lastSeen = now;
            if (condition(*now))
                return now;
        }
        if (timer.elapsed() > boundMs || !m_app || m_app->state() == QProcess::NotRunning)
            return std::nullopt;
        QTest::qWait(pollMs);
    }
}

std::optional<Seen> TestWizard::waitForTexts(const QStringList& names, int boundMs)
{
    return waitFor(
        [&names](const Seen& now) {
            return std::all_of(names.cbegin(), names.cend(),
                               [&now](const QString& name) { return now.shows(name); });
        },
        boundMs);
}

// Until the control name of role is in state.
std::optional<Seen> TestWizard::waitForState(const QString& name, const QString& role,
                                             AccessibleNode::State state)
{
    return waitFor(
        [&](const Seen& now) {
            const AccessibleNode* node = now.find(name, role);
            return node && node->has(state);
        },
        screenBoundMs);
}

// Presses Return where it starts a run, sees the progress screen with progressText and takes its
// picture, and returns the screen the run ends on: either success screen or the failure screen.
// Nothing, with *why set, when either does not come.
std::optional<Seen> TestWizard::runFromReturn(const QString& progressText, qint64* elapsedMs,
                                              QString* why)
{
    QElapsedTimer timer;
    timer.start();
    if (!keys({u"Return"_s}) || !waitForTexts({progressText})) {
        *why = u"Return did not start a run showing \"%1\""_s.arg(progressText);
        return std::nullopt;
    }
    picture(u"progress"_s);
    const auto end = waitFor(
        [](const Seen& now) {
            return now.shows(u"Corvane is set up"_s) || now.shows(u"Corvane is up to date"_s) ||
                   now.shows(failedTitle);
        },
        runBoundMs);
    if (elapsedMs)
        *elapsedMs = timer.elapsed();
    if (!end)
        *why = u"the run did not end in time"_s;
    return end;
}

QString TestWizard::lastSeen() const
{
    return m_lastSeen ? m_lastSeen->describe() : u"  nothing"_s;
}

bool TestWizard::keys(const QStringList& names)
{
    return m_x->xdotool(QStringList{u"key"_s, u"--delay"_s, u"60"_s} + names);
}

bool TestWizard::type(const QString& text)
{
    return m_x->xdotool({u"type"_s, u"--delay"_s, u"30"_s, u"--"_s, text});
}

bool TestWizard::click(const AccessibleNode& node)
{
    const auto box = m_bus->extents(node);
    if (!box || box->isEmpty())
        return false;
    const QPoint centre = box->center();
    return m_x->xdotool({u"mousemove"_s, QString::number(centre.x()), QString::number(centre.y()),
                         u"click"_s, u"1"_s});
}

void TestWizard::picture(const QString& name)
{
    // The window's part of the screen, once two pictures a moment apart differ in no more than a
    // spinner's worth of pixels: a cross-fade changes every drawn pixel.
    QRect window(0, 0, XServer::width, XServer::height);
    if (m_lastSeen) {
        if (const AccessibleNode* frame = m_lastSeen->find(windowTitle))
            window = m_bus->extents(*frame).value_or(window);
    }
    window &= QRect(0, 0, XServer::width, XServer::height);
    QString error;
    QImage before;
    QImage now;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        now = m_x->screenshot(&error).copy(window);
        if (now.isNull()) {
            qWarning("no picture of %s: %s", qPrintable(name), qPrintable(error));
            return;
        }
        if (!before.isNull() && before.size() == now.size()) {
            qsizetype changed = 0;
            for (int y = 0; y < now.height(); ++y) {
                const auto* a = reinterpret_cast<const QRgb*>(before.constScanLine(y));
                const auto* b = reinterpret_cast<const QRgb*>(now.constScanLine(y));
                for (int x = 0; x < now.width(); ++x)
                    changed += a[x] != b[x];
            }
            if (changed * 100 <= qsizetype(now.width()) * now.height())
                break;
        }
        if (timer.elapsed() > settleBoundMs)
            break;
        before = now;
        QTest::qWait(pollMs);
    }
    const QString file = u"%1/%2-%3-%4.png"_s.arg(screensFolder, m_case)
                             .arg(++m_pictures, 2, 10, QChar(u'0'))
                             .arg(name);
    if (!now.save(file))
        qWarning("cannot write %s", qPrintable(file));
}

// Whether the program ends with status 0, leaving no process of its user behind.
bool TestWizard::endedCleanly(QString* why)
{
    if (!QTest::qWaitFor([this] { return m_app->state() == QProcess::NotRunning; }, exitBoundMs)) {
        *why = u"the program did not end"_s;
        return false;
    }
    if (m_app->exitStatus() != QProcess::NormalExit || m_app->exitCode() != 0) {
        *why = u"the program ended with status %1%2"_s.arg(m_app->exitCode())
                   .arg(m_app->exitStatus() == QProcess::CrashExit ? u" (crashed)"_s : u""_s);
        return false;
    }
    if (!QTest::qWaitFor([this] { return processesOfHome(m_home->path()).isEmpty(); }, 10000)) {
        *why = u"processes left behind: %1"_s.arg(processesOfHome(m_home->path()).size());
        return false;
    }
    return true;
}

QJsonObject TestWizard::readJson(const QString& relative) const
{
    return QJsonDocument::fromJson(m_home->read(relative)).object();
}

QStringList TestWizard::answersFiles() const
{
    // The app's private runtime folder (see startApp()) holds them.
    return QDir(m_home->filePath(u"run"_s))
        .entryList({u"corv_install_*"_s}, QDir::Files | QDir::Hidden);
}

bool TestWizard::homeHolds(const QString& secret) const
{
    // Regular files only: the running app's named pipe would block a read for good.
    QDirIterator files(m_home->path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(secret.toUtf8())) {
            qWarning("%s holds the key", qPrintable(file.fileName()));
            return true;
        }
    }
    return false;
}

void TestWizard::firstInstallWithAnOpenRouterKey()
{
    QVERIFY(startApp());
    auto now = waitForTexts({u"Set up Corvane"_s, u"Start setup"_s}, appearBoundMs);
    QVERIFY2(now, "the welcome screen did not come up");
    QVERIFY(now->shows(machineText(u"Found Claude Code on this %1."_s), u"label"_s));
    // The window comes to the front with the keyboard in it, on the default button.
    QVERIFY(now->find(windowTitle)->has(AccessibleNode::Active));
    const AccessibleNode* start = now->find(u"Start setup"_s, u"push button"_s);
    QVERIFY(start->has(AccessibleNode::Focused) && start->has(AccessibleNode::IsDefault));
    picture(u"welcome"_s);

    // Return presses "Start setup"; the tools step comes up with the tool found already ticked.
    QVERIFY(keys({u"Return"_s}));
    now = waitForTexts({u"Choose your tools"_s, u"Step 1 of 2"_s});
    QVERIFY2(now, "the tools step did not come up");
    QVERIFY(now->find(u"Claude Code"_s, u"check box"_s)->has(AccessibleNode::Checked));
    QVERIFY(!now->find(u"Codex"_s, u"check box"_s)->has(AccessibleNode::Checked));
    QVERIFY(now->shows(u"Next"_s, u"push button"_s));
    picture(u"tools"_s);

    // Tab to Codex, Space ticks it (a third step appears), Space again unticks it.
    QVERIFY(keys({u"Tab"_s}));
    QVERIFY(waitForState(u"Codex"_s, u"check box"_s, AccessibleNode::Focused));
    QVERIFY(keys({u"space"_s}));
    now = waitForTexts({u"Step 1 of 3"_s});
    QVERIFY2(now, "ticking Codex added no step");
    QVERIFY(now->find(u"Codex"_s, u"check box"_s)->has(AccessibleNode::Checked));
    QVERIFY(keys({u"space"_s}));
    now = waitForTexts({u"Step 1 of 2"_s});
    QVERIFY2(now, "unticking Codex left its step");
    QVERIFY(!now->find(u"Codex"_s, u"check box"_s)->has(AccessibleNode::Checked));

    // Return is "Next": Claude Code's funding step, on its subscription, ready to install.
    QVERIFY(keys({u"Return"_s}));
    now = waitForTexts({u"Claude Code funding"_s, u"Step 2 of 2"_s, u"Install"_s});
    QVERIFY2(now, "the Claude Code funding step did not come up");
    QVERIFY(now->find(u"Claude subscription"_s, u"radio button"_s)->has(AccessibleNode::Checked));
    QVERIFY(now->find(u"Install"_s, u"push button"_s)->has(AccessibleNode::Enabled));
    QVERIFY(now->shows(u"Back"_s, u"push button"_s));

    // A click on the OpenRouter row: the key field shows and takes the keyboard, and "Install"
    // waits for a key.
    const AccessibleNode* openrouter = now->find(u"OpenRouter API key"_s, u"radio button"_s);
    QVERIFY(openrouter);
    QVERIFY(click(*openrouter));
    now = waitFor(
        [](const Seen& s) {
            const AccessibleNode* row = s.find(u"OpenRouter API key"_s, u"radio button"_s);
            const AccessibleNode* field = s.find(u"OpenRouter API key"_s, u"text"_s);
            return row && row->has(AccessibleNode::Checked) && field &&
                   field->has(AccessibleNode::Focused);
        },
        screenBoundMs);
    QVERIFY2(now, "the click on the OpenRouter row did not bring up its key field");
    QVERIFY(!now->find(u"Claude subscription"_s, u"radio button"_s)->has(AccessibleNode::Checked));
    QVERIFY(!now->find(u"Install"_s, u"push button"_s)->has(AccessibleNode::Enabled));

    QVERIFY(type(firstKey));
    now = waitForState(u"Install"_s, u"push button"_s, AccessibleNode::Enabled);
    QVERIFY2(now, "typing the key did not enable \"Install\"");
    // The field is masked for a screen reader too.
    const auto shown = m_bus->text(*now->find(u"OpenRouter API key"_s, u"text"_s));
    QVERIFY(shown);
    QVERIFY2(!shown->contains(u"sk-or"_s), qPrintable(*shown));
    picture(u"openrouter-key"_s);

    // Return in the key field presses "Install".
    QString why;
    qint64 ms = 0;
    now = runFromReturn(u"Installing\u2026"_s, &ms, &why);
    QVERIFY2(now, qPrintable(why));
    QVERIFY2(now->shows(u"Corvane is set up"_s), qPrintable(now->textAfter(failedTitle)));
    qInfo("first install through the window, empty npm cache: %lld ms", ms);
    QVERIFY(now->shows(u"Run this in Terminal to get started:"_s));
    QVERIFY(now->shows(u"Copy command: corv claude"_s, u"push button"_s));
    QVERIFY(!now->shows(u"Copy command: corv codex"_s));
    picture(u"set-up"_s);

    // What reached the installer: the install command with a private answers file that is gone
    // now, the tool and funding chosen, and exactly the key typed.
    const QJsonObject started = readJson(u"standin-record/started.json"_s);
    const QJsonArray argv = started.value("argv"_L1).toArray();
    QCOMPARE(argv.size(), 4);
    QCOMPARE(argv.at(0).toString(), u"install"_s);
    QCOMPARE(argv.at(1).toString(), u"--config"_s);
    QVERIFY2(QRegularExpression(u"^%1/corv_install_[^/]+\\.json$"_s.arg(
                                    QRegularExpression::escape(m_home->filePath(u"run"_s))))
                 .match(argv.at(2).toString())
                 .hasMatch(),
             qPrintable(argv.at(2).toString()));
    QCOMPARE(argv.at(3).toString(), u"--yes"_s);
    QVERIFY(answersFiles().isEmpty());
    const QJsonObject answers = readJson(u"standin-record/answers.json"_s);
    QCOMPARE(answers.value("harnesses"_L1).toArray(), QJsonArray{u"claude-code"_s});
    QCOMPARE(answers.value("claudeFunding"_L1).toArray(), QJsonArray{u"openrouter"_s});
    QCOMPARE(answers.value("codexFunding"_L1).toArray(), QJsonArray{});
    QCOMPARE(answers.value("keys"_L1).toObject(),
             (QJsonObject{{u"openrouterApiKey"_s, sha256(firstKey)}}));

    // The manifest the next start reads, and no trace of the key or of a shell that ran it.
    const QJsonArray installations = readJson(manifestRelative).value("installations"_L1).toArray();
    QCOMPARE(installations.size(), 1);
    QCOMPARE(installations.at(0).toObject().value("harness"_L1).toString(), u"claude-code"_s);
    QCOMPARE(installations.at(0).toObject().value("user_funded_provider"_L1).toString(),
             u"openrouter"_s);
    QVERIFY(!homeHolds(firstKey));
    QVERIFY(!QFileInfo::exists(m_home->filePath(u"pwned"_s)));
    m_installed = true;

    // A click on "Done" ends the program, successfully, and nothing of it stays.
    QVERIFY(click(*now->find(u"Done"_s, u"push button"_s)));
    QVERIFY2(endedCleanly(&why), qPrintable(why));
}

void TestWizard::returningUserUpdatesToANewVersion()
{
    if (!m_installed)
        QSKIP("needs the first install");
    QString output;
    QVERIFY2(m_registry->publish(standInPackage, u"1.1.0"_s, &output), qPrintable(output));

    QVERIFY(startApp());
    const QString setUp = machineText(u"Corvane is already set up on this %1."_s);
    auto now = waitForTexts({setUp, u"Update Version"_s}, appearBoundMs);
    QVERIFY2(now, "the welcome screen for a returning user did not come up");
    QVERIFY(now->shows(u"Corvane"_s, u"label"_s));
    QVERIFY(now->shows(u"Change tools or funding"_s, u"push button"_s));
    for (const QString& firstVisit :
         {u"Set up Corvane"_s, u"Start setup"_s, machineText(u"Found Claude Code on this %1."_s)})
        QVERIFY2(!now->shows(firstVisit), qPrintable(firstVisit));
    const AccessibleNode* update = now->find(u"Update Version"_s, u"push button"_s);
    QVERIFY(update->has(AccessibleNode::IsDefault));
    const AccessibleNode* link = now->find(u"Learn more about Corvane"_s, u"push button"_s);
    QVERIFY(link && !link->has(AccessibleNode::Focused));
    QVERIFY(update->has(AccessibleNode::Focused));
    picture(u"welcome-back"_s);

    QString why;
    qint64 ms = 0;
    now = runFromReturn(u"Updating\u2026"_s, &ms, &why);
    QVERIFY2(now, qPrintable(why));
    QVERIFY2(now->shows(u"Corvane is up to date"_s), qPrintable(now->textAfter(failedTitle)));
    qInfo("update through the window to a newly published version: %lld ms", ms);
    QVERIFY(now->shows(u"Copy command: corv claude"_s, u"push button"_s));
    picture(u"up-to-date"_s);

    // The new version ran the update and rewrote the entry it manages; the funding stays.
    const QJsonObject started = readJson(u"standin-record/started.json"_s);
    QCOMPARE(started.value("argv"_L1).toArray(), (QJsonArray{u"update"_s, u"--all"_s}));
    QCOMPARE(started.value("version"_L1).toString(), u"1.1.0"_s);
    const QJsonObject manifest = readJson(manifestRelative);
    QCOMPARE(manifest.value("corvane_version"_L1).toString(), u"1.1.0"_s);
    const QJsonArray installations = manifest.value("installations"_L1).toArray();
    QCOMPARE(installations.size(), 1);
    QCOMPARE(installations.at(0).toObject().value("installed_by"_L1).toString(),
             u"corvane@1.1.0"_s);
    QCOMPARE(installations.at(0).toObject().value("user_funded_provider"_L1).toString(),
             u"openrouter"_s);

    // Return presses "Done".
    QVERIFY(keys({u"Return"_s}));
    QVERIFY2(endedCleanly(&why), qPrintable(why));
}

void TestWizard::failedChangeOfKeyAndTryAgain()
{
    if (!m_installed)
        QSKIP("needs the first install");
    const QString refused = u"Error: OpenRouter refused the key (401)"_s;
    const QByteArray manifestBefore = m_home->read(manifestRelative);
    QVERIFY(startApp(u"error:"_s + refused));
    const QString setUp = machineText(u"Corvane is already set up on this %1."_s);
    auto now = waitForTexts({setUp, u"Change tools or funding"_s}, appearBoundMs);
    QVERIFY2(now, "the welcome screen for a returning user did not come up");

    // Tab until "Change tools or funding" has the focus (the screen has three controls), and
    // press it with Space.
    const auto changeFocused = [](const Seen& s) {
        const AccessibleNode* change = s.find(u"Change tools or funding"_s, u"push button"_s);
        return change && change->has(AccessibleNode::Focused);
    };
    for (int tabs = 0; tabs < 3 && !changeFocused(*now); ++tabs) {
        const auto before =
            std::find_if(now->nodes.cbegin(), now->nodes.cend(), [](const AccessibleNode& node) {
                return node.has(AccessibleNode::Focused);
            });
        const QString left = before == now->nodes.cend() ? QString() : before->name;
        QVERIFY(keys({u"Tab"_s}));
        now = waitFor(
            [&left](const Seen& s) {
                return std::any_of(s.nodes.cbegin(), s.nodes.cend(), [&left](const auto& node) {
                    return node.has(AccessibleNode::Focused) && node.name != left;
                });
            },
            screenBoundMs);
        QVERIFY2(now, "Tab did not move the focus");
    }
    QVERIFY2(changeFocused(*now), "Tab never reached \"Change tools or funding\"");
    QVERIFY(keys({u"space"_s}));
    now = waitForTexts({u"Choose your tools"_s, u"Next"_s});
    QVERIFY2(now, "\"Change tools or funding\" did not open the questions");
    QVERIFY(now->find(u"Claude Code"_s, u"check box"_s)->has(AccessibleNode::Checked));

    // The funding the manifest names is chosen again; the key was never stored, so the field is
    // empty and "Save changes" waits for it.
    QVERIFY(keys({u"Return"_s}));
    now = waitFor(
        [](const Seen& s) {
            const AccessibleNode* field = s.find(u"OpenRouter API key"_s, u"text"_s);
            return s.shows(u"Save changes"_s) && field && field->has(AccessibleNode::Focused);
        },
        screenBoundMs);
    QVERIFY2(now, "the Claude Code funding step with its key field did not come up");
    QVERIFY(now->find(u"OpenRouter API key"_s, u"radio button"_s)->has(AccessibleNode::Checked));
    QVERIFY(!now->find(u"Save changes"_s, u"push button"_s)->has(AccessibleNode::Enabled));
    QCOMPARE(m_bus->text(*now->find(u"OpenRouter API key"_s, u"text"_s)).value_or(u"?"_s),
             QString());
    picture(u"funding-again"_s);

    QVERIFY(type(secondKey));
    QVERIFY(waitForState(u"Save changes"_s, u"push button"_s, AccessibleNode::Enabled));
    QString why;
    now = runFromReturn(u"Updating\u2026"_s, nullptr, &why);
    QVERIFY2(now, qPrintable(why));
    QVERIFY(now->shows(failedTitle));
    QVERIFY(now->shows(u"Try again"_s, u"push button"_s));
    picture(u"failed"_s);

    // The installer got the new key and failed before it changed anything: the manifest is as it
    // was, the answers file is gone, and the failure screen shows the installer's own last line.
    QCOMPARE(readJson(u"standin-record/answers.json"_s).value("keys"_L1).toObject(),
             (QJsonObject{{u"openrouterApiKey"_s, sha256(secondKey)}}));
    QCOMPARE(m_home->read(manifestRelative), manifestBefore);
    QVERIFY(answersFiles().isEmpty());
    QVERIFY(!homeHolds(secondKey));
    const QString message = now->textAfter(failedTitle);
    QCOMPARE(message, refused);

    // Return is "Try again": back to the welcome screen of this start, as a returning user.
    QVERIFY(keys({u"Return"_s}));
    now = waitForTexts({setUp, u"Update Version"_s, u"Change tools or funding"_s});
    QVERIFY2(now, "\"Try again\" did not lead back to the welcome screen");
    QVERIFY(!now->shows(failedTitle));
    picture(u"welcome-again"_s);

    // The session ends the program: it quits cleanly and leaves nothing running.
    ::kill(static_cast<pid_t>(m_app->processId()), SIGTERM);
    QVERIFY2(endedCleanly(&why), qPrintable(why));
    QVERIFY(answersFiles().isEmpty());
}

QTEST_GUILESS_MAIN(TestWizard)
#include "tst_wizard.moc"
