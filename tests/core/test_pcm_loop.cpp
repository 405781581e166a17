// A PCM sound read once is its bytes, unchanged; read as a loop, it runs on
// across the seam with no jump larger than the signal's own steps, in both
// widths, for a sound shorter than two crossfades, and in each channel of a
// two-channel sound on its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "core/sound/PcmLoop.h"

namespace {

// A sine of `hz` at `rate`, `frames` frames of `bits` PCM at `amplitude`.
// With two channels the right one, interleaved after the left, is a sine of
// 1.5 x hz at a quarter of the amplitude, so a crossfade that mixes one
// channel into the other shows as a jump.
std::vector<std::uint8_t> Sine(double hz, int rate, int frames, int bits, double amplitude,
                               int channels = 1) {
  std::vector<std::uint8_t> pcm;
  for (int k = 0; k < frames * channels; ++k) {
    const int i = k / channels;
    const double scale = k % channels == 0 ? 1.0 : 1.5;
    const long v = std::lround(amplitude / (k % channels == 0 ? 1.0 : 4.0) *
                               std::sin(2 * std::numbers::pi * hz * scale * i / rate));
    if (bits == 8) {
      pcm.push_back(static_cast<std::uint8_t>(v + 128));
    } else {
      const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
      pcm.push_back(static_cast<std::uint8_t>(u & 0xFF));
      pcm.push_back(static_cast<std::uint8_t>(u >> 8));
    }
  }
  return pcm;
}

// The values of channel `channel` of `channels`.
std::vector<int> Values(const std::vector<std::uint8_t>& pcm, int bits, int channel = 0,
                        int channels = 1) {
  const auto width = static_cast<std::size_t>(bits / 8);
  std::vector<int> v;
  for (std::size_t i = width * static_cast<std::size_t>(channel); i + width <= pcm.size();
       i += width * static_cast<std::size_t>(channels))
    v.push_back(bits == 8 ? pcm[i] - 128 : static_cast<std::int16_t>(pcm[i] | (pcm[i + 1] << 8)));
  return v;
}

int LargestStep(const std::vector<int>& v, std::size_t from, std::size_t to) {
  int largest = 0;
  for (std::size_t i = from + 1; i < to && i < v.size(); ++i)
    largest = std::max(largest, std::abs(v[i] - v[i - 1]));
  return largest;
}

struct LoopCase {
  int bits;
  int rate;
  double hz;  // its period does not divide the sound: a plain repeat jumps at the seam
  int frames;
  double amplitude;
  int channels = 1;
};

class PcmLoop : public ::testing::TestWithParam<LoopCase> {};

// Catches a seam left as a jump (no crossfade, a crossfade of the wrong
// samples, weights that do not add up to 1) and a pass of the wrong length.
TEST_P(PcmLoop, SeamIsNoLargerThanTheSignalsOwnStep) {
  const LoopCase c = GetParam();
  const std::vector<std::uint8_t> pcm =
      Sine(c.hz, c.rate, c.frames, c.bits, c.amplitude, c.channels);

  sound::CPcmLoop loop(pcm, c.bits, c.rate, true, c.channels);
  const std::int64_t fade = sound::LoopCrossfadeFrames(c.frames, c.rate);
  EXPECT_EQ(fade, std::min<std::int64_t>(c.rate / 100, c.frames / 2));
  EXPECT_EQ(loop.Frames(), c.frames);
  EXPECT_EQ(loop.PassFrames(), c.frames - fade);
  // Three passes and more, read in odd pieces of whole frames.
  std::vector<std::uint8_t> stream;
  std::vector<std::uint8_t> piece(static_cast<std::size_t>(37 * c.channels * c.bits / 8));
  while (stream.size() < 3 * pcm.size() + 5) {
    ASSERT_EQ(loop.Read(piece), piece.size());
    stream.insert(stream.end(), piece.begin(), piece.end());
  }
  for (int channel = 0; channel < c.channels; ++channel) {
    SCOPED_TRACE(channel);
    const std::vector<int> once = Values(pcm, c.bits, channel, c.channels);
    const int ordinary = LargestStep(once, 0, once.size());
    // The fixture can fail: played back to back, the sound jumps at its seam.
    std::vector<int> twice = once;
    twice.insert(twice.end(), once.begin(), once.end());
    ASSERT_GT(std::abs(twice[once.size()] - twice[once.size() - 1]), 3 * ordinary);

    const std::vector<int> heard = Values(stream, c.bits, channel, c.channels);
    // No jump: while the weights change, the mix's slope may lean a few per
    // cent past the sine's own (the weights' own slope times the difference
    // of the two sides: at most 7 % here, for 137 Hz over a 10 ms fade), and
    // rounding adds one unit. A plain repeat is over 3 times the step, and
    // so is the other channel's level mixed in.
    const int allowed = static_cast<int>(std::ceil(ordinary * 1.08)) + 1;
    EXPECT_LE(LargestStep(heard, 0, heard.size()), allowed) << "ordinary step " << ordinary;
    // Between the seams each pass is the sound itself, and the seam runs
    // from its tail into its head.
    const auto pass = static_cast<std::size_t>(loop.PassFrames());
    for (std::size_t i = static_cast<std::size_t>(fade); i < pass; ++i) {
      ASSERT_EQ(heard[i], once[i]);
      ASSERT_EQ(heard[pass + i], once[i]);
      ASSERT_EQ(heard[2 * pass + i], once[i]);
    }
    if (fade >= 4) {
      EXPECT_LE(std::abs(heard[pass] - once[pass]), allowed);
      EXPECT_LE(std::abs(heard[pass + fade - 1] - once[fade - 1]), allowed);
    }
  }
  const auto pass = loop.PassFrames();
  EXPECT_EQ(loop.SoundFrameAt(pass + 3), 3);
  EXPECT_EQ(loop.SoundFrameAt(pass - 1), pass - 1);
}

INSTANTIATE_TEST_SUITE_P(Widths, PcmLoop,
                         ::testing::Values(LoopCase{16, 44100, 441.0, 11025,
                                                    16000.0},  // 0.25 s, ends on a crest
                                           LoopCase{16, 8000, 137.0, 2001, 20000.0},
                                           LoopCase{8, 11025, 300.0, 2765, 100.0},
                                           // 15 ms: the crossfade shrinks to half the sound.
                                           LoopCase{16, 8000, 210.0, 120, 20000.0},
                                           // Two channels, 0.1 s: left 251 Hz, right 376.5 Hz.
                                           LoopCase{16, 22050, 251.0, 2205, 24000.0, 2}));

// Read once, the stream is the sound's bytes and then ends; a sound of
// one sample loops as itself; a 16-bit sound's odd last byte is left out.
TEST(PcmLoop, PlayedOnceIsTheSoundItself) {
  const std::vector<std::uint8_t> pcm = Sine(440.0, 8000, 999, 16, 3000.0);
  sound::CPcmLoop once(pcm, 16, 8000, false);
  std::vector<std::uint8_t> out(pcm.size() + 64);
  EXPECT_EQ(once.Read(out), pcm.size());
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), out.begin()));
  EXPECT_EQ(once.Read(out), 0u);
  EXPECT_EQ(once.PassFrames(), 999);

  const std::vector<std::uint8_t> one = {0x34, 0x12, 0x99};
  sound::CPcmLoop single(one, 16, 8000, true);
  EXPECT_EQ(single.Frames(), 1);
  std::vector<std::uint8_t> three(7);
  ASSERT_EQ(single.Read(three), 6u);
  EXPECT_EQ(three, (std::vector<std::uint8_t>{0x34, 0x12, 0x34, 0x12, 0x34, 0x12, 0}));
}

}  // namespace
