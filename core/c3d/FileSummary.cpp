#include "core/c3d/FileSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/c3d/SampleExtremes.h"
#include "core/c3d/TrialEvents.h"

namespace {

// A measured value (rate, time, physical value) with six significant digits:
// enough to tell values apart on screen, short enough to read.
std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.6g", value);
  return buffer;
}

// "<count> <noun>", the noun in the plural unless count is 1 ("1 frame",
// "0 frames"); the nouns counted here all take an "s".
std::string Counted(std::int64_t count, const char* noun) {
  return std::to_string(count) + ' ' + noun + (count == 1 ? "" : "s");
}

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

const char* ProcessorName(Processor type) {
  switch (type) {
    case Processor::Intel:
      return "Intel";
    case Processor::Dec:
      return "DEC";
    case Processor::Mips:
      return "MIPS";
  }
  return "unknown";
}

// Labels longer than this do not widen the label column further: one odd
// label must not push every other line's units far to the right.
constexpr std::size_t kMaxLabelColumn = 32;

void AppendAnalog(std::string& out, const CC3d& c3d) {
  if (c3d.m_analogs.empty()) {
    out += Messages::kNoAnalogChannels;
    out += '\n';
    return;
  }
  const std::size_t n = c3d.m_analogs.size();
  out += "Analog: " + Counted(static_cast<std::int64_t>(n), "channel") + " at " +
         Number(c3d.AnalogRate()) + " Hz, " + Counted(c3d.SamplesPerChannel(), "sample") +
         " each\n";

  const std::vector<std::string> names = AnalogChannelNames(c3d);
  const std::vector<std::string> units = AnalogChannelUnits(c3d);
  std::vector<std::string> labels;
  std::size_t labelWidth = 0, unitsWidth = 0;
  for (std::size_t i = 0; i < n; ++i) {
    labels.push_back(WithoutTrailingBlanks(names[i]));
    labelWidth = std::max(labelWidth, std::min(labels.back().size(), kMaxLabelColumn));
    unitsWidth = std::max(unitsWidth, units[i].size());
  }
  const std::size_t indexWidth = std::to_string(n - 1).size();
  for (std::size_t i = 0; i < n; ++i) {
    const CAnalog& a = *c3d.m_analogs[i];
    // The extremes of the physical values, computed as each sample is.
    float low = 0.0f;
    float high = 0.0f;
    c3d::PhysicalExtremes(a, a.m_fMin, a.m_fMax, low, high);
    std::string index = std::to_string(i);
    index.insert(0, indexWidth - index.size(), ' ');
    out += "  " + index + "  " + Padded(labels[i], labelWidth) + "  ";
    if (unitsWidth > 0)
      out += Padded(units[i], unitsWidth) + "  ";  // no column when no channel has units
    out += Number(low) + " to " + Number(high) + '\n';
  }
}

void AppendEvents(std::string& out, const CC3d& c3d) {
  out += "Events: " + std::to_string(c3d.m_events.size()) + '\n';
  std::size_t labelWidth = 0;
  for (const auto& e : c3d.m_events) labelWidth = std::max(labelWidth, e->m_strLabel.size());
  for (const auto& e : c3d.m_events)
    out += "  " + Padded(e->m_strLabel, labelWidth) + "  " + Number(e->m_fTime) + " s\n";
}

// The EVENT group's events, only when the file has that group: files
// without it keep their summary as it was.
void AppendTrialEvents(std::string& out, const CC3d& c3d) {
  const c3d::TrialEvents trial = c3d::ReadTrialEvents(c3d);
  if (trial.events.empty() && trial.note.empty()) return;
  out += "Trial events: " + std::to_string(trial.events.size()) + '\n';
  std::size_t contextWidth = 0, labelWidth = 0;
  for (const auto& e : trial.events) {
    contextWidth = std::max(contextWidth, std::min(e.context.size(), kMaxLabelColumn));
    labelWidth = std::max(labelWidth, std::min(e.label.size(), kMaxLabelColumn));
  }
  for (const auto& e : trial.events) {
    out += "  " + Padded(e.context, contextWidth) + "  " + Padded(e.label, labelWidth) + "  " +
           Number(e.time) + " s  sample " +
           (e.sample ? std::to_string(*e.sample) : std::string("none")) + '\n';
  }
  if (!trial.note.empty()) out += "  Note: " + trial.note + '\n';
}

}  // namespace

std::string DescribeFile(const CC3d& c3d) {
  std::string out = std::string("Processor: ") + ProcessorName(c3d.m_nProcessorType) + " (" +
                    std::to_string(static_cast<int>(c3d.m_nProcessorType)) + "), " +
                    (c3d.m_bIntegerData ? "16-bit integer" : "float") + " samples\n";
  const std::int64_t frames = c3d.FrameCount();
  out += "Frames: " + std::to_string(c3d.m_nFirstFrame) + " to " +
         std::to_string(c3d.m_nLastFrame) + " (" + Counted(frames, "frame") + ") at " +
         Number(c3d.m_fFrameRate) + " Hz\n";
  // Frames over frames per second; a file that states no usable rate has no
  // known duration.
  const double rate = c3d.m_fFrameRate;
  out += "Duration: ";
  out += rate > 0.0 && std::isfinite(rate) && frames > 0
             ? Number(static_cast<double>(frames) / rate) + " s\n"
             : std::string("unknown\n");
  out += "Points: " + std::to_string(c3d.m_nPoints) + '\n';
  AppendAnalog(out, c3d);
  AppendEvents(out, c3d);
  AppendTrialEvents(out, c3d);
  return out;
}
