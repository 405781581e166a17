// A PCM sound read once is its bytes, unchanged; read as a loop, it runs on
// across the seam with no jump larger than the signal's own steps, in both
// widths and for a sound shorter than two crossfades.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "core/sound/PcmLoop.h"

namespace {

// A sine of `hz` at `rate`, `frames` samples of `bits` PCM at `amplitude`.
std::vector<std::uint8_t> Sine(double hz, int rate, int frames, int bits, double amplitude) {
  std::vector<std::uint8_t> pcm;
  for (int i = 0; i < frames; ++i) {
    const long v = std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate));
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

std::vector<int> Values(const std::vector<std::uint8_t>& pcm, int bits) {
  std::vector<int> v;
  for (std::size_t i = 0; i + static_cast<std::size_t>(bits / 8) <= pcm.size(); i += bits / 8)
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
};

class PcmLoop : public ::testing::TestWithParam<LoopCase> {};

// Catches a seam left as a jump (no crossfade, a crossfade of the wrong
// samples, weights that do not add up to 1) and a pass of the wrong length.
TEST_P(PcmLoop, SeamIsNoLargerThanTheSignalsOwnStep) {
  const LoopCase c = GetParam();
  const std::vector<std::uint8_t> pcm = Sine(c.hz, c.rate, c.frames, c.bits, c.amplitude);
  const std::vector<int> once = Values(pcm, c.bits);
  const int ordinary = LargestStep(once, 0, once.size());
  // The fixture can fail: played back to back, the sound jumps at its seam.
  std::vector<int> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  ASSERT_GT(std::abs(twice[once.size()] - twice[once.size() - 1]), 3 * ordinary);

  sound::CPcmLoop loop(pcm, c.bits, c.rate, true);
  const std::int64_t fade = sound::LoopCrossfadeFrames(c.frames, c.rate);
  EXPECT_EQ(fade, std::min<std::int64_t>(c.rate / 100, c.frames / 2));
  EXPECT_EQ(loop.PassFrames(), c.frames - fade);
  // Three passes and more, read in odd pieces.
  std::vector<std::uint8_t> stream;
  std::vector<std::uint8_t> piece(static_cast<std::size_t>(37 * c.bits / 8));
  while (stream.size() < 3 * pcm.size() + 5) {
    ASSERT_EQ(loop.Read(piece), piece.size());
    stream.insert(stream.end(), piece.begin(), piece.end());
  }
  const std::vector<int> heard = Values(stream, c.bits);
  // No jump: while the weights change, the mix's slope may lean a few per
  // cent past the sine's own (the weights' own slope times the difference
  // of the two sides: at most 7 % here, for 137 Hz over a 10 ms fade), and
  // rounding adds one unit. A plain repeat is over 3 times the step.
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
  EXPECT_EQ(loop.SoundFrameAt(static_cast<std::int64_t>(pass) + 3), 3);
  EXPECT_EQ(loop.SoundFrameAt(static_cast<std::int64_t>(pass) - 1),
            static_cast<std::int64_t>(pass) - 1);
}

INSTANTIATE_TEST_SUITE_P(Widths, PcmLoop,
                         ::testing::Values(LoopCase{16, 44100, 441.0, 11025,
                                                    16000.0},  // 0.25 s, ends on a crest
                                           LoopCase{16, 8000, 137.0, 2001, 20000.0},
                                           LoopCase{8, 11025, 300.0, 2765, 100.0},
                                           // 15 ms: the crossfade shrinks to half the sound.
                                           LoopCase{16, 8000, 210.0, 120, 20000.0}));

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
