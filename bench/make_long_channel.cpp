// Writes the inputs of the whole-command comparison with a general-purpose
// audio tool: DIR/long.c3d, one EMG-like channel of 6 minutes at 1000 Hz
// (noise in bursts about 2048 with 50 Hz hum, 16-bit integers), and
// DIR/long.wav, the same values as a 1000 Hz 16-bit mono WAVE under the
// "as recorded" mapping ((value - 2048) x 16). Usage: make_long_channel DIR
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/sound/WaveEncoder.h"
#include "tests/support/C3dWriter.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_long_channel DIR\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  constexpr int kCount = 6 * 60 * 1000;
  std::vector<double> values(kCount);
  std::mt19937 random(11);
  std::normal_distribution<double> noise(0.0, 300.0);
  for (int i = 0; i < kCount; ++i) {
    const double burst = std::sin(0.003 * i) > 0.3 ? 1.0 : 0.1;
    values[static_cast<std::size_t>(i)] =
        std::round(2048 + burst * noise(random) + 40 * std::sin(0.1 * M_PI * i));
  }

  c3dtest::Recording rec;
  rec.frameRate = 100;
  rec.samplesPerFrame = 10;  // 1000 Hz in 36000 frames
  rec.analog = {values};
  c3dtest::AddStandardParameters(rec, {"EMG"}, {}, {}, std::nullopt);
  if (!c3dtest::WriteFile((dir / "long.c3d").string(), c3dtest::WriteC3d(rec))) return 1;

  std::vector<std::uint8_t> wave;
  const auto header = sound::WaveHeader(1000, 16, kCount * 2);
  wave.assign(header.begin(), header.end());
  const std::uint32_t riff = 36 + kCount * 2;
  for (int i = 0; i < 4; ++i) wave[4 + i] = static_cast<std::uint8_t>(riff >> (8 * i));
  for (const double v : values) {
    const auto s = static_cast<std::uint16_t>(static_cast<std::int16_t>((v - 2048) * 16));
    wave.push_back(static_cast<std::uint8_t>(s & 0xFF));
    wave.push_back(static_cast<std::uint8_t>(s >> 8));
  }
  return c3dtest::WriteFile((dir / "long.wav").string(), wave) ? 0 : 1;
}
