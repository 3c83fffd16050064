#include "ScreenColumn.h"

#include "DefaultAction.h"
#include "Look.h"
#include "PushButton.h"

namespace corvane {

ScreenColumn::ScreenColumn(QWidget* screen)
    : QVBoxLayout(screen)
{
    setSpacing(0);
    setContentsMargins(40, 0, 40, 0);
    addStretch(1);
}

void ScreenColumn::addCentred(QWidget* widget) { addWidget(widget, 0, Qt::AlignHCenter); }

void ScreenColumn::addIndented(QWidget* widget)
{
    auto* box = new QVBoxLayout;
    box->setContentsMargins(20, 0, 20, 0);
    box->addWidget(widget);
    addLayout(box);
}

PushButton* ScreenColumn::addBottomButton(const QString& text, Action onClick)
{
    QWidget* screen = parentWidget();
    auto* button = new PushButton(text, PushButton::Kind::Standard, screen);
    button->setMinimumLabelWidth(PushButton::primaryLabelWidth);
    addCentred(button);
    // The gap is measured to the bezel, inside the margin kept for the focus ring.
    addSpacing(24 - look::focusRingMargin);
    connect(button, &QPushButton::clicked, button, [onClick] { onClick(); });
    setDefaultAction(screen, button);
    return button;
}

} // namespace corvane
