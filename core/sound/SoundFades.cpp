#include "core/sound/SoundFades.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sound {

CStretchFades::CStretchFades(SampleView view, std::int64_t outCount, double analogRate)
    : m_view(view),
      m_step(ResampleStep(view.count, outCount)),
      m_fadeInputs(kFadeSeconds * analogRate) {}

void CStretchFades::FindRun(std::int64_t from) {
  std::int64_t i = from;
  while (i < m_view.count && !std::isfinite(m_view[i])) ++i;
  if (i >= m_view.count) {  // nothing finite left: silent to the end
    m_runStart = std::numeric_limits<std::int64_t>::max();
    m_runEnd = std::numeric_limits<std::int64_t>::max();
    return;
  }
  m_runStart = i;
  while (i + 1 < m_view.count && std::isfinite(m_view[i + 1])) ++i;
  m_runEnd = i;
}

double CStretchFades::Gain(std::int64_t j) {
  const double t = static_cast<double>(j) * m_step;
  const auto k = static_cast<std::int64_t>(t);
  while (k > m_runEnd) FindRun(m_runEnd + 1);
  const auto start = static_cast<double>(m_runStart);
  const auto end = static_cast<double>(m_runEnd);
  if (t < start || t > end) return 0.0;
  if (m_fadeInputs <= 0.0) return 1.0;
  return std::min({1.0, (t - start) / m_fadeInputs, (end - t) / m_fadeInputs});
}

}  // namespace sound
