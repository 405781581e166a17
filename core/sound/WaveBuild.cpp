#include "core/sound/WaveBuild.h"

#include <algorithm>
#include <exception>
#include <string>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/Filters.h"
#include "core/sound/WaveChoices.h"

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

}  // namespace

float AnalogRate(const CC3d& c3d) { return c3d.AnalogRate(); }

std::optional<RawChannel> SpecSamples(const CC3d& c3d, const SoundSpec& spec, ISoundHost& host) {
  const int available = c3d.GetAnalogSampleCount();
  const SampleSpan span = spec.range.value_or(SampleSpan{0, available});
  const bool spanInside =
      !spec.range || (span.count >= 1 && span.first >= 0 && span.first <= available - span.count);
  const CAnalog* analog =
      spanInside ? UsableChannel(c3d, spec.channel, span.first + span.count) : nullptr;
  // The whole-number rate must come from a rate that truncates to uint32.
  if (analog == nullptr || !(spec.rate >= 0.0f && spec.rate < 4294967296.0f)) {
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
  RawChannel raw;
  raw.count = std::max(span.count, 0);
  if (c3d.m_bIntegerData) {
    raw.ints = analog->IntSamples() + span.first;
  } else {
    raw.floats = analog->FloatSamples() + span.first;
  }
  return raw;
}

WaveOutcome EncodeSpec(const CC3d& c3d, const SoundSpec& spec, const RawChannel& samples,
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

}  // namespace sound
