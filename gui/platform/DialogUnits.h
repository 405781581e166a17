#pragma once

#include <QRect>

class QFont;

// Converts dialog-template units to pixels the way the Windows dialog manager
// does, so a dialog laid out in those units keeps its proportions at any font
// size and DPI. One horizontal unit is a quarter of the font's average
// character width, one vertical unit an eighth of its height. Holds the two
// base values of one font; cheap to copy.
class CDialogUnits {
 public:
  explicit CDialogUnits(const QFont& font);

  // The average character width as Windows measures it: the width of the 52
  // letters "A".."Z", "a".."z" divided by 52, rounded to the nearest pixel.
  // It differs from QFontMetrics::averageCharWidth, which reads a font table.
  int BaseX() const { return m_baseX; }
  // The font's height, ascent plus descent, in pixels.
  int BaseY() const { return m_baseY; }

  // Pixels of x horizontal (X) or y vertical (Y) units, rounded to the nearest
  // pixel as the dialog manager's MulDiv rounds (halves away from zero).
  int X(int x) const;
  int Y(int y) const;
  // A rectangle given as x, y, width, height in dialog units, in pixels.
  QRect Map(const QRect& units) const;

 private:
  int m_baseX = 0;
  int m_baseY = 0;
};
