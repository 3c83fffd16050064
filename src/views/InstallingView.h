#pragma once

#include "flow/ScreenData.h"

#include <QWidget>

namespace corvane {

class Spinner;
class TextLabel;

// The screen shown while an install or update runs: a spinning wheel, the run's status line and
// a note about signing in through the browser. It offers no action.
class InstallingView : public QWidget {
    Q_OBJECT
public:
    explicit InstallingView(const InstallingData& record, QWidget* parent = nullptr);

    void setData(const InstallingData& record);

private:
    TextLabel* m_status;
};

} // namespace corvane
