#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "core/c3d/C3d.h"
#include "fuzz/ParserTargets.h"

namespace {

[[noreturn]] void ParamTextBroken(const char* what) {
  fuzztarget::Broken("parameter text target", what);
}

// printf's text for one value, in the "C" locale this program never leaves.
template <class... Args>
std::string Printf(const char* format, Args... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  std::string text(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, args...);
  text.resize(static_cast<std::size_t>(n));
  return text;
}

std::string TakeName(fuzztarget::CFuzzInput& in) {
  std::string name(in.Take<std::uint8_t>() % 8u, '\0');
  for (char& c : name) c = static_cast<char>(in.Take<std::uint8_t>());
  return name;
}

// The name with the case of its letters flipped where `mask` has a bit set:
// lookups ignore case.
std::string Recase(std::string name, std::uint8_t mask) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if ((mask >> (i % 8)) & 1u)
      name[i] = static_cast<char>(std::isupper(c) ? std::tolower(c) : std::toupper(c));
  }
  return name;
}

}  // namespace

// Input: the parameter's type, declared count, group numbers, names, the
// queried index and precision, then its cells (4 bytes each) or rows.
int fuzztarget::ParamTextTarget(const std::uint8_t* data, std::size_t size) {
  CFuzzInput in(data, size);
  const std::uint8_t typeChoice = in.Take<std::uint8_t>();
  const std::int16_t rawType = in.Take<std::int16_t>();
  const std::int16_t types[] = {-1, 1, 2, 4, rawType};
  const std::int16_t type = types[typeChoice % 5u];
  const std::int16_t declared = in.Take<std::int16_t>();
  const std::int8_t groupId = in.Take<std::int8_t>();
  const bool sameGroup = (in.Take<std::uint8_t>() & 1u) != 0;
  const int index = in.Take<std::int32_t>();
  const int precision = in.Take<std::int32_t>();
  const std::uint8_t caseMask = in.Take<std::uint8_t>();
  const std::string groupName = TakeName(in);
  const std::string paramName = TakeName(in);

  CC3d c3d;
  auto group = std::make_unique<CGroup>();
  group->m_strName = groupName;
  group->m_nId = groupId;
  c3d.m_groups.push_back(std::move(group));
  c3d.m_nGroups = 1;
  auto param = std::make_unique<CParam>();
  param->m_strName = paramName;
  param->m_nGroupId = sameGroup ? (groupId < 0 ? -groupId : groupId) : groupId + 1000;
  param->m_nType = type;
  param->m_nCount = declared;
  const std::span<const std::uint8_t> rest = in.Rest();
  if (type == -1) {
    for (std::size_t at = 0; at < rest.size(); at += 8)
      param->m_strings.emplace_back(reinterpret_cast<const char*>(rest.data()) + at,
                                    std::min<std::size_t>(8, rest.size() - at));
  } else if (type == 1 || type == 2 || type == 4) {
    for (std::size_t at = 0; at + 4 <= rest.size(); at += 4) {
      CParamCell cell;
      std::memcpy(cell.m_bytes, rest.data() + at, 4);
      param->m_pValues.push_back(cell);
    }
  }
  const CParam& p = *param;
  c3d.m_params.push_back(std::move(param));
  c3d.m_nParams = 1;

  const std::string text = c3d.GetParameterString(Recase(groupName, caseMask),
                                                  Recase(paramName, caseMask), index, precision);
  if (text !=
      c3d.GetParameterElementString(c3d.FindParameter(groupName, paramName), index, precision))
    ParamTextBroken("a lookup in other letter case gives other text");
  if (!sameGroup) {
    if (!text.empty()) ParamTextBroken("a parameter of another group was found");
    return 0;
  }

  // The text of element `index`, as printf writes it.
  std::string expected;
  const bool inCells =
      index >= 0 && index < p.m_nCount && static_cast<std::size_t>(index) < p.m_pValues.size();
  if (type == -1) {
    if (index >= 0 && static_cast<std::size_t>(index) < p.m_strings.size())
      expected = p.m_strings[static_cast<std::size_t>(index)];
  } else if (inCells) {
    const CParamCell& cell = p.m_pValues[static_cast<std::size_t>(index)];
    if (type == 1) expected = Printf("%d", static_cast<int>(cell.AsByte()));
    if (type == 2) expected = Printf("%d", static_cast<int>(cell.AsInt16()));
    // A negative precision counts as 0; at most 1000 decimals are written.
    if (type == 4)
      expected =
          Printf("%.*f", std::clamp(precision, 0, 1000), static_cast<double>(cell.AsFloat()));
#ifdef _WIN32
    // MinGW's printf drops the sign of a negative NaN; the text is glibc's
    // ("-nan") on every system.
    if (type == 4 && std::isnan(cell.AsFloat()))
      expected = std::signbit(cell.AsFloat()) ? "-nan" : "nan";
#endif
  }
  if (text != expected) ParamTextBroken("the element's text differs from printf's");
  return 0;
}

std::vector<std::vector<std::uint8_t>> fuzztarget::ParamTextSeeds() {
  std::vector<std::vector<std::uint8_t>> seeds;
  // type choice, raw type (2), count (2), group id, same group, index (4),
  // precision (4), case mask, then "ANALOG" / "SCALE" and the cells.
  for (std::uint8_t choice = 0; choice < 5; ++choice) {
    std::vector<std::uint8_t> s = {choice, 3, 0, 4, 0, 0xFE, 1, 1, 0, 0, 0, 8, 0, 0, 0, 0x55};
    const std::string names[] = {"ANALOG", "SCALE"};
    for (const std::string& n : names) {
      s.push_back(static_cast<std::uint8_t>(n.size()));
      s.insert(s.end(), n.begin(), n.end());
    }
    const float values[] = {0.5f, -1.25e-3f, 3.0e38f, 1.0e-45f};
    for (float v : values) {
      std::uint8_t b[4];
      std::memcpy(b, &v, 4);
      s.insert(s.end(), b, b + 4);
    }
    seeds.push_back(std::move(s));
  }
  return seeds;
}
