#include "sound/ChannelNames.h"

#include "c3d/C3d.h"

std::string AnalogChannelName(const CC3d& c3d, int i) {
  std::string label = c3d.GetParameterString("Analog", "Labels", i, 0);
  if (label.empty()) label = "Chan " + std::to_string(static_cast<long long>(i) + 1);  // i + 1 may exceed int
  return label;
}
