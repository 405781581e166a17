// tremolux-cli plot: the sound dialog's waveform plot drawn off-screen into a
// PNG or SVG file of W x H pixels, with the primitives the painter receives
// written as JSON on request. Needs Qt's painter and image writers, so it
// exists only in builds with Qt.
#ifdef TREMOLUX_CLI_WITH_QT

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
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
#include "gui/render/PlotRender.h"

namespace {

// Largest width or height accepted: a 32767 x 32767 image is already 4 GiB.
constexpr int kMaxImageSide = 32767;

struct PlotOptions {
  std::string path;
  std::string channel;
  int width = 0;
  int height = 0;
  std::string out;
  std::string geometry;
  double from = 0.0;  // seconds from the first sample, when fromGiven
  double to = 0.0;    // seconds, when toGiven
  bool fromGiven = false;
  bool toGiven = false;
  bool events = false;  // draw the file's events (and list them in the geometry)
};

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

bool WritePng(const std::string& out, const QRect& rect, const CC3d& c3d, int channel,
              const PlotColors& colors, PlotRange range, const std::vector<PlotEventMark>& marks) {
  QImage image(rect.size(), QImage::Format_RGB32);
  if (image.isNull()) return false;
  {
    QPainter painter(&image);
    RenderAnalogPlot(painter, rect, &c3d, channel, colors, range, nullptr);
    RenderPlotEvents(painter, rect, marks);
  }
  // Encoded in memory, then written whole or not at all.
  QByteArray png;
  QBuffer buffer(&png);
  return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG") && WriteBytes(out, png);
}

bool WriteSvg(const std::string& out, const QRect& rect, const CC3d& c3d, int channel,
              const PlotColors& colors, PlotRange range, const std::vector<PlotEventMark>& marks) {
  QByteArray text;
  QBuffer buffer(&text);
  if (!buffer.open(QIODevice::WriteOnly)) return false;
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(rect.size());
  svg.setViewBox(rect);
  svg.setTitle(QStringLiteral("Tremolux waveform plot"));
  {
    QPainter painter(&svg);
    RenderAnalogPlot(painter, rect, &c3d, channel, colors, range, nullptr);
    RenderPlotEvents(painter, rect, marks);
  }
  return WriteBytes(out, text);
}

// The primitives of one paint: `grid` as [x1, y1, x2, y2], `trace` as the
// [x, y] vertex of every sample, `markers` as [left, top, right, bottom];
// with events, `events` as [x, short label, context].
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tremolux-cli";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QGuiApplication>(argc, argv);
    marks = PlotEventMarks(c3d, channel, o.width, o.height, range);
  }

  errno = 0;  // a failure before the write gives no reason
  const bool drawn = format == ImageFormat::Png
                         ? WritePng(o.out, rect, c3d, channel, colors, range, marks)
                         : WriteSvg(o.out, rect, c3d, channel, colors, range, marks);
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

}  // namespace

void AddPlotCommand(CLI::App& app) {
  auto o = std::make_shared<PlotOptions>();
  CLI::App* cmd = app.add_subcommand("plot", kPlotHelp);
  cmd->add_option("FILE", o->path, "C3D file")->required();
  cmd->add_option("--channel", o->channel, "0-based channel index, or a channel label as listed")
      ->required();
  cmd->add_option("--width", o->width, "plot width in pixels")
      ->required()
      ->check(CLI::Range(1, kMaxImageSide));
  cmd->add_option("--height", o->height, "plot height in pixels")
      ->required()
      ->check(CLI::Range(1, kMaxImageSide));
  cmd->add_option("-o", o->out, "image to write: OUT.png or OUT.svg")->required();
  cmd->add_option("--geometry", o->geometry,
                  "also write the primitives as JSON: grid [x1,y1,x2,y2], trace [x,y] (one "
                  "vertex per sample), markers [left,top,right,bottom]");
  cmd->add_option("--from", o->from,
                  "draw only the samples from this time on, in seconds from the first sample "
                  "(0 or later); the range is drawn as the whole channel would be, scaled to its "
                  "own smallest and largest value")
      ->each([o](const std::string&) { o->fromGiven = true; });
  cmd->add_option("--to", o->to,
                  "draw only the samples up to this time, in seconds (later than --from; a time "
                  "past the end means the end)")
      ->each([o](const std::string&) { o->toGiven = true; });
  cmd->add_flag("--events", o->events,
                "draws a thin line at each event inside the range, labelled at its top (\"L FS\": "
                "Left Foot Strike), red for left, green for right, purple otherwise; the geometry "
                "gains events [x, label, context]");
  cmd->callback([o] { g_exitCode = RunPlot(*o); });
}

#endif
