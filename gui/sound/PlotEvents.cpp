#include "gui/sound/PlotEvents.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/Messages.h"
#include "core/c3d/C3d.h"

namespace {

// How far from its line, in pixels, the mouse still points at an event.
constexpr int kTipReach = 3;

}  // namespace

void CPlotEvents::Follow(const CC3d* c3d) {
  const std::int64_t count = c3d != nullptr ? c3d->SamplesPerChannel() : -1;
  if (c3d == m_c3d && count == m_count) return;
  m_c3d = c3d;
  m_count = count;
  m_events = c3d != nullptr ? c3d::EventsOnSamples(*c3d) : std::vector<c3d::SampleEvent>();
  m_sorted.clear();
  for (const c3d::SampleEvent& e : m_events) m_sorted.push_back(e.sample);
  std::sort(m_sorted.begin(), m_sorted.end());
}

std::vector<PlotEventMark> CPlotEvents::Marks(std::int64_t first, std::int64_t count,
                                              int width) const {
  if (m_events.empty()) return {};
  return PlotEventMarksOf(m_events, first, count, width);
}

QString CPlotEvents::TipAt(const std::vector<PlotEventMark>& marks, int x,
                           double secondsPerSample) {
  const PlotEventMark* nearest = nullptr;
  for (const PlotEventMark& m : marks) {
    if (std::abs(m.x - x) <= kTipReach &&
        (nearest == nullptr || std::abs(m.x - x) < std::abs(nearest->x - x)))
      nearest = &m;
  }
  if (nearest == nullptr) return QString();
  // As many decimals as a sample period needs (1 ms: 3), as the readout.
  const int decimals =
      secondsPerSample > 0.0
          ? std::clamp(static_cast<int>(std::ceil(-std::log10(secondsPerSample))), 0, 9)
          : 0;
  return QString::fromLatin1(Messages::kPlotEventTip)
      .arg(QString::fromLatin1(nearest->text.c_str()),
           QString::number(static_cast<double>(nearest->sample) * secondsPerSample, 'f', decimals));
}

std::int64_t CPlotEvents::Neighbour(double sample, int direction) const {
  if (direction > 0) {
    const auto it =
        std::upper_bound(m_sorted.begin(), m_sorted.end(), sample,
                         [](double s, std::int64_t e) { return s < static_cast<double>(e); });
    return it != m_sorted.end() ? *it : -1;
  }
  const auto it =
      std::lower_bound(m_sorted.begin(), m_sorted.end(), sample,
                       [](std::int64_t e, double s) { return static_cast<double>(e) < s; });
  return it != m_sorted.begin() ? *std::prev(it) : -1;
}
