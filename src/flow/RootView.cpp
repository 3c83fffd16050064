#include "RootView.h"

#include "runner/FailureText.h"

#include <QFutureWatcher>

namespace corvane {

using namespace Qt::StringLiterals;

namespace {
const QString installingText = u"Installing\u2026"_s;
const QString updatingText = u"Updating\u2026"_s;
const QString installFallback = u"Setup didn't finish."_s;
const QString updateFallback = u"Update didn't finish."_s;
const QString tryAgainSuffix = u" You can try again."_s;

// Calls handler with the future's result, on owner's thread, unless owner has gone first or the
// future was cancelled. The watcher is owner's child, so it dies with owner and nothing is called
// afterwards, however long the future lives; QFuture::then(owner, …) asserts then instead.
template <typename T, typename Handler>
void whenDone(QObject* owner, const QFuture<T>& future, Handler handler)
{
    auto* watcher = new QFutureWatcher<T>(owner);
    QObject::connect(watcher, &QFutureWatcherBase::finished, owner, [watcher, handler] {
        watcher->deleteLater();
        if (!watcher->isCanceled() && watcher->future().resultCount() > 0)
            handler(watcher->result());
    });
    watcher->setFuture(future);
}
} // namespace

RootView::RootView(std::unique_ptr<Operations> operations, QObject* parent)
    : QObject(parent)
    , m_operations(std::move(operations))
    , m_statusText(installingText)
{
}

RootView::~RootView() = default;

template <typename T> void RootView::write(T& field, const T& value)
{
    if (field == value)
        return;
    field = value;
    emit changed(false);
}

void RootView::setScreen(Screen screen)
{
    if (m_screen == screen)
        return;
    m_screen = screen;
    emit changed(true);
}

void RootView::preflight()
{
    if (m_checking)
        return;
    write(m_detected, detectedHarnesses());
    write(m_isReturning, hasExistingInstall());
    write(m_existing, m_isReturning ? readExistingHarnesses() : QList<ExistingHarness>{});
    write(m_checking, true);
    whenDone(this, m_operations->nodeVersion(),
             [this](const NodeVersion& version) { nodeAnswered(version); });
}

void RootView::nodeAnswered(const NodeVersion& version)
{
    // One change: the screen that shows the answer is never drawn as still checking.
    m_checking = false;
    const Screen next = version ? Screen::Welcome : Screen::NoNode;
    const bool screenChanged = next != m_screen;
    m_screen = next;
    emit changed(screenChanged);
}

void RootView::onRefresh()
{
    if (!m_checking)
        runUpdate();
}

void RootView::onManage()
{
    if (!m_checking)
        setScreen(Screen::Questions);
}

void RootView::onRecheck()
{
    if (m_checking)
        return;
    write(m_rechecked, true);
    preflight();
}

void RootView::onInstall(const InstallAnswers& answers)
{
    if (!m_checking)
        runInstall(answers);
}

void RootView::onRetry() { setScreen(Screen::Welcome); }

void RootView::runInstall(const InstallAnswers& answers)
{
    write(m_statusText, m_isReturning ? updatingText : installingText);
    setScreen(Screen::Installing);
    const QStringList chosen = answers.harnesses;
    whenDone(this, m_operations->runInstall(answers), [this, chosen](const RunResult& result) {
        finishRun(result, chosen, installFallback);
    });
}

void RootView::runUpdate()
{
    write(m_statusText, updatingText);
    setScreen(Screen::Installing);
    whenDone(this, m_operations->runUpdate(), [this](const RunResult& result) {
        // The tools the earlier install manages, as the flow knows them when the run ends.
        QStringList managed;
        for (const ExistingHarness& harness : m_existing)
            managed.append(harness.id);
        finishRun(result, managed, updateFallback);
    });
}

void RootView::finishRun(const RunResult& result, const QStringList& launchedIds,
                         const QString& fallback)
{
    if (!result) {
        write(m_launchedHarnessIds, launchedIds);
        setScreen(Screen::Launched);
    } else {
        write(m_errorText, describe(*result, fallback));
        write(m_errorDetails, details(*result));
        setScreen(Screen::Failed);
    }
}

QString RootView::describe(const RunError& error, const QString& fallback)
{
    if (const auto* setupError = std::get_if<SetupError>(&error);
        setupError && setupError->kind == SetupError::Kind::ExitedWithStatus) {
        const QString line = failureLine(setupError->output);
        if (!line.isEmpty())
            return line;
    }
    return fallback + tryAgainSuffix;
}

QString RootView::details(const RunError& error)
{
    const auto* setupError = std::get_if<SetupError>(&error);
    return setupError ? failureDetails(setupError->output) : QString();
}

} // namespace corvane
