#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/sound/SoundHost.h"
#include "core/sound/SoundRecipe.h"
#include "core/sound/SoundStream.h"
#include "core/sound/WaveEncoder.h"

class CC3d;

// A SoundRecipe made into WAVE bytes for a sink, with the messages and the
// wait cursor a build shows on the way: what Play's file and every saved
// sound share. Opening files, the status line and playback are the
// caller's (WriteWave for Play, the command line's writer for `wav`).
namespace sound {

inline constexpr double kTickSeconds = 0.010;
inline constexpr double kTickHz = 2000.0;
inline constexpr double kTickFadeSeconds = 0.002;
inline constexpr double kTickLevel = 0.25;  // about -12 dBFS

// The output sample at which stored value `index` of the channel is heard:
// (index - first value played) / (speed x analog rate) x whole-number rate,
// rounded half away from zero; negative before the first value played.
std::int64_t OutputSampleOf(const CC3d& c3d, const SoundRecipe& spec, std::int64_t index);

// The analog rate A in Hz: samples per frame x frame rate, as a 32-bit float
// (the product of a 16-bit count and a float is exact in double, so this is
// the correctly rounded product). Every rate comparison of a build uses it.
float AnalogRate(const CC3d& c3d);

// The ticks of a sound mixed into its PCM values: kTickSeconds of a kTickHz
// sine at kTickLevel of full scale, faded in and out over
// kTickFadeSeconds, from each start on, clipped to the sample width. Holds
// the starts and one tick's values.
class CTickMixer {
 public:
  // starts: output samples (any order); bits: 8 (unsigned) or 16 (signed
  // little-endian); rate: the whole-number output rate in Hz.
  CTickMixer(std::vector<std::int64_t> starts, std::uint32_t rate, int bits);
  // Adds the ticks to pcm, whole values of one channel, the first of them
  // output sample `first`; a trailing part of a value is left alone.
  void Mix(std::uint64_t first, std::span<std::uint8_t> pcm) const;

 private:
  double TickAt(std::uint64_t n) const;  // the sum of the ticks sounding at output sample n

  std::vector<std::int64_t> m_starts;  // output samples, ascending
  std::size_t m_width;                 // bytes per value
  std::vector<double> m_tick;
};

// The output samples of spec.ticks that lie among the `count` values spec
// plays (OutputSampleOf each), in the order given.
std::vector<std::int64_t> TickStarts(const CC3d& c3d, const SoundRecipe& spec, int count);

// How a build ended.
enum class WaveOutcome {
  Played,       // the file holds the sound and playback was started
  PlayedEmpty,  // resampling refused ("Error" shown): a 44-byte sound was written and played
  NotCreated,   // "Could not create": the file could not be opened or fully written
  Failed,       // "Error" or "Not Enough memory to open file": nothing complete written
};

// The stored values spec plays, checked before any file is touched: the
// channel's first GetAnalogSampleCount() values, or spec.range of them.
// None, after "Error" shown through host, when spec.range does not lie
// within those values (or its count is below 1), the channel index is out
// of range, its block is shorter than the values played, or spec.rate does
// not truncate to a 32-bit whole number; also, after "Error", when
// spec.speed lies outside 1..1000 or a Pitch spec's range is not
// 20 <= low < high <= 20000; and for a Waveform spec, after the message of
// CheckFilterRates naming the limit, when a filter frequency is at or above
// half the analog rate. With spec.right, its channel is checked as
// spec.channel is ("Error" when it is out of range or its block is short);
// the values returned are spec.channel's.
std::optional<RawChannel> SpecSamples(const CC3d& c3d, const SoundRecipe& spec, ISoundHost& host);

// The stored values of `channel` that spec plays (its range, or the first
// GetAnalogSampleCount()), as SpecSamples finds them, without its other
// checks and without a message; none when SpecSamples would refuse them.
std::optional<RawChannel> ChannelValues(const CC3d& c3d, const SoundRecipe& spec, int channel);

// Encodes `samples` (from SpecSamples of the same spec) into sink. A spec
// that is not PlainWaveform is built by EncodeChoices (WaveChoices.h). The
// plain waveform: the
// channel's first values are loaded into soundBuffer; when the whole-number
// rate is above the analog rate the wait cursor is shown for the rest of the
// build, and a refused resampling shows "Error" and makes an empty sound;
// then the header and the samples a stretch at a time, through soundBuffer.
// Played or PlayedEmpty when every byte reached the sink. Failed after
// "Not Enough memory to open file" or "Error" (a sound too long for a WAVE
// file); NotCreated after "Could not create" (the sink refused a write).
// The wait cursor is removed before any message that follows it. soundBuffer
// ends as CWaveEncoder::Encode leaves it, or holding the channel's first
// values (at most kSoundStretch) when nothing was produced.
//
// With spec.ticks, a tick (kTickSeconds of a kTickHz sine at kTickLevel of
// full scale, faded in and out over kTickFadeSeconds) is added to the PCM
// values from the output sample of each tick's stored value on, clipped to
// the sample width; the header is unchanged.
//
// With spec.right, a two-channel sound (EncodeStereo, WaveStereo.h): each
// channel as this builds it alone, interleaved.
WaveOutcome EncodeSpec(const CC3d& c3d, const SoundRecipe& spec, const RawChannel& samples,
                       std::vector<float>& soundBuffer, IByteSink& sink, ISoundHost& host);

}  // namespace sound
