#include "core/c3d/TrialEvents.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "core/Messages.h"
#include "core/c3d/C3d.h"

namespace c3d {
namespace {

std::string WithoutTrailingBlanksOrNuls(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

// The rows of a character parameter, or none when it is absent or numeric.
const std::vector<std::string>* Rows(const CC3d& c3d, const char* name) {
  const int p = c3d.FindParameter("EVENT", name);
  if (p < 0 || c3d.m_params[static_cast<std::size_t>(p)]->m_nType != -1) return nullptr;
  return &c3d.m_params[static_cast<std::size_t>(p)]->m_strings;
}

// Numeric element i of a parameter (byte, int16 or float), NaN when absent.
double Element(const CParam& p, std::size_t i) {
  if (i >= p.m_pValues.size() || static_cast<int>(i) >= p.m_nCount) return std::nan("");
  switch (p.m_nType) {
    case 1:
      return p.m_pValues[i].AsByte();
    case 2:
      return p.m_pValues[i].AsInt16();
    case 4:
      return p.m_pValues[i].AsFloat();
    default:
      return std::nan("");
  }
}

void AddNote(std::string& note, const char* text) {
  if (!note.empty()) note += "; ";
  note += text;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

TrialEvents ReadTrialEvents(const CC3d& c3d) {
  TrialEvents out;
  const int usedParam = c3d.FindParameter("EVENT", "USED");
  const int timesParam = c3d.FindParameter("EVENT", "TIMES");
  if (usedParam < 0 && timesParam < 0) return out;  // no EVENT group, nothing to say
  const CParam* times =
      timesParam < 0 ? nullptr : c3d.m_params[static_cast<std::size_t>(timesParam)].get();
  if (times == nullptr || times->m_nType == -1) {
    out.note = Messages::kTrialEventsNoTimes;
    return out;
  }
  // USED when stated, else as many events as TIMES has columns.
  std::size_t count =
      std::min<std::size_t>(times->m_pValues.size(),
                            static_cast<std::size_t>(std::max<int>(times->m_nCount, 0))) /
      2;
  bool shortArrays = false;
  if (usedParam >= 0) {
    const double used = Element(*c3d.m_params[static_cast<std::size_t>(usedParam)], 0);
    const std::size_t stated = std::isfinite(used) && used > 0 ? static_cast<std::size_t>(used) : 0;
    if (stated > count) shortArrays = true;
    count = std::min(count, stated);
  }
  const std::vector<std::string>* contexts = Rows(c3d, "CONTEXTS");
  const std::vector<std::string>* labels = Rows(c3d, "LABELS");
  const std::vector<std::string>* descriptions = Rows(c3d, "DESCRIPTIONS");
  auto rowOf = [](const std::vector<std::string>* rows, std::size_t i) -> const std::string* {
    return rows != nullptr && i < rows->size() ? &(*rows)[i] : nullptr;
  };

  // Sample of time t: t minus the recording's start, times the analog rate.
  const double frameRate = c3d.m_fFrameRate;
  const double analogRate = c3d.AnalogRate();
  const std::int64_t samples = c3d.SamplesPerChannel();
  const bool ratesUsable =
      frameRate > 0 && std::isfinite(frameRate) && analogRate > 0 && std::isfinite(analogRate);
  const double start = ratesUsable ? (static_cast<double>(c3d.m_nFirstFrame) - 1.0) / frameRate : 0;

  bool badTime = false;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string* label = rowOf(labels, i);
    if (label == nullptr) {
      shortArrays = true;  // an event without a label is not whole
      continue;
    }
    // Minutes in the first row, seconds in the second: element (r, i) is r + 2i.
    const double minutes = Element(*times, 2 * i);
    const double seconds = Element(*times, 2 * i + 1);
    const double t = 60.0 * minutes + seconds;
    if (!std::isfinite(t)) {
      badTime = true;
      continue;
    }
    TrialEvent e;
    if (const std::string* c = rowOf(contexts, i)) e.context = WithoutTrailingBlanksOrNuls(*c);
    e.label = WithoutTrailingBlanksOrNuls(*label);
    if (const std::string* d = rowOf(descriptions, i))
      e.description = WithoutTrailingBlanksOrNuls(*d);
    e.time = t;
    if (ratesUsable) {
      const double position = std::round((t - start) * analogRate);
      if (position >= 0 && position < static_cast<double>(samples))
        e.sample = static_cast<std::int64_t>(position);
    }
    out.events.push_back(std::move(e));
  }
  if (shortArrays) AddNote(out.note, Messages::kTrialEventsShort);
  if (badTime) AddNote(out.note, Messages::kTrialEventsBadTime);
  std::stable_sort(out.events.begin(), out.events.end(),
                   [](const TrialEvent& a, const TrialEvent& b) { return a.time < b.time; });
  return out;
}

std::string ShortEventLabel(const std::string& context, const std::string& label) {
  std::string out;
  for (const char c : context) {
    if (c != ' ') {
      out += Upper(c);
      break;
    }
  }
  std::string initials;
  bool wordStart = true;
  for (const char c : label) {
    if (c == ' ' || c == '_' || c == '-') {
      wordStart = true;
    } else if (wordStart) {
      initials += Upper(c);
      wordStart = false;
    }
  }
  if (!out.empty() && !initials.empty()) out += ' ';
  return out + initials;
}

char EventSide(const std::string& context) {
  for (const char c : context) {
    if (c == ' ') continue;
    const char u = Upper(c);
    return u == 'L' || u == 'R' ? u : 'G';
  }
  return 'G';
}

std::vector<SampleEvent> EventsOnSamples(const CC3d& c3d) {
  std::vector<SampleEvent> out;
  const std::int64_t count = std::max<std::int64_t>(c3d.SamplesPerChannel(), 0);
  for (const auto& e : c3d.m_events) {
    const std::int64_t index = static_cast<std::int64_t>(e->m_nAnalogSample) - 1;  // 1-based
    if (index < 0 || index >= count) continue;
    std::string label = WithoutTrailingBlanksOrNuls(e->m_strLabel);
    out.push_back(SampleEvent{index, e->m_strLabel, {}, 'G', std::move(label)});
  }
  for (TrialEvent& e : ReadTrialEvents(c3d).events) {
    if (!e.sample) continue;
    std::string text = e.context.empty() ? e.label : e.context + ' ' + e.label;
    if (!e.description.empty()) text += " (" + e.description + ')';
    out.push_back(SampleEvent{*e.sample, ShortEventLabel(e.context, e.label), e.context,
                              EventSide(e.context), std::move(text)});
  }
  return out;
}

}  // namespace c3d
