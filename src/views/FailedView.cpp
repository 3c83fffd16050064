#include "FailedView.h"

#include "LinkButton.h"
#include "Look.h"
#include "ScreenColumn.h"
#include "SymbolView.h"
#include "TextLabel.h"

#include <QResizeEvent>
#include <QScrollArea>

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

FailedView::FailedView(const FailedData& record, Action onRetry, TextCopier copyText,
                       QWidget* parent)
    : QWidget(parent)
{
    auto* column = new ScreenColumn(this);

    auto* mark = new SymbolView(look::Symbol::XCircle, 44, this);
    mark->setStroke(look::Stroke::Light);
    mark->setTint(SymbolView::Tint::Label, look::Level::Secondary);
    column->addCentred(mark);
    column->addSpacing(16);
    column->addWidget(
        new TextLabel(u"Something went wrong"_s, 20, QFont::DemiBold, look::Level::Primary, this));
    column->addSpacing(8);
    m_message = new TextLabel(QString(), 13, QFont::Normal, look::Level::Secondary);
    m_messageArea = new MessageArea(m_message, this);
    column->addIndented(m_messageArea);
    column->addSpacing(8 - LinkButton::inset); // measured to the link's text
    m_copyDetails = new LinkButton(u"Copy details"_s, 12, this);
    m_copyDetails->setAccessibleDescription(u"Copies the installer's last lines of output"_s);
    column->addCentred(m_copyDetails);
    column->addStretch(1);
    column->addBottomButton(u"Try again"_s, std::move(onRetry));
    connect(m_copyDetails, &QPushButton::clicked, this,
            [this, copyText = std::move(copyText)] { copyText(m_details); });

    setData(record);
}

QString FailedView::shownText(const QString& errorText)
{
    if (errorText.size() <= shownLength)
        return errorText;
    qsizetype head = shownLength / 2;
    if (errorText.at(head - 1).isHighSurrogate())
        --head;
    qsizetype tail = errorText.size() - shownLength / 2;
    if (errorText.at(tail).isLowSurrogate())
        ++tail;
    return errorText.left(head) + u'\u2026' + errorText.mid(tail);
}

void FailedView::setData(const FailedData& record)
{
    m_message->setText(shownText(record.errorText));
    m_messageArea->updateGeometry();
    m_details = record.details;
    m_copyDetails->setVisible(!m_details.isEmpty());
}

} // namespace corvane
