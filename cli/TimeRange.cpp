#include "cli/TimeRange.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "cli/CliMessages.h"
#include "core/c3d/C3d.h"
#include "core/sound/WaveBuild.h"

bool SamplesOfTimes(const CC3d& c3d, const std::string& path, const TimeRange& times,
                    const char* noTimes, std::int64_t& first, std::int64_t& last) {
  const std::int64_t n = std::max<std::int64_t>(c3d.SamplesPerChannel(), 0);
  first = 0;
  last = n;
  if (!times.from && !times.to) return true;
  const double rate = sound::AnalogRate(c3d);
  const double duration = rate > 0.0 ? static_cast<double>(n) / rate : 0.0;
  if (!(rate > 0.0) || !std::isfinite(rate)) {
    std::fprintf(stderr, noTimes, path.c_str());
    return false;
  }
  if (times.from && !(*times.from >= 0.0)) {
    std::fprintf(stderr, CliMessages::kFromNegative);
    return false;
  }
  if (times.from && times.to && !(*times.from < *times.to)) {
    std::fprintf(stderr, CliMessages::kFromNotBeforeTo);
    return false;
  }
  constexpr double kSlack = 1e-6;
  const double begin = times.from ? std::ceil(*times.from * rate - kSlack) : 0.0;
  const double end =
      times.to ? std::floor(*times.to * rate + kSlack) + 1.0 : static_cast<double>(n);
  if (!(begin < static_cast<double>(n)) || !(end > begin)) {
    std::fprintf(stderr, CliMessages::kNoSampleInRange, path.c_str(), times.from.value_or(0.0),
                 times.to.value_or(duration), static_cast<long long>(n), rate, duration);
    return false;
  }
  // Both lie in [0, n] here (end clamped), so the conversions are exact.
  first = static_cast<std::int64_t>(begin);
  last = static_cast<std::int64_t>(std::min(end, static_cast<double>(n)));
  return true;
}
