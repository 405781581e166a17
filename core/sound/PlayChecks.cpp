#include "core/sound/PlayChecks.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "core/Messages.h"
#include "core/c3d/NumberText.h"
#include "core/sound/WaveSynthesis.h"

namespace sound {
namespace {

// White space as the "C" locale's isspace knows it.
bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c, bool hex) {
  return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

// The length of the number at the start of `text` as strtod reads it: digits
// with at most one point, then an exponent ('e', or 'p' for hexadecimal)
// only when an optional sign and a decimal digit follow it. from_chars is
// handed exactly that much: libstdc++ 12 reads "0xeeep+-33" as 0xeee x 2^-33
// where strtod stops before the 'p'.
std::size_t NumberLength(std::string_view text, bool hex) {
  std::size_t i = 0;
  bool seenPoint = false;
  for (; i < text.size(); ++i) {
    if (text[i] == '.' && !seenPoint) {
      seenPoint = true;
    } else if (!IsDigit(text[i], hex)) {
      break;
    }
  }
  const char mark = hex ? 'p' : 'e';
  if (i < text.size() && (text[i] == mark || text[i] == mark - 'a' + 'A')) {
    std::size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && IsDigit(text[j], false)) {
      while (j < text.size() && IsDigit(text[j], false)) ++j;
      i = j;
    }
  }
  return i;
}

// For a number from_chars found too large or too small for a double: true
// when it is too large. Compares the position of the first significant digit
// with the exponent, which is all the two cases differ in.
bool Overflows(std::string_view number, bool hex) {
  std::size_t i = 0;
  long long scale = 0;  // digits (hex: bits) before the point, minus leading zeros
  bool seenPoint = false;
  bool seenSignificant = false;
  for (; i < number.size(); ++i) {
    const char c = number[i];
    if (c == '.' && !seenPoint) {
      seenPoint = true;
      continue;
    }
    if (!IsDigit(c, hex)) break;
    if (c != '0') seenSignificant = true;
    if (!seenPoint && seenSignificant) scale += hex ? 4 : 1;
    if (seenPoint && !seenSignificant) scale -= hex ? 4 : 1;
  }
  long long exponent = 0;
  if (i + 1 < number.size()) {
    bool negative = false;
    std::size_t j = i + 1;  // past 'e' or 'p'
    if (number[j] == '+' || number[j] == '-') negative = number[j++] == '-';
    for (; j < number.size() && IsDigit(number[j], false) && exponent < 100000; ++j) {
      exponent = exponent * 10 + (number[j] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return scale + exponent > 0;
}

}  // namespace

double ReadRateText(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string_view rest = text.substr(i);
  if (rest.empty() || rest.front() == '+' || rest.front() == '-') return 0.0;  // one sign only

  // "0x" introduces a hexadecimal number; from_chars wants it without prefix.
  bool hex = false;
  if (rest.size() > 2 && rest[0] == '0' && (rest[1] == 'x' || rest[1] == 'X') &&
      (IsDigit(rest[2], true) || (rest[2] == '.' && rest.size() > 3 && IsDigit(rest[3], true)))) {
    hex = true;
    rest.remove_prefix(2);
  }
  // A number is cut to what strtod reads; "inf" and "nan" go to from_chars whole.
  const std::size_t length =
      IsDigit(rest.front(), hex) || rest.front() == '.' ? NumberLength(rest, hex) : rest.size();
  double value = 0.0;
  const auto [end, ec] =
      numtext::ReadDouble(rest.data(), rest.data() + length, value,
                          hex ? std::chars_format::hex : std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    value =
        Overflows(std::string_view(rest.data(), static_cast<std::size_t>(end - rest.data())), hex)
            ? std::numeric_limits<double>::infinity()
            : 0.0;
  } else if (ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}

PlayRateCheck CheckPlayRate(const CC3d& c3d, std::string_view freqText, int speed) {
  constexpr float kMaxRate = 44100.0f;
  const float analogRate = AnalogRate(c3d);
  const double f = ReadRateText(freqText);
  // Sped up, the rate needs only a whole number of at least 1 Hz.
  const float lowest = speed > 1 ? 1.0f : analogRate;

  if (f < lowest) return {Messages::kFreqTooLow};
  // f as a float; beyond the float range it is an infinity (an out-of-range
  // conversion would be undefined), which the bound refuses like any other.
  const float rate = std::fabs(f) > std::numeric_limits<float>::max()
                         ? static_cast<float>(std::copysign(HUGE_VALF, f))
                         : static_cast<float>(f);
  if (rate > kMaxRate) return {Messages::kFreqTooHigh};
  // NaN passes both comparisons and could not be truncated to a whole rate.
  if (std::isnan(f)) return {Messages::kFreqTooLow};
  // No analog rate to resample from: a frame rate of 0, no samples per frame.
  if (!(std::isfinite(analogRate) && analogRate > 0.0f)) return {Messages::kError};
  // The build truncates the rate; a whole number not above A cannot be raised
  // to (a ratio of 1 or below). rate is in [A, 44100] (sped up: [1, 44100])
  // here, so the cast is defined.
  const auto whole = static_cast<float>(static_cast<unsigned>(rate));
  if (speed > 1 ? whole < 1.0f : whole <= analogRate) return {Messages::kFreqTooLow};
  return {nullptr, rate};
}

}  // namespace sound
