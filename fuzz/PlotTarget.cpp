#include <cmath>
#include <optional>
#include <vector>

#include "core/plot/PlotGeometry.h"
#include "core/plot/PlotPath.h"
#include "core/plot/PlotSummary.h"
#include "core/plot/PlotTracePath.h"
#include "fuzz/ParserTargets.h"
#include "tests/support/HandFilledC3d.h"
#include "tests/support/TracePaths.h"

namespace {

[[noreturn]] void PlotBroken(const char* what) { fuzztarget::Broken("plot target", what); }

// Samples per channel: enough for several summary levels (blocks of 64
// samples and up), few enough for thousands of runs a second.
constexpr std::size_t kMaxSamples = 8192;
// Widths up to this get the summarised path compared with the merge of every
// vertex (the summarised path keeps two numbers per column).
constexpr int kMaxComparedWidth = 1 << 20;

// Every vertex inside the client and never moving left.
void CheckInside(const std::vector<PlotPoint>& vertices, int width, int height) {
  int x = 0;
  for (const PlotPoint& p : vertices) {
    if (p.x < x || p.x > width || p.y < 0 || p.y > height)
      PlotBroken("a vertex outside the client");
    x = p.x;
  }
}

}  // namespace

// Input: width and height (int32, any value), flags, the channel's offset,
// scale and stored extremes, a range (two int64), then the samples (int16 or
// float, NaN, infinities and denormals included).
int fuzztarget::PlotTarget(const std::uint8_t* data, std::size_t size) {
  CFuzzInput in(data, size);
  int width = in.Take<std::int32_t>();
  int height = in.Take<std::int32_t>();
  const std::uint8_t flags = in.Take<std::uint8_t>();
  // Mostly sizes a window can have; sometimes anything an int holds.
  if ((flags & 0x80u) == 0) {
    width %= 4096;
    height %= 4096;
  }
  c3dtest::HandChannel channel;
  channel.integer = (flags & 1u) != 0;
  channel.offset = in.Take<float>();
  channel.scale = in.Take<float>();
  const float storedMin = in.Take<float>();
  const float storedMax = in.Take<float>();
  if ((flags & 2u) != 0) channel.min = storedMin;
  if ((flags & 4u) != 0) channel.max = storedMax;
  PlotRange range{in.Take<std::int64_t>(), in.Take<std::int64_t>()};
  if ((flags & 8u) != 0) range = PlotRange{};
  if ((flags & 0x10u) != 0) range = PlotRange{range.first % 9000, range.last % 9000};
  while (in.Remaining() > 0 && channel.raw.size() < kMaxSamples)
    channel.raw.push_back(channel.integer ? static_cast<float>(in.Take<std::int16_t>())
                                          : in.Take<float>());
  const std::unique_ptr<CC3d> c3d = c3dtest::HandFilledC3d(channel);
  const auto n = static_cast<std::int64_t>(channel.raw.size());

  const int w = ClampPlotSize(width);
  const int h = ClampPlotSize(height);
  // The grid's columns are tenths of the width summed in single precision,
  // as the painter has always placed them: at widths of millions of pixels
  // the last may fall a few pixels past the right edge (where the painter
  // clips it; 12583489 for a width of 12583488), by at most the rounding of
  // ten float additions. Rows are clamped into the client.
  const float wide = static_cast<float>(w);
  const double slack = 10.0 * (std::nextafter(wide, 2.0f * wide + 1.0f) - wide);
  for (const PlotLine& l : PlotGrid(width, height)) {
    if (std::min(l.x1, l.x2) < 0 || std::max(l.x1, l.x2) > w + slack || std::min(l.y1, l.y2) < 0 ||
        std::max(l.y1, l.y2) > h)
      PlotBroken("a grid line outside the client");
  }

  const CPlotTrace whole(c3d.get(), 0, width, height);
  if (!whole.Draws() || whole.Count() != n)
    PlotBroken("the whole channel is not one vertex per sample");
  CheckInside(c3dtest::TraceVertices(whole), w, h);

  const CPlotSummary summary(*c3d, 0);
  const CPlotTrace plain(c3d.get(), 0, width, height, range);
  const CPlotTrace summarised(c3d.get(), 0, width, height, range, &summary);
  const std::int64_t first = std::clamp<std::int64_t>(range.first, 0, n);
  const std::int64_t last = std::clamp<std::int64_t>(range.last, first, n);
  if (plain.Count() != last - first || (plain.Count() > 0 && plain.First() != first))
    PlotBroken("a range trace does not hold the range's samples");
  const std::vector<PlotPoint> vertices = c3dtest::TraceVertices(plain);
  CheckInside(vertices, w, h);
  if (c3dtest::TraceVertices(summarised) != vertices)
    PlotBroken("the summary changes a range's trace");
  if (w <= kMaxComparedWidth &&
      SummarisedTracePath(plain, summary) != c3dtest::MergedTracePath(plain))
    PlotBroken("the summarised path differs from the merge of every vertex");
  return 0;
}

std::vector<std::vector<std::uint8_t>> fuzztarget::PlotSeeds() {
  std::vector<std::vector<std::uint8_t>> seeds;
  const auto put = [](std::vector<std::uint8_t>& s, const auto& value) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(&value);
    s.insert(s.end(), b, b + sizeof value);
  };
  const std::uint8_t flagSets[] = {0x08, 0x09, 0x10, 0x11, 0x0E};
  for (const std::uint8_t flags : flagSets) {
    std::vector<std::uint8_t> s;
    put(s, std::int32_t{576});
    put(s, std::int32_t{244});
    s.push_back(flags);
    put(s, 2048.0f);   // offset
    put(s, 0.00244f);  // scale
    put(s, -1.0f);     // stored extremes
    put(s, 1.0f);
    put(s, std::int64_t{100});
    put(s, std::int64_t{1500});
    for (int i = 0; i < 2000; ++i) {
      if ((flags & 1u) != 0)
        put(s, static_cast<std::int16_t>(2048 + 1500 * std::sin(i * 0.05)));
      else
        put(s, i % 700 == 0 ? NAN : static_cast<float>(std::sin(i * 0.05)));
    }
    seeds.push_back(std::move(s));
  }
  return seeds;
}
