#include "core/sound/WaveBuild.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>
#include <string>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/Filters.h"
#include "core/sound/WaveChoices.h"
#include "core/sound/WaveStereo.h"

namespace sound {
namespace {

// The values [0, first + count) of the channel are usable when the index is
// valid and the block holds them at the file's sample width.
const CAnalog* UsableChannel(const CC3d& c3d, int channel, int end) {
  if (channel < 0 || static_cast<std::size_t>(channel) >= c3d.m_analogs.size()) return nullptr;
  const CAnalog* analog = c3d.m_analogs[static_cast<std::size_t>(channel)].get();
  if (analog == nullptr) return nullptr;
  const auto width = static_cast<std::int64_t>(c3d.SampleWidth());
  if (end > 0 && static_cast<std::int64_t>(analog->m_pSamples.size()) < end * width) {
    return nullptr;
  }
  return analog;
}

// The channel's first values as floats into soundBuffer, at most one
// stretch. A block left large by an earlier caller is released first. May
// throw std::bad_alloc.
void LoadFirstValues(std::vector<float>& soundBuffer, const RawChannel& raw) {
  if (soundBuffer.capacity() > static_cast<std::size_t>(kSoundStretch)) {
    std::vector<float>().swap(soundBuffer);
  }
  const int first = std::min(raw.count, kSoundStretch);
  soundBuffer.resize(static_cast<std::size_t>(first));
  for (int i = 0; i < first; ++i) soundBuffer[static_cast<std::size_t>(i)] = raw[i];
}

// A sink in front of another that adds ticks to the PCM values passing
// through it (mono). The 44-byte WAVE header passes unchanged. Owns
// nothing: `next` outlives it.
class CTickSink : public IByteSink {
 public:
  CTickSink(IByteSink& next, std::vector<std::int64_t> starts, std::uint32_t rate, int bits)
      : m_next(next), m_ticks(std::move(starts), rate, bits), m_width(bits == 8 ? 1u : 2u) {}

  bool Write(std::span<const std::uint8_t> bytes) override {
    // m_buffer[0] lies at stream offset m_offset; a 16-bit value split
    // across two writes waits in m_carry for its high byte.
    m_buffer.assign(m_carry.begin(), m_carry.end());
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    m_carry.clear();
    std::size_t begin = 0;
    if (m_offset < kHeaderBytes)
      begin = static_cast<std::size_t>(
          std::min<std::uint64_t>(m_buffer.size(), kHeaderBytes - m_offset));
    const std::size_t end = begin + (m_buffer.size() - begin) / m_width * m_width;
    if (end > begin) {
      m_ticks.Mix((m_offset + begin - kHeaderBytes) / m_width,
                  std::span<std::uint8_t>(m_buffer.data() + begin, end - begin));
    }
    m_carry.assign(m_buffer.begin() + static_cast<std::ptrdiff_t>(end), m_buffer.end());
    m_offset += end;
    return m_next.Write(std::span<const std::uint8_t>(m_buffer.data(), end));
  }

 private:
  static constexpr std::uint64_t kHeaderBytes = 44;

  IByteSink& m_next;
  CTickMixer m_ticks;
  std::size_t m_width;  // bytes per value
  std::vector<std::uint8_t> m_buffer;
  std::vector<std::uint8_t> m_carry;  // the low byte of a value not yet complete
  std::uint64_t m_offset = 0;         // bytes passed on so far
};

WaveOutcome EncodeUnticked(const CC3d& c3d, const SoundRecipe& spec, const RawChannel& samples,
                           std::vector<float>& soundBuffer, IByteSink& sink, ISoundHost& host);

}  // namespace

std::int64_t OutputSampleOf(const CC3d& c3d, const SoundRecipe& spec, std::int64_t index) {
  const std::int64_t first = spec.range ? spec.range->first : 0;
  const double perSecond = static_cast<double>(AnalogRate(c3d)) * std::max(spec.speed, 1);
  const auto wholeRate = static_cast<double>(static_cast<std::uint32_t>(spec.rate));
  return static_cast<std::int64_t>(
      std::round(static_cast<double>(index - first) / perSecond * wholeRate));
}

float AnalogRate(const CC3d& c3d) { return c3d.AnalogRate(); }

CTickMixer::CTickMixer(std::vector<std::int64_t> starts, std::uint32_t rate, int bits)
    : m_starts(std::move(starts)), m_width(bits == 8 ? 1u : 2u) {
  std::sort(m_starts.begin(), m_starts.end());
  const auto length = static_cast<std::size_t>(std::lround(kTickSeconds * rate));
  const double fade = std::max(1.0, kTickFadeSeconds * rate);
  const double full = bits == 8 ? 127.0 : 32767.0;
  m_tick.resize(length);
  for (std::size_t n = 0; n < length; ++n) {
    const double t = static_cast<double>(n);
    const double envelope = std::min({1.0, t / fade, static_cast<double>(length - 1 - n) / fade});
    m_tick[n] =
        kTickLevel * full * envelope * std::sin(2.0 * std::numbers::pi * kTickHz * t / rate);
  }
}

void CTickMixer::Mix(std::uint64_t first, std::span<std::uint8_t> pcm) const {
  for (std::size_t j = 0; j + m_width <= pcm.size(); j += m_width) {
    const std::uint64_t n = first + j / m_width;
    if (m_width == 1) {
      const double v = static_cast<double>(pcm[j]) - 128.0 + TickAt(n);
      pcm[j] = static_cast<std::uint8_t>(std::clamp(std::lround(v), -128L, 127L) + 128);
    } else {
      const auto stored = static_cast<std::int16_t>(pcm[j] | (pcm[j + 1] << 8));
      const auto mixed = static_cast<std::uint16_t>(
          static_cast<std::int16_t>(std::clamp(std::lround(stored + TickAt(n)), -32768L, 32767L)));
      pcm[j] = static_cast<std::uint8_t>(mixed & 0xFF);
      pcm[j + 1] = static_cast<std::uint8_t>(mixed >> 8);
    }
  }
}

double CTickMixer::TickAt(std::uint64_t n) const {
  double sum = 0.0;
  const auto at = static_cast<std::int64_t>(n);
  auto it = std::upper_bound(m_starts.begin(), m_starts.end(), at);
  while (it != m_starts.begin()) {
    --it;
    const std::int64_t k = at - *it;
    if (k >= static_cast<std::int64_t>(m_tick.size())) break;
    sum += m_tick[static_cast<std::size_t>(k)];
  }
  return sum;
}

std::vector<std::int64_t> TickStarts(const CC3d& c3d, const SoundRecipe& spec, int count) {
  const std::int64_t first = spec.range ? spec.range->first : 0;
  std::vector<std::int64_t> starts;
  for (const std::int64_t index : spec.ticks) {
    if (index >= first && index < first + count) starts.push_back(OutputSampleOf(c3d, spec, index));
  }
  return starts;
}

std::optional<RawChannel> ChannelValues(const CC3d& c3d, const SoundRecipe& spec, int channel) {
  const int available = c3d.GetAnalogSampleCount();
  const SampleSpan span = spec.range.value_or(SampleSpan{0, available});
  const bool spanInside =
      !spec.range || (span.count >= 1 && span.first >= 0 && span.first <= available - span.count);
  const CAnalog* analog =
      spanInside ? UsableChannel(c3d, channel, span.first + span.count) : nullptr;
  if (analog == nullptr) return std::nullopt;
  RawChannel raw;
  raw.count = std::max(span.count, 0);
  if (c3d.m_bIntegerData) {
    raw.ints = analog->IntSamples() + span.first;
  } else {
    raw.floats = analog->FloatSamples() + span.first;
  }
  return raw;
}

std::optional<RawChannel> SpecSamples(const CC3d& c3d, const SoundRecipe& spec, ISoundHost& host) {
  const std::optional<RawChannel> raw = ChannelValues(c3d, spec, spec.channel);
  const bool rightUsable = !spec.right || ChannelValues(c3d, spec, *spec.right).has_value();
  // The whole-number rate must come from a rate that truncates to uint32.
  if (!raw || !rightUsable || !(spec.rate >= 0.0f && spec.rate < 4294967296.0f)) {
    host.ShowMessage(Messages::kError);
    return std::nullopt;
  }
  // The sound choices: a speed of 1..1000, a pitch range within 20..20000 Hz
  // rising from LO to HI, and (for the waveform, the only sound filtered)
  // every filter frequency below half the analog rate, refused naming it.
  const bool pitchValid = spec.pitch.low >= kPitchMinHz && spec.pitch.low < spec.pitch.high &&
                          spec.pitch.high <= kPitchMaxHz;
  if (spec.speed < 1 || spec.speed > 1000 || (spec.mode == SoundMode::Pitch && !pitchValid)) {
    host.ShowMessage(Messages::kError);
    return std::nullopt;
  }
  if (spec.mode == SoundMode::Waveform) {
    if (const std::string refused = CheckFilterRates(spec.filters, AnalogRate(c3d));
        !refused.empty()) {
      host.ShowMessage(refused);
      return std::nullopt;
    }
  }
  return raw;
}

WaveOutcome EncodeSpec(const CC3d& c3d, const SoundRecipe& spec, const RawChannel& samples,
                       std::vector<float>& soundBuffer, IByteSink& sink, ISoundHost& host) {
  if (spec.right) return EncodeStereo(c3d, spec, samples, soundBuffer, sink, host);
  if (spec.ticks.empty()) return EncodeUnticked(c3d, spec, samples, soundBuffer, sink, host);
  CTickSink ticked(sink, TickStarts(c3d, spec, samples.count),
                   static_cast<std::uint32_t>(spec.rate), spec.bits);
  return EncodeUnticked(c3d, spec, samples, soundBuffer, ticked, host);
}

namespace {

WaveOutcome EncodeUnticked(const CC3d& c3d, const SoundRecipe& spec, const RawChannel& samples,
                           std::vector<float>& soundBuffer, IByteSink& sink, ISoundHost& host) {
  if (!PlainWaveform(spec)) return EncodeChoices(c3d, spec, samples, soundBuffer, sink, host);
  try {
    LoadFirstValues(soundBuffer, samples);
  } catch (const std::exception&) {  // bad_alloc or length_error
    host.ShowMessage(Messages::kNotEnoughMemory);
    return WaveOutcome::Failed;
  }

  // The header rate is the chosen rate truncated toward zero; from here on
  // the rate is that whole number, so 8000.9 builds exactly as 8000.
  const auto wholeRate = static_cast<std::uint32_t>(spec.rate);  // range checked by SpecSamples
  const CSoundStream sound(samples, AnalogRate(c3d), static_cast<float>(wholeRate));

  // The wait cursor covers the whole resampled build: planning, then the
  // stretches, each interpolated as it is written.
  bool waiting = false;
  const auto endWait = [&] {
    if (waiting) host.EndWaitCursor();
    waiting = false;
  };
  if (sound.Resampling()) {
    host.BeginWaitCursor();
    waiting = true;
    if (sound.Refused()) {
      host.ShowMessage(Messages::kError);
      endWait();
    }
  }

  std::optional<CFitScale> fit;
  if (spec.level == SoundLevel::FitToChannel) {
    const SampleSpan span = spec.range.value_or(SampleSpan{0, c3d.GetAnalogSampleCount()});
    fit.emplace(ChannelRawRange(c3d, spec.channel, span.first, span.count));
  }
  const CWaveEncoder encoder(sound, wholeRate, spec.bits, std::move(fit));
  if (!encoder.FitsWave()) {
    endWait();
    host.ShowMessage(Messages::kError);
    return WaveOutcome::Failed;
  }

  switch (encoder.Encode(soundBuffer, sink)) {
    case CWaveEncoder::Result::NoMemory:
      host.ShowMessage(Messages::kNotEnoughMemory);
      endWait();
      return WaveOutcome::Failed;
    case CWaveEncoder::Result::SinkFailed:
      endWait();
      host.ShowMessage(Messages::kCouldNotCreate);
      return WaveOutcome::NotCreated;
    case CWaveEncoder::Result::Written:
      break;
  }
  endWait();
  return sound.Refused() ? WaveOutcome::PlayedEmpty : WaveOutcome::Played;
}

}  // namespace

}  // namespace sound
