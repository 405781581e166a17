#include "core/sound/WaveStereo.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/SoundLevel.h"
#include "core/sound/WaveChoices.h"

namespace sound {
namespace {

// One channel of a two-channel sound as PCM, a stretch at a time: the plain
// waveform through CWaveEncoder's mapping, any other sound through
// CChoicePcm, the ticks mixed in, exactly the values of its mono sound
// after its 44-byte header. Borrows the channel's values.
class CChannelPcm {
 public:
  // mono: the recipe of this channel's mono sound (no right channel).
  // hint: receives Auto's note. May throw std::bad_alloc.
  CChannelPcm(const CC3d& c3d, const SoundRecipe& mono, const RawChannel& values,
              const std::function<void(const std::string&)>& hint)
      : m_width(mono.bits == 16 ? 2 : 1) {
    const auto wholeRate = static_cast<std::uint32_t>(mono.rate);  // checked by SpecSamples
    if (PlainWaveform(mono)) {
      const CSoundStream sound(values, AnalogRate(c3d), static_cast<float>(wholeRate));
      std::optional<CFitScale> fit;
      if (mono.level == SoundLevel::FitToChannel) {
        const SampleSpan span = mono.range.value_or(SampleSpan{0, c3d.GetAnalogSampleCount()});
        fit.emplace(ChannelRawRange(c3d, mono.channel, span.first, span.count));
      }
      m_plain.emplace(sound, wholeRate, mono.bits, std::move(fit));
      m_length = m_plain->Sound().Length();
    } else {
      m_choice = std::make_unique<CChoicePcm>(c3d, mono, values, hint);
      m_length = m_choice->Length();
    }
    if (!mono.ticks.empty())
      m_ticks.emplace(TickStarts(c3d, mono, values.count), wholeRate, mono.bits);
  }

  // The plain waveform's resampling was refused: the sound is empty.
  bool Refused() const { return m_plain && m_plain->Sound().Refused(); }
  std::int64_t Length() const { return m_length; }

  // The PCM bytes of samples from .. from + values.size() - 1 into out
  // (room for values.size() samples); those at or past Length() are
  // silent. values is the float block they are produced in.
  void Next(std::int64_t from, std::span<float> values, std::uint8_t* out) {
    const auto sound = static_cast<std::size_t>(
        std::clamp<std::int64_t>(m_length - from, 0, static_cast<std::int64_t>(values.size())));
    std::size_t bytes = 0;
    if (sound > 0) {
      // from < m_length <= INT_MAX for the plain waveform.
      bytes = m_plain ? m_plain->Stretch(static_cast<int>(from), values.first(sound), out)
                      : m_choice->Next(values.first(sound), out);
    }
    // 8-bit PCM is unsigned (128 is silence), 16-bit signed (0 is silence).
    std::memset(out + bytes, m_width == 1 ? 128 : 0, values.size() * m_width - bytes);
    if (m_ticks) {
      m_ticks->Mix(static_cast<std::uint64_t>(from),
                   std::span<std::uint8_t>(out, values.size() * m_width));
    }
  }

 private:
  std::size_t m_width;  // bytes per value
  std::optional<CWaveEncoder> m_plain;
  std::unique_ptr<CChoicePcm> m_choice;
  std::optional<CTickMixer> m_ticks;
  std::int64_t m_length = 0;
};

}  // namespace

WaveOutcome EncodeStereo(const CC3d& c3d, const SoundRecipe& spec, const RawChannel& samples,
                         std::vector<float>& soundBuffer, IByteSink& sink, ISoundHost& host) {
  SoundRecipe left = spec;
  left.right.reset();
  SoundRecipe right = left;
  right.channel = spec.right.value_or(spec.channel);
  const std::optional<RawChannel> rightValues = ChannelValues(c3d, spec, right.channel);
  if (!rightValues) {
    host.ShowMessage(Messages::kError);
    return WaveOutcome::Failed;
  }
  const auto wholeRate = static_cast<std::uint32_t>(spec.rate);  // range checked by SpecSamples
  const std::size_t width = spec.bits == 16 ? 2 : 1;

  host.BeginWaitCursor();
  bool waiting = true;
  const auto endWait = [&] {
    if (waiting) host.EndWaitCursor();
    waiting = false;
  };
  try {
    std::string leftHint, rightHint;
    CChannelPcm leftPcm(c3d, left, samples, [&](const std::string& text) { leftHint = text; });
    CChannelPcm rightPcm(c3d, right, *rightValues,
                         [&](const std::string& text) { rightHint = text; });
    if (!leftHint.empty() || !rightHint.empty()) {
      host.ShowHint(std::string(Messages::kLeftEar) + " " + leftHint + "; " + Messages::kRightEar +
                    " " + rightHint);
    }
    // The two lengths agree (the same count, rates and speed); the longer
    // decides, and the shorter ends in silence.
    const bool refused = leftPcm.Refused() || rightPcm.Refused();
    if (refused) {
      endWait();
      host.ShowMessage(Messages::kError);
    }
    const std::int64_t frames = refused ? 0 : std::max(leftPcm.Length(), rightPcm.Length());
    const std::uint64_t dataBytes = static_cast<std::uint64_t>(frames) * 2u * width;
    if (dataBytes > kMaxWaveDataBytes) {
      endWait();
      host.ShowMessage(Messages::kError);
      return WaveOutcome::Failed;
    }
    if (soundBuffer.capacity() > static_cast<std::size_t>(kSoundStretch)) {
      std::vector<float>().swap(soundBuffer);
    }
    const auto stretch = static_cast<std::size_t>(std::min<std::int64_t>(frames, kSoundStretch));
    soundBuffer.reserve(stretch);
    std::vector<float> rightBuffer(stretch);
    std::vector<std::uint8_t> leftBytes(stretch * width), rightBytes(stretch * width);
    std::vector<std::uint8_t> frameBytes(2 * stretch * width);

    const auto header =
        WaveFileHeader(wholeRate, spec.bits, static_cast<std::uint32_t>(dataBytes), 2);
    bool written = sink.Write(header);
    for (std::int64_t from = 0; written && from < frames;) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(kSoundStretch, frames - from));
      soundBuffer.resize(n);  // within the reserved block
      leftPcm.Next(from, soundBuffer, leftBytes.data());
      rightPcm.Next(from, std::span<float>(rightBuffer).first(n), rightBytes.data());
      // A frame is the left value, then the right one.
      std::uint8_t* p = frameBytes.data();
      const std::uint8_t* l = leftBytes.data();
      const std::uint8_t* r = rightBytes.data();
      if (width == 2) {
        for (std::size_t i = 0; i < n; ++i, p += 4, l += 2, r += 2) {
          p[0] = l[0];
          p[1] = l[1];
          p[2] = r[0];
          p[3] = r[1];
        }
      } else {
        for (std::size_t i = 0; i < n; ++i, p += 2) {
          p[0] = l[i];
          p[1] = r[i];
        }
      }
      written = sink.Write(std::span<const std::uint8_t>(frameBytes.data(), 2 * n * width));
      from += static_cast<std::int64_t>(n);
    }
    endWait();
    if (!written) {
      host.ShowMessage(Messages::kCouldNotCreate);
      return WaveOutcome::NotCreated;
    }
    return refused ? WaveOutcome::PlayedEmpty : WaveOutcome::Played;
  } catch (const std::exception&) {  // bad_alloc or length_error
    endWait();
    host.ShowMessage(Messages::kNotEnoughMemory);
    return WaveOutcome::Failed;
  }
}

}  // namespace sound
