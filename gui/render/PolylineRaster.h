#pragma once

#include <QPoint>
#include <QRect>
#include <QRgb>

class QImage;
class QPainter;

// Draws a polyline through integer points straight into a 32-bit image,
// onto exactly the pixels that Qt's raster engine covers for the same
// QPainter::drawPolyline with an aliased, solid, flat-capped cosmetic pen
// one pixel wide (tst_analogplot compares the two over a table of paths),
// at a small part of its cost per segment.
//
// The line rule it follows: each segment runs along its major axis (rows
// when it is steeper than 45 degrees, else columns) in 16.16 fixed point,
// one pixel per row or column, its far end left out; the minor coordinate
// is sampled at the middle of the first major pixel where it grows and at
// its leading edge where it shrinks. A segment that reverses the one before
// along the same axis is extended by half a pixel at that end, so the
// turning pixel is drawn. Where a segment's first pixel is the last one
// drawn, it starts a pixel later; where it leaves a gap after a turn, it
// starts a pixel earlier.

// Draws the polyline of `count` points, in the image's pixels, in `color`
// made opaque onto the pixels of `image` inside `clip`. False, having drawn
// nothing, when the path is outside what this covers: under two points, a
// closed path (first point equal to the last), or a point outside
// 0 <= x <= width, 0 <= y <= height (the far edges are where a plot's last
// column and bottom row lie).
bool RasterPolyline(QImage& image, const QRect& clip, QRgb color, const QPoint* points, int count);

// Draws the polyline with the painter's pen: through RasterPolyline when the
// painter paints into a 32-bit image with a plain opaque one-pixel cosmetic
// pen, no antialiasing, an integer translation and at most a rectangular
// clip (the cases where the result is the same); otherwise through
// QPainter::drawPolyline.
void DrawPolyline(QPainter& painter, const QPoint* points, int count);
