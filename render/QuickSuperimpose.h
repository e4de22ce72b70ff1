#pragma once
// The quick superimpose overlay: a free text with a one-pixel shadow below
// it, the current time and the current date, stamped on a frame.

#include "render/RenderSettings.h"

#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QStringList>

namespace stillora {

// The ten items of the position list, in order (the last repeats
// "Middle Center").
const QStringList& SuperimposePositions();

// Top-left corner of a w x h text on a W x H frame for a position item text.
// Each of the words Center, Left, Right, Top, Bottom, Middle found in the
// text sets one coordinate, in that order; a coordinate no word sets is 0.
QPoint SuperimposePosition(int W, int H, int w, int h, const QString& positionText);

// Pixel size used for a font size in points (the overlay is laid out at
// 96 dots per inch, whatever the screen).
int OverlayPixelSize(int points);

// Text height and width as the overlay measures them, with `font` at its
// nominal size.
QSize OverlayTextSize(const QFont& font, const QString& text);

// Draws `text` with its top-left at `at` in `color` (its alpha sets the blend
// opacity). Smoothed: rendered at twice the size and reduced by averaging
// 2 x 2 blocks; unsmoothed: plain one-bit glyphs. The picture is RGB32.
void DrawOverlayText(QImage& picture, QPoint at, const QString& text, const QFont& font,
                     const QColor& color, bool smoothed);

// The moment `when` in the user's long time format and short date format,
// as the system's LC_TIME sets them (what `date +%X` and `date +%x` print),
// in local time and without a time zone of their own.
QString LocalTimeText(const QDateTime& when);
QString LocalDateText(const QDateTime& when);

// Draws the enabled parts on `picture`. `canvasFont` is the picture's font:
// the free text sets its family, size and boldness, and the time and date
// keep that boldness, also on later frames; the caller keeps it between calls.
void DrawQuickSuperimpose(QImage& picture, const SuperimposeSettings& settings, QFont& canvasFont,
                          const QDateTime& now);

} // namespace stillora
