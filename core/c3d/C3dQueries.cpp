// Parameter lookup, the text form of parameter elements and the analog scaling.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "core/c3d/C3d.h"
#include "core/c3d/C3dNumbers.h"
#include "core/c3d/NumberText.h"

namespace {

// Digits after the point are capped: a float's exact decimal expansion ends
// within 149 places, so every digit past this cap would be a zero.
constexpr int kMaxPrecision = 1000;

char FoldCase(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Whole names, letters compared without regard to case (ASCII letters; other
// bytes must match exactly), nothing trimmed.
bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldCase(x) == FoldCase(y);
         });
}

// "%.<precision>f" of a value widened to double, independent of the C locale
// (a GUI toolkit may switch LC_NUMERIC to a comma locale; the point must stay).
// A negative precision counts as 0.
std::string FormatFixed(double value, int precision) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  precision = std::clamp(precision, 0, kMaxPrecision);
  return numtext::FixedText(value, precision);
}

// atof of a text IsNumeric accepted (an optional sign, digits and at most one
// point), without the C locale's decimal separator. A text without digits
// (".", "-.") is 0, as atof gives; a value beyond double's range is an
// infinity of its sign and one below it 0, as strtod gives.
double ParseDecimal(const std::string& text) {
  std::size_t start = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    start = 1;
  }
  double value = 0.0;
  const char* first = text.data() + start;
  const char* last = text.data() + text.size();
  const auto [ptr, ec] = numtext::ReadDouble(first, last, value, std::chars_format::fixed);
  if (ec == std::errc::result_out_of_range) {
    // Out of range: huge when a non-zero digit precedes the point.
    const auto point = std::find(first, last, '.');
    const bool huge = std::any_of(first, point, [](char c) { return c != '0'; });
    value = huge ? HUGE_VAL : 0.0;
  } else if (ec != std::errc()) {
    value = 0.0;
  }
  return negative ? -value : value;
}

}  // namespace

bool IsNumeric(std::string t) {
  if (t.empty()) return false;
  if (t[0] == '-' || t[0] == '+') {
    t.erase(0, 1);
    if (t.empty()) return false;
  }
  int points = 0;
  for (const char c : t) {
    if (c == '.') {
      if (++points > 1) return false;
    } else if (c < '0' || c > '9') {
      return false;
    }
  }
  return true;
}

int CC3d::FindParameter(const std::string& group, const std::string& name) const {
  // Only the first group of that name is searched, even when a later group
  // of the same name holds the parameter.
  const int groups = std::min(m_nGroups, static_cast<int>(m_groups.size()));
  for (int g = 0; g < groups; ++g) {
    if (!SameName(m_groups[g]->m_strName, group)) continue;
    const std::int32_t id = m_groups[g]->m_nId < 0 ? -m_groups[g]->m_nId : m_groups[g]->m_nId;
    const int params = std::min(m_nParams, static_cast<int>(m_params.size()));
    for (int p = 0; p < params; ++p) {
      if (m_params[p]->m_nGroupId == id && SameName(m_params[p]->m_strName, name)) return p;
    }
    return -1;
  }
  return -1;
}

std::string CC3d::GetParameterString(const std::string& group, const std::string& name, int index,
                                     int precision) const {
  return GetParameterElementString(FindParameter(group, name), index, precision);
}

std::string CC3d::GetParameterElementString(int param, int index, int precision) const {
  if (param < 0 || static_cast<std::size_t>(param) >= m_params.size() || index < 0) return {};
  const CParam& p = *m_params[static_cast<std::size_t>(param)];
  if (p.m_nType == -1) {
    if (static_cast<std::size_t>(index) >= p.m_strings.size()) return {};
    return p.m_strings[static_cast<std::size_t>(index)];
  }
  if (index >= p.m_nCount || static_cast<std::size_t>(index) >= p.m_pValues.size()) return {};
  const CParamCell& cell = p.m_pValues[static_cast<std::size_t>(index)];
  switch (p.m_nType) {
    case 1:
      return std::to_string(cell.AsByte());  // "%d", 0 to 255
    case 2:
      return std::to_string(cell.AsInt16());  // "%d", signed
    case 4:
      return FormatFixed(static_cast<double>(cell.AsFloat()), precision);
    default:
      return {};
  }
}

void CC3d::ComputeAnalogScaling() {
  // Each value passes through its text form: float parameters take effect
  // rounded to 8 decimals, integers exactly, character rows when they hold a
  // plain number. The lower-case names find GEN_SCALE, SCALE and OFFSET.
  // SCALE and OFFSET are looked up once, not once per channel: the lookup
  // walks every record, and 65535 channels times a few hundred thousand
  // records would hold Load for minutes.
  float genScale = 1.0f;
  std::string t = GetParameterString("ANALOG", "gen_scale", 0, 8);
  if (!t.empty() && IsNumeric(t)) genScale = c3d::NarrowToFloat(ParseDecimal(t));
  const int scales = FindParameter("ANALOG", "scale");
  const int offsets = FindParameter("ANALOG", "offset");
  const std::size_t channels = std::min<std::size_t>(m_nAnalogChannels, m_analogs.size());
  for (std::size_t i = 0; i < channels; ++i) {
    float scale = 1.0f;
    float offset = 0.0f;
    const int index = static_cast<int>(i);  // below 65536
    t = GetParameterElementString(scales, index, 8);
    if (!t.empty() && IsNumeric(t)) scale = c3d::NarrowToFloat(ParseDecimal(t));
    t = GetParameterElementString(offsets, index, 8);
    if (!t.empty() && IsNumeric(t)) offset = c3d::NarrowToFloat(ParseDecimal(t));
    m_analogs[i]->m_fOffset = offset;
    m_analogs[i]->m_fScale = scale * genScale;  // single-precision product
  }
}
