#include "NoNodeView.h"

#include "Look.h"
#include "PushButton.h"
#include "ScreenColumn.h"
#include "Spinner.h"
#include "SymbolView.h"
#include "TextLabel.h"

namespace corvane {

using namespace Qt::StringLiterals;

NoNodeView::NoNodeView(const NoNodeData& record, Action onRecheck, UrlOpener openUrl,
                       QWidget* parent)
    : QWidget(parent)
{
    auto* column = new ScreenColumn(this);

    auto* icon = new SymbolView(look::Symbol::ExclamationCircle, 44, this);
    icon->setStroke(look::Stroke::Light);
    icon->setTint(SymbolView::Tint::Label, look::Level::Secondary);
    column->addCentred(icon);
    column->addSpacing(16);

    column->addWidget(
        new TextLabel(u"Node.js is required"_s, 20, QFont::DemiBold, look::Level::Primary, this));
    column->addSpacing(8);
    column->addIndented(
        new TextLabel(explanation(), 13, QFont::Normal, look::Level::Secondary, this));

    m_recheck = new PushButton(u"Check again"_s, PushButton::Kind::Standard, this);
    m_getNode = new PushButton(u"Get Node.js"_s, PushButton::Kind::Prominent, this);
    m_getNode->setMinimumLabelWidth(88);
    m_sign = Spinner::checkingSign(this);
    column->addLayout(
        Spinner::rowWithSign(m_sign, {m_recheck, m_getNode}, 10 - 2 * look::focusRingMargin));

    column->addSpacing(10 - look::focusRingMargin);
    m_recheckLine = new TextLabel(QString(), 11, QFont::Normal, look::Level::Tertiary, this);
    column->addWidget(m_recheckLine);
    column->addSpacing(26);

    connect(m_recheck, &QPushButton::clicked, this, [onRecheck] { onRecheck(); });
    connect(m_getNode, &QPushButton::clicked, this, [openUrl] { openUrl(downloadUrl()); });

    setData(record);
}

void NoNodeView::setData(const NoNodeData& record)
{
    // A space keeps the line's height before the first recheck.
    m_recheckLine->setText(record.rechecked ? u"Still not finding Node.js."_s : u" "_s);
    // Both wait for the check: a second press would otherwise land on the next button.
    m_recheck->setEnabled(!record.checking);
    m_getNode->setEnabled(!record.checking);
    m_sign->setVisible(record.checking);
}

QString NoNodeView::explanation(QStringView machine)
{
    return u"Corvane runs on Node.js, which isn\u2019t installed on this "_s + machine.toString() +
           u" yet. Install it, then come back here."_s;
}

QUrl NoNodeView::downloadUrl() { return QUrl(u"https://nodejs.org/en/download"_s); }

} // namespace corvane
