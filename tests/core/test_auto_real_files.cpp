// What Auto makes of every channel of the real recordings (the folder named
// by TREMOLUX_SAMPLES_DIR): at 44100 Hz, 16 bits, each non-constant channel
// should be a sound a person hears and follows. Measured per channel:
// - at least half of the energy about the mean between 20 and 4000 Hz
//   (the power spectra of up to 16 Hann-windowed blocks of 8192 samples
//   spread evenly over the sound, summed);
// - RMS at least -30 dBFS; |mean| at most 5% of full scale;
// - never three full-scale samples in a row;
// - first and last sample within 2% of full scale of zero.
// Constant channels must be exactly silent.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <filesystem>
#include <iostream>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/sound/AutoSound.h"

namespace fs = std::filesystem;

namespace {

constexpr double kRealRate = 44100.0;
constexpr std::size_t kFftSize = 8192;
constexpr std::size_t kSpectrumBlocks = 16;  // about 3 s of sound

// Power spectra of 8192-sample blocks: a radix-2 FFT with its twiddles and
// Hann window computed once.
class CBlockSpectrum {
 public:
  CBlockSpectrum() : m_block(kFftSize), m_window(kFftSize), m_twiddles(kFftSize / 2) {
    for (std::size_t i = 0; i < kFftSize; ++i) {
      m_window[i] =
          0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) / kFftSize);
    }
    for (std::size_t k = 0; k < kFftSize / 2; ++k) {
      m_twiddles[k] = std::polar(1.0, -2.0 * std::numbers::pi * static_cast<double>(k) / kFftSize);
    }
  }

  // Adds the power of pcm[start, start + 8192) about mean (zeros past the
  // end) to band (bins from 20 to 4000 Hz) and total.
  void Add(const std::vector<std::int16_t>& pcm, std::size_t start, double mean, double& band,
           double& total) {
    for (std::size_t i = 0; i < kFftSize; ++i) {
      const std::size_t at = start + i;
      m_block[i] = at < pcm.size() ? (pcm[at] - mean) * m_window[i] : 0.0;
    }
    Transform();
    const auto lowBin = static_cast<std::size_t>(std::ceil(20.0 * kFftSize / kRealRate));
    const auto highBin = static_cast<std::size_t>(std::floor(4000.0 * kFftSize / kRealRate));
    for (std::size_t k = 0; k <= kFftSize / 2; ++k) {
      const double power = std::norm(m_block[k]);
      total += power;
      if (k >= lowBin && k <= highBin) band += power;
    }
  }

 private:
  void Transform() {
    std::vector<std::complex<double>>& a = m_block;
    for (std::size_t i = 1, j = 0; i < kFftSize; ++i) {
      std::size_t bit = kFftSize >> 1;
      for (; (j & bit) != 0; bit >>= 1) j ^= bit;
      j ^= bit;
      if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= kFftSize; len <<= 1) {
      const std::size_t stride = kFftSize / len;
      for (std::size_t i = 0; i < kFftSize; i += len) {
        for (std::size_t k = 0; k < len / 2; ++k) {
          const std::complex<double> u = a[i + k];
          const std::complex<double> v = a[i + k + len / 2] * m_twiddles[k * stride];
          a[i + k] = u + v;
          a[i + k + len / 2] = u - v;
        }
      }
    }
  }

  std::vector<std::complex<double>> m_block;
  std::vector<double> m_window;
  std::vector<std::complex<double>> m_twiddles;
};

// Share of the energy about `mean` between 20 and 4000 Hz, from at most
// kSpectrumBlocks blocks spread evenly over the sound (all of a short one).
double AudibleShare(const std::vector<std::int16_t>& pcm, double mean) {
  static CBlockSpectrum spectrum;
  const std::size_t blocks = (pcm.size() + kFftSize - 1) / kFftSize;
  const std::size_t used = std::min(blocks, kSpectrumBlocks);
  double band = 0.0;
  double total = 0.0;
  for (std::size_t b = 0; b < used; ++b)
    spectrum.Add(pcm, b * blocks / used * kFftSize, mean, band, total);
  return total > 0.0 ? band / total : 0.0;
}

// Why one channel's sound fails, or empty.
std::string Judge(const std::vector<std::int16_t>& pcm, bool silence) {
  if (silence) {
    return std::all_of(pcm.begin(), pcm.end(), [](std::int16_t v) { return v == 0; })
               ? ""
               : "constant channel not silent";
  }
  if (pcm.empty()) return "no samples";
  double sum = 0.0;
  double squares = 0.0;
  int run = 0;
  int longestRun = 0;
  for (const std::int16_t v : pcm) {
    sum += v;
    squares += static_cast<double>(v) * v;
    run = v >= 32767 || v <= -32767 ? run + 1 : 0;
    longestRun = std::max(longestRun, run);
  }
  const auto n = static_cast<double>(pcm.size());
  const double mean = sum / n;
  std::ostringstream why;
  if (20.0 * std::log10(std::sqrt(squares / n) / 32768.0) < -30.0) why << " RMS below -30 dBFS;";
  if (std::abs(mean) > 0.05 * 32768.0) why << " mean " << mean / 32768.0 << " of full scale;";
  if (longestRun >= 3) why << " " << longestRun << " full-scale samples in a row;";
  if (std::abs(pcm.front()) > 0.02 * 32768.0 || std::abs(pcm.back()) > 0.02 * 32768.0) {
    why << " click at an end;";
  }
  const double share = AudibleShare(pcm, mean);
  if (share < 0.5) why << " only " << std::lround(share * 100.0) << "% between 20 and 4000 Hz;";
  return why.str();
}

TEST(AutoOnRealFiles, NearlyEveryNonConstantChannelBecomesAnAudibleSound) {
  const fs::path dir(TREMOLUX_SAMPLES_DIR);
  if (!fs::is_directory(dir))
    GTEST_SKIP() << "no sample files at " << dir << " (TREMOLUX_SAMPLES_DIR)";
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file() && entry.path().extension() == ".c3d")
      files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) GTEST_SKIP() << "no .c3d files under " << dir;

  int unreadable = 0;
  int constant = 0;
  int judged = 0;
  int passed = 0;
  std::vector<std::string> failures;
  std::vector<float> stretch(16384);
  std::vector<std::int16_t> pcm;
  for (const fs::path& file : files) {
    CC3d c3d;
    c3d.m_strPathName = file.string();
    if (!c3d.Load()) {
      ++unreadable;
      continue;
    }
    const double analogRate = static_cast<float>(c3d.m_nAnalogSamplesPerFrame) * c3d.m_fFrameRate;
    const std::int64_t count = c3d.GetAnalogSampleCount();
    for (std::size_t i = 0; i < c3d.m_analogs.size(); ++i) {
      const CAnalog& analog = *c3d.m_analogs[i];
      if (count < 1 ||
          analog.m_pSamples.size() < static_cast<std::size_t>(count) * c3d.SampleWidth()) {
        continue;
      }
      sound::SampleView view;
      view.count = count;
      if (c3d.m_bIntegerData) {
        view.ints = analog.IntSamples();
      } else {
        view.floats = analog.FloatSamples();
      }
      sound::CAutoSound sound(view, analogRate, kRealRate);
      pcm.clear();
      while (true) {
        const std::size_t n = sound.Read(stretch);
        for (std::size_t k = 0; k < n; ++k) pcm.push_back(sound::PcmFromUnit16(stretch[k]));
        if (n < stretch.size()) break;
      }
      const bool silence = sound.Analysis().choice == sound::AutoChoice::Silence;
      const std::string why = Judge(pcm, silence);
      const std::string where =
          fs::relative(file, dir).string() + ":" + AnalogChannelName(c3d, static_cast<int>(i));
      if (silence) {
        ++constant;
        EXPECT_EQ(why, "") << where;
        continue;
      }
      ++judged;
      if (why.empty()) {
        ++passed;
      } else {
        failures.push_back(where + " (" + sound.Analysis().hint + "):" + why);
      }
    }
  }
  std::cout << "Auto on real files: " << passed << " / " << judged
            << " non-constant channels pass; " << constant << " constant channels silent; "
            << unreadable << " files not loaded\n";
  for (const std::string& failure : failures) std::cout << "  " << failure << "\n";
  ASSERT_GT(judged, 0);
  EXPECT_GE(passed, 0.98 * judged);
}

}  // namespace
