#include "core/sound/WaveSynthesis.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <new>
#include <stdexcept>

#include "core/Messages.h"
#include "core/c3d/C3d.h"

namespace sound {
namespace {

// Stored values are taken to lie in 0..4096 with 2048 as silence.
constexpr double kSilence = 2048.0;
constexpr double kFullScale = 0.00048828125;  // 1 / 2048, exact in binary

// The low 16 bits of trunc(v), two's complement, for any finite v. Below
// 2^63 in magnitude a truncating cast to a 64-bit integer is defined and
// keeps every low bit. From 2^68 on a double's last mantissa bit is worth at
// least 2^16, so the low 16 bits are all zero. In between, fmod (which is
// exact) removes the multiples of 2^16 first. fmod works through the
// exponent difference bit by bit: keeping it to that narrow band keeps a
// channel of huge values (common in damaged float files) as quick to build
// as any other.
std::uint16_t Low16(double v) {
  const double magnitude = std::fabs(v);
  if (magnitude < 2147483648.0) {
    // Truncation toward zero is the mapping; |v| < 2^31 keeps the cast defined.
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(v)));
  }
  if (magnitude < 9223372036854775808.0) {
    // |v| < 2^63: the cast to int64 is defined; its low bits are the answer.
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(v)) & 0xFFFFu);
  }
  if (magnitude >= 295147905179352825856.0) return 0;  // 2^68: a multiple of 2^16
  const double rest = std::fmod(std::trunc(v), 65536.0);  // exact, in (-65536, 65536)
  // rest is a whole number within int32; masking gives its two's-complement low bits.
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(static_cast<std::int32_t>(rest)) &
                                    0xFFFFu);
}

void PutLe16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFFu);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFFu);
}

bool WriteBytes(std::ofstream& out, const std::uint8_t* data, std::size_t size) {
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// Writes the n samples of `samples` through the amplitude mapping, one after
// the other, little-endian, in chunks so no second copy of the sound is held.
bool WriteSamples(std::ofstream& out, const float* samples, std::size_t n, int blockAlign) {
  constexpr std::size_t kChunkSamples = 32768;
  std::vector<std::uint8_t> chunk(kChunkSamples * static_cast<std::size_t>(blockAlign));
  for (std::size_t done = 0; done < n;) {
    const std::size_t todo = std::min(kChunkSamples, n - done);
    std::uint8_t* p = chunk.data();
    if (blockAlign == 2) {
      for (std::size_t i = 0; i < todo; ++i, p += 2) {
        PutLe16(p, static_cast<std::uint16_t>(PcmSample16(samples[done + i])));
      }
    } else {
      for (std::size_t i = 0; i < todo; ++i) *p++ = PcmSample8(samples[done + i]);
    }
    if (!WriteBytes(out, chunk.data(), todo * static_cast<std::size_t>(blockAlign))) return false;
    done += todo;
  }
  return true;
}

// Seeks to the end, takes the file length and writes length - 8 as the RIFF
// chunk size at offset 4, then closes. False when any step failed.
bool PatchRiffSizeAndClose(std::ofstream& out) {
  out.seekp(0, std::ios::end);
  const std::streamoff length = out.tellp();
  if (!out || length < 8 || length - 8 > static_cast<std::streamoff>(0xFFFFFFFFu)) return false;
  std::uint8_t size[4];
  // In range: checked against 32 bits just above.
  PutLe32(size, static_cast<std::uint32_t>(length - 8));
  out.seekp(4);
  if (!WriteBytes(out, size, sizeof size)) return false;
  out.close();
  return !out.fail();
}

// Leaves `file` empty after a failed build, so no partial sound remains that
// looks complete. Best effort: the build has already failed.
void TruncateQuietly(const std::filesystem::path& file) {
  std::ofstream empty(file, std::ios::binary | std::ios::out | std::ios::trunc);
}

// The stored samples of a channel are usable when the index is valid and the
// block holds `count` values of the file's sample width.
const CAnalog* UsableChannel(const CC3d& c3d, int channel, int count) {
  if (channel < 0 || static_cast<std::size_t>(channel) >= c3d.m_analogs.size()) return nullptr;
  const CAnalog* analog = c3d.m_analogs[static_cast<std::size_t>(channel)].get();
  if (analog == nullptr) return nullptr;
  const auto width = static_cast<std::int64_t>(c3d.SampleWidth());
  if (count > 0 && static_cast<std::int64_t>(analog->m_pSamples.size()) < count * width) {
    return nullptr;
  }
  return analog;
}

// Step 6 of a build: soundBuffer becomes the channel's count raw values as
// floats. The old block is released first so a long previous sound does not
// stay allocated beside the new one. May throw std::bad_alloc.
void FillFromChannel(std::vector<float>& soundBuffer, const CC3d& c3d, const CAnalog& analog,
                     int count) {
  soundBuffer.clear();
  soundBuffer.shrink_to_fit();
  if (count <= 0) return;
  soundBuffer.resize(static_cast<std::size_t>(count));
  if (c3d.m_bIntegerData) {
    const std::int16_t* raw = analog.IntSamples();
    for (int i = 0; i < count; ++i) soundBuffer[static_cast<std::size_t>(i)] = raw[i];
  } else {
    std::memcpy(soundBuffer.data(), analog.FloatSamples(),
                static_cast<std::size_t>(count) * sizeof(float));
  }
}

}

float AnalogRate(const CC3d& c3d) {
  return static_cast<float>(c3d.m_nAnalogSamplesPerFrame) * c3d.m_fFrameRate;
}

double ResampledLength(float analogRate, float outputRate, int count) {
  const double inputPeriod = 1.0 / static_cast<double>(analogRate);
  const double outputPeriod = 1.0 / static_cast<double>(outputRate);
  return std::trunc((inputPeriod * count) / outputPeriod);
}

void Interpolate(std::span<float> buffer, const int& lastOut, const int& lastIn, const float& step,
                 int& lastUsable, int& status) {
  if (!(step > 0.0f) || step >= 1.0f) {  // also NaN
    status = kInterpolateBadStep;
    return;
  }
  const double reach = static_cast<double>(lastIn) / static_cast<double>(step);
  // Saturated so the stored value is defined however far the input reaches.
  lastUsable = static_cast<int>(
      std::clamp(reach, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX)));
  if (lastUsable > lastOut || lastOut < 0 || static_cast<std::size_t>(lastOut) >= buffer.size()) {
    status = kInterpolateTooShort;
    return;
  }
  float* x = buffer.data();
  const int top = lastUsable;
  for (int i = lastOut; i > top && i >= 1; --i) x[i] = 0.0f;
  // Slot i holds x[k] + (x[k + 1] - x[k]) x (t - k) with t = i x step and
  // k = trunc(t). The slots sharing one k form a run; taking a run at a time
  // reads its two inputs once and leaves a loop free of conversions to int
  // and of loads, with the very same arithmetic per slot. The products
  // i x step grow with i (rounding is monotonic), so each run is contiguous.
  const double dstep = step;
  for (int i = std::min(top, lastOut); i >= 1;) {
    // t < i because step < 1, so slots k and k + 1 have not been overwritten yet.
    const int k = static_cast<int>(i * dstep);  // 0 <= t < i: truncation is the floor
    const double kd = k;
    // The lowest slot of the run: the first j >= 1 with j x step >= k.
    int lo = std::max(1, static_cast<int>(std::min(std::ceil(kd / dstep), static_cast<double>(i))));
    while (lo > 1 && (lo - 1) * dstep >= kd) --lo;
    while (lo * dstep < kd) ++lo;
    const double xk = x[k];
    const double slope = static_cast<double>(x[k + 1]) - xk;  // read before slot k + 1 is written
    double jd = lo;  // j as a double, counted exactly (j < 2^31)
    for (int j = lo; j <= i; ++j, jd += 1.0) {
      // Stored as float: the buffer holds 32-bit samples.
      x[j] = static_cast<float>(xk + slope * (jd * dstep - kd));
    }
    i = lo - 1;
  }
  status = kInterpolateDone;
}

int Resample(std::vector<float>& soundBuffer, float analogRate, float outputRate, int count,
             ISoundHost& host) {
  const double length = ResampledLength(analogRate, outputRate, count);
  // (count - 1) / (N - 1) in double, then rounded to float: every later use
  // of the step uses this float. |count - 1| < 2^31 and N is whole, so the
  // quotient is within float range, infinite (N = 1) or NaN.
  const float step = static_cast<float>((static_cast<double>(count) - 1.0) / (length - 1.0));

  host.BeginWaitCursor();
  // The checks Interpolate makes, before any value is copied, plus the range
  // of N itself (count < 1 has nothing to resample; N must fit an int).
  bool refused = count < 1 || static_cast<std::size_t>(count) > soundBuffer.size() ||
                 !(length <= static_cast<double>(INT_MAX)) || !(step > 0.0f) || step >= 1.0f;
  if (!refused) {
    const double lastUsable =
        std::trunc((static_cast<double>(count) - 1.0) / static_cast<double>(step));
    refused = lastUsable > length - 1.0;
  }
  if (refused) {
    host.ShowMessage(Messages::kError);
    host.EndWaitCursor();
    return 0;
  }
  // length is whole, > count >= 1 and <= INT_MAX after the checks.
  const int n = static_cast<int>(length);
  std::vector<float> work;
  try {
    work.resize(static_cast<std::size_t>(n));
  } catch (const std::exception&) {  // bad_alloc, or length_error on small address spaces
    host.ShowMessage(Messages::kNotEnoughMemory);
    host.EndWaitCursor();
    return kResampleNoMemory;
  }
  std::copy_n(soundBuffer.begin(), count, work.begin());
  const int lastOut = n - 1;
  const int lastIn = count - 1;
  int lastUsable = 0;
  int status = kInterpolateDone;
  Interpolate(work, lastOut, lastIn, step, lastUsable, status);
  // Handing the work buffer over releases the input block: one output-sized
  // buffer at a time, never a copy of it.
  soundBuffer.swap(work);
  host.EndWaitCursor();
  return n;
}

std::int16_t PcmSample16(float s) {
  const double d = (static_cast<double>(s) - kSilence) * kFullScale;
  if (!std::isfinite(d)) return 0;
  // The low 16 bits as a two's-complement value (defined modulo 2^16 in C++20).
  return static_cast<std::int16_t>(Low16(d * 32768.0));
}

std::uint8_t PcmSample8(float s) {
  const double d = (static_cast<double>(s) - kSilence) * kFullScale;
  if (!std::isfinite(d)) return 128;
  // (v + 128) modulo 256: the low byte of v, shifted so silence is 128.
  return static_cast<std::uint8_t>((Low16(d * 128.0) + 128u) & 0xFFu);
}

std::array<std::uint8_t, 44> WaveHeader(std::uint32_t rate, int bits, std::uint32_t dataBytes) {
  const std::uint16_t blockAlign = bits == 16 ? 2 : 1;
  std::array<std::uint8_t, 44> h{};
  std::memcpy(&h[0], "RIFF", 4);
  PutLe32(&h[4], 0);  // RIFF chunk size: patched from the file length at the end
  std::memcpy(&h[8], "WAVE", 4);
  std::memcpy(&h[12], "fmt ", 4);
  PutLe32(&h[16], 16);  // format chunk size of plain PCM
  PutLe16(&h[20], 1);   // format tag 1: PCM
  PutLe16(&h[22], 1);   // mono
  PutLe32(&h[24], rate);
  PutLe32(&h[28], rate * blockAlign);  // average bytes per second (R <= 44100 after the checks)
  PutLe16(&h[32], blockAlign);
  PutLe16(&h[34], static_cast<std::uint16_t>(blockAlign * 8));  // bits per sample, 8 or 16
  std::memcpy(&h[36], "data", 4);
  PutLe32(&h[40], dataBytes);
  return h;
}

WaveOutcome WriteWave(const CC3d& c3d, int channel, int bits, float rate,
                      std::vector<float>& soundBuffer, const std::filesystem::path& file,
                      ISoundHost& host) {
  host.StopSound();

  const int count = c3d.GetAnalogSampleCount();
  const CAnalog* analog = UsableChannel(c3d, channel, count);
  // The whole-number rate must come from a rate that truncates to uint32.
  if (analog == nullptr || !(rate >= 0.0f && rate < 4294967296.0f)) {
    host.ShowMessage(Messages::kError);
    return WaveOutcome::Failed;
  }

  std::ofstream out(file, std::ios::binary | std::ios::out | std::ios::trunc);
  if (!out.is_open()) {
    host.ShowMessage(Messages::kCouldNotCreate);
    return WaveOutcome::NotCreated;
  }
  host.SetStatus(Messages::kStatusProcessing);

  const auto failBuild = [&](const char* message) {
    host.ShowMessage(message);
    out.close();
    TruncateQuietly(file);
    host.SetStatus(Messages::kStatusIdle);
  };

  // The header rate is the chosen rate truncated toward zero; from here on
  // the rate is that whole number, so 8000.9 builds exactly as 8000.
  const auto wholeRate = static_cast<std::uint32_t>(rate);  // range checked above
  const int blockAlign = bits == 16 ? 2 : 1;
  const float analogRate = AnalogRate(c3d);

  try {
    FillFromChannel(soundBuffer, c3d, *analog, count);
  } catch (const std::exception&) {  // bad_alloc or length_error
    failBuild(Messages::kNotEnoughMemory);
    return WaveOutcome::Failed;
  }

  int n = std::max(count, 0);
  bool refused = false;
  if (static_cast<float>(wholeRate) > analogRate) {
    n = Resample(soundBuffer, analogRate, static_cast<float>(wholeRate), count, host);
    if (n == kResampleNoMemory) {
      out.close();
      TruncateQuietly(file);
      host.SetStatus(Messages::kStatusIdle);
      return WaveOutcome::Failed;
    }
    refused = n == 0;
  }

  const std::uint64_t dataBytes =
      static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(blockAlign);
  if (dataBytes > kMaxWaveDataBytes) {
    failBuild(Messages::kError);
    return WaveOutcome::Failed;
  }
  // In range: dataBytes <= 0xFFFFFFFF - 36.
  const auto header = WaveHeader(wholeRate, bits, static_cast<std::uint32_t>(dataBytes));
  if (!WriteBytes(out, header.data(), header.size()) ||
      !WriteSamples(out, soundBuffer.data(), static_cast<std::size_t>(n), blockAlign) ||
      !PatchRiffSizeAndClose(out)) {
    failBuild(Messages::kCouldNotCreate);
    return WaveOutcome::NotCreated;
  }

  host.SetStatus(Messages::kStatusDone);
  host.PlayFile(file);
  return refused ? WaveOutcome::PlayedEmpty : WaveOutcome::Played;
}

}
