#include "TerminalCommandRow.h"

#include "Look.h"

#include <QPainter>
#include <QTimer>

#include <cmath>

namespace corvane {

using namespace Qt::StringLiterals;

namespace {
constexpr int horizontalPadding = 14;
constexpr int verticalPadding = 10;
constexpr int gap = 8;
constexpr int iconSide = 11;
constexpr qreal cornerRadius = 7;
const QColor rowColor = QColor::fromRgbF(0.86f, 0.89f, 0.86f);

QFont commandFont() { return look::monospaceFont(13, QFont::Medium); }
} // namespace

TerminalCommandRow::TerminalCommandRow(const QString& command, TextCopier copyText, QWidget* parent)
    : QAbstractButton(parent)
    , m_command(command)
    , m_copyText(std::move(copyText))
{
    setText(command);
    setAccessibleName(u"Copy command: "_s + command);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, &TerminalCommandRow::copy);
}

void TerminalCommandRow::copy()
{
    m_copyText(m_command);
    setCopied(true);
    QTimer::singleShot(m_duration, this, [this] { setCopied(false); });
}

void TerminalCommandRow::setCopied(bool copied)
{
    if (m_copied == copied)
        return;
    m_copied = copied;
    setAccessibleDescription(copied ? u"Copied"_s : QString());
    update();
}

QSize TerminalCommandRow::sizeHint() const
{
    const QFontMetricsF metrics(commandFont());
    const qreal content = metrics.horizontalAdvance(u"$"_s) + gap +
                          metrics.horizontalAdvance(m_command) + gap + iconSide;
    return {static_cast<int>(std::ceil(content)) + 2 * horizontalPadding,
            static_cast<int>(std::ceil(metrics.height())) + 2 * verticalPadding};
}

QSize TerminalCommandRow::minimumSizeHint() const { return sizeHint(); }

void TerminalCommandRow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath shape = look::continuousRoundedRect(box, cornerRadius);
    painter.fillPath(shape, QColor::fromRgbF(0, 0, 0, isDown() ? 0.9f : 0.82f));
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.08f), 1));
    painter.drawPath(shape);
    if (hasFocus())
        look::paintFocusRing(painter, shape, palette(), look::RingSide::Inside);

    const QFont font = commandFont();
    const QFontMetricsF metrics(font);
    painter.setFont(font);
    const QRectF content = QRectF(rect()).adjusted(horizontalPadding, verticalPadding,
                                                   -horizontalPadding, -verticalPadding);
    const qreal prompt = metrics.horizontalAdvance(u"$"_s);
    painter.setPen(look::level(rowColor, look::Level::Tertiary));
    painter.drawText(QRectF(content.left(), content.top(), prompt, content.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, u"$"_s);

    const QRectF icon(content.right() - iconSide, content.center().y() - iconSide / 2.0, iconSide,
                      iconSide);
    const qreal commandLeft = content.left() + prompt + gap;
    painter.setPen(look::level(rowColor, look::Level::Primary));
    const QRectF commandBox(commandLeft, content.top(), icon.left() - gap - commandLeft,
                            content.height());
    painter.drawText(commandBox, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(m_command, Qt::ElideRight, commandBox.width()));

    look::paintSymbol(painter, m_copied ? look::Symbol::Checkmark : look::Symbol::Copy, icon,
                      look::level(rowColor, look::Level::Secondary));
}

} // namespace corvane
