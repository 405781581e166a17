#pragma once
// Numbers to text and back, independent of the C locale, for every standard
// library the program is built with. Where the library has the
// floating-point <charconv> conversions (__cpp_lib_to_chars) they are used;
// where it lacks them (libc++ 13, as emscripten 3.1 ships it) the C library's
// correctly rounded strtod and printf stand in, which give the same results
// in the "C" locale, the only one such builds run in.

#include <charconv>
#include <string>

namespace numtext {

// std::from_chars for a double: no leading blanks and no '+'; "inf",
// "infinity" and "nan" (any case) after an optional '-'; with
// chars_format::hex the digits come without "0x"; an exponent is taken only
// when a digit follows its mark (and never with chars_format::fixed). A
// value beyond double's range gives result_out_of_range and leaves `value`
// as it was; no number gives invalid_argument with ptr == first.
std::from_chars_result ReadDouble(const char* first, const char* last, double& value,
                                  std::chars_format format = std::chars_format::general);

// The shortest text that reads back to `value` (finite), in fixed or
// scientific notation, whichever is shorter (fixed on a tie), as
// std::to_chars(first, last, value) writes it.
std::string ShortestText(float value);

// "%.<precision>f" of a finite value (precision >= 0), as
// std::to_chars(..., chars_format::fixed, precision) writes it.
std::string FixedText(double value, int precision);

namespace fallback {
// The C library's stand-ins for the three above, always built, so that
// builds with the standard conversions can check them against those.
std::from_chars_result ReadDouble(const char* first, const char* last, double& value,
                                  std::chars_format format);
std::string ShortestText(float value);
std::string FixedText(double value, int precision);
}  // namespace fallback

}  // namespace numtext
