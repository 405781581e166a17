#include "sound/ChannelNames.h"

#include <algorithm>
#include <climits>

#include "c3d/C3d.h"

std::string AnalogChannelName(const CC3d& c3d, int i) {
  std::string label = c3d.GetParameterString("Analog", "Labels", i, 0);
  if (label.empty()) label = "Chan " + std::to_string(static_cast<long long>(i) + 1);  // i + 1 may exceed int
  return label;
}

namespace {

std::string WithoutTrailingBlanks(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}

int FindAnalogChannel(const CC3d& c3d, const std::string& text) {
  const int channels = static_cast<int>(std::min<std::size_t>(c3d.m_analogs.size(), INT_MAX));
  if (!text.empty() && text.size() <= 9 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const int index = std::stoi(text);  // at most 9 digits: within int
    if (index < channels) return index;
  }
  for (int i = 0; i < channels; ++i) {
    if (AnalogChannelName(c3d, i) == text) return i;
  }
  const std::string trimmed = WithoutTrailingBlanks(text);
  for (int i = 0; i < channels; ++i) {
    if (WithoutTrailingBlanks(AnalogChannelName(c3d, i)) == trimmed) return i;
  }
  return -1;
}
