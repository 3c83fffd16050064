#include "StepHeading.h"

#include "LevelLabel.h"

#include <QVBoxLayout>

namespace corvane {

StepHeading::StepHeading(const QString& title, const QString& subtitle, QWidget* parent)
    : QWidget(parent)
    , m_title(new LevelLabel(title, look::font(20, QFont::DemiBold), look::Level::Primary, this))
    , m_subtitle(new LevelLabel(subtitle, look::font(12), look::Level::Secondary, this))
{
    m_title->setAlignment(Qt::AlignHCenter);
    m_title->setWordWrap(true);
    m_subtitle->setAlignment(Qt::AlignHCenter);
    m_subtitle->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_title);
    layout->addSpacing(4);
    layout->addWidget(m_subtitle);
}

} // namespace corvane
