#pragma once

#include "model/Catalog.h"
#include "model/Manifest.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace corvane {

// What each screen draws: plain values handed out by the flow controller. The views include this
// header and nothing else of the flow.
struct WelcomeData {
    QList<Harness> detected;  // tools found on this machine, in catalog order
    bool isReturning = false; // Corvane is already installed
    bool checking = false;    // the Node.js check is running: no action yet
};
struct NoNodeData {
    bool rechecked = false; // "Check again" has been pressed at least once
    bool checking = false;  // a new check is running: no action yet
};
struct QuestionsData {
    QList<Harness> detected;
    QList<ExistingHarness> existing; // tools an earlier install manages; empty for a new user
};
struct InstallingData {
    QString statusText;
};
struct LaunchedData {
    bool isReturning = false;
    QStringList harnessIds; // tools installed or updated, as tool ids
};
struct FailedData {
    QString errorText;
    QString details; // the end of the failed command's output, to copy; empty when there is none
};

} // namespace corvane
