#pragma once

#include "flow/ScreenData.h"
#include "model/InstallAnswers.h"
#include "model/QuestionsModel.h"

#include <QWidget>

#include <functional>

namespace corvane {

class FundingStepView;
class PushButton;
class StepDots;
class ToolsStepView;

// The questions screen: walks the steps of its own question model, one panel at a time, with a
// row of step dots and a button row ("Back" past the first step; "Next", then "Install", or "Save
// changes" when the model has earlier installations). Return presses the primary button while it
// is enabled.
//
// The screen builds its model from record when it is built and keeps it, and the shown step, for
// its whole life; a new screen starts afresh. The step moves only by Next, Back, and a return to
// the tools step when the selection drops the step shown.
//
// On the last step the primary button is enabled only while the model can submit; each press
// calls onInstall once with the model's answers, synchronously. onInstall may destroy the screen:
// nothing of the screen is touched after the call.
class QuestionsView : public QWidget {
    Q_OBJECT
public:
    QuestionsView(const QuestionsData& record, std::function<void(const InstallAnswers&)> onInstall,
                  QWidget* parent = nullptr);
    ~QuestionsView() override;

    QuestionStep step() const { return m_step; }

private:
    void modelChanged();
    void showStep(QuestionStep step);
    void refresh();
    void goBack();
    void goForward();
    int stepIndex() const;
    QWidget* panel(QuestionStep step) const;

    QuestionsModel m_model;
    std::function<void(const InstallAnswers&)> m_onInstall;
    QuestionStep m_step = QuestionStep::Tools;

    ToolsStepView* m_tools;
    FundingStepView* m_claude;
    FundingStepView* m_codex;
    StepDots* m_dots;
    PushButton* m_back;
    PushButton* m_primary;
};

} // namespace corvane
