#pragma once

#include <cstdint>
#include <optional>
#include <string>

class CC3d;

// A time range a command was given in seconds from the first sample
// (--from, --to); either end may be left out.
struct TimeRange {
  std::optional<double> from;
  std::optional<double> to;
};

// The samples [first, last) whose times lie in [from, to] seconds, sample i
// lying at i / analog rate; an omitted end is the channel's. Times a
// millionth of a sample short of an instant still reach it (0.29 x 100 is
// 28.999999999999996 in double). Without either end: every sample, the rate
// unchecked. False, with the reason on stderr, when the range is not usable:
// `noTimes` (a CliMessages format taking the file) when the analog rate is
// not a positive number, a negative --from, --from not before --to, or no
// sample in the range; first and last are then 0 and the sample count.
bool SamplesOfTimes(const CC3d& c3d, const std::string& path, const TimeRange& times,
                    const char* noTimes, std::int64_t& first, std::int64_t& last);
