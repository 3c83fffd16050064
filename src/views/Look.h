#pragma once

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QPalette>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace corvane {

// The shared look of every screen: fonts, colour levels and symbols, in one place.
//
// Sizes are logical pixels (a point on macOS is one logical pixel; on Linux a Qt point is a third
// larger at 96 dpi, and the fixed window would overflow), so fonts are set by pixel size.
namespace look {

// The application's default font at a pixel size and weight.
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal);

// The system's fixed-pitch font at a pixel size and weight.
QFont monospaceFont(int pixelSize, QFont::Weight weight = QFont::Normal);

// Label colour levels, from the strongest to the faintest: the text colour at about 85 %, 50 %,
// 26 % and 10 % opacity (85 %, 60 %, 40 % and 10 % on a dark palette, where light text thinned by
// transparency reads fainter), so that a dark theme works as well as a light one.
enum class Level { Primary, Secondary, Tertiary, Quaternary };

// base at the opacity of a level, as on a light palette.
QColor level(const QColor& base, Level level);

// The palette's text colour at a level.
QColor label(const QPalette& palette, Level level);

// The palette's highlight, for fills, rings and marks. On a dark palette a highlight too dark to
// tell apart from the window (below 3:1) is lightened in its own hue until it can be.
QColor accent(const QPalette& palette);
// The highlight for text on the window: lightened likewise on a dark palette, to 4.5:1.
QColor accentText(const QPalette& palette);
QColor green(const QPalette& palette);     // the standard green, a shade lighter on dark themes
QColor separator(const QPalette& palette); // thin lines and borders

bool isDark(const QPalette& palette);

// A rounded rectangle with continuous corners: the curvature eases into the straight edges
// instead of meeting them as a circular arc, as the corners of the system's own controls do. Each
// corner reaches about 1.53 x radius along its edges; radius shrinks to fit a small rectangle.
QPainterPath continuousRoundedRect(const QRectF& rect, qreal radius);

// The keyboard focus ring along shape's edge: the accent colour, half opaque, focusRingMargin
// pixels wide. Outside the shape by default, for controls that leave that margin free around
// their bezel; inside it for a control whose bezel must fill its area.
inline constexpr int focusRingMargin = 3;
enum class RingSide { Outside, Inside };
void paintFocusRing(QPainter& painter, const QPainterPath& shape, const QPalette& palette,
                    RingSide side = RingSide::Outside);

// Makes widget a graphic to screen readers (role Graphic). While it has no accessible name it is
// decorative and reported as invisible, so that screen readers pass over it.
void makeGraphic(QWidget* widget);

// Symbols drawn in code, crisp at any device pixel ratio.
enum class Symbol {
    CheckboxOn,        // ticked box, filled
    CheckboxOff,       // empty box
    RadioOn,           // ring with a filled centre
    RadioOff,          // empty ring
    CheckCircleFilled, // check mark in a filled circle
    XCircle,           // x in a circle
    ExclamationCircle, // exclamation mark in a circle
    Checkmark,         // check mark alone
    Copy,              // two overlapping documents
};

// Stroke weight of a symbol's lines.
enum class Stroke { Light, Regular };

// Paints symbol centred in box, as large as the box's shorter side allows, in color. Filled
// symbols draw their inner mark in white.
void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color,
                 Stroke stroke = Stroke::Regular);

} // namespace look

} // namespace corvane
