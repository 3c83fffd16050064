#pragma once

#include <QWidget>

namespace corvane {

// A row of dots, one per step, the current one in the strongest label level and the others in the
// faintest. With fewer than two steps it draws nothing and takes no space. A current index outside
// the steps highlights no dot.
//
// For a screen reader it is a static text named "Step 2 of 3", and absent when it draws nothing
// or highlights no dot.
class StepDots : public QWidget {
    Q_OBJECT
public:
    StepDots(int count, int current, QWidget* parent = nullptr);

    void setSteps(int count, int current);
    int count() const { return m_count; }
    int current() const { return m_current; }

    // True when the dots are drawn (two steps or more).
    bool isShown() const { return m_count >= 2; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_count = 0;
    int m_current = 0;
};

} // namespace corvane
