#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>

#include "core/sound/WaveEncoder.h"

class CC3d;

// Analog channels as comma-separated text, for spreadsheets and scripts:
// one row per sample, streamed to a byte sink a block at a time, so a
// recording of gigabytes never sits in memory as text.
//
// The bytes, for channels c1..ck and samples [first, last):
// - a header row: "time [s]", then each channel's heading (AnalogChannelHeadings:
//   its label without trailing blanks, then " [units]" when the file gives units);
// - one row per sample i: the time i / analog rate in seconds from the first
//   sample of the recording (a double, as the plot's ruler counts), then each
//   channel's scaled value (raw - offset) x scale (CAnalog::GetScaledSample,
//   single precision);
// - numbers in the shortest text that reads back to the same value (float
//   for values, double for times), '.' as the decimal point whatever the
//   locale, an exponent where shorter ("1e-05"); NaN and infinities as
//   "NaN", "Infinity" and "-Infinity", as `info --json` writes them;
// - RFC 4180: fields separated by ',', every row ended by CR LF, a field
//   holding ',', '"', CR or LF enclosed in '"' with each '"' doubled;
// - text is UTF-8: each stored byte of a label or unit is the code point of
//   the same value (Latin-1), as `info --json` reads it. No byte order mark.
namespace csv {

// Why WriteChannelsCsv wrote nothing, or stopped.
enum class CsvStatus {
  Written,        // every row reached the sink
  NoChannels,     // the list of channels is empty
  NoSuchChannel,  // a listed index is not a channel of the recording
  NoTimes,        // the analog rate is not a positive finite number
  EmptyRange,     // no sample lies in [first, last) of the recording
  SinkFailed,     // the sink refused a block: what it took before stays
};

// The samples [first, last) of every channel, 0-based; `last` past the end
// means the end.
struct CsvSampleRange {
  std::int64_t first = 0;
  std::int64_t last = std::numeric_limits<std::int64_t>::max();
};

// `field` as one RFC 4180 field: unchanged unless it holds ',', '"', CR or
// LF; then enclosed in '"' with every '"' doubled.
std::string QuoteCsvField(std::string_view field);

// Writes the header row and the rows of samples `range` of `channels` (in
// the order given; an index may repeat) of the loaded `c3d` into `sink`, by
// the rules above, in blocks of at most 64 KiB. The range is clamped to the
// recording's samples. Checks every argument before the first byte, so any
// status but Written and SinkFailed leaves the sink untouched. A sink that
// returns false stops the write (a GUI may cancel this way, or count the
// bytes for a progress bar). Allocates one block; throws nothing but
// std::bad_alloc.
CsvStatus WriteChannelsCsv(const CC3d& c3d, std::span<const int> channels, CsvSampleRange range,
                           sound::IByteSink& sink);

}  // namespace csv
