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

void PutLe16(std::uint8_t*& p, std::uint16_t v) {
  *p++ = static_cast<std::uint8_t>(v & 0xFFu);
  *p++ = static_cast<std::uint8_t>(v >> 8);
}

// One stretch of values to little-endian PCM through map16 or map8.
template <class Map16, class Map8>
std::size_t MapValues(std::span<const float> values, int blockAlign, std::uint8_t* out, Map16 map16,
                      Map8 map8) {
  std::uint8_t* p = out;
  if (blockAlign == 2) {
    for (const float v : values) PutLe16(p, static_cast<std::uint16_t>(map16(v)));
  } else {
    for (const float v : values) *p++ = map8(v);
  }
  return static_cast<std::size_t>(p - out);
}

// How a generated sound's floats become PCM.
struct PcmMapping {
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

}  // namespace

WaveOutcome EncodeChoices(const CC3d& c3d, const SoundRecipe& spec, const RawChannel& samples,
                          std::vector<float>& soundBuffer, IByteSink& sink, ISoundHost& host) {
  const double analogRate = AnalogRate(c3d);
  const auto wholeRate = static_cast<std::uint32_t>(spec.rate);  // range checked by SpecSamples
  const double outputRate = wholeRate;
  const SampleView view = ViewOf(samples);
  const int blockAlign = spec.bits == 16 ? 2 : 1;
  // A negative SCALE turns the physical value round: a pitch follows it.
  const bool falling =
      c3d.m_analogs[static_cast<std::size_t>(spec.channel)]->m_fScale < 0.0f;  // a checked index

  host.BeginWaitCursor();
  bool waiting = true;
  const auto endWait = [&] {
    if (waiting) host.EndWaitCursor();
    waiting = false;
  };
  try {
    // The generator of the chosen sound, read through `read`.
    std::unique_ptr<CPitchTone> pitch;
    std::unique_ptr<CAutoSound> autoSound;
    std::unique_ptr<CWaveformValues> waveform;
    std::function<std::size_t(std::span<float>)> read;
    std::int64_t length = 0;
    PcmMapping mapping;
    switch (spec.mode) {
      case SoundMode::Pitch:
        pitch = std::make_unique<CPitchTone>(view, analogRate, outputRate, spec.pitch, falling);
        length = pitch->Length();
        read = [&pitch](std::span<float> out) { return pitch->Read(out); };
        break;
      case SoundMode::Auto: {
        AutoAnalysis analysis = AnalyseForAuto(view, analogRate);
        host.ShowHint(analysis.hint);
        autoSound = std::make_unique<CAutoSound>(view, analogRate, outputRate, std::move(analysis),
                                                 falling);
        length = autoSound->Length();
        read = [&autoSound](std::span<float> out) { return autoSound->Read(out); };
        break;
      }
      case SoundMode::Waveform: {
        const bool fit = spec.level == SoundLevel::FitToChannel;
        if (fit) {
          const SampleSpan span = spec.range.value_or(SampleSpan{0, c3d.GetAnalogSampleCount()});
          mapping = {PcmMapping::Kind::Fit,
                     CFitScale(spec.filters.empty()
                                   ? ChannelRawRange(c3d, spec.channel, span.first, span.count)
                                   : FilteredRange(view, spec.filters, analogRate))};
        } else {
          mapping.kind = PcmMapping::Kind::Recorded;
        }
        waveform = std::make_unique<CWaveformValues>(view, fit ? 0.0 : kRecordedSilence, spec,
                                                     analogRate, outputRate);
        length = waveform->Length();
        read = [&waveform](std::span<float> out) { return waveform->Read(out); };
        break;
      }
    }

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

    auto header = WaveHeader(wholeRate, spec.bits, static_cast<std::uint32_t>(dataBytes));
    const auto riffSize = static_cast<std::uint32_t>(36 + dataBytes);  // the file's length - 8
    for (int i = 0; i < 4; ++i) header[4 + i] = static_cast<std::uint8_t>(riffSize >> (8 * i));
    bool written = sink.Write(header);
    for (std::int64_t from = 0; written && from < length;) {
      const auto n = static_cast<std::size_t>(std::min<std::int64_t>(kSoundStretch, length - from));
      soundBuffer.resize(n);  // within the reserved block
      const std::size_t got = read(soundBuffer);
      // A generator that ends early leaves silence: NaN maps to it in every mapping.
      std::fill(soundBuffer.begin() + static_cast<std::ptrdiff_t>(got), soundBuffer.end(),
                std::numeric_limits<float>::quiet_NaN());
      const std::size_t size = mapping.Map(soundBuffer, blockAlign, bytes.data());
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
