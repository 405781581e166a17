#include "core/c3d/NumberText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace numtext {

namespace fallback {

namespace {

bool IsDigitOf(char c, bool hex) {
  return (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// True when [p, last) starts with `word` (lower case), letters in any case.
bool StartsWithWord(const char* p, const char* last, const char* word) {
  for (; *word != '\0'; ++word, ++p) {
    if (p == last || Lower(*p) != *word) return false;
  }
  return true;
}

}  // namespace

std::from_chars_result ReadDouble(const char* first, const char* last, double& value,
                                  std::chars_format format) {
  const char* p = first;
  const bool negative = p != last && *p == '-';
  if (negative) ++p;
  if (StartsWithWord(p, last, "inf")) {
    p += StartsWithWord(p, last, "infinity") ? 8 : 3;
    value = negative ? -std::numeric_limits<double>::infinity()
                     : std::numeric_limits<double>::infinity();
    return {p, std::errc()};
  }
  if (StartsWithWord(p, last, "nan")) {
    p += 3;
    // "nan(chars)": letters, digits and '_' between the parentheses.
    if (p != last && *p == '(') {
      const char* q = p + 1;
      while (q != last &&
             (IsDigitOf(*q, true) || (Lower(*q) >= 'a' && Lower(*q) <= 'z') || *q == '_')) {
        ++q;
      }
      if (q != last && *q == ')') p = q + 1;
    }
    value = negative ? -std::numeric_limits<double>::quiet_NaN()
                     : std::numeric_limits<double>::quiet_NaN();
    return {p, std::errc()};
  }
  const bool hex = format == std::chars_format::hex;
  const char* digitsStart = p;
  bool seenPoint = false;
  bool seenDigit = false;
  for (; p != last; ++p) {
    if (*p == '.' && !seenPoint) {
      seenPoint = true;
    } else if (IsDigitOf(*p, hex)) {
      seenDigit = true;
    } else {
      break;
    }
  }
  if (!seenDigit) return {first, std::errc::invalid_argument};
  if (format != std::chars_format::fixed && p != last && Lower(*p) == (hex ? 'p' : 'e')) {
    const char* q = p + 1;
    if (q != last && (*q == '+' || *q == '-')) ++q;
    if (q != last && IsDigitOf(*q, false)) {
      while (q != last && IsDigitOf(*q, false)) ++q;
      p = q;
    }
  }
  // strtod reads exactly the pattern found above, with hex's prefix put back.
  std::string text = negative ? "-" : "";
  if (hex) text += "0x";
  text.append(digitsStart, p);
  errno = 0;
  const double read = std::strtod(text.c_str(), nullptr);
  if (errno == ERANGE && (std::isinf(read) || read == 0.0)) {
    return {p, std::errc::result_out_of_range};
  }
  value = read;
  return {p, std::errc()};
}

namespace {

// A decimal as printf's "%.*e" gives it: sign, significant digits, and the
// power of ten of the first digit.
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;

  std::string Text() const {
    std::string t = negative ? "-" : "";
    t += digits.substr(0, 1);
    if (digits.size() > 1) t += "." + digits.substr(1);
    return t + "e" + std::to_string(exponent);
  }
  // The next decimal up in magnitude with as many digits.
  Decimal Up() const {
    Decimal d = *this;
    std::size_t i = d.digits.size();
    while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
    if (i > 0) {
      ++d.digits[i - 1];
    } else {
      d.digits.insert(d.digits.begin(), '1');
      d.digits.pop_back();
      ++d.exponent;
    }
    return d;
  }
};

Decimal Scientific(float value, int precision) {
  char sci[40];
  std::snprintf(sci, sizeof sci, "%.*e", precision, static_cast<double>(value));
  const std::string text(sci);  // "[-]d[.ddd]e(+|-)XX"
  Decimal d;
  d.negative = text[0] == '-';
  const std::size_t e = text.find('e');
  for (std::size_t i = d.negative ? 1 : 0; i < e; ++i) {
    if (text[i] != '.') d.digits.push_back(text[i]);
  }
  d.exponent = std::atoi(text.c_str() + e + 1);
  return d;
}

// The fewest significant digits that read back to `value` (9 always
// suffice for a float): printf's correctly rounded digits, or, for a power
// of two, whose lower neighbour is nearer than its upper one, the next
// decimal up when the rounded one falls below the value's interval.
Decimal Shortest(float value) {
  for (int precision = 0; precision < 8; ++precision) {
    const Decimal d = Scientific(value, precision);
    if (std::strtof(d.Text().c_str(), nullptr) == value) return d;
    const Decimal up = d.Up();
    if (std::strtof(up.Text().c_str(), nullptr) == value) return up;
  }
  return Scientific(value, 8);
}

}  // namespace

std::string ShortestText(float value) {
  const Decimal shortest = Shortest(value);
  const bool negative = shortest.negative;
  const std::string& digits = shortest.digits;
  const int exponent = shortest.exponent;
  const std::string sign = negative ? "-" : "";
  std::string fixed;
  if (exponent >= 0) {
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      // A whole number is written with its exact digits, as to_chars does,
      // not the shortest digits padded with zeros (the same length).
      char exact[48];
      std::snprintf(exact, sizeof exact, "%.0f", std::fabs(static_cast<double>(value)));
      fixed = exact;
    } else {
      fixed = digits.substr(0, whole) + "." + digits.substr(whole);
    }
  } else {
    fixed = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  }
  std::string scientific = digits.substr(0, 1);
  if (digits.size() > 1) scientific += "." + digits.substr(1);
  char tail[16];
  std::snprintf(tail, sizeof tail, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  scientific += tail;
  return sign + (fixed.size() <= scientific.size() ? fixed : scientific);
}

std::string FixedText(double value, int precision) {
  const int length = std::snprintf(nullptr, 0, "%.*f", precision, value);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), "%.*f", precision, value);
  text.pop_back();
  return text;
}

}  // namespace fallback

#if defined(__cpp_lib_to_chars)

std::from_chars_result ReadDouble(const char* first, const char* last, double& value,
                                  std::chars_format format) {
  return std::from_chars(first, last, value, format);
}

std::string ShortestText(float value) {
  char buffer[32];  // the longest shortest float text is 14 characters ("-1.1754944e-38")
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string FixedText(double value, int precision) {
  // Up to 309 integer digits for a double, a sign, a point and the fraction.
  std::string text(static_cast<std::size_t>(precision) + 320, '\0');
  const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                    std::chars_format::fixed, precision);
  text.resize(static_cast<std::size_t>(result.ptr - text.data()));
  return text;
}

#else

std::from_chars_result ReadDouble(const char* first, const char* last, double& value,
                                  std::chars_format format) {
  return fallback::ReadDouble(first, last, value, format);
}

std::string ShortestText(float value) { return fallback::ShortestText(value); }

std::string FixedText(double value, int precision) { return fallback::FixedText(value, precision); }

#endif

}  // namespace numtext
