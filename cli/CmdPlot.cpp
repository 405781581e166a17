// tremolux-cli plot: the sound dialog's waveform plot drawn off-screen into a
// PNG or SVG file of W x H pixels, with the primitives the painter receives
// written as JSON on request. Needs Qt's painter and image writers, so it
// exists only in builds with Qt.
#ifdef TREMOLUX_CLI_WITH_QT

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/JsonWriter.h"
#include "core/c3d/C3d.h"
#include "core/sound/ChannelNames.h"
#include "core/plot/PlotGeometry.h"
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
};

enum class ImageFormat { Png, Svg, Unknown };

ImageFormat FormatOf(const std::string& path) {
  const QString name = QString::fromStdString(path).toLower();
  if (name.endsWith(".png")) return ImageFormat::Png;
  if (name.endsWith(".svg")) return ImageFormat::Svg;
  return ImageFormat::Unknown;
}

bool WritePng(const std::string& out, const QRect& rect, const CC3d& c3d, int channel,
              const PlotColors& colors) {
  QImage image(rect.size(), QImage::Format_RGB32);
  if (image.isNull()) return false;
  {
    QPainter painter(&image);
    RenderAnalogPlot(painter, rect, &c3d, channel, colors);
  }
  return image.save(QString::fromStdString(out), "PNG");
}

bool WriteSvg(const std::string& out, const QRect& rect, const CC3d& c3d, int channel,
              const PlotColors& colors) {
  QFile file(QString::fromStdString(out));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QSvgGenerator svg;
  svg.setOutputDevice(&file);
  svg.setSize(rect.size());
  svg.setViewBox(rect);
  svg.setTitle(QStringLiteral("Tremolux waveform plot"));
  {
    QPainter painter(&svg);
    RenderAnalogPlot(painter, rect, &c3d, channel, colors);
  }
  return file.error() == QFileDevice::NoError;
}

// The primitives of one paint: `grid` as [x1, y1, x2, y2], `trace` as the
// [x, y] vertex of every sample, `markers` as [left, top, right, bottom].
bool WriteGeometry(const std::string& out, const CC3d& c3d, int channel, int width, int height) {
  std::FILE* file = std::fopen(out.c_str(), "wb");
  if (file == nullptr) return false;
  const CPlotTrace trace(&c3d, channel, width, height);
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
  json.EndObject();
  json.Finish();
  const bool written = std::ferror(file) == 0;
  return std::fclose(file) == 0 && written;
}

int RunPlot(const PlotOptions& o) {
  const ImageFormat format = FormatOf(o.out);
  if (format == ImageFormat::Unknown) {
    std::fprintf(stderr, "tremolux-cli: %s: the output must end in .png or .svg\n", o.out.c_str());
    return 2;
  }
  CC3d c3d;
  if (!LoadOrSay(c3d, o.path)) return 1;
  const int channel = FindAnalogChannel(c3d, o.channel);
  if (channel < 0) {
    std::fprintf(stderr, "tremolux-cli: %s: no analog channel \"%s\" (the file has %zu)\n",
                 o.path.c_str(), o.channel.c_str(), c3d.m_analogs.size());
    return 2;
  }

  // Lines and fills into an image or SVG need no application object, so no
  // display and no platform theme: the colours are fixed.
  const PlotColors colors = ClassicPlotColors();
  const QRect rect(0, 0, o.width, o.height);

  const bool drawn = format == ImageFormat::Png ? WritePng(o.out, rect, c3d, channel, colors)
                                                : WriteSvg(o.out, rect, c3d, channel, colors);
  if (!drawn) {
    std::fprintf(stderr, "tremolux-cli: %s: cannot write the image\n", o.out.c_str());
    return 1;
  }
  if (!o.geometry.empty() && !WriteGeometry(o.geometry, c3d, channel, o.width, o.height)) {
    std::fprintf(stderr, "tremolux-cli: %s: cannot write the geometry\n", o.geometry.c_str());
    return 1;
  }
  return 0;
}

}

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
  cmd->callback([o] { g_exitCode = RunPlot(*o); });
}

#endif
