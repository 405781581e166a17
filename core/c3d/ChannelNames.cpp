#include "core/c3d/ChannelNames.h"

#include <algorithm>
#include <climits>

#include "core/c3d/C3d.h"

namespace {

// The listed name of channel i, given the index of Analog:Labels (or -1).
std::string ListedName(const CC3d& c3d, int labels, int i) {
  std::string label = c3d.GetParameterElementString(labels, i, 0);
  if (label.empty())
    label = "Chan " + std::to_string(static_cast<long long>(i) + 1);  // i + 1 may exceed int
  return label;
}

// The units of channel i, given the index of Analog:Units (or -1).
std::string UnitsOf(const CC3d& c3d, int units, int i) {
  return WithoutTrailingBlanks(c3d.GetParameterElementString(units, i, 0));
}

// `text(i)` for every analog channel i, in order (at most 65535 channels).
template <class Text>
std::vector<std::string> ForEachChannel(const CC3d& c3d, Text text) {
  std::vector<std::string> list;
  list.reserve(c3d.m_analogs.size());
  for (std::size_t i = 0; i < c3d.m_analogs.size(); ++i) list.push_back(text(static_cast<int>(i)));
  return list;
}

}  // namespace

std::string WithoutTrailingBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string AnalogChannelName(const CC3d& c3d, int i) {
  return ListedName(c3d, c3d.FindParameter("Analog", "Labels"), i);
}

std::vector<std::string> AnalogChannelNames(const CC3d& c3d) {
  const int labels = c3d.FindParameter("Analog", "Labels");
  return ForEachChannel(c3d, [&](int i) { return ListedName(c3d, labels, i); });
}

std::string AnalogChannelUnits(const CC3d& c3d, int i) {
  return UnitsOf(c3d, c3d.FindParameter("Analog", "Units"), i);
}

std::vector<std::string> AnalogChannelUnits(const CC3d& c3d) {
  const int units = c3d.FindParameter("Analog", "Units");
  return ForEachChannel(c3d, [&](int i) { return UnitsOf(c3d, units, i); });
}

std::vector<std::string> AnalogChannelHeadings(const CC3d& c3d) {
  const int labels = c3d.FindParameter("Analog", "Labels");
  const int units = c3d.FindParameter("Analog", "Units");
  return ForEachChannel(c3d, [&](int i) {
    std::string heading = WithoutTrailingBlanks(ListedName(c3d, labels, i));
    const std::string unit = UnitsOf(c3d, units, i);
    if (!unit.empty()) heading += " [" + unit + "]";
    return heading;
  });
}

int FindAnalogChannel(const CC3d& c3d, const std::string& text) {
  const int channels = static_cast<int>(std::min<std::size_t>(c3d.m_analogs.size(), INT_MAX));
  if (!text.empty() && text.size() <= 9 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const int index = std::stoi(text);  // at most 9 digits: within int
    if (index < channels) return index;
  }
  const std::vector<std::string> names = AnalogChannelNames(c3d);
  for (int i = 0; i < channels; ++i) {
    if (names[static_cast<std::size_t>(i)] == text) return i;
  }
  const std::string trimmed = WithoutTrailingBlanks(text);
  for (int i = 0; i < channels; ++i) {
    if (WithoutTrailingBlanks(names[static_cast<std::size_t>(i)]) == trimmed) return i;
  }
  return -1;
}

std::string Utf8FromLatin1(std::string_view bytes) {
  std::string utf8;
  utf8.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      utf8.push_back(c);
    } else {
      // Code points 0x80-0xFF take two UTF-8 bytes: 110000xx 10xxxxxx.
      utf8.push_back(static_cast<char>(0xC0 | (b >> 6)));
      utf8.push_back(static_cast<char>(0x80 | (b & 0x3F)));
    }
  }
  return utf8;
}
