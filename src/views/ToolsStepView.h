#pragma once

#include <QList>
#include <QWidget>

namespace corvane {

class CheckRow;
class QuestionsModel;

// The tools step: a heading and one tick-box row per tool of the catalog, in catalog order,
// whether or not the tool was found on this machine. A row's tick reads whether the model's
// selection holds the tool; toggling it inserts or removes the tool. The panel keeps no state of
// its own and follows the model's changes itself. The model must outlive the panel.
class ToolsStepView : public QWidget {
    Q_OBJECT
public:
    explicit ToolsStepView(QuestionsModel& model, QWidget* parent = nullptr);

    // The control to focus when the step comes up by keyboard: the first row.
    QWidget* focusTarget() const;

private:
    QList<CheckRow*> m_rows;
};

} // namespace corvane
