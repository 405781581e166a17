#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "core/sound/SoundLevel.h"

class CC3d;

// Turning one analog channel into a mono PCM WAVE file: the resampling to a
// whole-number output rate by linear interpolation, the 8/16-bit amplitude
// mapping and the 44-byte header. A build streams: the resampled values are
// produced a stretch at a time and mapped into the write buffer, so its
// memory does not grow with the length of the sound. Resample and Interpolate do the
// same arithmetic on a whole buffer. Standard C++ only; the platform services
// a build needs (stopping and starting playback, the status line, message
// boxes, the wait cursor) come in through ISoundHost.
namespace sound {

// The platform services a build calls, in the order WriteWave calls them.
// The sound dialog implements them with widgets and the sound player; the
// command-line tool and the tests with stderr and recorders. Not owned by the
// build; it only borrows the host for the duration of one call.
class ISoundHost {
 public:
  virtual ~ISoundHost() = default;
  virtual void StopSound() = 0;                           // purge what plays; nothing plays: no-op
  virtual void SetStatus(const std::string& text) = 0;    // text after "Status : "
  virtual void ShowMessage(const std::string& text) = 0;  // modal, one OK button
  virtual void BeginWaitCursor() = 0;
  virtual void EndWaitCursor() = 0;
  virtual void PlayFile(const std::filesystem::path& file) = 0;  // asynchronous, returns at once
};

// Values of Interpolate's status.
inline constexpr int kInterpolateDone = 0;
inline constexpr int kInterpolateBadStep = 1;   // step not in (0, 1)
inline constexpr int kInterpolateTooShort = 2;  // the output cannot cover the input

// Resample's result when a buffer could not be allocated ("Not Enough memory
// to open file" has been shown); 0 means refused ("Error" has been shown).
inline constexpr int kResampleNoMemory = -1;

// A WAVE file's RIFF chunk size is 32 bits and counts 36 header bytes besides
// the sample data, so no sound may hold more than 0xFFFFFFFF - 36 data bytes.
inline constexpr std::uint64_t kMaxWaveDataBytes = 0xFFFFFFFFull - 36;

// The analog rate A in Hz: samples per frame x frame rate, as a 32-bit float
// (the product of a 16-bit count and a float is exact in double, so this is
// the correctly rounded product). Every rate comparison of a build uses it.
float AnalogRate(const CC3d& c3d);

// The number of output samples for `count` inputs at analogRate raised to
// outputRate: trunc(((1 / A) x count) / (1 / R)) in double precision, in
// exactly this grouping (A = 1000, R = 8000, count = 2001 gives 16007, where
// count x R / A would give 16008). Returned untruncated-to-int: the caller
// checks the range (it is NaN or infinite for A or R of 0 or NaN).
double ResampledLength(float analogRate, float outputRate, int count);

// The resampling of `count` inputs from analogRate to outputRate as Resample
// decides it, before any value is touched.
struct ResamplePlan {
  bool refused = true;  // Resample would show "Error" and change nothing
  int length = 0;       // N, the number of outputs (when not refused)
  float step = 0.0f;    // (count - 1) / (N - 1) rounded to float: input distance between outputs
  int lastUsable = 0;   // M = trunc((count - 1) / step): outputs above M are 0
};

// Refused when count < 1, N is not below 2^31 (or NaN), the step is not in
// (0, 1) (count 1, N 1, a ratio of 1 or less) or M > N - 1 (a float step
// rounded down, possible past 2^24 outputs).
ResamplePlan PlanResample(float analogRate, float outputRate, int count);

// Upsamples buffer in place, from the top slot down, so one buffer serves as
// input and output. buffer holds the input in slots 0..lastIn and zeros
// above, lastOut + 1 slots in all. step (the input distance between output
// slots, a float in (0, 1)) is used as given. Out: lastUsable = M, the highest
// output slot that still lies inside the input (trunc(lastIn / step)), and
// status: kInterpolateDone, kInterpolateBadStep (nothing changed) or
// kInterpolateTooShort (M > lastOut, or the buffer is shorter than lastOut + 1;
// nothing changed). Slots above M become 0; slot 0 keeps its value.
void Interpolate(std::span<float> buffer, const int& lastOut, const int& lastIn, const float& step,
                 int& lastUsable, int& status);

// Raises the first `count` values of soundBuffer from analogRate to
// outputRate (Hz). Shows the wait cursor while it works. Checks the step
// before touching anything. Result: N, the number of values now in
// soundBuffer; 0 when refused ("Error" shown: count < 1, N out of range, or a
// step Interpolate would refuse), or kResampleNoMemory when the work buffer
// could not be had; in both cases soundBuffer is left as it was.
int Resample(std::vector<float>& soundBuffer, float analogRate, float outputRate, int count,
             ISoundHost& host);

// The raw values of one channel as loaded: `count` 16-bit integers or 32-bit
// floats (exactly one of the pointers set), not owned. Read as floats, which
// holds every int16 exactly.
struct RawChannel {
  const std::int16_t* ints = nullptr;
  const float* floats = nullptr;
  int count = 0;

  float operator[](int i) const {
    return ints != nullptr ? static_cast<float>(ints[i]) : floats[i];
  }
};

// The sound of one channel as a build produces it, a stretch of output slots
// at a time, holding nothing but the plan: with resampling (outputRate above
// analogRate), slot i holds exactly the value Resample leaves in slot i of its
// buffer; without, the raw values themselves. Borrows the channel's samples,
// which must outlive it.
class CSoundStream {
 public:
  CSoundStream(RawChannel input, float analogRate, float outputRate);

  bool Refused() const { return m_refused; }      // resampling refused: Length() is 0
  bool Resampling() const { return m_resample; }  // outputRate above analogRate
  int Length() const { return m_length; }         // output slots, N or count
  // The first slot past the last interpolated one (M + 1); the slots from
  // here to Length() - 1 hold 0, the unfilled top of Resample's buffer.
  int TailStart() const { return m_tailStart; }

  // Fills out with slots from .. from + out.size() - 1, which must lie below Length().
  void Produce(int from, std::span<float> out) const;

 private:
  // Input k as a double, zero past the last input (the zeros above the input
  // in Resample's buffer).
  double Input(int k) const { return k < m_input.count ? static_cast<double>(m_input[k]) : 0.0; }

  RawChannel m_input;
  bool m_resample = false;
  bool m_refused = false;
  int m_length = 0;
  int m_tailStart = 0;
  double m_step = 0.0;  // the plan's float step, widened once
};

// The PCM value of one stored sample s, which the mapping takes to lie in
// 0..4096 with 2048 as silence. 16 bits: trunc((s - 2048) x 16), of which the
// low 16 bits are kept (no clipping). 8 bits: trunc((s - 2048) / 16) + 128,
// of which the low 8 bits are kept. NaN and infinities, which have no low
// bits, give silence.
std::int16_t PcmSample16(float s);
std::uint8_t PcmSample8(float s);

// The 44 header bytes of a mono PCM WAVE file of `rate` Hz, `bits` 8 or 16,
// holding dataBytes of samples. The RIFF chunk size field (offset 4) is 0:
// WriteWave patches it from the file's length once the samples are written.
std::array<std::uint8_t, 44> WaveHeader(std::uint32_t rate, int bits, std::uint32_t dataBytes);

// How a build ended.
enum class WaveOutcome {
  Played,       // the file holds the sound and playback was started
  PlayedEmpty,  // resampling refused ("Error" shown): a 44-byte sound was written and played
  NotCreated,   // "Could not create": the file could not be opened or fully written
  Failed,       // "Error" or "Not Enough memory to open file": nothing complete written
};

// The most values soundBuffer holds during a build: the stretch of the sound
// produced and written at a time (128 KiB of floats).
inline constexpr int kSoundStretch = 32768;

// The Play build for channel `channel` of c3d, 8 or 16 bits, at `rate` Hz
// (already checked against the analog rate and 44100 by CheckPlayRate), into
// `file`, with the amplitude mapping `level`. Steps, in order: stop any
// sound; open `file` (create or truncate) or show "Could not create"; status
// " Processing"; load the channel's first raw values into soundBuffer; when
// the whole-number rate R is above the analog rate, show the wait cursor and
// plan the resampling ("Error" and an empty sound when refused); write the
// header, then the sound a stretch at a time through soundBuffer; remove the
// wait cursor; patch the RIFF size; close; status " "; play the file. A
// failure after the file was opened never leaves a complete-looking file
// behind: the file is left empty, the status line reads " Idle", and nothing
// plays. Throws nothing of its own.
// soundBuffer is the caller's float block, never larger than kSoundStretch
// values: afterwards it holds the last stretch written (the whole sound when
// it is no longer than that), or after a refused resampling the channel's
// first raw values. With AsRecorded the bytes are those of PcmSample16 /
// PcmSample8 applied to Resample's buffer, its unfilled top slots included;
// with FitToChannel the same values go through CFitScale of the channel's
// RawRange and the unfilled top slots are silent.
WaveOutcome WriteWave(const CC3d& c3d, int channel, int bits, float rate,
                      std::vector<float>& soundBuffer, const std::filesystem::path& file,
                      ISoundHost& host, SoundLevel level = SoundLevel::AsRecorded);

// The same build for the stored values [first, first + count) of the channel
// alone, as if the channel held only those (so Fit to channel fits their
// range): the sound of a stretch of the recording, keeping its time scale.
// A span outside the first GetAnalogSampleCount() values, or count below 1,
// shows "Error" and writes nothing.
WaveOutcome WriteWaveRange(const CC3d& c3d, int channel, int first, int count, int bits, float rate,
                           std::vector<float>& soundBuffer, const std::filesystem::path& file,
                           ISoundHost& host, SoundLevel level = SoundLevel::AsRecorded);

}  // namespace sound
