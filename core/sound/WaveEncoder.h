#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/sound/SoundLevel.h"
#include "core/sound/SoundStream.h"

// The PCM and WAVE bytes of a sound: the 8/16-bit amplitude mapping and the
// 44-byte header of a mono PCM WAVE file, streamed to a sink. Values in,
// bytes out: no files, no messages, no platform.
namespace sound {

// A WAVE file's RIFF chunk size is 32 bits and counts 36 header bytes besides
// the sample data, so no sound may hold more than 0xFFFFFFFF - 36 data bytes.
inline constexpr std::uint64_t kMaxWaveDataBytes = 0xFFFFFFFFull - 36;

// The most values the encoder's float block holds: the stretch of the sound
// produced and written at a time (128 KiB of floats).
inline constexpr int kSoundStretch = 32768;

// The PCM value of one stored sample s, which the mapping takes to lie in
// 0..4096 with 2048 as silence. 16 bits: trunc((s - 2048) x 16), of which the
// low 16 bits are kept (no clipping). 8 bits: trunc((s - 2048) / 16) + 128,
// of which the low 8 bits are kept. NaN and infinities, which have no low
// bits, give silence.
std::int16_t PcmSample16(float s);
std::uint8_t PcmSample8(float s);

// The 44 header bytes of a PCM WAVE file of `rate` Hz, `bits` 8 or 16,
// `channels` 1 (mono) or 2 (interleaved left, right), holding dataBytes of
// samples. The RIFF chunk size field (offset 4) is 0; WaveFileHeader fills
// it in.
std::array<std::uint8_t, 44> WaveHeader(std::uint32_t rate, int bits, std::uint32_t dataBytes,
                                        int channels = 1);

// WaveHeader with the RIFF chunk size (the file's length - 8, 36 + dataBytes)
// filled in: the header of a whole file. dataBytes at most 0xFFFFFFFF - 36.
std::array<std::uint8_t, 44> WaveFileHeader(std::uint32_t rate, int bits, std::uint32_t dataBytes,
                                            int channels = 1);

// Where encoded bytes go: a file, a pipe, memory. Borrowed by the encoder
// for one Encode call.
class IByteSink {
 public:
  virtual ~IByteSink() = default;
  // Takes all of `bytes` in order after what came before; false when they
  // could not all be taken (the encoder then stops).
  virtual bool Write(std::span<const std::uint8_t> bytes) = 0;
};

// The WAVE bytes of one sound: its values (a CSoundStream), the header's
// whole-number rate, the sample width and the amplitude mapping. The sizes
// are known from the plan before any byte is written, so the header goes
// out first, complete, and the samples follow a stretch at a time: nothing
// is seeked or patched, and a pipe can take the bytes as they come.
// Borrows the stream's samples (through the stream), which must outlive it.
class CWaveEncoder {
 public:
  // rate: the header's samples per second; bits: 8 or 16 (anything else is
  // written as 8); fit: the "Fit to channel" mapping, none for "As recorded".
  CWaveEncoder(const CSoundStream& sound, std::uint32_t rate, int bits,
               std::optional<CFitScale> fit);

  const CSoundStream& Sound() const { return m_sound; }
  // The sample data's size: Sound().Length() x bytes per sample.
  std::uint64_t DataBytes() const;
  // Whether the sound fits a WAVE file (DataBytes() <= kMaxWaveDataBytes).
  bool FitsWave() const { return DataBytes() <= kMaxWaveDataBytes; }
  // The 44 header bytes, with the RIFF chunk size 36 + DataBytes(): the file's
  // length - 8 once the samples follow. Only when FitsWave().
  std::array<std::uint8_t, 44> Header() const;

  enum class Result {
    Written,     // the header and every sample reached the sink
    NoMemory,    // the stretch buffers could not be had: nothing written
    SinkFailed,  // the sink refused a write: the bytes before it were written
  };

  // Writes the header, then the samples a stretch at a time: slot i of the
  // sound through PcmSample16 / PcmSample8 ("As recorded") or the fit,
  // where the top slots past Sound().TailStart() are 0 as values ("As
  // recorded") or silent (fit). soundBuffer is the caller's float block,
  // resized to each stretch (at most kSoundStretch values); afterwards it
  // holds the last stretch written. Only when FitsWave().
  Result Encode(std::vector<float>& soundBuffer, IByteSink& sink) const;

  // The PCM bytes of slots from .. from + values.size() - 1 (below
  // Sound().Length()) into out (room for values.size() samples), mapped as
  // Encode maps them; values is the float block they are produced in.
  // Returns the number of bytes. Encode is the header and then this, a
  // stretch at a time.
  std::size_t Stretch(int from, std::span<float> values, std::uint8_t* out) const;

 private:
  CSoundStream m_sound;
  std::uint32_t m_rate;
  int m_blockAlign;  // bytes per sample, 1 or 2
  std::optional<CFitScale> m_fit;
};

}  // namespace sound
