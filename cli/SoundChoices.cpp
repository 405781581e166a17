// The sound choices of wav and play read from their option texts, and the
// checks of a loaded file against them: what the command line and the
// browser build share (no command-line parser here).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "cli/CliMessages.h"
#include "cli/SoundOptions.h"
#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/c3d/TrialEvents.h"
#include "core/sound/Filters.h"
#include "core/sound/PitchTone.h"
#include "core/sound/PlayChecks.h"

namespace clisound {

int ReadSoundChoices(const SoundOptions& o, sound::SoundRecipe& choices) {
  const auto refuse = [](const std::string& why) {
    std::fprintf(stderr, CliMessages::kRefused, why.c_str());
    return 2;
  };
  using sound::SoundMode;
  choices.mode = o.mode == "pitch"  ? SoundMode::Pitch
                 : o.mode == "auto" ? SoundMode::Auto
                                    : SoundMode::Waveform;
  if (!o.pitch.empty()) {
    if (choices.mode != SoundMode::Pitch) return refuse(CliMessages::kRefusePitch);
    if (const std::string error = sound::ParsePitchRange(o.pitch, choices.pitch); !error.empty()) {
      return refuse(error);
    }
  }
  if (!o.filter.empty()) {
    sound::FilterParse parsed = sound::ParseFilters(o.filter);
    if (!parsed.error.empty()) return refuse(parsed.error);
    if (choices.mode != SoundMode::Waveform && !parsed.specs.empty()) {
      return refuse(CliMessages::kRefuseFilter);
    }
    choices.filters = std::move(parsed.specs);
  }
  if (o.speed != 1 && choices.mode != SoundMode::Waveform) {
    return refuse(CliMessages::kRefuseSpeed);
  }
  choices.speed = o.speed;
  return -1;
}

int CheckChannelAndRate(const std::string& path, const SoundOptions& o, const CC3d& c3d,
                        int& channel, float& rate) {
  channel = FindAnalogChannel(c3d, o.channel);
  if (channel < 0) {
    std::fprintf(stderr, CliMessages::kNoSuchChannel, path.c_str(), o.channel.c_str(),
                 c3d.m_analogs.size());
    return 2;
  }
  const sound::PlayRateCheck check = sound::CheckPlayRate(c3d, o.rate, o.speed);
  if (check.message != nullptr) {
    std::fprintf(stderr, "%s\n", check.message);
    return 1;
  }
  rate = check.rate;
  return -1;
}

std::string ApplyRight(const CC3d& c3d, const SoundOptions& o, sound::SoundRecipe& spec) {
  if (o.right.empty()) return {};
  const int right = FindAnalogChannel(c3d, o.right);
  if (right < 0) {
    return CliMessages::Printed(CliMessages::kNoSuchRightChannel, o.right.c_str(),
                                c3d.m_analogs.size());
  }
  spec.right = right;
  return {};
}

std::string ApplyRangeAndTicks(const CC3d& c3d, const SoundOptions& o, sound::SoundRecipe& spec) {
  const std::int64_t count = c3d.GetAnalogSampleCount();
  const double rate = static_cast<double>(c3d.AnalogRate());
  if (o.from || o.to) {
    // Seconds from the first sample to sample indices, rounded to the nearest.
    const double first = o.from ? std::round(*o.from * rate) : 0.0;
    const double end = o.to ? std::min(std::round(*o.to * rate), static_cast<double>(count))
                            : static_cast<double>(count);
    if (!(first < static_cast<double>(count))) return Messages::kFromPastEnd;
    if (o.from && o.to && !(*o.from < *o.to)) return Messages::kFromAfterTo;
    if (!(end - first >= 1.0)) return Messages::kRangeTooShort;
    spec.range = sound::SampleSpan{static_cast<int>(first), static_cast<int>(end - first)};
  }
  if (o.ticks) {
    spec.ticks.clear();
    for (const c3d::SampleEvent& e : c3d::EventsOnSamples(c3d)) spec.ticks.push_back(e.sample);
  }
  return {};
}

}  // namespace clisound
