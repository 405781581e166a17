// The waveform plot drawn off-screen: pixels of the grid, trace, markers and
// background; sharpness at a device pixel ratio of 2; the merged trace path
// pixel for pixel equal to the path through every sample; SVG output; the
// widget's state and painting.
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QSvgRenderer>
#include <QtTest>
#include <cmath>
#include <memory>
#include <random>
#include <set>

#include "core/c3d/C3d.h"
#include "core/plot/PlotGeometry.h"
#include "core/plot/PlotSummary.h"
#include "gui/render/PlotRender.h"
#include "gui/render/PolylineRaster.h"
#include "gui/sound/CAnalogPlot.h"
#include "tests/support/HandFilledC3d.h"

namespace {

const QColor kWindow(250, 250, 240);
const QColor kTrace(20, 60, 200);
const QColor kGrid(128, 128, 128);
const QColor kMarkerFill(Qt::white);
const QColor kUnpainted(Qt::black);
const PlotColors kColors{kWindow, kTrace};

// One float (or int16) channel holding `samples`, scale 0.5.
std::unique_ptr<CC3d> MakeC3d(const std::vector<float>& samples, bool integer = false) {
  c3dtest::HandChannel channel;
  channel.raw = samples;
  channel.integer = integer;
  channel.scale = 0.5f;
  return c3dtest::HandFilledC3d(channel);
}

std::vector<float> Sine(int n, double cycles) {
  std::vector<float> v(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    v[static_cast<std::size_t>(i)] =
        static_cast<float>(1000.0 * std::sin(cycles * 2 * M_PI * i / n));
  return v;
}

QImage Render(const CC3d* c3d, int channel, QSize size, qreal ratio = 1.0,
              PlotPath path = PlotPath::Merged) {
  QImage image(size * ratio, QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(kUnpainted);
  QPainter painter(&image);
  RenderAnalogPlot(painter, QRect(QPoint(0, 0), size), c3d, channel, kColors, path);
  return image;
}

QColor At(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

}  // namespace

class TestAnalogPlot : public QObject {
  Q_OBJECT

 private slots:
  void drawsBackgroundGridAndTrace();
  void drawsWhiteMarkersInsideTheirBoxes();
  void staysSharpAtDevicePixelRatioTwo();
  void mergedPathDrawsTheSamePixels_data();
  void mergedPathDrawsTheSamePixels();
  void mergedPathDrawsTheSamePixelsOnSmallRandomPlots();
  void rangeWithSummaryDrawsLikeTheSlicedChannel();
  void rasterPolylineDrawsThePaintersPixels_data();
  void rasterPolylineDrawsThePaintersPixels();
  void rendersValidSvg();
  void widgetStartsEmptyAndPaintsTheChosenChannel();
};

// Each pixel is background, grid grey or trace colour; grey only on grid
// lines, in dots; the trace colour on every vertex; background away from
// the trace and the grid.
void TestAnalogPlot::drawsBackgroundGridAndTrace() {
  const QSize size(288, 100);
  const auto c3d = MakeC3d(Sine(2000, 1.5));
  const QImage image = Render(c3d.get(), 0, size);
  const PlotGeometry g = ComputePlotGeometry(c3d.get(), 0, size.width(), size.height());
  QVERIFY(g.markers.empty());

  std::set<int> gridRows, gridCols;
  for (const PlotLine& l : g.grid) (l.y1 == l.y2 ? gridRows.insert(l.y1) : gridCols.insert(l.x1));
  QCOMPARE(gridRows, (std::set<int>{0, 25, 50, 75, 100}));

  // Rows of the trace's vertices in and next to each column.
  std::vector<int> low(size.width() + 2, size.height() + 5), high(size.width() + 2, -5);
  for (const PlotPoint& p : g.trace)
    for (int x = p.x - 1; x <= p.x + 1; ++x)
      if (x >= 0 && x < size.width()) {
        low[x] = std::min(low[x], p.y);
        high[x] = std::max(high[x], p.y);
      }

  int dotsOnRow25 = 0;
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x) {
      const QColor c = At(image, x, y);
      const bool onGrid = gridRows.count(y) || gridCols.count(x);
      const bool nearTrace = low[x] - 1 <= y && y <= high[x] + 1;
      if (c == kGrid) {
        QVERIFY2(onGrid, qPrintable(QString("grey at %1,%2").arg(x).arg(y)));
        dotsOnRow25 += y == 25;
      } else if (c == kTrace) {
        QVERIFY2(nearTrace, qPrintable(QString("trace colour at %1,%2").arg(x).arg(y)));
      } else {
        QVERIFY2(c == kWindow,
                 qPrintable(QString("colour %1 at %2,%3").arg(c.name()).arg(x).arg(y)));
      }
    }
  // A dotted line: roughly every third pixel of a row, never a solid one.
  QVERIFY(dotsOnRow25 > size.width() / 4);
  QVERIFY(dotsOnRow25 < size.width() / 2);
  // The trace passes through every vertex: the painter leaves out the
  // bottom end of a line, so the vertex or a neighbour has the trace colour.
  for (std::size_t i = 0; i < g.trace.size(); ++i) {
    const PlotPoint& p = g.trace[i];
    bool drawn = false;
    for (int y = p.y - 1; y <= p.y + 1; ++y)
      for (int x = p.x - 1; x <= p.x + 1; ++x)
        drawn = drawn || (image.rect().contains(x, y) && At(image, x, y) == kTrace);
    QVERIFY2(drawn, qPrintable(QString("vertex %1 at %2,%3").arg(i).arg(p.x).arg(p.y)));
  }
}

// 30 samples at W = 400: a white-filled ellipse in each marker box, outlined
// in the trace colour; white nowhere else.
void TestAnalogPlot::drawsWhiteMarkersInsideTheirBoxes() {
  const QSize size(400, 120);
  const auto c3d = MakeC3d(Sine(30, 1.0));
  const QImage image = Render(c3d.get(), 0, size);
  const PlotGeometry g = ComputePlotGeometry(c3d.get(), 0, size.width(), size.height());
  QCOMPARE(g.markers.size(), std::size_t{30});
  const auto inMarker = [&](int x, int y) {
    for (const PlotRect& r : g.markers)
      if (r.left <= x && x < r.right && r.top <= y && y < r.bottom) return true;
    return false;
  };
  for (int y = 0; y < size.height(); ++y)
    for (int x = 0; x < size.width(); ++x)
      if (At(image, x, y) == kMarkerFill)
        QVERIFY2(inMarker(x, y), qPrintable(QString("white at %1,%2").arg(x).arg(y)));
  for (const PlotRect& r : g.markers) {
    if (r.left < 0 || r.top < 0 || r.right > size.width() || r.bottom > size.height() ||
        r.right - r.left != 4 || r.bottom - r.top != 4)
      continue;
    // A 4 x 4 box: white in its middle, the outline on its edges' centres
    // (the segment to the next vertex leaves the centre to the right).
    QCOMPARE(At(image, r.left + 1, r.top + 1), kMarkerFill);
    QCOMPARE(At(image, r.left, r.top + 1), kTrace);
    QCOMPARE(At(image, r.right - 1, r.top + 2), kTrace);
  }
}

// At a device pixel ratio of 2 the plot covers the whole device, with
// nothing but its four colours (no blending), and its one-pixel lines at
// twice the logical coordinates.
void TestAnalogPlot::staysSharpAtDevicePixelRatioTwo() {
  const QSize size(288, 100);
  const auto c3d = MakeC3d(Sine(25, 2.0));
  const QImage image = Render(c3d.get(), 0, size, 2.0);
  QCOMPARE(image.size(), QSize(576, 200));
  const std::set<QRgb> allowed{kWindow.rgb(), kTrace.rgb(), kGrid.rgb(), kMarkerFill.rgb()};
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      QVERIFY2(allowed.count(c), qPrintable(QString("blended pixel at %1,%2").arg(x).arg(y)));
    }
  // The grid line at logical row 50 is one device row thick.
  int greyAt100 = 0, greyAt101 = 0;
  for (int x = 0; x < image.width(); ++x) {
    greyAt100 += image.pixel(x, 100) == kGrid.rgb();
    greyAt101 += image.pixel(x, 101) == kGrid.rgb();
  }
  QVERIFY(greyAt100 > image.width() / 4);
  QCOMPARE(greyAt101, 0);
}

enum class Shape { NoisyTone, Steps, Spikes, RandomWalk };

void TestAnalogPlot::mergedPathDrawsTheSamePixels_data() {
  QTest::addColumn<int>("samples");
  QTest::addColumn<bool>("integer");
  QTest::addColumn<QSize>("size");
  QTest::addColumn<qreal>("ratio");
  QTest::addColumn<int>("shape");
  const auto row = [](const char* name, int n, bool integer, QSize size, qreal ratio, Shape shape) {
    QTest::newRow(name) << n << integer << size << ratio << static_cast<int>(shape);
  };
  row("dialog size, noisy tone", 200000, false, QSize(576, 244), 1.0, Shape::NoisyTone);
  row("int16 tone, many samples per column", 50000, true, QSize(37, 13), 1.0, Shape::NoisyTone);
  row("about one sample per column", 700, false, QSize(640, 480), 1.0, Shape::NoisyTone);
  row("two samples per column", 1999, true, QSize(1000, 300), 1.0, Shape::NoisyTone);
  row("few levels, many repeats", 60000, true, QSize(300, 120), 1.0, Shape::Steps);
  row("sparse spikes", 60000, false, QSize(500, 200), 1.0, Shape::Spikes);
  row("random walk", 65000, false, QSize(211, 97), 1.0, Shape::RandomWalk);
  row("device pixel ratio 2", 65000, false, QSize(288, 122), 2.0, Shape::NoisyTone);
  row("one pixel", 1000, false, QSize(1, 1), 1.0, Shape::NoisyTone);
}

// The merged path (the default) and the path through every sample give
// identical images, pixel for pixel.
void TestAnalogPlot::mergedPathDrawsTheSamePixels() {
  QFETCH(int, samples);
  QFETCH(bool, integer);
  QFETCH(QSize, size);
  QFETCH(qreal, ratio);
  QFETCH(int, shape);
  std::mt19937 rng(static_cast<unsigned>(samples + shape));
  std::normal_distribution<float> noise(0.0f, 300.0f);
  std::uniform_int_distribution<int> level(-3, 3), spike(0, 499);
  std::vector<float> v = Sine(samples, 7.0);
  float walk = 0.0f;
  for (float& s : v) {
    switch (static_cast<Shape>(shape)) {
      case Shape::NoisyTone:
        s = std::trunc(s + noise(rng));
        break;
      case Shape::Steps:
        s = 100.0f * static_cast<float>(level(rng));
        break;
      case Shape::Spikes:
        s = spike(rng) == 0 ? 5000.0f * std::copysign(1.0f, s) : 0.0f;
        break;
      case Shape::RandomWalk:
        s = walk += std::trunc(noise(rng) / 30.0f);
        break;
    }
  }
  const auto c3d = MakeC3d(v, integer);
  const QImage merged = Render(c3d.get(), 0, size, ratio, PlotPath::Merged);
  const QImage every = Render(c3d.get(), 0, size, ratio, PlotPath::EverySample);
  QVERIFY(merged == every);
}

// The joins the painter makes between columns depend on a run's first and
// last moves and on where its largest row lies: many small plots of a few
// samples per column, with gentle and steep slopes, reach those cases.
void TestAnalogPlot::mergedPathDrawsTheSamePixelsOnSmallRandomPlots() {
  std::mt19937 rng(4242);
  std::uniform_int_distribution<int> side(4, 48), perColumn(1, 12), step(-3, 3), big(-40, 40);
  for (int round = 0; round < 2000; ++round) {
    const QSize size(side(rng), side(rng));
    const int n = size.width() * perColumn(rng) + step(rng) + 3;
    std::vector<float> v(static_cast<std::size_t>(n));
    float walk = 0.0f;
    const bool steep = round % 3 == 0;
    for (float& s : v) s = walk += static_cast<float>(steep ? big(rng) : step(rng));
    const auto c3d = MakeC3d(v, round % 2 == 0);
    const QImage merged = Render(c3d.get(), 0, size, 1.0, PlotPath::Merged);
    const QImage every = Render(c3d.get(), 0, size, 1.0, PlotPath::EverySample);
    QVERIFY2(merged == every, qPrintable(QString("round %1: %2 samples in %3 x %4")
                                             .arg(round)
                                             .arg(n)
                                             .arg(size.width())
                                             .arg(size.height())));
  }
}

// A range drawn from the channel's summary is pixel for pixel the slice of
// its samples drawn as a channel through every vertex; the whole channel
// with the summary is today's drawing. Random ranges of a long noisy
// channel (int16 and float), from a few samples per column to thousands.
void TestAnalogPlot::rangeWithSummaryDrawsLikeTheSlicedChannel() {
  constexpr int kLong = 400000;
  std::mt19937 rng(99);
  std::normal_distribution<float> noise(0.0f, 300.0f);
  for (const bool integer : {false, true}) {
    std::vector<float> v = Sine(kLong, 37.0);
    for (float& s : v) s = std::trunc(s + noise(rng));
    const auto c3d = MakeC3d(v, integer);
    const CPlotSummary summary(*c3d, 0);
    const QSize size(576, 244);
    const auto render = [&](const CC3d* file, PlotRange range, const CPlotSummary* s,
                            PlotPath path) {
      QImage image(size, QImage::Format_RGB32);
      image.fill(kUnpainted);
      QPainter painter(&image);
      RenderAnalogPlot(painter, QRect(QPoint(0, 0), size), file, 0, kColors, range, s, path);
      return image;
    };
    QVERIFY(render(c3d.get(), PlotRange{}, &summary, PlotPath::Merged) ==
            Render(c3d.get(), 0, size, 1.0, PlotPath::EverySample));
    std::uniform_int_distribution<int> at(0, kLong - 1), length(2, 65535);
    for (int round = 0; round < 12; ++round) {
      // Slices of the hand-filled kind: up to 65535 samples, or whole thousands.
      const int n = round % 4 == 3 ? 1000 * (66 + at(rng) % 300) : length(rng);
      const int first = at(rng) % (kLong - n + 1);
      const std::vector<float> slice(v.begin() + first, v.begin() + first + n);
      const auto sliced = MakeC3d(slice, integer);
      const QImage zoomed =
          render(c3d.get(), PlotRange{first, first + n}, &summary, PlotPath::Merged);
      const QImage expected = render(sliced.get(), PlotRange{}, nullptr, PlotPath::EverySample);
      QVERIFY2(zoomed == expected, qPrintable(QString("%1 samples from %2").arg(n).arg(first)));
    }
  }
}

enum class PathShape { Columns, SmallSteps, LongSegments, Flat, Repeats };

void TestAnalogPlot::rasterPolylineDrawsThePaintersPixels_data() {
  QTest::addColumn<int>("shape");
  QTest::addColumn<bool>("premultiplied");
  QTest::addColumn<bool>("clipped");
  QTest::addColumn<bool>("translated");
  const auto row = [](const char* name, PathShape shape, bool premultiplied, bool clipped,
                      bool translated) {
    QTest::newRow(name) << static_cast<int>(shape) << premultiplied << clipped << translated;
  };
  row("column runs (merged plot paths)", PathShape::Columns, false, false, false);
  row("column runs, clipped and translated", PathShape::Columns, false, true, true);
  row("small steps every way", PathShape::SmallSteps, false, false, false);
  row("small steps, premultiplied image", PathShape::SmallSteps, true, false, false);
  row("long segments, clipped", PathShape::LongSegments, false, true, false);
  row("gentle slopes", PathShape::Flat, false, false, true);
  row("repeated and zero-length steps", PathShape::Repeats, false, false, false);
}

// RasterPolyline, and DrawPolyline where it takes that way, cover exactly
// the pixels QPainter::drawPolyline covers with the plot's pen: many random
// paths of each kind, on images up to 60 pixels a side, points reaching the
// right and bottom edge (one past the last pixel).
void TestAnalogPlot::rasterPolylineDrawsThePaintersPixels() {
  QFETCH(int, shape);
  QFETCH(bool, premultiplied);
  QFETCH(bool, clipped);
  QFETCH(bool, translated);
  std::mt19937 rng(static_cast<unsigned>(7 + shape));
  std::uniform_int_distribution<int> side(2, 60), perColumn(1, 7), small(-3, 3), coin(0, 3);
  const QImage::Format format =
      premultiplied ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
  QPen pen(kTrace, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
  pen.setCosmetic(true);
  for (int round = 0; round < 400; ++round) {
    const int w = side(rng);
    const int h = side(rng);
    std::uniform_int_distribution<int> anyX(0, w), anyY(0, h);
    QList<QPoint> points;
    const auto add = [&](int x, int y) {
      points.append(QPoint(std::clamp(x, 0, w), std::clamp(y, 0, h)));
    };
    switch (static_cast<PathShape>(shape)) {
      case PathShape::Columns:
        for (int c = 0; c <= w; ++c)
          for (int k = perColumn(rng); k > 0; --k) add(c, anyY(rng));
        break;
      case PathShape::SmallSteps:
        add(anyX(rng), anyY(rng));
        for (int k = 0; k < 60; ++k)
          add(points.back().x() + small(rng), points.back().y() + small(rng));
        break;
      case PathShape::LongSegments:
        for (int k = 0; k < 12; ++k) add(anyX(rng), anyY(rng));
        break;
      case PathShape::Flat:
        add(0, anyY(rng));
        for (int k = 0; k < 20; ++k)
          add(points.back().x() + 1 + coin(rng) * 5, points.back().y() + small(rng));
        break;
      case PathShape::Repeats:
        add(anyX(rng), anyY(rng));
        for (int k = 0; k < 40; ++k)
          coin(rng) == 0 ? add(points.back().x(), points.back().y())
                         : add(points.back().x() + small(rng), points.back().y() + small(rng) * 4);
        break;
    }
    const QPoint offset = translated ? QPoint(3, 2) : QPoint(0, 0);
    const QRect clip = clipped ? QRect(w / 4, h / 3, w / 2 + 1, h / 2 + 1) : QRect(0, 0, w, h);
    const bool closed = points.front() == points.back();
    bool raster = true;  // RasterPolyline drew: false only for a closed path
    const auto draw = [&](bool painters) {
      QImage image(w + offset.x(), h + offset.y(), format);
      image.fill(kWindow);
      QPainter painter(&image);
      painter.translate(offset);
      if (clipped) painter.setClipRect(clip);
      painter.setPen(pen);
      const int count = static_cast<int>(points.size());
      if (painters)
        painter.drawPolyline(points.constData(), count);
      else if (translated || clipped)
        DrawPolyline(painter, points.constData(), count);
      else
        raster = RasterPolyline(image, clip, kTrace.rgb(), points.constData(), count);
      painter.end();
      return image;
    };
    const QImage own = draw(false);
    QCOMPARE(raster, translated || clipped || !closed);
    if (!raster) continue;
    QVERIFY2(
        own == draw(true),
        qPrintable(
            QString("round %1, %2 points in %3 x %4").arg(round).arg(points.size()).arg(w).arg(h)));
  }
}

// The same drawing goes to SVG: a valid document of the plot's size.
void TestAnalogPlot::rendersValidSvg() {
  const auto c3d = MakeC3d(Sine(500, 3.0));
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(QSize(288, 100));
  svg.setViewBox(QRect(0, 0, 288, 100));
  {
    QPainter painter(&svg);
    RenderAnalogPlot(painter, QRect(0, 0, 288, 100), c3d.get(), 0, kColors);
  }
  QSvgRenderer renderer(buffer.data());
  QVERIFY(renderer.isValid());
  QCOMPARE(renderer.viewBox(), QRect(0, 0, 288, 100));
  QVERIFY(buffer.data().contains("polyline"));
}

// The widget draws nothing until the dialog chooses a channel; then it
// paints that channel inside its sunken frame.
void TestAnalogPlot::widgetStartsEmptyAndPaintsTheChosenChannel() {
  const auto c3d = MakeC3d(Sine(1000, 2.0));
  CAnalogPlot plot;
  QCOMPARE(plot.m_nChannel, -1);
  QCOMPARE(plot.m_pC3d, static_cast<CC3d*>(nullptr));
  QCOMPARE(plot.frameShadow(), QFrame::Sunken);
  QPalette palette = plot.palette();
  palette.setColor(QPalette::Base, kWindow);
  palette.setColor(QPalette::Highlight, kTrace);
  plot.setPalette(palette);
  plot.resize(300, 120);
  plot.m_pC3d = c3d.get();

  const auto count = [](const QImage& image, const QColor& colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour.rgb();
    return n;
  };
  const QImage empty = plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
  QCOMPARE(count(empty, kTrace), 0);

  plot.m_nChannel = 0;
  const QImage drawn = plot.grab().toImage().convertToFormat(QImage::Format_RGB32);
  QVERIFY(count(drawn, kTrace) > 300);
  // The plot fills the inside of the frame; the frame's edge is not the background.
  const QRect inside = plot.contentsRect();
  QCOMPARE(inside, plot.rect().adjusted(1, 1, -1, -1));
  QCOMPARE(QColor(drawn.pixel(inside.left() + 3, inside.top() + 3)), kWindow);
  QVERIFY(QColor(drawn.pixel(0, 0)) != kWindow);
  QVERIFY(!QGuiApplication::overrideCursor());  // the wait cursor ended with the paint
}

QTEST_MAIN(TestAnalogPlot)
#include "tst_analogplot.moc"
