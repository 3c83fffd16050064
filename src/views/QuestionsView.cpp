#include "QuestionsView.h"

#include "DefaultAction.h"
#include "PushButton.h"
#include "TextLabel.h"

#include "model/QuestionsModel.h"

#include <QVBoxLayout>

namespace corvane {

using namespace Qt::StringLiterals;

QuestionsView::QuestionsView(const QuestionsData& record,
                             std::function<void(const InstallAnswers&)> onInstall, QWidget* parent)
    : QWidget(parent)
    , m_model(new QuestionsModel(record.detected, record.existing, this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(40, 0, 40, 24);
    column->addStretch(1);
    QStringList tools = m_model->answers().harnesses;
    column->addWidget(new TextLabel(u"Set up: "_s + tools.join(u", "_s), 15));
    column->addStretch(1);
    auto* install = new PushButton(m_model->isReturning() ? u"Save changes"_s : u"Install"_s);
    install->setEnabled(m_model->canSubmit());
    column->addWidget(install, 0, Qt::AlignRight);
    connect(install, &QPushButton::clicked, this,
            [this, onInstall] { onInstall(m_model->answers()); });
    setDefaultAction(this, install);
}

} // namespace corvane
