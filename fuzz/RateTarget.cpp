#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/sound/PlayChecks.h"
#include "core/sound/WaveSynthesis.h"
#include "fuzz/ParserTargets.h"

namespace {

[[noreturn]] void RateBroken(const char* what) { fuzztarget::Broken("rate target", what); }

// Equal values, counting every NaN of one sign as the same value (the C
// library keeps a "nan(...)" payload, which nothing downstream reads).
bool SameReading(double a, double b) {
  if (std::isnan(a) || std::isnan(b))
    return std::isnan(a) && std::isnan(b) && std::signbit(a) == std::signbit(b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

// Input: the file's frame rate (float) and analog samples per frame (uint16),
// a sample count for the resampling plan (int32), then the typed rate text.
int fuzztarget::RateTarget(const std::uint8_t* data, std::size_t size) {
  CFuzzInput in(data, size);
  CC3d c3d;
  c3d.m_fFrameRate = in.Take<float>();
  c3d.m_nAnalogSamplesPerFrame = in.Take<std::uint16_t>();
  const std::int32_t count = in.Take<std::int32_t>();
  const std::span<const std::uint8_t> rest = in.Rest();
  const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());

  // The reading is the C library's strtod in the "C" locale (this program
  // never sets another), on the text up to its first NUL as a field gives it.
  const std::string field(text.substr(0, text.find('\0')));
  char* end = nullptr;
  double reference = std::strtod(field.c_str(), &end);
  // Where no number was read C gives zero, which glibc returns as +0; MinGW's
  // C library keeps a sign it saw ("-na" reads as -0).
  if (end == field.c_str()) reference = 0.0;
  if (!SameReading(sound::ReadRateText(field), reference))
    RateBroken("the rate text reads otherwise than strtod reads it");
  (void)sound::ReadRateText(text);  // embedded NULs are only more text

  const float analogRate = sound::AnalogRate(c3d);
  const sound::PlayRateCheck check = sound::CheckPlayRate(c3d, text);
  if (check.message != nullptr) {
    const std::string_view m = check.message;
    if (m != Messages::kFreqTooLow && m != Messages::kFreqTooHigh && m != Messages::kError)
      RateBroken("Play refused with an unknown message");
    return 0;
  }
  // Accepted: a finite rate within (A, 44100] whose whole part lies above A.
  const float rate = check.rate;
  if (!(std::isfinite(analogRate) && analogRate > 0.0f))
    RateBroken("accepted without an analog rate");
  if (!(rate >= analogRate && rate <= 44100.0f)) RateBroken("accepted a rate outside [A, 44100]");
  const float whole = std::trunc(rate);
  if (!(whole > analogRate)) RateBroken("accepted a whole rate not above the analog rate");

  const sound::ResamplePlan plan = sound::PlanResample(analogRate, whole, count);
  if (!plan.refused) {
    const double n = sound::ResampledLength(analogRate, whole, count);
    if (count < 1 || !(n >= 2.0 && n < 2147483648.0) || plan.length != static_cast<int>(n))
      RateBroken("the resampling plan's length differs from the resampled length");
    if (!(plan.step > 0.0f && plan.step < 1.0f)) RateBroken("a planned step outside (0, 1)");
    if (plan.lastUsable < 0 || plan.lastUsable > plan.length - 1)
      RateBroken("a planned last output outside the sound");
  }
  return 0;
}

std::vector<std::vector<std::uint8_t>> fuzztarget::RateSeeds() {
  std::vector<std::vector<std::uint8_t>> seeds;
  const char* texts[] = {"8000", " +22050.5x", "0x1.8p13", "1e5",     "inf",
                         "-nan", "4.41e4",     "1e-310",   "44100.0", "0x"};
  const float frameRates[] = {100.0f, 1000.0f, 0.0f};
  int k = 0;
  for (const char* t : texts) {
    std::vector<std::uint8_t> s(10);
    const float frameRate = frameRates[k % 3];
    const std::uint16_t perFrame = static_cast<std::uint16_t>(1 + k % 4);
    const std::int32_t count = 1000 * (k + 1);
    std::memcpy(s.data(), &frameRate, 4);
    std::memcpy(s.data() + 4, &perFrame, 2);
    std::memcpy(s.data() + 6, &count, 4);
    s.insert(s.end(), t, t + std::strlen(t));
    seeds.push_back(std::move(s));
    ++k;
  }
  return seeds;
}
