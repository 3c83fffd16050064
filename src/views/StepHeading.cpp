#include "StepHeading.h"

#include "TextLabel.h"

#include <QVBoxLayout>

namespace corvane {

StepHeading::StepHeading(const QString& title, const QString& subtitle, QWidget* parent)
    : QWidget(parent)
    , m_title(new TextLabel(title, 20, QFont::DemiBold, look::Level::Primary, this))
    , m_subtitle(new TextLabel(subtitle, 12, QFont::Normal, look::Level::Secondary, this))
{

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_title);
    layout->addSpacing(4);
    layout->addWidget(m_subtitle);
}

} // namespace corvane
