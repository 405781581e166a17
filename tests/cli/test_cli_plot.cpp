// tremolux-cli plot end to end: --geometry must give exactly the core's
// primitives for the same file, the PNG and SVG files must be complete and
// of the asked size, and refusals must exit 1 (failed) or 2 (bad usage).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <optional>

#include "core/c3d/C3d.h"
#include "core/plot/PlotGeometry.h"
#include "tests/support/C3dWriter.h"
#include "tests/support/RunCli.h"
#include "tests/support/ScratchDir.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t BigEndian32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
  return v;
}

// A complete PNG of width x height: the signature, IHDR first, IEND last.
void ExpectPng(const fs::path& file, int width, int height) {
  const std::string png = ReadText(file);
  ASSERT_GT(png.size(), 8u + 25u + 12u) << file;
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(BigEndian32(png, 16), static_cast<std::uint32_t>(width));
  EXPECT_EQ(BigEndian32(png, 20), static_cast<std::uint32_t>(height));
  EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND");
}

// A complete SVG document whose view box is the plot, with a trace.
void ExpectSvg(const fs::path& file, int width, int height) {
  const std::string svg = ReadText(file);
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u) << file;
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(
      svg.find("viewBox=\"0 0 " + std::to_string(width) + " " + std::to_string(height) + "\""),
      std::string::npos);
  EXPECT_NE(svg.find("polyline"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

PlotGeometry CoreGeometry(const fs::path& file, int channel, int width, int height) {
  CC3d c3d;
  c3d.m_strPathName = file.string();
  EXPECT_TRUE(c3d.Load()) << file;
  return ComputePlotGeometry(&c3d, channel, width, height);
}

// The JSON written by --geometry against the core's primitives, element by element.
void ExpectSameGeometry(const json& j, const PlotGeometry& g) {
  ASSERT_EQ(j.at("grid").size(), g.grid.size());
  for (std::size_t i = 0; i < g.grid.size(); ++i) {
    const PlotLine& l = g.grid[i];
    EXPECT_EQ(j["grid"][i], json::array({l.x1, l.y1, l.x2, l.y2})) << "grid " << i;
  }
  ASSERT_EQ(j.at("trace").size(), g.trace.size());
  for (std::size_t i = 0; i < g.trace.size(); ++i)
    ASSERT_EQ(j["trace"][i], json::array({g.trace[i].x, g.trace[i].y})) << "vertex " << i;
  ASSERT_EQ(j.at("markers").size(), g.markers.size());
  for (std::size_t i = 0; i < g.markers.size(); ++i) {
    const PlotRect& r = g.markers[i];
    EXPECT_EQ(j["markers"][i], json::array({r.left, r.top, r.right, r.bottom})) << "marker " << i;
  }
}

void ExpectSameGeometry(const fs::path& jsonFile, const PlotGeometry& g) {
  ExpectSameGeometry(json::parse(ReadText(jsonFile)), g);
}

// The primitives CPlotTrace gives for `range` of `channel` at width x height.
PlotGeometry TraceGeometry(const fs::path& file, int channel, int width, int height,
                           PlotRange range) {
  CC3d c3d;
  c3d.m_strPathName = file.string();
  EXPECT_TRUE(c3d.Load()) << file;
  const CPlotTrace trace(&c3d, channel, width, height, range);
  PlotGeometry g;
  g.grid = PlotGrid(width, height);
  trace.Walk([&g](const PlotPoint& p) { g.trace.push_back(p); },
             [&g](const PlotRect& r) { g.markers.push_back(r); });
  return g;
}

// Two labelled channels of frames x S samples: a sine and a ramp.
c3dtest::Recording TwoChannels(c3dtest::Proc proc, bool floatData, int frames,
                               int samplesPerFrame) {
  c3dtest::Recording rec;
  rec.proc = proc;
  rec.floatData = floatData;
  rec.samplesPerFrame = static_cast<std::uint16_t>(samplesPerFrame);
  const std::size_t n =
      static_cast<std::size_t>(frames) * static_cast<std::size_t>(samplesPerFrame);
  rec.analog.assign(2, std::vector<double>(n));
  for (std::size_t i = 0; i < n; ++i) {
    rec.analog[0][i] = std::round(900 * std::sin(0.05 * static_cast<double>(i)));
    rec.analog[1][i] = static_cast<double>(i % 300) - 100;
  }
  c3dtest::AddStandardParameters(rec, {"Left", "Right"}, {0.5, -2.0}, {10, 0}, std::nullopt);
  return rec;
}

class CliPlot : public testing::Test {
 protected:
  void SetUp() override {
    if (Run({"plot", "--help"}).exitCode != 0)
      GTEST_SKIP() << "tremolux-cli built without Qt: no plot";
  }
  c3dtest::CliRun Run(const std::vector<std::string>& args) {
    return c3dtest::RunCli(TREMOLUX_CLI, args, m_scratch.Path());
  }
  fs::path Write(const c3dtest::Recording& rec, const std::string& name) {
    const fs::path file = m_scratch / name;
    EXPECT_TRUE(c3dtest::WriteFile(file.string(), c3dtest::WriteC3d(rec)));
    return file;
  }
  // Plots `channel` of `file` at width x height into OUT.png with
  // --geometry, and checks both against the core.
  void PlotAndCompare(const fs::path& file, const std::string& channelArg, int channel, int width,
                      int height) {
    const fs::path png = m_scratch / "plot.png";
    const fs::path geometry = m_scratch / "plot.json";
    const auto run = Run({"plot", file.string(), "--channel", channelArg, "--width",
                          std::to_string(width), "--height", std::to_string(height), "-o",
                          png.string(), "--geometry", geometry.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    ExpectPng(png, width, height);
    ExpectSameGeometry(geometry, CoreGeometry(file, channel, width, height));
  }

  c3dtest::ScratchDir m_scratch;
};

struct GeometryCase {
  const char* what;
  c3dtest::Proc proc;
  bool floatData;
  int frames, samplesPerFrame;
  std::string channelArg;
  int channel, width, height;
};

class CliPlotGeometry : public CliPlot, public testing::WithParamInterface<GeometryCase> {};

// --geometry gives the core's grid, one vertex per sample and the markers,
// for each processor format, integer and float samples, negative scales,
// channels named by index or label, sizes with and without markers.
TEST_P(CliPlotGeometry, AgreesWithTheCorePrimitives) {
  const GeometryCase& c = GetParam();
  const fs::path file =
      Write(TwoChannels(c.proc, c.floatData, c.frames, c.samplesPerFrame), "two.c3d");
  PlotAndCompare(file, c.channelArg, c.channel, c.width, c.height);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliPlotGeometry,
    testing::Values(
        GeometryCase{"intel_int_by_index", c3dtest::Proc::Intel, false, 200, 4, "0", 0, 288, 100},
        GeometryCase{"dec_float_by_label", c3dtest::Proc::Dec, true, 200, 4, "Right", 1, 576, 244},
        GeometryCase{"mips_int_markers", c3dtest::Proc::Mips, false, 30, 1, "Left", 0, 400, 120},
        GeometryCase{"intel_float_no_markers", c3dtest::Proc::Intel, true, 30, 1, "1", 1, 300, 120},
        GeometryCase{"one_pixel", c3dtest::Proc::Intel, false, 50, 2, "0", 0, 1, 1},
        GeometryCase{"wide_and_flat", c3dtest::Proc::Intel, true, 500, 8, "1", 1, 4000, 20}),
    [](const testing::TestParamInfo<GeometryCase>& param) {
      return std::string(param.param.what);
    });

// The same plot as SVG: a complete document with the plot's view box.
TEST_F(CliPlot, WritesSvg) {
  const fs::path file = Write(TwoChannels(c3dtest::Proc::Intel, false, 100, 2), "two.c3d");
  const fs::path svg = m_scratch / "plot.SVG";
  const auto run = Run({"plot", file.string(), "--channel", "Left", "--width", "288", "--height",
                        "122", "-o", svg.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ExpectSvg(svg, 288, 122);
}

// Every channel of the demo recording, at the dialog's size.
TEST_F(CliPlot, DrawsTheDemoRecording) {
  const fs::path demo = TREMOLUX_DEMO_C3D;
  if (!fs::exists(demo)) GTEST_SKIP() << "no demo recording at " << demo;
  for (int channel = 0; channel < 4; ++channel) {
    SCOPED_TRACE(channel);
    PlotAndCompare(demo, std::to_string(channel), channel, 576, 244);
  }
}

// The last channel of every real sample file that has analog channels (the
// geometry agrees with the core's; files the reader refuses are left out).
TEST_F(CliPlot, DrawsRealFiles) {
  const fs::path samples = TREMOLUX_SAMPLES_DIR;
  if (!fs::is_directory(samples)) GTEST_SKIP() << "no sample folder at " << samples;
  int plotted = 0;
  for (const auto& entry : fs::recursive_directory_iterator(samples)) {
    std::string ext = entry.path().extension().string();
    for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (!entry.is_regular_file() || ext != ".c3d") continue;
    CC3d c3d;
    c3d.m_strPathName = entry.path().string();
    if (!c3d.Load() || c3d.m_analogs.empty()) continue;
    SCOPED_TRACE(entry.path().string());
    PlotAndCompare(entry.path(), std::to_string(c3d.m_analogs.size() - 1),
                   static_cast<int>(c3d.m_analogs.size() - 1), 288, 122);
    ++plotted;
  }
  EXPECT_GT(plotted, 20);
}

struct RangeCase {
  const char* what;
  bool floatData;
  int samplesPerFrame;
  std::string from, to;       // empty: option left out
  int firstFrame, lastFrame;  // the sliced copy keeps frames [firstFrame, lastFrame)
  int width, height;
};

class CliPlotRange : public CliPlot, public testing::WithParamInterface<RangeCase> {};

// --from/--to draws the same image and geometry as plotting a copy of the
// file that holds only the samples of that time range (frame rate 100, so
// frame f starts at f / 100 s). Catches a range off by one sample at either
// end, times read in frames instead of samples, and extremes of the whole
// channel used for a range. The whole span as a range gives the default
// output byte for byte.
TEST_P(CliPlotRange, EqualsPlottingASlicedCopy) {
  const RangeCase& c = GetParam();
  constexpr int kFrames = 400;
  const c3dtest::Recording rec =
      TwoChannels(c3dtest::Proc::Intel, c.floatData, kFrames, c.samplesPerFrame);
  c3dtest::Recording cut = rec;
  const std::size_t s = static_cast<std::size_t>(c.samplesPerFrame);
  for (auto& channel : cut.analog)
    channel = std::vector<double>(channel.begin() + static_cast<std::ptrdiff_t>(c.firstFrame * s),
                                  channel.begin() + static_cast<std::ptrdiff_t>(c.lastFrame * s));
  const fs::path file = Write(rec, "whole.c3d");
  const fs::path sliced = Write(cut, "sliced.c3d");

  const auto plot = [&](const fs::path& in, const std::string& stem, bool ranged) {
    std::vector<std::string> args = {"plot",       in.string(),
                                     "--channel",  "Left",
                                     "--width",    std::to_string(c.width),
                                     "--height",   std::to_string(c.height),
                                     "-o",         (m_scratch / (stem + ".png")).string(),
                                     "--geometry", (m_scratch / (stem + ".json")).string()};
    if (ranged && !c.from.empty()) args.insert(args.end(), {"--from", c.from});
    if (ranged && !c.to.empty()) args.insert(args.end(), {"--to", c.to});
    const auto run = Run(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
  };
  plot(file, "range", true);
  plot(sliced, "sliced", false);
  EXPECT_EQ(ReadText(m_scratch / "range.json"), ReadText(m_scratch / "sliced.json"));
  EXPECT_EQ(ReadText(m_scratch / "range.png"), ReadText(m_scratch / "sliced.png"));
  EXPECT_FALSE(json::parse(ReadText(m_scratch / "range.json")).at("trace").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliPlotRange,
    testing::Values(
        RangeCase{"int_one_sample_per_frame", false, 1, "0.5", "1.49", 50, 150, 576, 244},
        RangeCase{"float_four_per_frame", true, 4, "1.2", "2.9975", 120, 300, 288, 122},
        // 0.29 x 100 is 28.999999999999996 in double: sample 29 still belongs in.
        RangeCase{"time_short_of_an_instant", false, 1, "0.29", "0.58", 29, 59, 200, 80},
        RangeCase{"from_only", false, 2, "3", "", 300, 400, 576, 244},
        RangeCase{"to_past_the_end", true, 1, "2", "99", 200, 400, 300, 100},
        RangeCase{"few_samples_with_markers", false, 1, "1", "1.09", 100, 110, 400, 120},
        RangeCase{"whole_span_is_the_default", false, 2, "0", "3.995", 0, 400, 576, 244}),
    [](const testing::TestParamInfo<RangeCase>& param) { return std::string(param.param.what); });

struct RefusalCase {
  const char* what;
  std::vector<std::string> args;  // after "plot FILE"
  int exitCode;
  std::string message;  // part of stderr
};

class CliPlotRefusal : public CliPlot, public testing::WithParamInterface<RefusalCase> {};

// Bad usage exits 2, a file that cannot be written 1, each saying why;
// nothing is written on bad usage.
TEST_P(CliPlotRefusal, ExitsWithTheRightStatus) {
  const RefusalCase& c = GetParam();
  const fs::path file = Write(TwoChannels(c3dtest::Proc::Intel, false, 10, 1), "two.c3d");
  std::vector<std::string> args = {"plot", file.string()};
  for (const std::string& a : c.args)
    args.push_back(a == "OUT" ? (m_scratch / "out.png").string() : a);
  const auto run = Run(args);
  EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
  EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  if (c.exitCode == 2) {
    EXPECT_FALSE(fs::exists(m_scratch / "out.png"));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CliPlotRefusal,
    testing::Values(
        RefusalCase{"unknown_channel",
                    {"--channel", "Middle", "--width", "9", "--height", "9", "-o", "OUT"},
                    2,
                    "no analog channel \"Middle\""},
        RefusalCase{"index_past_the_channels",
                    {"--channel", "2", "--width", "9", "--height", "9", "-o", "OUT"},
                    2,
                    "no analog channel \"2\""},
        RefusalCase{"zero_width",
                    {"--channel", "0", "--width", "0", "--height", "9", "-o", "OUT"},
                    2,
                    "--width"},
        RefusalCase{"other_format",
                    {"--channel", "0", "--width", "9", "--height", "9", "-o", "out.jpg"},
                    2,
                    ".png or .svg"},
        RefusalCase{"from_not_before_to",
                    {"--channel", "0", "--width", "9", "--height", "9", "-o", "OUT", "--from",
                     "0.05", "--to", "0.05"},
                    2,
                    "--from must be earlier than --to"},
        RefusalCase{
            "negative_from",
            {"--channel", "0", "--width", "9", "--height", "9", "-o", "OUT", "--from", "-1"},
            2,
            "--from must be 0 seconds or later"},
        RefusalCase{"from_past_the_end",
                    {"--channel", "0", "--width", "9", "--height", "9", "-o", "OUT", "--from", "5",
                     "--to", "6"},
                    2,
                    "no sample between 5 and 6 seconds (the channel holds 10 samples at 100 Hz"},
        RefusalCase{"between_two_samples",
                    {"--channel", "0", "--width", "9", "--height", "9", "-o", "OUT", "--from",
                     "0.031", "--to", "0.039"},
                    2,
                    "no sample between 0.031 and 0.039 seconds"},
        RefusalCase{
            "from_not_a_number",
            {"--channel", "0", "--width", "9", "--height", "9", "-o", "OUT", "--from", "soon"},
            2,
            "--from"},
        RefusalCase{"width_missing",
                    {"--channel", "0", "--height", "9", "-o", "OUT"},
                    2,
                    "--width is required"},
        RefusalCase{"all_with_events",
                    {"--channel", "all", "-o", "OUT", "--events"},
                    2,
                    "--events is for one channel's plot"},
        RefusalCase{"all_lanes_too_thin",
                    {"--channel", "all", "--width", "300", "--height", "20", "-o", "OUT"},
                    2,
                    "300 x 20 pixels cannot hold 2 lanes"},
        RefusalCase{
            "unwritable_image",
            {"--channel", "0", "--width", "9", "--height", "9", "-o", "/nonexistent-dir/out.png"},
            1,
            "cannot write the image"},
        RefusalCase{"unwritable_geometry",
                    {"--channel", "0", "--width", "9", "--height", "9", "-o", "OUT", "--geometry",
                     "/nonexistent-dir/x.json"},
                    1,
                    "cannot write the geometry"}),
    [](const testing::TestParamInfo<RefusalCase>& param) { return std::string(param.param.what); });

// plot --channel all: one lane per channel, top to bottom in file order, each
// separated by one row, the ruler under the last; each lane's primitives are
// those of the single channel's plot of the same range at the lane's size.
// Catches lanes that overlap or leave rows unused, lanes scaled to another
// lane's or the whole recording's extremes, a range applied to some lanes
// only, and a default size other than 1600 wide and 60 rows per lane.
TEST_F(CliPlot, AllStacksOneLanePerChannel) {
  c3dtest::Recording rec = TwoChannels(c3dtest::Proc::Dec, true, 300, 2);
  rec.analog.push_back(std::vector<double>(rec.analog[0].size(), 7.0));  // constant
  rec.records.clear();  // the parameters of two channels, stated again for three
  c3dtest::AddStandardParameters(rec, {"Left", "Right", "Flat"}, {0.5, -2.0, 1.0}, {10, 0, 0},
                                 std::nullopt);
  const fs::path file = Write(rec, "three.c3d");
  const fs::path png = m_scratch / "all.png";
  const fs::path geometry = m_scratch / "all.json";
  const std::vector<std::string> range = {"--from", "0.5", "--to", "2.25"};
  std::vector<std::string> args = {"plot",    file.string(), "--channel",  "all",
                                   "--width", "500",         "--height",   "263",
                                   "-o",      png.string(),  "--geometry", geometry.string()};
  args.insert(args.end(), range.begin(), range.end());
  const auto run = Run(args);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ExpectPng(png, 500, 263);
  const json all = json::parse(ReadText(geometry));
  ASSERT_EQ(all.at("lanes").size(), 3u);
  const int labelWidth = all.at("label_width");
  EXPECT_GT(labelWidth, 0);
  int nextTop = 0;
  for (std::size_t k = 0; k < 3; ++k) {
    const json& lane = all["lanes"][k];
    EXPECT_EQ(lane.at("channel"), k);
    const int left = lane["rect"][0], top = lane["rect"][1];
    const int width = lane["rect"][2], height = lane["rect"][3];
    EXPECT_EQ(left, labelWidth);
    EXPECT_EQ(left + width, 500);
    EXPECT_EQ(top, nextTop) << "lane " << k;
    EXPECT_GE(height, 1);
    nextTop = top + height + 1;  // the separator row
    // 0.5 s to 2.25 s at 200 Hz: samples 100 to 450.
    ExpectSameGeometry(lane, TraceGeometry(file, static_cast<int>(k), width, height, {100, 451}));
  }
  EXPECT_EQ(all.at("lanes")[0].at("heading"), "Left");
  EXPECT_EQ(all.at("ruler")[1], nextTop);
  EXPECT_EQ(all.at("ruler")[1].get<int>() + all.at("ruler")[3].get<int>(), 263);

  const auto byDefault = Run({"plot", file.string(), "--channel", "all", "-o", png.string(),
                              "--geometry", geometry.string()});
  ASSERT_EQ(byDefault.exitCode, 0) << byDefault.err;
  const json sized = json::parse(ReadText(geometry));
  EXPECT_EQ(sized.at("width"), 1600);
  EXPECT_EQ(sized.at("ruler")[1], 3 * 60);
  ExpectPng(png, 1600, sized.at("height").get<int>());
}

// A file that cannot be loaded is refused with the reader's reason.
TEST_F(CliPlot, RefusesUnreadableFile) {
  const auto run = Run({"plot", (m_scratch / "missing.c3d").string(), "--channel", "0", "--width",
                        "9", "--height", "9", "-o", (m_scratch / "out.png").string()});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("missing.c3d"), std::string::npos);
}

}  // namespace
