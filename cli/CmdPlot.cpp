// tremolux-cli plot: the sound dialog's waveform plot drawn off-screen into a
// PNG or SVG file of W x H pixels, with the primitives the painter receives
// written as JSON on request; with --channel all, the stacked view of every
// channel (gui/render/OverviewRender.h) for a report. Needs Qt's painter and image writers, so it
// exists only in builds with Qt.
#ifdef TREMOLUX_CLI_WITH_QT

#include <QBuffer>
#include <QFile>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/CliMessages.h"
#include "cli/Commands.h"
#include "cli/JsonWriter.h"
#include "cli/TimeRange.h"
#include "common/WholeFile.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/plot/PlotGeometry.h"
#include "core/sound/WaveSynthesis.h"
#include "gui/render/OverviewRender.h"
#include "gui/render/PlotRender.h"

namespace {

// The stacked view's default width and rows per lane (its separator included).
constexpr int kOverviewWidth = 1600;
constexpr int kOverviewLanePitch = 60;

enum class ImageFormat { Png, Svg, Unknown };

ImageFormat FormatOf(const std::string& path) {
  const QString name = QFile::decodeName(path.c_str()).toLower();
  if (name.endsWith(".png")) return ImageFormat::Png;
  if (name.endsWith(".svg")) return ImageFormat::Svg;
  return ImageFormat::Unknown;
}

// The samples whose times lie in [from, to] seconds (SamplesOfTimes); the
// whole channel when neither end is given. False, with the reason on stderr,
// when the range is not usable.
bool RangeOfTimes(const PlotOptions& o, const CC3d& c3d, PlotRange& range) {
  range = PlotRange{};
  if (!o.fromGiven && !o.toGiven) return true;
  TimeRange times;
  if (o.fromGiven) times.from = o.from;
  if (o.toGiven) times.to = o.to;
  return SamplesOfTimes(c3d, o.path, times, CliMessages::kNoTimesToPlot, range.first, range.last);
}

// `bytes` into the file `out` whole or not at all. The name's bytes are used
// as given: a detour through QString would turn bytes that are not UTF-8
// into U+FFFD and write under another name.
bool WriteBytes(const std::string& out, const QByteArray& bytes) {
  return WriteWholeFile(out, [&bytes](std::FILE* file) {
    const auto size = static_cast<std::size_t>(bytes.size());
    return std::fwrite(bytes.constData(), 1, size, file) == size;
  });
}

// Draws into a QPainter of the picture's size, origin at its top left.
using PaintFn = std::function<void(QPainter&)>;

bool WritePng(const std::string& out, const QSize& size, const PaintFn& paint) {
  QImage image(size, QImage::Format_RGB32);
  if (image.isNull()) return false;
  {
    QPainter painter(&image);
    paint(painter);
  }
  // Encoded in memory, then written whole or not at all.
  QByteArray png;
  QBuffer buffer(&png);
  return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG") && WriteBytes(out, png);
}

bool WriteSvg(const std::string& out, const QSize& size, const QString& title,
              const PaintFn& paint) {
  QByteArray text;
  QBuffer buffer(&text);
  if (!buffer.open(QIODevice::WriteOnly)) return false;
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setTitle(title);
  {
    QPainter painter(&svg);
    paint(painter);
  }
  return WriteBytes(out, text);
}

// The picture in `format` (PNG or SVG) into `out`, whole or not at all.
bool WritePicture(ImageFormat format, const std::string& out, const QSize& size,
                  const QString& title, const PaintFn& paint) {
  return format == ImageFormat::Png ? WritePng(out, size, paint)
                                    : WriteSvg(out, size, title, paint);
}

// The primitives of one plot of `trace` into the open object: `grid` as
// [x1, y1, x2, y2], `trace` as the [x, y] vertex of every sample, `markers`
// as [left, top, right, bottom].
void WritePlotPrimitives(CJsonWriter& json, const CPlotTrace& trace) {
  json.Key("grid");
  json.BeginArray();
  for (const PlotLine& l : PlotGrid(trace.Width(), trace.Height())) {
    json.BeginArray();
    for (const int v : {l.x1, l.y1, l.x2, l.y2}) json.Int(v);
    json.EndArray();
  }
  json.EndArray();
  json.Key("trace");
  json.BeginArray();
  trace.WalkVertices([&json](const PlotPoint& p) {
    json.BeginArray();
    json.Int(p.x);
    json.Int(p.y);
    json.EndArray();
  });
  json.EndArray();
  json.Key("markers");
  json.BeginArray();
  if (trace.HasMarkers()) {
    trace.Walk([](const PlotPoint&) {},
               [&json](const PlotRect& r) {
                 json.BeginArray();
                 for (const int v : {r.left, r.top, r.right, r.bottom}) json.Int(v);
                 json.EndArray();
               });
  }
  json.EndArray();
}

// The primitives of one paint (WritePlotPrimitives); with events, `events`
// as [x, short label, context].
void WriteGeometryJson(std::FILE* file, const CC3d& c3d, int channel, int width, int height,
                       PlotRange range, const std::vector<PlotEventMark>* marks) {
  const CPlotTrace trace(&c3d, channel, width, height, range);
  CJsonWriter json(file);
  json.BeginObject();
  json.Key("width");
  json.Int(trace.Width());
  json.Key("height");
  json.Int(trace.Height());
  json.Key("channel");
  json.Int(channel);
  WritePlotPrimitives(json, trace);
  if (marks != nullptr) {
    json.Key("events");
    json.BeginArray();
    for (const PlotEventMark& m : *marks) {
      json.BeginArray();
      json.Int(m.x);
      json.Latin1(m.label);
      json.Latin1(m.context);
      json.EndArray();
    }
    json.EndArray();
  }
  json.EndObject();
  json.Finish();
}

// The geometry file, written whole or not at all as the image is.
bool WriteGeometry(const std::string& out, const CC3d& c3d, int channel, int width, int height,
                   PlotRange range, const std::vector<PlotEventMark>* marks) {
  return WriteWholeFile(out, [&](std::FILE* file) {
    WriteGeometryJson(file, c3d, channel, width, height, range, marks);
    return true;
  });
}

// "cannot write the <what>", with the system's reason when it gave one
// (errno as the failed write left it).
void SayCannotWrite(const std::string& path, const char* what) {
  const int reason = errno;
  std::fprintf(stderr, CliMessages::kCannotWrite, path.c_str(), what, reason != 0 ? ": " : "",
               reason != 0 ? std::strerror(reason) : "");
}

// The application object that text needs, off-screen unless a platform is
// asked for.
std::unique_ptr<QGuiApplication> TextApplication() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "tremolux-cli";
  static char* argv[] = {name, nullptr};
  return std::make_unique<QGuiApplication>(argc, argv);
}

}  // namespace

int RunPlot(const PlotOptions& o) {
  const ImageFormat format = FormatOf(o.out);
  if (format == ImageFormat::Unknown) {
    std::fprintf(stderr, CliMessages::kNotPngOrSvg, o.out.c_str());
    return 2;
  }
  CC3d c3d;
  if (!LoadOrSay(c3d, o.path)) return 1;
  const int channel = FindAnalogChannel(c3d, o.channel);
  if (channel < 0) {
    std::fprintf(stderr, CliMessages::kNoSuchChannel, o.path.c_str(), o.channel.c_str(),
                 c3d.m_analogs.size());
    return 2;
  }
  PlotRange range;
  if (!RangeOfTimes(o, c3d, range)) return 2;

  // Lines and fills into an image or SVG need no application object, so no
  // display and no platform theme: the colours are fixed.
  const PlotColors colors = ClassicPlotColors();
  const QRect rect(0, 0, o.width, o.height);

  // Event labels are text, which needs a GUI application object (off-screen
  // unless a platform is asked for); without --events none is made.
  std::vector<PlotEventMark> marks;
  std::unique_ptr<QGuiApplication> app;
  if (o.events) {
    app = TextApplication();
    marks = PlotEventMarks(c3d, channel, o.width, o.height, range);
  }

  errno = 0;  // a failure before the write gives no reason
  const bool drawn = WritePicture(
      format, o.out, rect.size(), QStringLiteral("Tremolux waveform plot"), [&](QPainter& painter) {
        RenderAnalogPlot(painter, rect, &c3d, channel, colors, range, nullptr);
        RenderPlotEvents(painter, rect, marks);
      });
  if (!drawn) {
    SayCannotWrite(o.out, CliMessages::kWhatImage);
    return 1;
  }
  if (!o.geometry.empty() && !WriteGeometry(o.geometry, c3d, channel, o.width, o.height, range,
                                            o.events ? &marks : nullptr)) {
    SayCannotWrite(o.geometry, CliMessages::kWhatGeometry);
    return 1;
  }
  return 0;
}

// The stacked view's primitives: the picture's size, the heading column's
// width, the ruler's rectangle and each lane's channel, heading, rectangle
// ([left, top, width, height]) and plot primitives (WritePlotPrimitives) at
// the lane's size.
void WriteOverviewJson(std::FILE* file, const CC3d& c3d, const OverviewLayout& layout, int width,
                       int height, PlotRange range) {
  const std::vector<std::string> headings = AnalogChannelHeadings(c3d);
  const auto rect = [](CJsonWriter& json, const QRect& r) {
    json.BeginArray();
    for (const int v : {r.left(), r.top(), r.width(), r.height()}) json.Int(v);
    json.EndArray();
  };
  CJsonWriter json(file);
  json.BeginObject();
  json.Key("width");
  json.Int(width);
  json.Key("height");
  json.Int(height);
  json.Key("label_width");
  json.Int(layout.labelWidth);
  json.Key("ruler");
  rect(json, layout.ruler);
  json.Key("lanes");
  json.BeginArray();
  for (std::size_t k = 0; k < layout.lanes.size(); ++k) {
    const QRect& lane = layout.lanes[k];
    json.BeginObject();
    json.Key("channel");
    json.Int(static_cast<std::int64_t>(k));
    json.Key("heading");
    json.Latin1(headings[k]);
    json.Key("rect");
    rect(json, lane);
    WritePlotPrimitives(json,
                        CPlotTrace(&c3d, static_cast<int>(k), lane.width(), lane.height(), range));
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  json.Finish();
}

// plot --channel all: every channel as a lane of the stacked view, in file
// order, over the range given (the whole recording by default).
int RunPlotAll(const PlotOptions& o) {
  const ImageFormat format = FormatOf(o.out);
  if (format == ImageFormat::Unknown) {
    std::fprintf(stderr, CliMessages::kNotPngOrSvg, o.out.c_str());
    return 2;
  }
  if (o.events) {
    std::fprintf(stderr, CliMessages::kRefused, CliMessages::kRefuseEventsAll);
    return 2;
  }
  CC3d c3d;
  if (!LoadOrSay(c3d, o.path)) return 1;
  const std::size_t lanes = c3d.m_analogs.size();
  if (lanes == 0) {
    std::fprintf(stderr, CliMessages::kFileSays, o.path.c_str(),
                 CliMessages::kBatchNoAnalogChannels);
    return 1;
  }
  PlotRange range;
  if (!RangeOfTimes(o, c3d, range)) return 2;

  // Headings and ruler labels are text, sized in the application's font.
  const std::unique_ptr<QGuiApplication> app = TextApplication();
  // Measured on an image as the painter measures when it draws into one.
  QImage probe(1, 1, QImage::Format_RGB32);
  const QFontMetrics metrics(QGuiApplication::font(), &probe);
  const int rulerHeight = OverviewRulerHeight(metrics);
  const int width = o.widthGiven ? o.width : kOverviewWidth;
  const auto tall = static_cast<std::int64_t>(rulerHeight) +
                    static_cast<std::int64_t>(lanes) * kOverviewLanePitch;
  const int height =
      o.heightGiven ? o.height : static_cast<int>(std::min<std::int64_t>(tall, kMaxImageSide));
  const OverviewLayout layout =
      LayoutOverview(width, height, static_cast<int>(lanes),
                     OverviewLabelWidth(metrics, AnalogChannelHeadings(c3d), width), rulerHeight);
  if (layout.lanes.empty()) {
    std::fprintf(stderr, CliMessages::kOverviewTooSmall, o.path.c_str(), width, height, lanes);
    return 2;
  }
  std::vector<int> channels(lanes);
  for (std::size_t k = 0; k < lanes; ++k) channels[k] = static_cast<int>(k);

  errno = 0;  // a failure before the write gives no reason
  const bool drawn =
      WritePicture(format, o.out, QSize(width, height), QStringLiteral("Tremolux channels"),
                   [&](QPainter& painter) {
                     RenderOverview(painter, layout, c3d, channels, range, ClassicPlotColors());
                   });
  if (!drawn) {
    SayCannotWrite(o.out, CliMessages::kWhatImage);
    return 1;
  }
  if (!o.geometry.empty() && !WriteWholeFile(o.geometry, [&](std::FILE* file) {
        WriteOverviewJson(file, c3d, layout, width, height, range);
        return true;
      })) {
    SayCannotWrite(o.geometry, CliMessages::kWhatGeometry);
    return 1;
  }
  return 0;
}

#endif
