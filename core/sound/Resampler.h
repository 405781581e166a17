#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/sound/Filters.h"

// Streamed rate conversion for sound built from a channel: a view of the
// channel's stored values, a pull interface through which stages hand each
// other a stretch of values at a time, a filtering stage, a resampler for
// any ratio, and the "speed" stage that plays a channel N times faster with
// an anti-alias low-pass. No stage holds more than a small block of values,
// whatever the length of the channel. Standard C++ only.
namespace sound {

// The stored values of one channel as loaded: count 16-bit integers or
// 32-bit floats (exactly one pointer set), not owned; they must outlive
// every stage reading them.
struct SampleView {
  const std::int16_t* ints = nullptr;
  const float* floats = nullptr;
  std::int64_t count = 0;

  double operator[](std::int64_t i) const {
    return ints != nullptr ? static_cast<double>(ints[i]) : static_cast<double>(floats[i]);
  }
};

// Something that hands out the values of a sound in order, a stretch at a
// time. Read fills out from the front and returns how many values it wrote:
// out.size() until the end, fewer (down to 0) once the values run out.
class IValueSource {
 public:
  virtual ~IValueSource() = default;
  virtual std::size_t Read(std::span<double> out) = 0;
};

// The values of a SampleView from the first on, each minus offset (2048
// for "as recorded" sound, whose silent level is 2048). Borrows the view.
class CViewSource : public IValueSource {
 public:
  explicit CViewSource(SampleView view, double offset = 0.0) : m_view(view), m_offset(offset) {}
  std::size_t Read(std::span<double> out) override;

 private:
  SampleView m_view;
  double m_offset;
  std::int64_t m_next = 0;
};

// The values of another source through a filter chain. Borrows the source,
// owns its chain (and its state).
class CFilteredSource : public IValueSource {
 public:
  CFilteredSource(IValueSource& input, CFilterChain chain)
      : m_input(input), m_chain(std::move(chain)) {}
  std::size_t Read(std::span<double> out) override;

 private:
  IValueSource& m_input;
  CFilterChain m_chain;
};

// How the resampler reads between input values. Linear never leaves the
// range of its two neighbours (a fitted peak stays the peak). Cubic
// (Catmull-Rom, 4 points) is flatter: a tone at a quarter of the input rate
// loses 0.55 dB against linear's 1.8 dB; it may overshoot by a few percent.
enum class Interpolation { Linear, Cubic };

// The number of outputs and the input distance between them when inCount
// values are spread over outCount: output j lies at input position
// j x step, step = (inCount - 1) / (outCount - 1), so the first and last
// outputs fall on the first and last inputs (0 when either count is below 2).
double ResampleStep(std::int64_t inCount, std::int64_t outCount);

// The output count for inCount values played at inputRate and written at
// outputRate: trunc(((1 / inputRate) x inCount) / (1 / outputRate)) in
// double, the grouping the plain waveform sound uses; 0 when not positive.
std::int64_t ResampledCount(std::int64_t inCount, double inputRate, double outputRate);

// Converts inCount values of a source into outCount values (up or down, any
// ratio), reading each input once, in order. Values past the input's end
// read as its last value; a NaN reaches every output that leans on it.
// Borrows the source. Does no band limiting: a caller going down in rate
// low-passes first (CSpeedStream does).
class CResampler : public IValueSource {
 public:
  CResampler(IValueSource& input, std::int64_t inCount, std::int64_t outCount,
             Interpolation interpolation = Interpolation::Linear);
  std::size_t Read(std::span<double> out) override;
  std::int64_t Length() const { return m_outCount; }

 private:
  double NextInput();
  void Advance();  // slides the four-value window one input on

  IValueSource& m_input;
  std::int64_t m_inCount;
  std::int64_t m_outCount;
  Interpolation m_interpolation;
  double m_step;
  std::int64_t m_nextOut = 0;
  // The window: inputs k - 1, k, k + 1, k + 2 (clamped to the ends).
  double m_window[4] = {0.0, 0.0, 0.0, 0.0};
  std::int64_t m_windowK = -1;  // k; -1 before the first output
  // Pulled inputs not yet in the window.
  std::vector<double> m_block;
  std::size_t m_blockPos = 0;
  std::size_t m_blockLen = 0;
  std::int64_t m_pulled = 0;  // inputs taken from the source so far
  double m_last = 0.0;        // the last input pulled
};

// The order and cut-off of the anti-alias low-pass of CSpeedStream: an 8th-
// order Butterworth at 0.35 x the output rate. A tone at the output rate or
// above (one that folds from an octave or more above half the output rate)
// comes out more than 40 dB down; below a quarter of the output rate the
// low-pass loses under 0.1 dB.
inline constexpr int kAntiAliasSections = 4;
inline constexpr double kAntiAliasCutoff = 0.35;  // x the output rate

// A channel played `speed` times faster: its count values taken as sampled
// at speed x analogRate, converted to outputRate (Hz). Length() = the
// ResampledCount at that rate, so the sound lasts count x R / (N x A)
// seconds and every frequency in it is N times higher. When speed x
// analogRate exceeds outputRate the values first pass the anti-alias
// low-pass at that rate. Sped up (speed above 1) or anti-aliased, the values
// are interpolated cubically: a tone below a quarter of both rates then
// passes within 1 dB. At speed 1 without anti-aliasing they are
// interpolated linearly, exactly as CResampler does, and nothing else is
// done to them. Borrows the source; speed 1..1000.
class CSpeedStream : public IValueSource {
 public:
  CSpeedStream(IValueSource& input, std::int64_t count, double analogRate, int speed,
               double outputRate);
  std::size_t Read(std::span<double> out) override { return m_resampler.Read(out); }
  std::int64_t Length() const { return m_resampler.Length(); }
  bool AntiAliased() const { return m_antiAliased; }

 private:
  bool m_antiAliased;
  CFilteredSource m_filtered;
  CResampler m_resampler;
};

}  // namespace sound
