// The filters: measured gain of steady sines against the digital Butterworth
// magnitude, the notch's depth and width, the text form, the rate limit, and
// the behaviour at the start, at NaN and across stretches.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "core/sound/Filters.h"
#include "tests/core/SoundMeasure.h"

using sound::CFilterChain;
using sound::FilterKind;
using sound::FilterSpec;

namespace {

// Gain in dB of a chain for a steady sine of f Hz at rate: 4 s of tone, the
// first 2 s left for the filter to settle, then the component at f.
double MeasuredGainDb(const std::vector<FilterSpec>& specs, double f, double rate) {
  CFilterChain chain(specs, rate);
  const auto count = static_cast<std::int64_t>(4.0 * rate);
  std::vector<double> x(static_cast<std::size_t>(count));
  for (std::int64_t n = 0; n < count; ++n) {
    x[static_cast<std::size_t>(n)] = std::sin(2.0 * std::numbers::pi * f * n / rate);
  }
  chain.Process(x);
  const std::span<const double> settled = std::span<const double>(x).subspan(x.size() / 2);
  return soundtest::Db(soundtest::AmplitudeAt(settled, f, rate));
}

// 4th-order Butterworth magnitude in dB, in the bilinear transform's
// frequency scale (tan(pi f / rate)), where the digital filter is exactly
// the analogue one: -10 log10(1 + (f / fc)^8), high-pass with the ratio inverted.
double ButterworthDb(bool lowPass, double fc, double f, double rate) {
  const double ratio =
      std::tan(std::numbers::pi * f / rate) / std::tan(std::numbers::pi * fc / rate);
  return -10.0 * std::log10(1.0 + std::pow(lowPass ? ratio : 1.0 / ratio, 8.0));
}

struct GainRow {
  FilterSpec spec;
  double rate;
  double f;
};

class FilterGain : public testing::TestWithParam<GainRow> {};

TEST_P(FilterGain, MatchesTheButterworthMagnitudeWithinATenthOfADecibel) {
  const GainRow& row = GetParam();
  double expected = 0.0;
  if (row.spec.kind == FilterKind::LowPass || row.spec.kind == FilterKind::HighPass) {
    expected =
        ButterworthDb(row.spec.kind == FilterKind::LowPass, row.spec.frequency, row.f, row.rate);
  } else {  // band-pass: the high-pass at LO times the low-pass at HI
    expected = ButterworthDb(false, row.spec.frequency, row.f, row.rate) +
               ButterworthDb(true, row.spec.upper, row.f, row.rate);
  }
  EXPECT_NEAR(MeasuredGainDb({row.spec}, row.f, row.rate), expected, 0.1)
      << sound::FilterText(row.spec) << " at " << row.f << " Hz, rate " << row.rate;
}

constexpr FilterSpec kLow100{FilterKind::LowPass, 100.0, 0.0};
constexpr FilterSpec kHigh20{FilterKind::HighPass, 20.0, 0.0};
constexpr FilterSpec kEmg{FilterKind::BandPass, 20.0, 450.0};

INSTANTIATE_TEST_SUITE_P(Butterworth, FilterGain,
                         testing::Values(GainRow{kLow100, 2000, 10}, GainRow{kLow100, 2000, 50},
                                         GainRow{kLow100, 2000, 100},  // -3.0 dB at the cut-off
                                         GainRow{kLow100, 2000, 200},  // an octave on: about -24 dB
                                         GainRow{kLow100, 2000, 400}, GainRow{kLow100, 44100, 150},
                                         GainRow{kHigh20, 1000, 5}, GainRow{kHigh20, 1000, 10},
                                         GainRow{kHigh20, 1000, 20}, GainRow{kHigh20, 1000, 40},
                                         GainRow{kHigh20, 1000, 200}, GainRow{kEmg, 2000, 10},
                                         GainRow{kEmg, 2000, 100}, GainRow{kEmg, 2000, 450},
                                         GainRow{kEmg, 2000, 900}));

struct NotchRow {
  double centre;
  double rate;
};

class NotchDepth : public testing::TestWithParam<NotchRow> {};

TEST_P(NotchDepth, RemovesItsToneAndSparesTenHertzAside) {
  const auto [centre, rate] = GetParam();
  const std::vector<FilterSpec> notch{{FilterKind::Notch, centre, 0.0}};
  EXPECT_LE(MeasuredGainDb(notch, centre, rate), -30.0);
  EXPECT_GE(MeasuredGainDb(notch, centre - 10.0, rate), -1.0);
  EXPECT_GE(MeasuredGainDb(notch, centre + 10.0, rate), -1.0);
  EXPECT_NEAR(MeasuredGainDb(notch, centre * 3.0, rate), 0.0, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Mains, NotchDepth,
                         testing::Values(NotchRow{50, 1000}, NotchRow{60, 1000}, NotchRow{50, 2000},
                                         NotchRow{60, 10000}, NotchRow{50, 44100}));

struct ParseRow {
  std::string text;
  std::vector<FilterSpec> specs;
  std::string error;  // empty: understood
};

class FilterSpecText : public testing::TestWithParam<ParseRow> {};

TEST_P(FilterSpecText, ParsesToSpecsOrAnError) {
  const ParseRow& row = GetParam();
  const sound::FilterParse parsed = sound::ParseFilters(row.text);
  EXPECT_EQ(parsed.error, row.error);
  EXPECT_EQ(parsed.specs, row.specs);
  if (row.error.empty() && !row.specs.empty()) {  // the text form reads back the same
    std::string text;
    for (const FilterSpec& spec : parsed.specs)
      text += (text.empty() ? "" : ",") + sound::FilterText(spec);
    EXPECT_EQ(sound::ParseFilters(text).specs, row.specs);
  }
}

const std::string kForms = "use highpass:HZ, lowpass:HZ, bandpass:LO-HI, notch:HZ or none";

INSTANTIATE_TEST_SUITE_P(
    Specs, FilterSpecText,
    testing::Values(
        ParseRow{"none", {}, ""}, ParseRow{"highpass:20", {kHigh20}, ""},
        ParseRow{"bandpass:20-450,notch:50,notch:150",
                 {kEmg, {FilterKind::Notch, 50, 0}, {FilterKind::Notch, 150, 0}},
                 ""},
        ParseRow{"lowpass:12.5", {{FilterKind::LowPass, 12.5, 0}}, ""},
        ParseRow{"", {}, "no filter given: " + kForms},
        ParseRow{"highpass:20,", {}, "an empty filter in \"highpass:20,\": " + kForms},
        ParseRow{"none,notch:50", {}, "\"none\" stands alone, not in a list of filters"},
        ParseRow{"hipass:20", {}, "unknown filter \"hipass:20\": " + kForms},
        ParseRow{"highpass", {}, "filter \"highpass\": HZ must be a number of hertz above 0"},
        ParseRow{"notch:-50", {}, "filter \"notch:-50\": HZ must be a number of hertz above 0"},
        ParseRow{
            "lowpass:1e999", {}, "filter \"lowpass:1e999\": HZ must be a number of hertz above 0"},
        ParseRow{"bandpass:450-20", {}, "filter \"bandpass:450-20\": LO must be below HI"},
        ParseRow{"bandpass:20",
                 {},
                 "filter \"bandpass:20\": LO and HI must be numbers of hertz above 0, as in "
                 "bandpass:20-450"}));

TEST(FilterRates, ACutOffAtOrAboveHalfTheAnalogRateIsRefusedNamingTheLimit) {
  EXPECT_EQ(sound::CheckFilterRates({kEmg, {FilterKind::Notch, 50, 0}}, 1000.0), "");
  EXPECT_EQ(sound::CheckFilterRates({kHigh20, {FilterKind::LowPass, 600, 0}}, 1000.0),
            "filter \"lowpass:600\": 600 Hz is at or above half the analog rate (500 Hz)");
  EXPECT_EQ(sound::CheckFilterRates({kEmg}, 900.0),
            "filter \"bandpass:20-450\": 450 Hz is at or above half the analog rate (450 Hz)");
  EXPECT_EQ(sound::CheckFilterRates({{FilterKind::Notch, 60, 0}}, 100.0),
            "filter \"notch:60\": 60 Hz is at or above half the analog rate (50 Hz)");
}

TEST(FilterChainState, StartsAsIfTheFirstValueHadBeenHeldAndRestartsAfterNaN) {
  CFilterChain highPass({kHigh20}, 1000.0);
  // A channel far from 0: the high-pass starts at 0, with no step to ring.
  std::vector<double> x(400, 3000.0);
  for (std::size_t i = 200; i < 400; ++i) x[i] = 3000.0 + std::sin(0.5 * static_cast<double>(i));
  x[100] = std::nan("");
  std::vector<double> y = x;
  highPass.Process(y);
  EXPECT_EQ(y[0], 0.0);
  EXPECT_NEAR(y[99], 0.0, 1e-9);
  EXPECT_TRUE(std::isnan(y[100]));
  // After the NaN the chain is a fresh one started on the next value.
  CFilterChain fresh({kHigh20}, 1000.0);
  std::vector<double> rest(x.begin() + 101, x.end());
  fresh.Process(rest);
  for (std::size_t i = 101; i < 400; ++i) ASSERT_EQ(y[i], rest[i - 101]) << i;
  EXPECT_GT(std::abs(y[399]), 0.1);  // and it goes on filtering
}

TEST(FilterChainState, StretchesOfAnySizeGiveTheSameValues) {
  const std::vector<float> input = soundtest::Sine(37.0, 1000.0, 5000, 100.0, 2048.0);
  std::vector<std::vector<double>> outputs;
  for (std::size_t stretch : {1u, 7u, 1000u, 5000u}) {
    sound::CViewSource source(soundtest::View(input), 2048.0);
    sound::CFilteredSource filtered(source,
                                    CFilterChain({kEmg, {FilterKind::Notch, 50, 0}}, 1000.0));
    outputs.push_back(soundtest::ReadAll<double>(filtered, stretch));
  }
  ASSERT_EQ(outputs[0].size(), input.size());
  for (const auto& out : outputs) EXPECT_EQ(out, outputs[0]);
}

}  // namespace
