#pragma once

#include "Look.h"

#include <QLabel>

namespace corvane {

// Plain text in one of the label colour levels. The colour is taken from the palette each time the
// label is drawn, so a change of theme recolours it; the palette itself is left untouched. For a
// screen reader it is an ordinary label.
class LevelLabel : public QLabel {
    Q_OBJECT
public:
    LevelLabel(const QString& text, const QFont& font, look::Level level,
               QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    look::Level m_level;
};

} // namespace corvane
