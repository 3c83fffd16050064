#pragma once

#include <QWidget>

namespace corvane {

class TextLabel;

// The heading of a question step: a title, and below it a line of explanation in the secondary
// level, wrapped and centred. It includes the space between the two but none around them.
class StepHeading : public QWidget {
    Q_OBJECT
public:
    StepHeading(const QString& title, const QString& subtitle, QWidget* parent = nullptr);

    TextLabel* title() const { return m_title; }

private:
    TextLabel* m_title;
    TextLabel* m_subtitle;
};

} // namespace corvane
