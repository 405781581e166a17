#pragma once

#include <cstdint>

class CC3d;

// How the stored values of a channel become PCM amplitudes. "As recorded"
// is the fixed mapping of PcmSample16 / PcmSample8, made for 12-bit integer
// recorders (stored 0..4096, 2048 silent). "Fit to channel" stretches the
// channel's own raw range over the full scale, for signed, float and scaled
// data, where the fixed mapping gives wrap-around noise or near silence.
namespace sound {

enum class SoundLevel {
  AsRecorded,    // the fixed 12-bit mapping; the default
  FitToChannel,  // lowest raw value to full negative scale, highest to full positive
};

// The extremes of a channel's finite raw values. NaN and infinities have no
// place on a linear scale and are left out (both mappings make them silent).
struct RawRange {
  bool any = false;      // false: no samples, or none of them finite
  double lowest = 0.0;   // smallest finite raw value (int16 and float convert exactly)
  double highest = 0.0;  // largest finite raw value
};

// RawRange of the first GetAnalogSampleCount() stored values of channel
// `channel` of c3d. A channel index out of range, a block shorter than the
// count, or a count below 1 give an empty range. Reads the samples once,
// allocates nothing.
RawRange ChannelRawRange(const CC3d& c3d, int channel);
// The same over the stored values [first, first + count) of the channel
// alone; empty when that span does not lie within the first
// GetAnalogSampleCount() values or count is below 1.
RawRange ChannelRawRange(const CC3d& c3d, int channel, int first, int count);

// The "Fit to channel" mapping of one channel: linear, lowest -> full
// negative scale, highest -> full positive scale, rounded to nearest (halves
// upward). 16 bits: -32767..+32767 with 0 silent; 8 bits: 1..255 with 128
// silent. A value a hair past the range (an interpolated value rounded to
// float) is held at full scale: nothing wraps. A constant channel, an empty
// range and NaN or infinite values give silence. A value type, cheap to copy.
class CFitScale {
 public:
  explicit CFitScale(const RawRange& range);

  std::int16_t Sample16(float s) const;
  std::uint8_t Sample8(float s) const;

 private:
  double m_lowest = 0.0;
  double m_perUnit16 = 0.0;  // 65534 / (highest - lowest); 0 when silent
  double m_perUnit8 = 0.0;   // 254 / (highest - lowest); 0 when silent
};

// Why "As recorded" suits a channel badly, for the sound dialog's hint that
// suggests "Fit to channel". The fixed mapping expects stored values in
// 0..4095 (12 bits).
enum class RecordedLevelHint {
  None,         // the range lies in 0..4095 and spans at least 1/50 of it
  WouldWrap,    // some value lies below 0 or above 4095: its low bits wrap around
  NearSilence,  // the range spans less than 4095 / 50: barely audible
};

// The hint for a channel of this raw range (an empty range gives None: the
// channel is silent whatever the level). WouldWrap is reported before
// NearSilence when both hold.
RecordedLevelHint CheckRecordedLevel(const RawRange& range);

}  // namespace sound
