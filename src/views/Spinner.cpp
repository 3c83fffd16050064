#include "Spinner.h"

#include "Look.h"

#include <QHBoxLayout>
#include <QPainter>

#include <cmath>

namespace corvane {

namespace {
constexpr int spokes = 12;
constexpr int turnMs = 1000; // one full turn
} // namespace

Spinner::Spinner(QWidget* parent, int side)
    : QProgressBar(parent)
    , m_side(side)
{
    setRange(0, 0);
    setTextVisible(false);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_timer.setInterval(turnMs / spokes);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % spokes;
        update();
    });
}

QSize Spinner::sizeHint() const { return {m_side, m_side}; }

Spinner* Spinner::checkingSign(QWidget* parent)
{
    auto* sign = new Spinner(parent, small);
    sign->setAccessibleName(QStringLiteral("Checking for Node.js\u2026"));
    QSizePolicy policy = sign->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    sign->setSizePolicy(policy);
    sign->hide();
    return sign;
}

QHBoxLayout* Spinner::rowWithSign(Spinner* sign, const QList<QWidget*>& controls, int spacing)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    row->addStretch(1);
    row->addWidget(sign, 0, Qt::AlignVCenter);
    for (QWidget* control : controls)
        row->addWidget(control, 0, Qt::AlignVCenter);
    // A layout puts no spacing beside a spacer: this one makes up for the sign's.
    row->addSpacing(sign->sizeHint().width() + spacing);
    row->addStretch(1);
    return row;
}

void Spinner::showEvent(QShowEvent* event)
{
    QProgressBar::showEvent(event);
    m_timer.start();
}

void Spinner::hideEvent(QHideEvent* event)
{
    m_timer.stop();
    QProgressBar::hideEvent(event);
}

void Spinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal size = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal inner = size * 0.22;
    const qreal outer = size * 0.47;
    QPen pen(look::label(palette(), look::Level::Primary), size * 0.085);
    pen.setCapStyle(Qt::RoundCap);
    const QColor base = palette().color(QPalette::WindowText);
    for (int i = 0; i < spokes; ++i) {
        // The spoke at the current step is the darkest; the ones behind it fade out.
        const int age = (m_step - i + spokes) % spokes;
        QColor color = base;
        color.setAlphaF(static_cast<float>(0.85 - 0.6 * age / (spokes - 1)));
        pen.setColor(color);
        painter.setPen(pen);
        const qreal angle = 2 * M_PI * i / spokes - M_PI / 2;
        const QPointF direction(std::cos(angle), std::sin(angle));
        painter.drawLine(direction * inner, direction * outer);
    }
}

} // namespace corvane
