#include "ToolsStepView.h"

#include "CheckRow.h"
#include "StepHeading.h"
#include "model/Catalog.h"
#include "model/QuestionsModel.h"

#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace corvane {

ToolsStepView::ToolsStepView(QuestionsModel& model, QWidget* parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new StepHeading(
        u"Choose your tools"_s, u"Corvane will never fall back to its own API keys."_s, this));
    layout->addSpacing(22);

    auto* rows = new QVBoxLayout;
    rows->setSpacing(10);
    for (const Harness& harness : harnesses()) {
        const QString id = harness.id;
        auto* row = new CheckRow(harness.name,
                                 {[&model, id] { return model.selectedHarnesses().contains(id); },
                                  [&model, id](const bool& on) { model.setSelected(id, on); }},
                                 this);
        rows->addWidget(row);
        m_rows.append(row);
    }
    layout->addLayout(rows);

    connect(&model, &QuestionsModel::changed, this, [this] {
        for (CheckRow* row : std::as_const(m_rows))
            row->refresh();
    });
}

QWidget* ToolsStepView::focusTarget() const { return m_rows.value(0); }

} // namespace corvane
