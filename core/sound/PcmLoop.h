#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// A PCM sound (one channel or two) read as a stream, once or over and over
// without a seam: what the player feeds its output from. Standard C++ only.
namespace sound {

// How long the crossfade at a loop's seam lasts, in seconds: long enough to
// hide a jump between the sound's end and its start (and the 5 ms fades a
// built sound may begin and end with), short enough to keep a short
// selection's rhythm.
inline constexpr double kLoopCrossfadeSeconds = 0.010;

// The samples a loop's crossfade spans for a sound of `frames` samples at
// `rate` Hz: kLoopCrossfadeSeconds of samples, rounded down, at most half
// the sound (so each pass keeps at least half of it unmixed); 0 for a sound
// of one sample.
std::int64_t LoopCrossfadeFrames(std::int64_t frames, int rate);

// The seam of a loop: out[i] = tail[i] x (1 - w(i)) + head[i] x w(i), with
// w rising as a raised cosine from near 0 to near 1 over the n = out.size()
// samples, w(i) = (1 - cos(pi x (i + 0.5) / n)) / 2. The weights add up to
// 1, so two copies of the same signal mix to it unchanged, and the slope of
// the weights is 0 at both ends, so neither side starts or stops with a
// kink. tail and head hold at least n values.
void CrossfadeSeam(std::span<const float> tail, std::span<const float> head, std::span<float> out);

// The bytes of a PCM sound (8-bit unsigned or 16-bit signed little-endian
// values, `channels` of them per frame, interleaved), read in order once,
// or looped: a "sample" below is one frame, and each channel is crossfaded
// on its own, so left never mixes into right. The first pass
// plays samples 0 .. N - F - 1, then every pass plays the seam (the last F
// samples crossfaded into the first F, CrossfadeSeam) followed by samples
// F .. N - F - 1, until the reader stops reading. So the stream runs on from
// sample N - F - 1 into the seam, which starts as the sound's tail and ends
// as its head, without a jump and without silence; each pass lasts
// N - F samples (F = LoopCrossfadeFrames). Borrows the samples, which must
// outlive it; owns the F mixed samples of the seam.
class CPcmLoop {
 public:
  // pcm holds whole frames of `channels` (1 or 2) values of `bits` (8 or
  // 16) at `rate` frames per second; trailing bytes short of a frame are
  // left out.
  CPcmLoop(std::span<const std::uint8_t> pcm, int bits, int rate, bool loop, int channels = 1);

  // Fills the start of out with the next whole frames; returns the bytes
  // written. Fewer than out.size() only at the end of a sound played once
  // (0 once it has all been read) or when out cannot hold a whole frame.
  std::size_t Read(std::span<std::uint8_t> out);

  bool Looping() const { return m_loop; }
  // Samples in the sound (N).
  std::int64_t Frames() const { return m_frames; }
  // Samples each pass of a loop lasts (N - F); N when played once.
  std::int64_t PassFrames() const { return m_pass; }
  // The sample of the sound heard at stream sample `streamFrame` (0 or
  // more): within a pass, its place in the sound; in the seam, the head's.
  std::int64_t SoundFrameAt(std::int64_t streamFrame) const;

 private:
  std::span<const std::uint8_t> m_pcm;
  std::size_t m_width;          // bytes per value, 1 or 2
  std::size_t m_bytesPerFrame;  // m_width x channels
  std::int64_t m_frames;
  std::int64_t m_pass;
  bool m_loop;
  std::vector<std::uint8_t> m_seam;  // F mixed frames, in the sound's format
  std::int64_t m_position = 0;       // stream samples read so far
};

}  // namespace sound
