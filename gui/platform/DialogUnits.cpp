#include "gui/platform/DialogUnits.h"

#include <QFontMetrics>
#include <QString>
#include <cstdlib>

namespace {

// a * b / c rounded to the nearest integer, halves away from zero; c > 0.
// Dialog coordinates are small, so a * b never leaves int's range.
int MulDivRound(int a, int b, int c) {
  const int product = a * b;
  const int rounded = (std::abs(product) + c / 2) / c;
  return product < 0 ? -rounded : rounded;
}

}  // namespace

CDialogUnits::CDialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  // Windows takes (width / 26 + 1) / 2 in integers: width / 52, rounded.
  m_baseX = (letters / 26 + 1) / 2;
  m_baseY = metrics.height();
  // A font without metrics (no glyphs at all) would collapse the dialog.
  if (m_baseX < 1) m_baseX = 1;
  if (m_baseY < 1) m_baseY = 1;
}

int CDialogUnits::X(int x) const { return MulDivRound(x, m_baseX, 4); }

int CDialogUnits::Y(int y) const { return MulDivRound(y, m_baseY, 8); }

QRect CDialogUnits::Map(const QRect& units) const {
  return {X(units.x()), Y(units.y()), X(units.width()), Y(units.height())};
}
