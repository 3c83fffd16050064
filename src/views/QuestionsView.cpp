#include "QuestionsView.h"

#include "DefaultAction.h"
#include "FundingStepView.h"
#include "Look.h"
#include "PushButton.h"
#include "StepDots.h"
#include "ToolsStepView.h"

#include <QBoxLayout>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace corvane {

namespace {

// A two-way binding to one text field of the model.
Binding<QString> bind(QuestionsModel& model, const QString& (QuestionsModel::*get)() const,
                      void (QuestionsModel::*set)(const QString&))
{
    return {[&model, get] { return (model.*get)(); },
            [&model, set](const QString& value) { (model.*set)(value); }};
}

} // namespace

QuestionsView::QuestionsView(const QuestionsData& record,
                             std::function<void(const InstallAnswers&)> onInstall, QWidget* parent)
    : QWidget(parent)
    , m_model(record.detected, record.existing)
    , m_onInstall(std::move(onInstall))
{
    m_tools = new ToolsStepView(m_model, this);
    // Both funding steps bind their OpenRouter field to the one model field: one key serves both.
    m_claude = new FundingStepView(
        u"Claude Code funding"_s, claudeFundingOptions(),
        bind(m_model, &QuestionsModel::claudeFunding, &QuestionsModel::setClaudeFunding),
        bind(m_model, &QuestionsModel::anthropicApiKey, &QuestionsModel::setAnthropicApiKey),
        std::nullopt,
        bind(m_model, &QuestionsModel::openrouterApiKey, &QuestionsModel::setOpenrouterApiKey),
        this);
    m_codex = new FundingStepView(
        u"Codex funding"_s, codexFundingOptions(),
        bind(m_model, &QuestionsModel::codexFunding, &QuestionsModel::setCodexFunding),
        std::nullopt,
        bind(m_model, &QuestionsModel::openaiApiKey, &QuestionsModel::setOpenaiApiKey),
        bind(m_model, &QuestionsModel::openrouterApiKey, &QuestionsModel::setOpenrouterApiKey),
        this);
    m_dots = new StepDots(0, 0, this);
    m_back = new PushButton(u"Back"_s, PushButton::Kind::Standard, this);
    m_primary = new PushButton(QString(), PushButton::Kind::Standard, this);
    m_primary->setMinimumLabelWidth(PushButton::primaryLabelWidth);
    setDefaultAction(this, m_primary);

    auto* layout = new QVBoxLayout(this);
    // Gaps are measured to the buttons' bezels, inside the margin kept for their focus rings.
    layout->setContentsMargins(40, 0, 40, 24 - look::focusRingMargin);
    layout->setSpacing(0);
    // The two flexible spaces share what is left, so the panel sits midway above the dots.
    layout->addSpacerItem(new QSpacerItem(0, 8, QSizePolicy::Minimum, QSizePolicy::Expanding));
    layout->addWidget(m_tools);
    layout->addWidget(m_claude);
    layout->addWidget(m_codex);
    layout->addSpacerItem(new QSpacerItem(0, 8, QSizePolicy::Minimum, QSizePolicy::Expanding));
    layout->addWidget(m_dots, 0, Qt::AlignHCenter);
    layout->addSpacing(16 - look::focusRingMargin);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10 - 2 * look::focusRingMargin);
    buttons->addStretch();
    buttons->addWidget(m_back, 0, Qt::AlignVCenter);
    buttons->addWidget(m_primary, 0, Qt::AlignVCenter);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(m_back, &QPushButton::clicked, this, &QuestionsView::goBack);
    connect(m_primary, &QPushButton::clicked, this, &QuestionsView::goForward);
    connect(&m_model, &QuestionsModel::changed, this, &QuestionsView::modelChanged);
    showStep(QuestionStep::Tools);
}

QuestionsView::~QuestionsView()
{
    // The panels hold bindings into the model: they go before it does.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

QWidget* QuestionsView::panel(QuestionStep step) const
{
    switch (step) {
    case QuestionStep::Tools:
        return m_tools;
    case QuestionStep::ClaudeFunding:
        return m_claude;
    case QuestionStep::CodexFunding:
        return m_codex;
    }
    return m_tools;
}

int QuestionsView::stepIndex() const { return std::max(0, int(m_model.steps().indexOf(m_step))); }

void QuestionsView::modelChanged()
{
    // Only the tools step changes the selection, and it is always a step, so this keeps the shown
    // step valid without moving the user.
    if (!m_model.steps().contains(m_step))
        showStep(QuestionStep::Tools);
    else
        refresh();
}

void QuestionsView::showStep(QuestionStep step)
{
    QWidget* focus = window()->focusWidget();
    const bool focusInOldPanel = focus && panel(m_step)->isAncestorOf(focus);
    m_step = step;
    for (QuestionStep each :
         {QuestionStep::Tools, QuestionStep::ClaudeFunding, QuestionStep::CodexFunding})
        panel(each)->setVisible(each == step);
    refresh();

    // A key field that comes up takes the focus, so the key can be typed at once; otherwise the
    // focus moves into the new panel only when what had it has gone.
    QWidget* target = nullptr;
    if (step == QuestionStep::ClaudeFunding || step == QuestionStep::CodexFunding) {
        auto* funding = static_cast<FundingStepView*>(panel(step));
        target = funding->keyField();
        if (!target && (focusInOldPanel || (focus && !focus->isVisible())))
            target = funding->focusTarget();
    } else if (focusInOldPanel || (focus && !focus->isVisible())) {
        target = m_tools->focusTarget();
    }
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

void QuestionsView::refresh()
{
    m_claude->refresh();
    m_codex->refresh();

    const QList<QuestionStep> steps = m_model.steps();
    const int index = stepIndex();
    const bool last = index == steps.size() - 1;
    m_dots->setSteps(int(steps.size()), index);
    m_back->setVisible(index > 0);
    if (!last)
        m_primary->setText(u"Next"_s);
    else
        m_primary->setText(m_model.isReturning() ? u"Save changes"_s : u"Install"_s);
    m_primary->setEnabled(!last || m_model.canSubmit());
}

void QuestionsView::goBack()
{
    const QList<QuestionStep> steps = m_model.steps();
    const int index = stepIndex();
    if (index > 0)
        showStep(steps[index - 1]);
}

void QuestionsView::goForward()
{
    const QList<QuestionStep> steps = m_model.steps();
    const int index = stepIndex();
    if (index + 1 < steps.size()) {
        showStep(steps[index + 1]);
        return;
    }
    if (!m_model.canSubmit())
        return;
    // The flow may destroy this screen from inside the call: nothing of it is used afterwards.
    const InstallAnswers answers = m_model.answers();
    const auto onInstall = m_onInstall;
    onInstall(answers);
}

} // namespace corvane
