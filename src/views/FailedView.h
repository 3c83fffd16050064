#pragma once

#include "Callbacks.h"

#include "flow/ScreenData.h"

#include <QWidget>

namespace corvane {

class LinkButton;
class TextLabel;

// The failure screen: a cross mark, "Something went wrong", the error text as given, the link
// "Copy details", and "Try again", the default action, which calls onRetry. The text wraps onto as
// many centred lines as it needs, breaking inside words too long for a line; one too long for the
// window scrolls, so none of it is ever cut off. A text beyond shownLength characters (a whole log
// on one line) shows its beginning and its end around an ellipsis, so that laying it out never
// freezes the window. "Copy details" hands the record's details to copyText, for a bug report; it
// is hidden when there are none.
class FailedView : public QWidget {
    Q_OBJECT
public:
    FailedView(const FailedData& record, Action onRetry, TextCopier copyText,
               QWidget* parent = nullptr);

    void setData(const FailedData& record);

    static constexpr qsizetype shownLength = 4000;

    // errorText as shown: unchanged up to shownLength characters, else its first and last
    // shownLength / 2 characters joined by "…", never splitting a surrogate pair.
    static QString shownText(const QString& errorText);

private:
    TextLabel* m_message;
    QWidget* m_messageArea;
    LinkButton* m_copyDetails;
    QString m_details;
};

} // namespace corvane
