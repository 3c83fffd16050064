#pragma once

#include <QProgressBar>
#include <QTimer>

namespace corvane {

// An indeterminate progress indicator drawn as a spinning wheel of twelve spokes, the large size
// (32 pixels). A busy QProgressBar to screen readers. It turns only while it is visible, so a
// hidden or discarded screen costs nothing.
class Spinner : public QProgressBar {
    Q_OBJECT
public:
    explicit Spinner(QWidget* parent = nullptr);

    bool isSpinning() const { return m_timer.isActive(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};

} // namespace corvane
