#include "core/sound/WaveChoices.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/AutoSound.h"
#include "core/sound/Filters.h"
#include "core/sound/PitchTone.h"
#include "core/sound/Resampler.h"

namespace sound {
namespace {

// "As recorded" takes stored values to lie in 0..4096 with 2048 as silence.
constexpr double kRecordedSilence = 2048.0;

SampleView ViewOf(const RawChannel& raw) { return {raw.ints, raw.floats, raw.count}; }

// The extremes of the finite values of a view through a filter chain at
// analogRate: the range "Fit to channel" spreads over the full scale. Reads
// the channel once, a block at a time.
RawRange FilteredRange(SampleView view, const std::vector<FilterSpec>& filters, double analogRate) {
  CViewSource source(view);
  CFilteredSource filtered(source, CFilterChain(filters, analogRate));
  std::vector<double> block(static_cast<std::size_t>(kSoundStretch));
  RawRange range;
  for (std::size_t n = 0; (n = filtered.Read(block)) > 0;) {
    for (std::size_t i = 0; i < n; ++i) {
      const double v = block[i];
      if (!std::isfinite(v)) continue;
      range.lowest = range.any ? std::min(range.lowest, v) : v;
      range.highest = range.any ? std::max(range.highest, v) : v;
      range.any = true;
    }
  }
  return range;
}

void AppendLe16(std::uint8_t*& p, std::uint16_t v) {
  *p++ = static_cast<std::uint8_t>(v & 0xFFu);
  *p++ = static_cast<std::uint8_t>(v >> 8);
}

// One stretch of values to little-endian PCM through map16 or map8.
template <class Map16, class Map8>
std::size_t MapValues(std::span<const float> values, int blockAlign, std::uint8_t* out, Map16 map16,
                      Map8 map8) {
  std::uint8_t* p = out;
  if (blockAlign == 2) {
    for (const float v : values) AppendLe16(p, static_cast<std::uint16_t>(map16(v)));
  } else {
    for (const float v : values) *p++ = map8(v);
  }
  return static_cast<std::size_t>(p - out);
}

}  // namespace

// The waveform of a channel at the output rate: its values minus offset,
// through the filter chain at the analog rate, then the speed stage; handed
// out as floats with offset added back. Owns its stages; borrows the view.
class CWaveformValues {
 public:
  CWaveformValues(SampleView view, double offset, const SoundRecipe& spec, double analogRate,
                  double outputRate)
      : m_source(view, offset), m_offset(offset) {
    IValueSource* input = &m_source;
    if (!spec.filters.empty()) {
      m_filtered =
          std::make_unique<CFilteredSource>(m_source, CFilterChain(spec.filters, analogRate));
      input = m_filtered.get();
    }
    m_speed =
        std::make_unique<CSpeedStream>(*input, view.count, analogRate, spec.speed, outputRate);
  }

  std::int64_t Length() const { return m_speed->Length(); }

  // Fills out with the next values; returns how many (fewer only at the end).
  std::size_t Read(std::span<float> out) {
    m_block.resize(std::min(out.size(), static_cast<std::size_t>(kSoundStretch)));
    std::size_t done = 0;
    while (done < out.size()) {
      const std::size_t want = std::min(out.size() - done, m_block.size());
      const std::size_t got = m_speed->Read(std::span<double>(m_block).first(want));
      for (std::size_t i = 0; i < got; ++i) {
        out[done + i] = static_cast<float>(m_block[i] + m_offset);
      }
      done += got;
      if (got < want) break;
    }
    return done;
  }

 private:
  CViewSource m_source;
  double m_offset;
  std::unique_ptr<CFilteredSource> m_filtered;
  std::unique_ptr<CSpeedStream> m_speed;
  std::vector<double> m_block;
};

// How a generated sound's floats become PCM.
struct CChoicePcm::Mapping {
  enum class Kind { Recorded, Fit, Unit } kind = Kind::Unit;
  CFitScale fit{RawRange{}};

  std::size_t Map(std::span<const float> values, int blockAlign, std::uint8_t* out) const {
    switch (kind) {
      case Kind::Recorded:
        return MapValues(values, blockAlign, out, PcmSample16, PcmSample8);
      case Kind::Fit:
        return MapValues(
            values, blockAlign, out, [this](float v) { return fit.Sample16(v); },
            [this](float v) { return fit.Sample8(v); });
      case Kind::Unit:
        break;
    }
    return MapValues(values, blockAlign, out, PcmFromUnit16, PcmFromUnit8);
  }
};

CChoicePcm::CChoicePcm(const CC3d& c3d, const SoundRecipe& spec, const RawChannel& samples,
                       const std::function<void(const std::string&)>& hint)
    : m_mapping(std::make_unique<Mapping>()), m_blockAlign(spec.bits == 16 ? 2 : 1) {
  const double analogRate = AnalogRate(c3d);
  const double outputRate = static_cast<std::uint32_t>(spec.rate);  // checked by SpecSamples
  const SampleView view = ViewOf(samples);
  // A negative SCALE turns the physical value round: a pitch follows it.
  const bool falling =
      c3d.m_analogs[static_cast<std::size_t>(spec.channel)]->m_fScale < 0.0f;  // a checked index
  switch (spec.mode) {
    case SoundMode::Pitch:
      m_pitch = std::make_unique<CPitchTone>(view, analogRate, outputRate, spec.pitch, falling);
      m_length = m_pitch->Length();
      break;
    case SoundMode::Auto: {
      AutoAnalysis analysis = AnalyseForAuto(view, analogRate);
      hint(analysis.hint);
      m_auto =
          std::make_unique<CAutoSound>(view, analogRate, outputRate, std::move(analysis), falling);
      m_length = m_auto->Length();
      break;
    }
    case SoundMode::Waveform: {
      const bool fit = spec.level == SoundLevel::FitToChannel;
      if (fit) {
        const SampleSpan span = spec.range.value_or(SampleSpan{0, c3d.GetAnalogSampleCount()});
        *m_mapping = {Mapping::Kind::Fit,
                      CFitScale(spec.filters.empty()
                                    ? ChannelRawRange(c3d, spec.channel, span.first, span.count)
                                    : FilteredRange(view, spec.filters, analogRate))};
      } else {
        m_mapping->kind = Mapping::Kind::Recorded;
      }
      m_waveform = std::make_unique<CWaveformValues>(view, fit ? 0.0 : kRecordedSilence, spec,
                                                     analogRate, outputRate);
      m_length = m_waveform->Length();
      break;
    }
  }
}

CChoicePcm::~CChoicePcm() = default;

std::size_t CChoicePcm::Next(std::span<float> values, std::uint8_t* out) {
  const std::size_t got = m_pitch      ? m_pitch->Read(values)
                          : m_auto     ? m_auto->Read(values)
                          : m_waveform ? m_waveform->Read(values)
                                       : 0;
  // A generator that ends early leaves silence: NaN maps to it in every mapping.
  std::fill(values.begin() + static_cast<std::ptrdiff_t>(got), values.end(),
            std::numeric_limits<float>::quiet_NaN());
  return m_mapping->Map(values, m_blockAlign, out);
}

WaveOutcome EncodeChoices(const CC3d& c3d, const SoundRecipe& spec, const RawChannel& samples,
                          std::vector<float>& soundBuffer, IByteSink& sink, ISoundHost& host) {
  const auto wholeRate = static_cast<std::uint32_t>(spec.rate);  // range checked by SpecSamples
  const int blockAlign = spec.bits == 16 ? 2 : 1;

  host.BeginWaitCursor();
  bool waiting = true;
  const auto endWait = [&] {
    if (waiting) host.EndWaitCursor();
    waiting = false;
  };
  try {
    CChoicePcm pcm(c3d, spec, samples, [&host](const std::string& text) { host.ShowHint(text); });
    const std::int64_t length = pcm.Length();
    const auto dataBytes = static_cast<std::uint64_t>(std::max<std::int64_t>(length, 0)) *
                           static_cast<std::uint64_t>(blockAlign);
    if (dataBytes > kMaxWaveDataBytes) {
      endWait();
      host.ShowMessage(Messages::kError);
      return WaveOutcome::Failed;
    }
    if (soundBuffer.capacity() > static_cast<std::size_t>(kSoundStretch)) {
      std::vector<float>().swap(soundBuffer);
    }
    const auto stretch = static_cast<std::size_t>(std::min<std::int64_t>(length, kSoundStretch));
    std::vector<std::uint8_t> bytes(stretch * static_cast<std::size_t>(blockAlign));
    soundBuffer.reserve(stretch);

    const auto header = WaveFileHeader(wholeRate, spec.bits, static_cast<std::uint32_t>(dataBytes));
    bool written = sink.Write(header);
    for (std::int64_t from = 0; written && from < length;) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(kSoundStretch, length - from));
      soundBuffer.resize(n);  // within the reserved block
      const std::size_t size = pcm.Next(soundBuffer, bytes.data());
      written = sink.Write(std::span<const std::uint8_t>(bytes.data(), size));
      from += static_cast<std::int64_t>(n);
    }
    endWait();
    if (!written) {
      host.ShowMessage(Messages::kCouldNotCreate);
      return WaveOutcome::NotCreated;
    }
    return WaveOutcome::Played;
  } catch (const std::exception&) {  // bad_alloc or length_error
    endWait();
    host.ShowMessage(Messages::kNotEnoughMemory);
    return WaveOutcome::Failed;
  }
}

}  // namespace sound
