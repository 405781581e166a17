#include "gui/render/PolylineRaster.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QTransform>
#include <QVarLengthArray>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

// A segment's direction; the masks select the directions of one axis.
enum Direction : int {
  kNoDirection = 0,
  kDown = 0x1,
  kUp = 0x2,
  kRight = 0x4,
  kLeft = 0x8,
  kVerticalMask = kDown | kUp,
  kHorizontalMask = kRight | kLeft,
};

struct Pixel {
  int x = -1;  // -1: none yet
  int y = -1;
  bool operator==(const Pixel&) const = default;
};

// One polyline's walk: the last pixel drawn and the last segment's
// direction, which decide how the next segment starts. Writes into pixels
// it does not own.
class CLineRaster {
 public:
  CLineRaster(QRgb* bits, qsizetype stride, const QRect& clip, QRgb color)
      : m_bits(bits),
        m_stride(stride),
        m_left(clip.left()),
        m_top(clip.top()),
        m_right(clip.right()),
        m_bottom(clip.bottom()),
        m_color(color) {}

  // The segment from a to b (integer pixel coordinates).
  void Segment(QPoint a, QPoint b) {
    const int dx = std::abs(b.x() - a.x());
    const int dy = std::abs(b.y() - a.y());
    if (dx < dy)
      Walk<true>(a.y(), a.x(), b.y(), b.x());
    else if (dx > 0)
      Walk<false>(a.x(), a.y(), b.x(), b.y());
  }

 private:
  // Along the major axis from m1 to m2, the minor coordinate going from n1
  // to n2; `vertical`: the major axis is y. Positions along the major axis
  // are in 1/64 pixel, the minor one in 16.16 fixed point (pixel = pos >> 16).
  template <bool vertical>
  void Walk(int m1, int n1, int m2, int n2) {
    const int axis = vertical ? kVerticalMask : kHorizontalMask;
    Direction dir = vertical ? kDown : kRight;
    const bool reversed = m1 > m2;
    if (reversed) {
      std::swap(m1, m2);
      std::swap(n1, n2);
      dir = vertical ? kUp : kLeft;
    }
    // Fixed-point step of the minor coordinate per major pixel, truncated
    // toward zero as an integer division does.
    const std::int64_t inc = n1 == n2 ? 0 : (std::int64_t{n2 - n1} << 16) / (m2 - m1);
    std::int64_t pos = std::int64_t{n1} << 16;
    std::int64_t s1 = std::int64_t{m1} * 64;
    std::int64_t s2 = std::int64_t{m2} * 64;
    // Reversing the last segment's direction on this axis: half a pixel
    // more at the turning end.
    if ((m_dir ^ axis) == dir) {
      if (reversed) {
        s2 += 32;
      } else {
        s1 -= 32;
        pos -= inc >> 1;
      }
    }
    std::int64_t i = (s1 + 32) >> 6;
    std::int64_t end = (s2 + 32) >> 6;
    if (i == end) return;  // no pixel centre crossed: nothing changes
    // The first pixel: the minor coordinate at the middle of its major
    // pixel when the minor coordinate grows, at its leading edge otherwise.
    pos += (((i << 6) + (inc > 0 ? 32 : 0) - s1) * inc) >> 6;
    Pixel first = At<vertical>(pos >> 16, i);
    Pixel last = At<vertical>((pos + (end - i - 1) * inc) >> 16, end - 1);
    if (reversed) std::swap(first, last);
    const bool axisAligned = std::abs(inc) < (std::int64_t{1} << 14);
    if (m_last.x >= 0) {
      if (first == m_last) {
        // Its first pixel was drawn already.
        if (reversed) {
          --end;
        } else {
          ++i;
          pos += inc;
        }
      } else if (m_dir != dir &&
                 ((axisAligned && m_lastAxisAligned && m_last.x != first.x &&
                   m_last.y != first.y) ||
                  std::abs(m_last.x - first.x) > 1 || std::abs(m_last.y - first.y) > 1)) {
        // A gap after a turn: one pixel more at the start.
        if (reversed) {
          ++end;
        } else {
          --i;
          pos -= inc;
        }
      }
    }
    m_dir = dir;
    m_lastAxisAligned = axisAligned;
    // At least one pixel, even where the start moved onto the end.
    if (vertical && inc == 0) {
      Run(n1, i, std::max(i, end - 1));
    } else {
      do {
        const Pixel p = At<vertical>(pos >> 16, i);
        Plot(p.x, p.y);
        pos += inc;
      } while (++i < end);
    }
    m_last = last;
  }

  template <bool vertical>
  static Pixel At(std::int64_t minor, std::int64_t major) {
    // Both lie within a pixel of the image: they fit an int.
    return vertical ? Pixel{static_cast<int>(minor), static_cast<int>(major)}
                    : Pixel{static_cast<int>(major), static_cast<int>(minor)};
  }

  void Plot(int x, int y) {
    if (x >= m_left && x <= m_right && y >= m_top && y <= m_bottom)
      m_bits[y * m_stride + x] = m_color;
  }

  // Rows a .. b of column x. A plot's path goes up and down each column
  // several times: the rows this column's runs painted already (one
  // interval, the runs of a path being joined) are not painted again.
  void Run(int x, std::int64_t a, std::int64_t b) {
    if (x != m_runX || b + 1 < m_runLow || a > m_runHigh + 1) {
      Fill(x, a, b);
      m_runX = x;
      m_runLow = a;
      m_runHigh = b;
      return;
    }
    if (a < m_runLow) Fill(x, a, m_runLow - 1);
    if (b > m_runHigh) Fill(x, m_runHigh + 1, b);
    m_runLow = std::min(m_runLow, a);
    m_runHigh = std::max(m_runHigh, b);
  }

  void Fill(int x, std::int64_t a, std::int64_t b) {
    if (x < m_left || x > m_right) return;
    a = std::max<std::int64_t>(a, m_top);
    b = std::min<std::int64_t>(b, m_bottom);
    for (QRgb* p = m_bits + a * m_stride + x; a <= b; ++a, p += m_stride) *p = m_color;
  }

  QRgb* m_bits;
  qsizetype m_stride;                    // pixels per line
  int m_left, m_top, m_right, m_bottom;  // the clip, inclusive
  QRgb m_color;
  int m_runX = -1;  // column of the rows painted by runs (-1: none)
  std::int64_t m_runLow = 0, m_runHigh = -1;
  Pixel m_last;
  int m_dir = kNoDirection;
  bool m_lastAxisAligned = false;
};

}  // namespace

bool RasterPolyline(QImage& image, const QRect& clip, QRgb color, const QPoint* points, int count) {
  if (count < 2 || points[0] == points[count - 1]) return false;
  if (image.format() != QImage::Format_RGB32 &&
      image.format() != QImage::Format_ARGB32_Premultiplied)
    return false;
  const int w = image.width();
  const int h = image.height();
  for (int k = 0; k < count; ++k) {
    const QPoint& p = points[k];
    if (p.x() < 0 || p.x() > w || p.y() < 0 || p.y() > h) return false;
  }
  CLineRaster raster(reinterpret_cast<QRgb*>(image.bits()), image.bytesPerLine() / 4,
                     clip & image.rect(), color | 0xff000000u);
  for (int k = 1; k < count; ++k) raster.Segment(points[k - 1], points[k]);
  return true;
}

void DrawPolyline(QPainter& painter, const QPoint* points, int count) {
  QPaintDevice* device = painter.device();
  const QPaintEngine* engine = painter.paintEngine();
  const QPen pen = painter.pen();
  const QTransform transform = painter.deviceTransform();
  const bool plain =
      device != nullptr && device->devType() == QInternal::Image && engine != nullptr &&
      engine->type() == QPaintEngine::Raster && !painter.testRenderHint(QPainter::Antialiasing) &&
      painter.compositionMode() == QPainter::CompositionMode_SourceOver &&
      painter.opacity() == 1.0 && pen.style() == Qt::SolidLine && pen.isCosmetic() &&
      pen.widthF() == 1.0 && pen.capStyle() == Qt::FlatCap &&
      pen.brush().style() == Qt::SolidPattern && pen.color().alpha() == 255 &&
      transform.type() <= QTransform::TxTranslate && transform.dx() == std::floor(transform.dx()) &&
      transform.dy() == std::floor(transform.dy()) && std::abs(transform.dx()) < 1e6 &&
      std::abs(transform.dy()) < 1e6;
  if (plain) {
    auto* image = static_cast<QImage*>(device);
    // Whole pixels under a million: the conversions are exact.
    const QPoint offset(static_cast<int>(transform.dx()), static_cast<int>(transform.dy()));
    QRect clip = image->rect();
    bool rectangular = image->isDetached();
    if (painter.hasClipping()) {
      const QRegion region = painter.clipRegion();
      rectangular = rectangular && region.rectCount() == 1;
      clip &= region.boundingRect().translated(offset);
    }
    if (rectangular && offset.isNull() &&
        RasterPolyline(*image, clip, pen.color().rgba(), points, count))
      return;
    if (rectangular && !offset.isNull()) {
      QVarLengthArray<QPoint, 1024> moved(count);
      for (int k = 0; k < count; ++k) moved[k] = points[k] + offset;
      if (RasterPolyline(*image, clip, pen.color().rgba(), moved.constData(), count)) return;
    }
  }
  painter.drawPolyline(points, count);
}
