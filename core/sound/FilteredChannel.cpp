#include "core/sound/FilteredChannel.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <new>

#include "core/c3d/C3d.h"
#include "core/c3d/SampleExtremes.h"
#include "core/sound/Resampler.h"
#include "core/sound/WaveEncoder.h"

namespace sound {

std::unique_ptr<CC3d> FilteredChannel(const CC3d& c3d, int channel,
                                      const std::vector<FilterSpec>& filters,
                                      const std::atomic<bool>& cancel) {
  if (channel < 0 || static_cast<std::size_t>(channel) >= c3d.m_analogs.size()) return nullptr;
  const double rate = c3d.AnalogRate();
  if (filters.empty() || !CheckFilterRates(filters, rate).empty()) return nullptr;
  const CAnalog& analog = *c3d.m_analogs[static_cast<std::size_t>(channel)];
  const std::int64_t count = std::max<std::int64_t>(c3d.SamplesPerChannel(), 0);
  if (count == 0 ||
      analog.m_pSamples.size() / c3d.SampleWidth() < static_cast<std::uint64_t>(count))
    return nullptr;
  try {
    auto copy = std::make_unique<CC3d>();
    copy->m_bIntegerData = false;
    copy->m_nFirstFrame = c3d.m_nFirstFrame;
    copy->m_nLastFrame = c3d.m_nLastFrame;
    copy->m_nAnalogSamplesPerFrame = c3d.m_nAnalogSamplesPerFrame;
    copy->m_fFrameRate = c3d.m_fFrameRate;
    auto filtered = std::make_unique<CAnalog>();
    filtered->m_fOffset = analog.m_fOffset;
    filtered->m_fScale = analog.m_fScale;
    filtered->m_pSamples = CSampleBlock(static_cast<std::size_t>(count) * sizeof(float));
    float* out = filtered->FloatSamples();

    const SampleView view{c3d.m_bIntegerData ? analog.IntSamples() : nullptr,
                          c3d.m_bIntegerData ? nullptr : analog.FloatSamples(), count};
    CViewSource source(view, analog.m_fOffset);
    CFilteredSource values(source, CFilterChain(filters, rate));
    std::vector<double> block(static_cast<std::size_t>(kSoundStretch));
    std::int64_t done = 0;
    for (std::size_t n = 0; (n = values.Read(block)) > 0; done += static_cast<std::int64_t>(n)) {
      if (cancel.load(std::memory_order_relaxed)) return nullptr;
      for (std::size_t i = 0; i < n; ++i) {
        // Narrowed to the stored width of a float channel; a value beyond
        // the float range becomes an infinity, which the plot clamps.
        out[done + static_cast<std::int64_t>(i)] =
            static_cast<float>(block[i] + static_cast<double>(analog.m_fOffset));
      }
    }
    const c3d::SampleExtremes e = c3d::ScanExtremes(out, static_cast<std::size_t>(count));
    c3d::WalkExtremes(e, out[0], filtered->m_fMin, filtered->m_fMax);
    copy->m_analogs.push_back(std::move(filtered));
    return copy;
  } catch (const std::exception&) {  // bad_alloc: no filtered plot
    return nullptr;
  }
}

}  // namespace sound
