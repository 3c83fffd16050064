#pragma once

#include "Callbacks.h"
#include "MachineName.h"

#include "flow/ScreenData.h"

#include <QWidget>

namespace corvane {

class LinkButton;
class PushButton;
class Spinner;
class TextLabel;

// The first screen: the app mark, a greeting, what was found on this machine, and the first step.
// A new user gets "Start setup" (onManage); a returning user gets "Update Version" (onRefresh) and
// the link "Change tools or funding" (onManage). The visible primary button is the screen's
// default action. "Learn more about Corvane" opens the package's page through openUrl. While the
// record says the Node.js check runs, every control is disabled (Return does nothing) and a small
// spinner beside the primary button says so.
class WelcomeView : public QWidget {
    Q_OBJECT
public:
    WelcomeView(const WelcomeData& record, Action onRefresh, Action onManage, UrlOpener openUrl,
                QWidget* parent = nullptr);

    // Redraws in place for new record.
    void setData(const WelcomeData& record);

    // The status line: for a returning user that Corvane is set up, otherwise which tools were
    // found ("Found A, B and C on this <machine>."), or that none were.
    static QString statusText(const WelcomeData& record, QStringView machine = machineName);

private:
    TextLabel* m_title;
    TextLabel* m_status;
    QWidget* m_newButtons;
    QWidget* m_returningButtons;
    PushButton* m_start;
    PushButton* m_update;
    LinkButton* m_change;
    LinkButton* m_learnMore;
    Spinner* m_newSign;
    Spinner* m_returningSign;
};

} // namespace corvane
