#include "InstallingView.h"

#include "ScreenColumn.h"
#include "Spinner.h"
#include "TextLabel.h"

namespace corvane {

using namespace Qt::StringLiterals;

InstallingView::InstallingView(const InstallingData& record, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new ScreenColumn(this);
    column->addCentred(new Spinner(this));
    column->addSpacing(16);
    m_status = new TextLabel(QString(), 15, QFont::Medium, look::Level::Primary, this);
    column->addWidget(m_status);
    column->addSpacing(8);
    auto* note = new TextLabel(
        u"A browser window may open to sign in \u2014 approve there and this will continue."_s, 12,
        QFont::Normal, look::Level::Secondary, this);
    column->addIndented(note);
    column->addStretch(1);

    setData(record);
}

void InstallingView::setData(const InstallingData& record) { m_status->setText(record.statusText); }

} // namespace corvane
