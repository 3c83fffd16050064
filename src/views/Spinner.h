#pragma once

#include <QList>
#include <QProgressBar>
#include <QTimer>

class QHBoxLayout;

namespace corvane {

// An indeterminate progress indicator drawn as a spinning wheel of twelve spokes, side pixels
// square. A busy QProgressBar to screen readers. It turns only while it is visible, so a hidden
// or discarded screen costs nothing.
class Spinner : public QProgressBar {
    Q_OBJECT
public:
    static constexpr int large = 32;
    static constexpr int small = 14;

    explicit Spinner(QWidget* parent = nullptr, int side = large);

    // The small sign shown beside a screen's controls while the Node.js check runs, named
    // "Checking for Node.js…" for screen readers. Hidden at first; it keeps its room when hidden,
    // so showing it moves nothing.
    static Spinner* checkingSign(QWidget* parent);

    // A centred row of controls, spacing apart, with sign before them and room of the sign's size
    // after them, so the controls stay centred whether the sign shows or not.
    static QHBoxLayout* rowWithSign(Spinner* sign, const QList<QWidget*>& controls, int spacing);

    bool isSpinning() const { return m_timer.isActive(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_side;
    int m_step = 0;
};

} // namespace corvane
