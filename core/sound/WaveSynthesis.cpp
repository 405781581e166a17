#include "core/sound/WaveSynthesis.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <new>
#include <optional>
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
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(static_cast<std::int64_t>(v)) &
                                      0xFFFFu);
  }
  if (magnitude >= 295147905179352825856.0) return 0;     // 2^68: a multiple of 2^16
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

// Maps one stretch of the sound to PCM bytes, little-endian, into out
// (room for values.size() samples). `filled` values from the start are
// sound; the rest are the unfilled top slots of the resampling (value 0):
// As recorded maps them like any value, as before (full negative scale),
// Fit to channel makes them silent. Returns the number of bytes.
std::size_t MapStretch(std::span<const float> values, std::size_t filled, int blockAlign,
                       const CFitScale* fit, std::uint8_t* out) {
  std::uint8_t* p = out;
  const std::size_t n = values.size();
  if (fit == nullptr) {
    if (blockAlign == 2) {
      for (std::size_t i = 0; i < n; ++i, p += 2) {
        PutLe16(p, static_cast<std::uint16_t>(PcmSample16(values[i])));
      }
    } else {
      for (std::size_t i = 0; i < n; ++i) *p++ = PcmSample8(values[i]);
    }
  } else if (blockAlign == 2) {
    std::size_t i = 0;
    for (; i < filled; ++i, p += 2)
      PutLe16(p, static_cast<std::uint16_t>(fit->Sample16(values[i])));
    for (; i < n; ++i, p += 2) PutLe16(p, 0);
  } else {
    std::size_t i = 0;
    for (; i < filled; ++i) *p++ = fit->Sample8(values[i]);
    for (; i < n; ++i) *p++ = 128;  // 8-bit PCM is unsigned: 128 is silence
  }
  return static_cast<std::size_t>(p - out);
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

RawChannel RawChannelOf(const CC3d& c3d, const CAnalog& analog, int count) {
  RawChannel raw;
  raw.count = std::max(count, 0);
  if (c3d.m_bIntegerData) {
    raw.ints = analog.IntSamples();
  } else {
    raw.floats = analog.FloatSamples();
  }
  return raw;
}

// Step 6 of a build, streamed: soundBuffer becomes the channel's first raw
// values as floats, at most one stretch. A block left large by an earlier
// caller is released first. May throw std::bad_alloc.
void LoadFirstValues(std::vector<float>& soundBuffer, const RawChannel& raw) {
  if (soundBuffer.capacity() > static_cast<std::size_t>(kSoundStretch)) {
    std::vector<float>().swap(soundBuffer);
  }
  const int first = std::min(raw.count, kSoundStretch);
  soundBuffer.resize(static_cast<std::size_t>(first));
  for (int i = 0; i < first; ++i) soundBuffer[static_cast<std::size_t>(i)] = raw[i];
}

}  // namespace

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

ResamplePlan PlanResample(float analogRate, float outputRate, int count) {
  ResamplePlan plan;
  const double length = ResampledLength(analogRate, outputRate, count);
  // (count - 1) / (N - 1) in double, then rounded to float: every later use
  // of the step uses this float. |count - 1| < 2^31 and N is whole, so the
  // quotient is within float range, infinite (N = 1) or NaN.
  const float step = static_cast<float>((static_cast<double>(count) - 1.0) / (length - 1.0));
  // The checks Interpolate makes, plus the range of N itself (count < 1 has
  // nothing to resample; N must fit an int).
  if (count < 1 || !(length <= static_cast<double>(INT_MAX)) || !(step > 0.0f) || step >= 1.0f) {
    return plan;
  }
  const double lastUsable =
      std::trunc((static_cast<double>(count) - 1.0) / static_cast<double>(step));
  if (lastUsable > length - 1.0) return plan;
  plan.refused = false;
  plan.length = static_cast<int>(length);  // whole, > count >= 1 and <= INT_MAX after the checks
  plan.step = step;
  plan.lastUsable = static_cast<int>(lastUsable);  // in [0, N - 1] after the checks
  return plan;
}

int Resample(std::vector<float>& soundBuffer, float analogRate, float outputRate, int count,
             ISoundHost& host) {
  host.BeginWaitCursor();
  // Every check comes before any value is copied into the work buffer.
  const ResamplePlan plan = PlanResample(analogRate, outputRate, count);
  if (plan.refused || static_cast<std::size_t>(count) > soundBuffer.size()) {
    host.ShowMessage(Messages::kError);
    host.EndWaitCursor();
    return 0;
  }
  const int n = plan.length;
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
  Interpolate(work, lastOut, lastIn, plan.step, lastUsable, status);
  // Handing the work buffer over releases the input block: one output-sized
  // buffer at a time, never a copy of it.
  soundBuffer.swap(work);
  host.EndWaitCursor();
  return n;
}

CSoundStream::CSoundStream(RawChannel input, float analogRate, float outputRate)
    : m_input(input), m_resample(outputRate > analogRate) {
  if (!m_resample) {
    m_length = std::max(input.count, 0);
    m_tailStart = m_length;
    return;
  }
  const ResamplePlan plan = PlanResample(analogRate, outputRate, input.count);
  m_refused = plan.refused;
  if (plan.refused) return;
  m_length = plan.length;
  m_tailStart = plan.lastUsable + 1;
  m_step = plan.step;
}

void CSoundStream::Produce(int from, std::span<float> out) const {
  float* o = out.data();
  // from + size <= Length() <= INT_MAX: the sum fits.
  const int end = from + static_cast<int>(out.size());
  int i = from;
  if (!m_resample) {
    for (; i < end; ++i) *o++ = m_input[i];
    return;
  }
  if (i == 0 && i < end) {
    *o++ = m_input[0];  // slot 0 keeps its input value
    ++i;
  }
  // Slot i holds x[k] + (x[k + 1] - x[k]) x (t - k) with t = i x step and
  // k = trunc(t), in double, stored as float: Interpolate's arithmetic
  // slot for slot. t grows with i (rounding is monotonic), so k only moves
  // up; it is taken afresh from t whenever t reaches k + 1.
  const int interpolatedEnd = std::min(end, m_tailStart);
  if (i < interpolatedEnd) {
    double jd = i;                          // i as a double, counted exactly (i < 2^31)
    int k = static_cast<int>(jd * m_step);  // 0 <= t < i: truncation is the floor
    double kd = k;
    double next = kd + 1.0;
    double xk = Input(k);
    double slope = Input(k + 1) - xk;
    for (; i < interpolatedEnd; ++i, jd += 1.0) {
      const double t = jd * m_step;
      if (t >= next) {
        k = static_cast<int>(t);  // as above, t < i
        kd = k;
        next = kd + 1.0;
        xk = Input(k);
        slope = Input(k + 1) - xk;
      }
      *o++ = static_cast<float>(xk + slope * (t - kd));  // stored as float, as the buffer holds it
    }
  }
  for (; i < end; ++i) *o++ = 0.0f;  // the top slots the interpolation leaves at 0
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

namespace {

WaveOutcome BuildWave(const CC3d& c3d, int channel, int first, int count, int bits, float rate,
                      std::vector<float>& soundBuffer, const std::filesystem::path& file,
                      ISoundHost& host, SoundLevel level);

}

WaveOutcome WriteWave(const CC3d& c3d, int channel, int bits, float rate,
                      std::vector<float>& soundBuffer, const std::filesystem::path& file,
                      ISoundHost& host, SoundLevel level) {
  return BuildWave(c3d, channel, 0, c3d.GetAnalogSampleCount(), bits, rate, soundBuffer, file, host,
                   level);
}

WaveOutcome WriteWaveRange(const CC3d& c3d, int channel, int first, int count, int bits, float rate,
                           std::vector<float>& soundBuffer, const std::filesystem::path& file,
                           ISoundHost& host, SoundLevel level) {
  if (count < 1 || first < 0 || first > c3d.GetAnalogSampleCount() - count) {
    host.StopSound();
    host.ShowMessage(Messages::kError);
    return WaveOutcome::Failed;
  }
  return BuildWave(c3d, channel, first, count, bits, rate, soundBuffer, file, host, level);
}

namespace {

// The build of WriteWave over the values [first, first + count) of the
// channel (the whole channel: 0 and GetAnalogSampleCount()).
WaveOutcome BuildWave(const CC3d& c3d, int channel, int first, int count, int bits, float rate,
                      std::vector<float>& soundBuffer, const std::filesystem::path& file,
                      ISoundHost& host, SoundLevel level) {
  host.StopSound();

  // The channel must hold the values up to the span's end.
  const CAnalog* analog = UsableChannel(c3d, channel, first + count);
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

  bool waiting = false;
  const auto endWait = [&] {
    if (waiting) host.EndWaitCursor();
    waiting = false;
  };
  const auto leaveEmpty = [&] {
    out.close();
    TruncateQuietly(file);
    host.SetStatus(Messages::kStatusIdle);
  };
  const auto failBuild = [&](const char* message) {
    endWait();
    host.ShowMessage(message);
    leaveEmpty();
  };

  // The header rate is the chosen rate truncated toward zero; from here on
  // the rate is that whole number, so 8000.9 builds exactly as 8000.
  const auto wholeRate = static_cast<std::uint32_t>(rate);  // range checked above
  const int blockAlign = bits == 16 ? 2 : 1;
  const float analogRate = AnalogRate(c3d);
  RawChannel raw = RawChannelOf(c3d, *analog, count);
  if (raw.ints != nullptr) raw.ints += first;
  if (raw.floats != nullptr) raw.floats += first;

  try {
    LoadFirstValues(soundBuffer, raw);
  } catch (const std::exception&) {  // bad_alloc or length_error
    failBuild(Messages::kNotEnoughMemory);
    return WaveOutcome::Failed;
  }

  // The wait cursor covers the whole resampled build: planning, then the
  // stretches, each interpolated as it is written.
  const CSoundStream sound(raw, analogRate, static_cast<float>(wholeRate));
  if (sound.Resampling()) {
    host.BeginWaitCursor();
    waiting = true;
    if (sound.Refused()) {
      host.ShowMessage(Messages::kError);
      endWait();
    }
  }
  const int n = sound.Length();

  const std::uint64_t dataBytes =
      static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(blockAlign);
  if (dataBytes > kMaxWaveDataBytes) {
    failBuild(Messages::kError);
    return WaveOutcome::Failed;
  }

  const std::size_t stretch = static_cast<std::size_t>(std::min(n, kSoundStretch));
  std::vector<std::uint8_t> bytes;
  try {
    soundBuffer.reserve(stretch);
    bytes.resize(stretch * static_cast<std::size_t>(blockAlign));
  } catch (const std::exception&) {  // bad_alloc or length_error
    host.ShowMessage(Messages::kNotEnoughMemory);
    endWait();
    leaveEmpty();
    return WaveOutcome::Failed;
  }

  std::optional<CFitScale> fit;
  if (level == SoundLevel::FitToChannel) fit.emplace(ChannelRawRange(c3d, channel, first, count));

  // In range: dataBytes <= 0xFFFFFFFF - 36.
  const auto header = WaveHeader(wholeRate, bits, static_cast<std::uint32_t>(dataBytes));
  bool written = WriteBytes(out, header.data(), header.size());
  for (int from = 0; written && from < n;) {
    const int length = std::min(kSoundStretch, n - from);
    soundBuffer.resize(static_cast<std::size_t>(length));  // within the reserved block
    sound.Produce(from, soundBuffer);
    const int filled = std::clamp(sound.TailStart() - from, 0, length);
    const std::size_t size = MapStretch(soundBuffer, static_cast<std::size_t>(filled), blockAlign,
                                        fit ? &*fit : nullptr, bytes.data());
    written = WriteBytes(out, bytes.data(), size);
    from += length;
  }
  endWait();
  if (!written || !PatchRiffSizeAndClose(out)) {
    failBuild(Messages::kCouldNotCreate);
    return WaveOutcome::NotCreated;
  }

  host.SetStatus(Messages::kStatusDone);
  host.PlayFile(file);
  return sound.Refused() ? WaveOutcome::PlayedEmpty : WaveOutcome::Played;
}

}  // namespace

}  // namespace sound
