#include "InstallingView.h"

#include "Spinner.h"
#include "TextLabel.h"

#include <QVBoxLayout>

namespace corvane {

using namespace Qt::StringLiterals;

InstallingView::InstallingView(const InstallingData& record, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setSpacing(0);
    column->setContentsMargins(40, 0, 40, 0);
    column->addStretch(1);

    column->addWidget(new Spinner(this), 0, Qt::AlignHCenter);
    column->addSpacing(16);
    m_status = new TextLabel(QString(), 15, QFont::Medium, look::Level::Primary, this);
    column->addWidget(m_status);
    column->addSpacing(8);
    auto* note = new TextLabel(
        u"A browser window may open to sign in \u2014 approve there and this will continue."_s, 12,
        QFont::Normal, look::Level::Secondary, this);
    auto* noteBox = new QVBoxLayout;
    noteBox->setContentsMargins(20, 0, 20, 0);
    noteBox->addWidget(note);
    column->addLayout(noteBox);
    column->addStretch(1);

    setData(record);
}

void InstallingView::setData(const InstallingData& record) { m_status->setText(record.statusText); }

} // namespace corvane
