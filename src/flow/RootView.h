#pragma once

#include "Operations.h"
#include "Screen.h"
#include "ScreenData.h"

#include "model/Catalog.h"
#include "model/InstallAnswers.h"
#include "model/Manifest.h"
#include "runner/SetupError.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace corvane {

// The wizard's flow controller: owns every value that decides what the user sees, runs the
// start-up checks, and moves between screens only through its actions and the ends of runs.
// Lives on the main thread; screens draw its data and call its actions, and never know each other.
//
// Every change of a field emits changed() once, right after the field is written; screenChanged
// is true only when the field was the screen itself (the one change that cross-fades). A run
// writes its text fields before the screen, so the new screen never shows a stale text.
class RootView : public QObject {
    Q_OBJECT
public:
    // Starts on the welcome screen with nothing detected, as a new user; call preflight() when the
    // window's content first appears.
    explicit RootView(std::unique_ptr<Operations> operations = std::make_unique<SetupOperations>(),
                      QObject* parent = nullptr);
    ~RootView() override;

    Screen screen() const { return m_screen; }
    const QList<Harness>& detected() const { return m_detected; }
    bool rechecked() const { return m_rechecked; }
    bool isReturning() const { return m_isReturning; }
    const QList<ExistingHarness>& existing() const { return m_existing; }
    const QString& statusText() const { return m_statusText; }
    const QString& errorText() const { return m_errorText; }
    const QStringList& launchedHarnessIds() const { return m_launchedHarnessIds; }
    // The Node.js check of a preflight is running; the screen shown is not yet its answer.
    bool checking() const { return m_checking; }

    WelcomeData welcomeData() const { return {m_detected, m_isReturning, m_checking}; }
    NoNodeData noNodeData() const { return {m_rechecked, m_checking}; }
    QuestionsData questionsData() const { return {m_detected, m_existing}; }
    InstallingData installingData() const { return {m_statusText}; }
    LaunchedData launchedData() const { return {m_isReturning, m_launchedHarnessIds}; }
    FailedData failedData() const { return {m_errorText, m_errorDetails}; }

    // Detects the tools and reads an earlier install (the manifest only when it exists) at once,
    // then starts the Node.js check and returns with checking() true. Its answer, from the event
    // loop, sets checking() false and shows the welcome screen, or the Node-missing screen when
    // Node.js is not found, in one change. Never fails; ignored while a check is running.
    void preflight();

    // Hand a run to the operations and show the progress screen; the run's end shows the success
    // or the failure screen. Return at once.
    void runInstall(const InstallAnswers& answers);
    void runUpdate();

    // The failure screen's text for a run's error: the line of a failed command's output that says
    // what went wrong (see failureLine), or the fallback and " You can try again." when there is
    // none to show.
    static QString describe(const RunError& error, const QString& fallback);

    // The failure screen's details to copy: the end of a failed command's output (see
    // failureDetails); empty for an error that carries none.
    static QString details(const RunError& error);

    // The screens' actions. While a check runs none but onRetry has an effect: the screen's
    // controls are disabled then, and nothing given in that time may act on what comes after.
    void onRefresh();
    void onManage();
    void onRecheck();
    void onInstall(const InstallAnswers& answers);
    void onRetry();

signals:
    void changed(bool screenChanged);

private:
    template <typename T> void write(T& field, const T& value);
    void setScreen(Screen screen);
    void nodeAnswered(const NodeVersion& version);
    void finishRun(const RunResult& result, const QStringList& launchedIds,
                   const QString& fallback);

    std::unique_ptr<Operations> m_operations;

    Screen m_screen = Screen::Welcome;
    QList<Harness> m_detected;
    bool m_rechecked = false;
    bool m_isReturning = false;
    QList<ExistingHarness> m_existing;
    QString m_statusText;
    QString m_errorText;
    QString m_errorDetails;
    QStringList m_launchedHarnessIds;
    bool m_checking = false;
};

} // namespace corvane
