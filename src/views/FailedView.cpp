#include "FailedView.h"

#include "DefaultAction.h"
#include "Look.h"
#include "PushButton.h"
#include "TextLabel.h"

#include <QResizeEvent>
#include <QScrollArea>
#include <QVBoxLayout>

namespace corvane {

using namespace Qt::StringLiterals;

namespace {

// A scroll area as tall as its text at the width it is given, and shorter, scrolling, when the
// screen has less room.
class MessageArea : public QScrollArea {
public:
    MessageArea(TextLabel* label, QWidget* parent)
        : QScrollArea(parent)
        , m_label(label)
    {
        setFrameShape(QFrame::NoFrame);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setWidgetResizable(true);
        setWidget(label);
        setFocusPolicy(Qt::NoFocus);
        viewport()->setAutoFillBackground(false);
        setAutoFillBackground(false);
        label->setAutoFillBackground(false);
    }

    QSize sizeHint() const override
    {
        return {m_label->sizeHint().width(), m_label->heightForWidth(width())};
    }
    QSize minimumSizeHint() const override { return m_label->minimumSizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        const bool widthChanged = event->oldSize().width() != width();
        QScrollArea::resizeEvent(event);
        if (widthChanged)
            updateGeometry();
    }

private:
    TextLabel* m_label;
};

} // namespace

FailedView::FailedView(const FailedData& record, Action onRetry, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setSpacing(0);
    column->setContentsMargins(40, 0, 40, 0);
    column->addStretch(1);

    auto* mark = new SymbolView(look::Symbol::XCircle, 44, this);
    mark->setStroke(look::Stroke::Light);
    mark->setTint(SymbolView::Tint::Label, look::Level::Secondary);
    column->addWidget(mark, 0, Qt::AlignHCenter);
    column->addSpacing(16);
    column->addWidget(
        new TextLabel(u"Something went wrong"_s, 20, QFont::DemiBold, look::Level::Primary, this));
    column->addSpacing(8);
    m_message = new TextLabel(QString(), 13, QFont::Normal, look::Level::Secondary);
    auto* messageBox = new QVBoxLayout;
    messageBox->setContentsMargins(20, 0, 20, 0);
    m_messageArea = new MessageArea(m_message, this);
    messageBox->addWidget(m_messageArea);
    column->addLayout(messageBox);
    column->addStretch(1);

    auto* retry = new PushButton(u"Try again"_s, PushButton::Kind::Standard, this);
    retry->setMinimumLabelWidth(96);
    column->addWidget(retry, 0, Qt::AlignHCenter);
    column->addSpacing(24 - look::focusRingMargin);
    connect(retry, &QPushButton::clicked, this, [onRetry] { onRetry(); });
    setDefaultAction(this, retry);

    setData(record);
}

void FailedView::setData(const FailedData& record)
{
    m_message->setText(record.errorText);
    m_messageArea->updateGeometry();
}

} // namespace corvane
