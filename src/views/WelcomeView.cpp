#include "WelcomeView.h"

#include "AppMark.h"
#include "DefaultAction.h"
#include "LinkButton.h"
#include "PushButton.h"
#include "ScreenColumn.h"
#include "Spinner.h"
#include "TextLabel.h"

#include "model/CorvaneCli.h"

#include <QVBoxLayout>

namespace corvane {

using namespace Qt::StringLiterals;

namespace {
// Controls keep a margin for their focus ring; gaps are measured between what is drawn.
constexpr int linkInset = LinkButton::inset;
constexpr int signGap = 8;
} // namespace

WelcomeView::WelcomeView(const WelcomeData& record, Action onRefresh, Action onManage,
                         UrlOpener openUrl, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new ScreenColumn(this);

    auto* mark = new AppMark(this);
    mark->setFixedSize(76, 76);
    column->addCentred(mark);
    column->addSpacing(18);

    m_title = new TextLabel(QString(), 22, QFont::DemiBold, look::Level::Primary, this);
    column->addWidget(m_title);
    column->addSpacing(6);
    column->addWidget(new TextLabel(u"Spend less on Claude Code and Codex."_s, 13, QFont::Normal,
                                    look::Level::Secondary, this));
    column->addSpacing(18);
    m_status = new TextLabel(QString(), 12, QFont::Normal, look::Level::Tertiary, this);
    column->addWidget(m_status);

    m_newButtons = new QWidget(this);
    auto* newLayout = new QVBoxLayout(m_newButtons);
    newLayout->setContentsMargins(0, 0, 0, 0);
    m_start = new PushButton(u"Start setup"_s, PushButton::Kind::Standard, m_newButtons);
    m_start->setMinimumLabelWidth(PushButton::primaryLabelWidth);
    m_newSign = Spinner::checkingSign(m_newButtons);
    newLayout->addLayout(Spinner::rowWithSign(m_newSign, {m_start}, signGap));
    column->addWidget(m_newButtons);

    m_returningButtons = new QWidget(this);
    auto* returningLayout = new QVBoxLayout(m_returningButtons);
    returningLayout->setContentsMargins(0, 0, 0, 0);
    returningLayout->setSpacing(10 - look::focusRingMargin - linkInset);
    m_update = new PushButton(u"Update Version"_s, PushButton::Kind::Standard, m_returningButtons);
    m_update->setMinimumLabelWidth(PushButton::primaryLabelWidth);
    m_returningSign = Spinner::checkingSign(m_returningButtons);
    returningLayout->addLayout(Spinner::rowWithSign(m_returningSign, {m_update}, signGap));
    m_change = new LinkButton(u"Change tools or funding"_s, 12, m_returningButtons);
    returningLayout->addWidget(m_change, 0, Qt::AlignHCenter);
    column->addWidget(m_returningButtons);

    column->addSpacing(12 - look::focusRingMargin - linkInset);
    m_learnMore = new LinkButton(u"Learn more about Corvane"_s, 11, this);
    column->addCentred(m_learnMore);
    column->addSpacing(22 - linkInset);

    connect(m_start, &QPushButton::clicked, this, [onManage] { onManage(); });
    connect(m_update, &QPushButton::clicked, this, [onRefresh] { onRefresh(); });
    connect(m_change, &QPushButton::clicked, this, [onManage] { onManage(); });
    connect(m_learnMore, &QPushButton::clicked, this,
            [openUrl] { openUrl(QUrl(cli::homePage.toString())); });

    setData(record);
}

void WelcomeView::setData(const WelcomeData& record)
{
    m_title->setText(record.isReturning ? u"Corvane"_s : u"Set up Corvane"_s);
    m_status->setText(statusText(record));
    QPushButton* primary = record.isReturning ? m_update : m_start;
    QWidget* leaving = record.isReturning ? m_newButtons : m_returningButtons;
    // Hiding the focused group would hand the focus to the next control, the link: it goes to
    // the button that now stands in its place, so Space and a screen reader start there.
    const bool focusLeaves = leaving->isVisible() && leaving->isAncestorOf(focusWidget());
    m_newButtons->setVisible(!record.isReturning);
    m_returningButtons->setVisible(record.isReturning);
    setDefaultAction(this, primary);
    // Until Node.js has answered, nothing here may act: the answer may replace this screen.
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_start, m_update, m_change, m_learnMore})
        control->setEnabled(!record.checking);
    m_newSign->setVisible(record.checking && !record.isReturning);
    m_returningSign->setVisible(record.checking && record.isReturning);
    if (focusLeaves && primary->isEnabled())
        primary->setFocus(Qt::OtherFocusReason);
}

QString WelcomeView::statusText(const WelcomeData& record, QStringView machine)
{
    const QString onThisMachine = u" on this "_s + machine.toString() + u'.';
    if (record.isReturning)
        return u"Corvane is already set up"_s + onThisMachine;
    QStringList names;
    for (const Harness& harness : record.detected)
        names.append(harness.name);
    if (names.isEmpty())
        return u"No coding tools found yet \u2014 setup will help you pick."_s;
    const QString last = names.takeLast();
    const QString listed = names.isEmpty() ? last : names.join(u", "_s) + u" and "_s + last;
    return u"Found "_s + listed + onThisMachine;
}

} // namespace corvane
