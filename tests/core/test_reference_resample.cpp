// The whole-buffer resampling the streamed sound is checked against:
// Resample and Interpolate on the worked examples to the bit, the kernel
// against the slot-by-slot formula, their refusals, and properties on
// generated signals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "tests/support/RecordingSoundHost.h"
#include "tests/support/ReferenceResample.h"

namespace {

using c3dtest::RecordingSoundHost;

std::vector<float> ReferenceValues(std::vector<float> input, float a, float r, int* n = nullptr) {
  RecordingSoundHost host;
  const int count = static_cast<int>(input.size());
  const int got = c3dtest::Resample(input, a, r, count, host);
  if (n != nullptr) *n = got;
  return input;
}

// The worked example: the float step 0.4000000059604645 is slightly above
// 0.4, so M = 4 and the top slot is 0; each value is rounded to float.
TEST(ReferenceResample, ResamplesTheThreeSampleExampleToTheBit) {
  int n = 0;
  const auto out = ReferenceValues({2048, 4095, 0}, 1000, 2000, &n);
  ASSERT_EQ(n, 6);
  EXPECT_EQ(out, (std::vector<float>{2048.0f, 2866.800048828125f, 3685.60009765625f, 3276.0f,
                                     1637.9998779296875f, 0.0f}));

  std::vector<float> buffer{2048, 4095, 0, 0, 0, 0};
  int lastUsable = -7, status = -7;
  const float step = static_cast<float>(2.0 / 5.0);
  ASSERT_EQ(static_cast<double>(step), 0.4000000059604645);
  c3dtest::Interpolate(buffer, 5, 2, step, lastUsable, status);
  EXPECT_EQ(status, c3dtest::kInterpolateDone);
  EXPECT_EQ(lastUsable, 4);
  EXPECT_EQ(buffer, out);
}

TEST(ReferenceResample, ResamplesTheRampExampleWithItsTopSlotZero) {
  int n = 0;
  const auto out = ReferenceValues({0, 100, 200, 300}, 1000, 3000, &n);
  ASSERT_EQ(n, 12);
  EXPECT_EQ(out[10], 272.727294921875f);
  EXPECT_EQ(out[11], 0.0f);
  std::vector<float> buffer{0, 100, 200, 300, 0, 0, 0, 0, 0, 0, 0, 0};
  int lastUsable = 0, status = 0;
  c3dtest::Interpolate(buffer, 11, 3, static_cast<float>(3.0 / 11.0), lastUsable, status);
  EXPECT_EQ(lastUsable, 10);
  EXPECT_EQ(buffer, out);
}

// Slot by slot, the interpolation as first stated: the kernel works a run of
// slots at a time and must give exactly these bits for every slot.
std::vector<float> InterpolateSlotBySlot(std::vector<float> x, int count, float step) {
  const int n = static_cast<int>(x.size());
  const int m = static_cast<int>((count - 1) / static_cast<double>(step));
  for (int i = n - 1; i >= 1; --i) {
    if (i > m) {
      x[static_cast<std::size_t>(i)] = 0;
      continue;
    }
    const double t = i * static_cast<double>(step);
    const auto k = static_cast<std::size_t>(t);
    x[static_cast<std::size_t>(i)] =
        static_cast<float>(x[k] + (static_cast<double>(x[k + 1]) - x[k]) * (t - k));
  }
  return x;
}

TEST(ReferenceResample, InterpolateMatchesTheSlotBySlotFormulaBitForBit) {
  std::uint32_t seed = 7;
  const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  const std::pair<int, int> shapes[] = {{2, 3},       {3, 6},          {4, 12},      {17, 100},
                                        {100, 918},   {1000, 44100},   {997, 44099}, {2001, 16007},
                                        {360, 15876}, {50000, 1102500}};
  for (const auto& [count, n] : shapes) {
    std::vector<float> buffer(static_cast<std::size_t>(n));
    for (int i = 0; i < count; ++i) {
      buffer[static_cast<std::size_t>(i)] = static_cast<float>(next() % 8192) - 2048.5f;
    }
    const float step = static_cast<float>((count - 1.0) / (n - 1.0));
    const auto expected = InterpolateSlotBySlot(buffer, count, step);
    int lastUsable = 0, status = -1;
    c3dtest::Interpolate(buffer, n - 1, count - 1, step, lastUsable, status);
    ASSERT_EQ(status, c3dtest::kInterpolateDone) << count << " -> " << n;
    ASSERT_EQ(std::memcmp(buffer.data(), expected.data(), buffer.size() * sizeof(float)), 0)
        << count << " -> " << n;
  }
}

// Refusals must leave the buffer untouched: a step outside (0, 1) would read
// beyond the input, an output shorter than the input's reach would drop it.
TEST(ReferenceResample, InterpolateRefusesStepsOutOfRangeAndShortOutputs) {
  const std::vector<float> input{1, 2, 3, 0, 0};
  for (float step : {0.0f, -0.5f, 1.0f, 1.5f, std::nanf("")}) {
    auto buffer = input;
    int lastUsable = 0, status = 0;
    c3dtest::Interpolate(buffer, 4, 2, step, lastUsable, status);
    EXPECT_EQ(status, c3dtest::kInterpolateBadStep) << step;
    EXPECT_EQ(buffer, input);
  }
  auto buffer = input;
  int lastUsable = 0, status = 0;
  c3dtest::Interpolate(buffer, 4, 2, 0.25f, lastUsable, status);  // reaches slot 8
  EXPECT_EQ(status, c3dtest::kInterpolateTooShort);
  EXPECT_EQ(lastUsable, 8);
  c3dtest::Interpolate(buffer, 9, 2, 0.25f, lastUsable, status);  // buffer of 5 slots only
  EXPECT_EQ(status, c3dtest::kInterpolateTooShort);
  EXPECT_EQ(buffer, input);
}

// Resample's checks come before anything is allocated or copied: one input
// value (step 0), no values, a ratio of 1, an output too long for an int,
// and a float step rounded down past 2^24 outputs (M = 60000001 > N - 1).
TEST(ReferenceResample, ResampleRefusalsShowErrorAndKeepTheBuffer) {
  struct Row {
    std::vector<float> input;
    float a, r;
    int count;
  };
  const Row rows[] = {{{7}, 1000, 8000, 1},        {{}, 1000, 8000, 0},
                      {{1, 2, 3}, 1000, 1000, 3},  {{1, 2, 3}, 1, 1e9f, 3},
                      {{1, 2, 3}, 1, 20000000, 3}, {{1, 2, 3}, 0, 8000, 3},
                      {{1, 2, 3}, 1000, 8000, 5}};  // count beyond the buffer
  for (const auto& row : rows) {
    auto buffer = row.input;
    RecordingSoundHost host;
    EXPECT_EQ(c3dtest::Resample(buffer, row.a, row.r, row.count, host), 0) << row.r;
    EXPECT_EQ(buffer, row.input);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"wait+", "message:Error", "wait-"}));
  }
}

// Properties over generated signals and rate pairs: a constant stays that
// constant, a ramp stays a straight ramp, only the top slot may be dropped
// below 2^24 outputs, and the sound lasts as long as the recording.
TEST(ReferenceResample, ConstantsAndRampsSurviveResampling) {
  for (float a : {100.0f, 1000.0f, 1200.0f, 2000.0f, 65.05f}) {
    for (float r : {6000.0f, 8000.0f, 11025.0f, 22050.0f, 44100.0f}) {
      for (int count : {2, 17, 1000}) {
        int n = 0;
        const auto flat =
            ReferenceValues(std::vector<float>(static_cast<std::size_t>(count), 1234.5f), a, r, &n);
        ASSERT_GT(n, count);
        EXPECT_LT(std::fabs(n / static_cast<double>(r) - count / static_cast<double>(a)), 1.0 / r);
        std::vector<float> rampIn(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) rampIn[static_cast<std::size_t>(i)] = static_cast<float>(i);
        const auto ramp = ReferenceValues(rampIn, a, r);
        const double step = static_cast<float>((count - 1.0) / (n - 1.0));
        int nonzeroTop = n - 1;
        while (nonzeroTop > 0 && flat[static_cast<std::size_t>(nonzeroTop)] == 0.0f) --nonzeroTop;
        EXPECT_GE(nonzeroTop, n - 2) << a << " " << r << " " << count;
        for (int i = 0; i <= nonzeroTop; ++i) {
          const auto ui = static_cast<std::size_t>(i);
          ASSERT_EQ(flat[ui], 1234.5f) << a << " " << r << " " << count << " slot " << i;
          ASSERT_NEAR(ramp[ui], i * step, 1e-4 * count) << a << " " << r << " slot " << i;
          if (i > 0) {
            ASSERT_GE(ramp[ui], ramp[ui - 1]);
          }
        }
      }
    }
  }
}

}  // namespace
