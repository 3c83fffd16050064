#pragma once

#include "Callbacks.h"
#include "MachineName.h"

#include "flow/ScreenData.h"

#include <QUrl>
#include <QWidget>

namespace corvane {

class PushButton;
class Spinner;
class TextLabel;

// The screen shown when Node.js cannot be found: why the wizard stops, "Check again" (onRecheck)
// and "Get Node.js", which opens the Node.js download page through openUrl. After a recheck the
// bottom line says that Node.js is still missing; before one it is blank but keeps its height.
// The screen has no default action: Return does nothing here. While a recheck runs, both buttons
// are disabled and a small spinner beside them says so.
class NoNodeView : public QWidget {
    Q_OBJECT
public:
    NoNodeView(const NoNodeData& record, Action onRecheck, UrlOpener openUrl,
               QWidget* parent = nullptr);

    void setData(const NoNodeData& record);

    // Why Node.js is needed, naming the machine.
    static QString explanation(QStringView machine = machineName);

    static QUrl downloadUrl();

private:
    TextLabel* m_recheckLine;
    PushButton* m_recheck;
    PushButton* m_getNode;
    Spinner* m_sign;
};

} // namespace corvane
