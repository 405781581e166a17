#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/c3d/C3dReader.h"
#include "core/c3d/SampleExtremes.h"

// The data section's walk, private to core/c3d: where a frame's values go,
// the channels' extremes scans, and the walk that decodes frame records in
// order as their bytes come (C3dSamples.cpp).
namespace c3d {

// Where the values of one frame record go.
struct FrameLayout {
  std::size_t points = 0;            // N
  std::size_t channels = 0;          // M
  std::size_t samples = 0;           // S, samples per channel per frame
  std::size_t frameBytes = 0;        // (4N + A) x element width
  std::vector<void*> channelBlocks;  // M blocks of F x S elements
  std::vector<void*> pointBlocks;    // N blocks of F x 4 elements
};

// The extremes scans of every channel over the frames decoded so far (or
// over one part's frames), fed in frame order.
class ChannelScans {
 public:
  ChannelScans(std::size_t channels, bool integer) : m_integer(integer) {
    if (integer)
      m_ints.resize(channels);
    else
      m_floats.resize(channels);
  }

  // Adds frames [begin, end) of every channel, just decoded.
  void AddFrames(const FrameLayout& layout, std::int64_t begin, std::int64_t end) {
    const std::size_t at = layout.samples * static_cast<std::size_t>(begin);
    const std::size_t count = layout.samples * static_cast<std::size_t>(end - begin);
    for (std::size_t m = 0; m < layout.channels; ++m) {
      if (m_integer)
        m_ints[m].Add(static_cast<const std::int16_t*>(layout.channelBlocks[m]) + at, count);
      else
        m_floats[m].Add(static_cast<const float*>(layout.channelBlocks[m]) + at, count);
    }
  }

  // Takes on the scans of the frames that follow (whose first frame was a
  // multiple of kPartFrames).
  void Join(const ChannelScans& later) {
    for (std::size_t m = 0; m < m_ints.size(); ++m) m_ints[m].Join(later.m_ints[m]);
    for (std::size_t m = 0; m < m_floats.size(); ++m) m_floats[m].Join(later.m_floats[m]);
  }

  std::vector<c3d::SampleExtremes> Results() const {
    std::vector<c3d::SampleExtremes> results;
    for (const auto& scan : m_ints) results.push_back(scan.Result());
    for (const auto& scan : m_floats) results.push_back(scan.Result());
    return results;
  }

 private:
  bool m_integer;
  std::vector<c3d::ExtremesScan<std::int16_t>> m_ints;
  std::vector<c3d::ExtremesScan<float>> m_floats;
};

// Decodes the frame records of a data section from its first byte on, in
// order, from pieces of any size (a frame split between two pieces is
// decoded once its last byte comes), scanning each frame as it is decoded.
// When the bytes end before the last frame, End fills the frames left as a
// file read frame by frame past its end gives them. Refers to the layout
// and the scans, which must outlive it.
class FrameWalk {
 public:
  FrameWalk(const FrameLayout& layout, DecodeFn decode, ChannelScans& scans, std::int64_t frames,
            std::size_t width);

  // Takes the next `size` bytes of the data section; bytes past the last
  // frame record are ignored.
  void Take(const unsigned char* bytes, std::size_t size);
  // Frames decoded so far; all of them (Full) once it reaches the count.
  std::int64_t Frame() const { return m_frame; }
  bool Full() const { return m_frame >= m_frames; }
  // The data ends here: the frame it ends in takes the bytes that came over
  // the previous frame's (zeros before the first), and every later frame
  // repeats it.
  void End();

 private:
  // Decodes `count` whole frames at `bytes` as the next ones.
  void Decode(const unsigned char* bytes, std::int64_t count);

  const FrameLayout& m_layout;
  DecodeFn m_decode;
  ChannelScans& m_scans;
  std::int64_t m_frames;
  std::size_t m_width;  // bytes of one element
  std::int64_t m_frame = 0;
  // The bytes of the frame record being gathered (m_partial of them so
  // far), and the last frame record decoded (zeros before the first).
  std::vector<unsigned char> m_gathered;
  std::size_t m_partial = 0;
  std::vector<unsigned char> m_previous;
};

}  // namespace c3d
