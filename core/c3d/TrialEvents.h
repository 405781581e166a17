#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CC3d;

namespace c3d {

// One event of the trial as the EVENT parameter group states it (not the
// header's event table). Texts are the stored bytes, trailing blanks dropped.
struct TrialEvent {
  std::string context;      // EVENT:CONTEXTS, e.g. "Left", "Right", "General"
  std::string label;        // EVENT:LABELS, e.g. "Foot Strike"
  std::string description;  // EVENT:DESCRIPTIONS, empty when absent
  double time = 0.0;        // seconds on the capture clock: 60 x minutes + seconds
  // The analog sample (0-based) the event falls on, or none when it lies
  // outside the recorded samples (see ReadTrialEvents).
  std::optional<std::int64_t> sample;
};

// The whole events of the EVENT group, sorted by time (stable: equal times
// keep file order), and a note when part of the group could not be read.
struct TrialEvents {
  std::vector<TrialEvent> events;
  std::string note;  // empty, or a Messages text saying what was left out
};

// Reads EVENT:USED, CONTEXTS, LABELS, DESCRIPTIONS and TIMES of a loaded
// file through its parameter queries. TIMES holds 2 x USED floats, minutes
// in the first row and seconds in the second. An event's sample is
// round-half-away-from-zero((time - (first frame - 1) / frame rate) x analog
// rate); none when that lies outside [0, samples per channel) or the rates
// are unusable. A group that is absent gives no events and no note; one that
// states more events than its arrays hold, lacks TIMES or holds a time that
// is not finite gives the events that are whole and a note. Never throws
// for the file's content.
TrialEvents ReadTrialEvents(const CC3d& c3d);

// The short form of an event for a plot: the first letter of the context,
// a blank, then the first letter of each word of the label, upper-cased
// ("Left", "Foot Strike" -> "L FS"). Without a context, only the label's.
std::string ShortEventLabel(const std::string& context, const std::string& label);

// Which side an event's context names, for its colour: 'L' (left), 'R'
// (right) or 'G' (anything else).
char EventSide(const std::string& context);

// An event of either kind placed on the analog samples: what a plot marks
// and a tick sounds at.
struct SampleEvent {
  std::int64_t sample = 0;  // 0-based analog sample, within [0, samples per channel)
  std::string label;        // short: ShortEventLabel, or a header event's own label
  std::string context;      // as stored (trailing blanks dropped); empty for a header event
  char side = 'G';          // EventSide of the context; 'G' for a header event
  std::string text;         // in full: "Left Foot Strike", with the description
                            // in parentheses when there is one; a header event's label
};

// The events of both kinds that fall on the recorded analog samples: first
// the header's event table in its order (its analog sample is 1-based),
// then the EVENT group's events by time (ReadTrialEvents); those outside
// the recording are left out.
std::vector<SampleEvent> EventsOnSamples(const CC3d& c3d);

}  // namespace c3d
