// The window around the flow: the Node.js check that never blocks it, input while it has not
// answered, one view per screen with a cross-fade only on screen changes, Return, closing mid-run,
// the real clipboard, and one wizard per user.
#include "app/SetupWindow.h"
#include "app/SingleInstance.h"

#include "support/Buttons.h"
#include "support/FakeOperations.h"
#include "support/TestHome.h"
#include "views/Spinner.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace corvane;
using namespace corvane::test;
using namespace Qt::StringLiterals;

namespace {

// Counts the window's paints.
struct PaintWatch : QObject {
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

} // namespace

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void checkingForNode_data();
    void checkingForNode();
    void closingMidRunHidesFirst();
    void systemClipboardGetsPlainText();
    void oneWizardPerUser();
    void secondStartOfTheApp();

private:
    void makeWindow();
    Screen screen() const { return m_window->flow()->screen(); }

    std::unique_ptr<TestHome> m_home;
    std::unique_ptr<SetupWindow> m_window;
    FakeOperations* m_ops = nullptr;
    PaintWatch m_paints;
    QStringList m_services; // what the window asked of the platform
};

void TestWindow::initTestCase() { m_home = std::make_unique<TestHome>(); }

void TestWindow::init()
{
    for (const QString& path : {u".claude"_s, u".codex"_s, u".local"_s})
        m_home->remove(path);
    m_services.clear();
    m_paints.painted = false;
}

void TestWindow::cleanup() { m_window.reset(); }

void TestWindow::makeWindow()
{
    auto ops = std::make_unique<FakeOperations>();
    m_ops = ops.get();
    WindowServices services{
        [this](const QUrl& url) { m_services.append(u"open "_s + url.toString()); },
        [this](const QString& text) { m_services.append(u"copy "_s + text); },
        [this] { m_services.append(u"quit"_s); },
    };
    m_window = std::make_unique<SetupWindow>(std::make_unique<RootView>(std::move(ops)),
                                             std::move(services));
    m_window->installEventFilter(&m_paints);
}

void TestWindow::checkingForNode_data()
{
    QTest::addColumn<bool>("hold"); // Node.js answers after the first paint
    QTest::addColumn<bool>("returning");
    QTest::addColumn<bool>("recheck"); // from the Node-missing screen, not the first check
    QTest::addColumn<bool>("found");
    QTest::newRow("answer at once, found") << false << false << false << true;
    QTest::newRow("answer at once, missing") << false << false << false << false;
    QTest::newRow("first check, new user") << true << false << false << true;
    QTest::newRow("first check, returning user") << true << true << false << true;
    QTest::newRow("first check, missing") << true << false << false << false;
    QTest::newRow("recheck, still missing") << true << false << true << false;
    QTest::newRow("recheck, found") << true << true << true << true;
}

void TestWindow::checkingForNode()
{
    QFETCH(bool, hold);
    QFETCH(bool, returning);
    QFETCH(bool, recheck);
    QFETCH(bool, found);
    if (returning)
        m_home->writeFile(u".local/state/corvane/installations.json"_s, "{}");
    makeWindow();
    m_ops->hold = hold && !recheck;
    if (recheck || !found)
        m_ops->version.reset();
    // Only a screen someone has seen fades out, whichever comes first, answer or paint.
    std::optional<bool> paintedWhenAnswered;
    connect(m_window->flow(), &RootView::changed, this, [&] {
        if (!m_window->flow()->checking() && !paintedWhenAnswered)
            paintedWhenAnswered = m_paints.painted;
    });
    QCOMPARE(m_ops->nodeChecks, 0); // not while being built
    m_window->show();
    QCOMPARE(m_ops->nodeChecks, 1);                   // as it shows, without waiting for it
    QPointer<QWidget> view = m_window->currentView(); // the view that waits for the answer
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    // Of a fixed size, and filled by its view.
    QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
    QCOMPARE(m_window->currentView()->geometry(), m_window->rect());
    if (recheck) {
        QTRY_COMPARE(screen(), Screen::NoNode);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->isCrossFading(), 2000);
        m_ops->hold = true;
        QAbstractButton* checkAgain = button(m_window->currentView(), u"Check again"_s);
        QVERIFY(checkAgain);
        checkAgain->setFocus();
        QTest::keyClick(checkAgain, Qt::Key_Space);
        view = m_window->currentView();
    }
    // The spinners that turn, by their names to a screen reader.
    const auto turning = [this] {
        QStringList names;
        for (Spinner* spinner : m_window->findChildren<Spinner*>())
            if (spinner->isSpinning())
                names.append(spinner->accessibleName());
        return names;
    };
    if (hold) {
        QTRY_VERIFY(m_paints.painted);
        QVERIFY(m_window->flow()->checking());
        // Every control waits, and one turning spinner says why; keys and clicks go nowhere.
        QCOMPARE(turning(), QStringList{u"Checking for Node.js\u2026"_s});
        for (QAbstractButton* b : view->findChildren<QAbstractButton*>()) {
            QVERIFY2(!b->isEnabled() || !b->isVisible(), qPrintable(b->text()));
            QTest::mouseClick(b, Qt::LeftButton);
        }
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_Tab,
                                  Qt::Key_Space, Qt::Key_Return})
            QTest::keyClick(m_window.get(), key);
        QCOMPARE(m_ops->nodeChecks, recheck ? 2 : 1);
        QVERIFY(!m_ops->pending);
        QVERIFY(m_services.isEmpty());
        paintedWhenAnswered.reset();
        m_ops->answer(found ? NodeVersion(u"v20.11.1"_s) : std::nullopt);
    }
    QTRY_VERIFY(paintedWhenAnswered.has_value());
    QCOMPARE(screen(), found ? Screen::Welcome : Screen::NoNode);
    // A new screen fades in and replaces the view; the same screen is redrawn in place.
    const bool changes = recheck ? found : !found;
    QCOMPARE(m_window->isCrossFading(), changes && *paintedWhenAnswered);
    if (changes)
        QTRY_VERIFY(view.isNull());
    else
        QCOMPARE(m_window->currentView(), view.data());
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->isCrossFading(), 2000);
    QCOMPARE(turning(), QStringList());

    // The keyboard is on the screen's first control; with no control focused, Return reaches the
    // window and does the screen's default action.
    const QString first = !found      ? u"Check again"_s
                          : returning ? u"Update Version"_s
                                      : u"Start setup"_s;
    QWidget* focused = m_window->focusWidget();
    QVERIFY(focused && focused == button(m_window->currentView(), first) && focused->isEnabled());
    focused->clearFocus();
    QTest::keyClick(m_window.get(), Qt::Key_Return);
    QCOMPARE(screen(), !found      ? Screen::NoNode
                       : returning ? Screen::Installing
                                   : Screen::Questions);
    if (!found) {
        QVERIFY(press(m_window->currentView(), u"Get Node.js"_s));
        QCOMPARE(m_services, QStringList{u"open https://nodejs.org/en/download"_s});
    }
    m_window->hide();
    m_window->show();
    QCOMPARE(m_ops->nodeChecks, recheck ? 2 : 1);
}

void TestWindow::closingMidRunHidesFirst()
{
    makeWindow();
    m_window->show();
    QTRY_VERIFY(!m_window->flow()->checking());
    m_window->flow()->runInstall({{u"codex"_s}, {}, {u"subscription"_s}, {}, {}, {}});
    QCOMPARE(screen(), Screen::Installing);

    bool destroyed = false;
    bool visibleAtCleanUp = true;
    m_ops->onDestroyed = [&] {
        destroyed = true;
        visibleAtCleanUp = m_window->isVisible();
    };
    QVERIFY(m_window->close());
    QVERIFY(!m_window->isVisible());
    QVERIFY(!destroyed); // the run is ended after the event loop, not inside the close
    m_window->releaseFlow();
    QVERIFY(destroyed && !visibleAtCleanUp);
    QVERIFY(m_window->flow() == nullptr && m_window->currentView() == nullptr);
}

void TestWindow::systemClipboardGetsPlainText()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto* rich = new QMimeData;
    rich->setHtml(u"<b>old</b>"_s);
    rich->setText(u"old"_s);
    clipboard->setMimeData(rich);
    WindowServices::system().copyText(u"corv codex"_s);
    const QMimeData* now = clipboard->mimeData();
    QVERIFY(now);
    QCOMPARE(now->text(), u"corv codex"_s);
    QVERIFY(!now->hasHtml());
}

// A second copy asks the first to show itself; a folder that cannot hold a lock never keeps the
// user from the wizard. The lock taken by the real app: secondStartOfTheApp.
void TestWindow::oneWizardPerUser()
{
    QTemporaryDir folder;
    SingleInstance first(folder.path());
    QVERIFY(first.isFirst());
    QSignalSpy asked(&first, &SingleInstance::showRequested);
    SingleInstance second(folder.path());
    QVERIFY(!second.isFirst());
    QVERIFY(second.askFirstToShow());
    QVERIFY(asked.wait(2000));
    QCOMPARE(asked.size(), 1);
    QVERIFY(SingleInstance(folder.filePath(u"missing/folder"_s)).isFirst());
    QVERIFY(SingleInstance(u"relative"_s).isFirst());
}

void TestWindow::secondStartOfTheApp()
{
    m_home->installNode("v20.11.1\n");
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
    env.insert(u"SHELL"_s, u"/bin/sh"_s);
    const auto start = [&](QProcess& app) {
        app.setProcessEnvironment(env);
        app.setProcessChannelMode(QProcess::MergedChannels);
        app.start(QStringLiteral(CORVANE_SETUP_APP), {});
        QVERIFY(app.waitForStarted());
    };
    const QString lockPath = runtime.filePath(u"corvane-setup.lock"_s);

    QProcess first;
    start(first);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lockPath), 10000);
    QProcess second;
    start(second);
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);

    // Killed outright, the first leaves its lock behind; the next start takes it over.
    QVERIFY(signalProcess(first.processId(), SIGKILL));
    QVERIFY(first.waitForFinished(5000));
    QVERIFY(QFile::exists(lockPath));
    QProcess third;
    start(third);
    const auto holder = [&] {
        QFile lock(lockPath);
        return lock.open(QIODevice::ReadOnly) ? lock.readLine().trimmed().toLongLong() : 0;
    };
    QTRY_COMPARE_WITH_TIMEOUT(holder(), third.processId(), 10000);
    QCOMPARE(third.state(), QProcess::Running);
#if defined(__SANITIZE_THREAD__)
    // An app built with the thread sanitizer, idle in its event loop, never hears SIGTERM (see
    // tests/CMakeLists.txt); quitting on signals is checked in the other builds.
    third.kill();
    QVERIFY(third.waitForFinished(10000));
    return;
#endif
    third.terminate();
    QVERIFY(third.waitForFinished(10000));
    QCOMPARE(third.exitCode(), 0);
    QVERIFY(!QFile::exists(lockPath));
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
