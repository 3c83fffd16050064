#pragma once

#include <QPushButton>

namespace corvane {

// A push button of the large control size: the 13 px label font, a taller body, and optionally a
// minimum width for its label, within which the label is centred, so that a button whose label
// changes keeps its width.
class LargeButton : public QPushButton {
    Q_OBJECT
public:
    explicit LargeButton(const QString& text, QWidget* parent = nullptr);

    void setMinimumLabelWidth(int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int m_minimumLabelWidth = 0;
};

} // namespace corvane
