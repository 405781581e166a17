// The data section: sample storage, the frame walk and the channel extremes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "core/c3d/C3d.h"
#include "core/c3d/C3dNumbers.h"
#include "core/c3d/C3dReader.h"
#include "core/c3d/SampleExtremes.h"
#include "core/c3d/SampleStorage.h"

namespace {

// Frames are read in runs of about this many bytes: one seek and one read per
// run instead of per frame, and a run small enough to stay in cache while it
// is decoded.
constexpr std::size_t kRunBytes = 256 * 1024;

// Where the values of one frame record go.
struct FrameLayout {
  std::size_t points = 0;            // N
  std::size_t channels = 0;          // M
  std::size_t samples = 0;           // S, samples per channel per frame
  std::size_t frameBytes = 0;        // (4N + A) x element width
  std::vector<void*> channelBlocks;  // M blocks of F x S elements
  std::vector<void*> pointBlocks;    // N blocks of F x 4 elements
};

// Decodes `count` whole frame records starting at frame index `first`. A frame
// holds, for each point, X, Y, Z and a fourth word, then the analog values
// sample-major (sample s of channel m is analog element M x s + m); analog
// elements beyond M x S are surplus and skipped. The loops go block by block
// over the whole run, so each block is written in one sequential stream.
template <typename T, T (*Decode)(const unsigned char*)>
void DecodeFrames(const unsigned char* src, std::int64_t count, std::int64_t first,
                  const FrameLayout& layout) {
  constexpr std::size_t w = sizeof(T);
  const std::size_t N = layout.points;
  const std::size_t M = layout.channels;
  const std::size_t S = layout.samples;
  const auto frames = static_cast<std::size_t>(count);
  const std::size_t frameBytes = layout.frameBytes;
  for (std::size_t p = 0; p < N; ++p) {
    T* dst = static_cast<T*>(layout.pointBlocks[p]) + 4 * static_cast<std::size_t>(first);
    const unsigned char* e = src + 4 * p * w;
    for (std::size_t k = 0; k < frames; ++k, e += frameBytes, dst += 4) {
      for (std::size_t j = 0; j < 4; ++j) dst[j] = Decode(e + j * w);
    }
  }
  const std::size_t sampleStride = M * w;
  for (std::size_t m = 0; m < M; ++m) {
    T* dst = static_cast<T*>(layout.channelBlocks[m]) + S * static_cast<std::size_t>(first);
    const unsigned char* row = src + 4 * N * w + m * w;
    for (std::size_t k = 0; k < frames; ++k, row += frameBytes) {
      for (std::size_t s = 0; s < S; ++s) *dst++ = Decode(row + s * sampleStride);
    }
  }
}

using DecodeFn = void (*)(const unsigned char*, std::int64_t, std::int64_t, const FrameLayout&);

// The frame decoder for the file's sample kind and processor, each element
// decoded inline by the processor's number decoder.
template <Processor P>
DecodeFn DecoderFor(bool integer) {
  return integer ? DecodeFrames<std::int16_t, c3d::DecodeInt16<P>>
                 : DecodeFrames<float, c3d::DecodeFloat<P>>;
}

DecodeFn PickDecoder(bool integer, Processor processor) {
  switch (processor) {
    case Processor::Dec:
      return DecoderFor<Processor::Dec>(integer);
    case Processor::Mips:
      return DecoderFor<Processor::Mips>(integer);
    case Processor::Intel:
      break;
  }
  return DecoderFor<Processor::Intel>(integer);
}

// Copies the decoded values of frame `from` into frames [begin, end).
void RepeatFrame(const FrameLayout& layout, std::size_t width, std::int64_t from,
                 std::int64_t begin, std::int64_t end) {
  const std::size_t sampleBytes = layout.samples * width;
  for (void* block : layout.channelBlocks) {
    auto* bytes = static_cast<unsigned char*>(block);
    const unsigned char* source = bytes + static_cast<std::size_t>(from) * sampleBytes;
    for (std::int64_t f = begin; f < end; ++f) {
      std::memcpy(bytes + static_cast<std::size_t>(f) * sampleBytes, source, sampleBytes);
    }
  }
  for (void* block : layout.pointBlocks) {
    auto* bytes = static_cast<unsigned char*>(block);
    const unsigned char* source = bytes + static_cast<std::size_t>(from) * 4 * width;
    for (std::int64_t f = begin; f < end; ++f) {
      std::memcpy(bytes + static_cast<std::size_t>(f) * 4 * width, source, 4 * width);
    }
  }
}

}  // namespace

bool CC3dReader::StorageCanBeHeld(std::int64_t frames) const {
  if (frames <= 0) return false;
  const auto F = static_cast<std::uint64_t>(frames);
  const std::uint64_t channels = m_c3d.m_nAnalogChannels;
  // Each channel's sample count must also fit GetAnalogSampleCount's int.
  // F < 2^33 and S < 2^16: the product cannot overflow.
  if (channels > 0 && F * m_c3d.m_nAnalogSamplesPerFrame > static_cast<std::uint64_t>(INT32_MAX)) {
    return false;
  }
  // M x S <= A, so a frame holds at most 5 x 65535 elements of at most 4
  // bytes: with F < 2^33 the storage stays below 2^54 bytes.
  const std::uint64_t elements =
      channels * m_c3d.m_nAnalogSamplesPerFrame + 4u * std::uint64_t{m_c3d.m_nPoints};
  const std::uint64_t storage = F * elements * m_c3d.SampleWidth();
  const std::int64_t present = std::max<std::int64_t>(m_file.Size() - DataStart(), 0);
  return c3d::SampleStorageCanBeHeld(storage, static_cast<std::uint64_t>(present),
                                     c3d::PhysicalMemoryBytes());
}

bool CC3dReader::AllocateSamples() {
  const std::uint64_t channels = m_c3d.m_nAnalogChannels;
  const std::uint64_t points = m_c3d.m_nPoints;
  if (channels > 0 || points > 0) {
    // A block of F x S (or F x 4) elements with F <= 0 has no size.
    const std::int64_t frames = m_c3d.FrameCount();
    if (!StorageCanBeHeld(frames)) return Fail(C3dLoadError::NotEnoughMemory);
    const std::size_t channelBytes =
        static_cast<std::size_t>(m_c3d.SamplesPerChannel()) * m_c3d.SampleWidth();
    const std::size_t pointBytes = static_cast<std::size_t>(frames) * 4 * m_c3d.SampleWidth();
    try {
      m_c3d.m_analogs.reserve(channels);
      for (std::uint64_t m = 0; m < channels; ++m)
        m_c3d.m_analogs.push_back(std::make_unique<CAnalog>());
      m_c3d.m_videos.reserve(points);
      for (std::uint64_t p = 0; p < points; ++p)
        m_c3d.m_videos.push_back(std::make_unique<CVideo>());
    } catch (const std::bad_alloc&) {
      m_c3d.FreeSamples();  // nothing created before the failure is kept
      return Fail(C3dLoadError::NotEnoughMemory);
    }
    // All blocks in one allocation (of at least one element: F >= 1, and a
    // channel means S >= 1), channels first, back to back: every block's size
    // is a whole number of elements, so each stays aligned for its element
    // type. The frame walk writes every byte of it.
    const std::shared_ptr<std::byte[]> storage =
        c3d::AllocateSampleStorage(channels * channelBytes + points * pointBytes);
    if (!storage) {
      m_c3d.FreeSamples();
      return Fail(C3dLoadError::NotEnoughMemory);
    }
    std::size_t at = 0;
    for (auto& analog : m_c3d.m_analogs) {
      analog->m_pSamples = CSampleBlock(storage, at, channelBytes);
      at += channelBytes;
    }
    for (auto& video : m_c3d.m_videos) {
      video->m_pData = CSampleBlock(storage, at, pointBytes);
      at += pointBytes;
    }
  }
  m_c3d.m_bDataAllocated = true;
  return true;
}

bool CC3dReader::ReadSampleData() {
  if (!AllocateSamples()) return false;
  const std::int64_t frames = m_c3d.FrameCount();
  const std::size_t width = m_c3d.SampleWidth();
  FrameLayout layout;
  layout.points = m_c3d.m_nPoints;
  layout.channels = m_c3d.m_nAnalogChannels;
  layout.samples = m_c3d.m_nAnalogSamplesPerFrame;
  layout.frameBytes = static_cast<std::size_t>(FrameBytes());
  for (auto& analog : m_c3d.m_analogs) layout.channelBlocks.push_back(analog->m_pSamples.data());
  for (auto& video : m_c3d.m_videos) layout.pointBlocks.push_back(video->m_pData.data());
  const DecodeFn decode = PickDecoder(m_c3d.m_bIntegerData, m_c3d.m_nProcessorType);
  const std::int64_t dataStart = DataStart();

  if (frames > 0 && layout.frameBytes == 0) {
    // Empty frame records: nothing to read, but the section must be reachable.
    if (!SeekTo(dataStart)) return false;
  } else if (frames > 0) {
    const auto frameBytes = static_cast<std::int64_t>(layout.frameBytes);
    const std::int64_t perRun =
        std::min<std::int64_t>(frames, std::max<std::size_t>(1, kRunBytes / layout.frameBytes));
    std::vector<unsigned char> run(static_cast<std::size_t>(perRun * frameBytes));
    // The frame record before the one being read: what a frame keeps where
    // the file has no bytes for it (zeros before the first frame).
    std::vector<unsigned char> previous(layout.frameBytes, 0);
    std::int64_t f = 0;
    while (f < frames) {
      const std::int64_t count = std::min(perRun, frames - f);
      const auto wanted = static_cast<std::size_t>(count * frameBytes);
      if (!SeekTo(dataStart + f * frameBytes)) return false;
      const std::size_t got = m_file.Read(run.data(), wanted);
      if (m_file.Failed()) return FailedRead();
      const auto whole = static_cast<std::int64_t>(got / layout.frameBytes);
      const std::size_t partial = got % layout.frameBytes;
      decode(run.data(), whole, f, layout);
      if (whole > 0) {
        std::memcpy(previous.data(), run.data() + (whole - 1) * frameBytes, layout.frameBytes);
      }
      f += whole;
      if (got == wanted) continue;
      // The data ends inside frame f (or just before it): that frame takes
      // the bytes that exist over the previous frame's, and every later frame
      // repeats it, as reading frame by frame past the end would. With no
      // bytes at all for frame 0, it is all zeros, and so is every frame.
      if (partial > 0 || f == 0) {
        std::memcpy(previous.data(), run.data() + whole * frameBytes, partial);
        decode(previous.data(), 1, f, layout);
        ++f;
      }
      RepeatFrame(layout, width, f - 1, f, frames);
      break;
    }
  }
  ComputeAnalogExtremes();
  return true;
}

void CC3dReader::ComputeAnalogExtremes() {
  const auto count = static_cast<std::size_t>(std::max<std::int64_t>(m_c3d.SamplesPerChannel(), 0));
  for (auto& analog : m_c3d.m_analogs) {
    if (count == 0 || analog->m_pSamples.empty()) continue;
    // Over all samples from element 0, as a walk with strict comparisons.
    if (m_c3d.m_bIntegerData) {
      const std::int16_t* samples = analog->IntSamples();
      c3d::WalkExtremes(c3d::ScanExtremes(samples, count), samples[0], analog->m_fMin,
                        analog->m_fMax);
    } else {
      const float* samples = analog->FloatSamples();
      c3d::WalkExtremes(c3d::ScanExtremes(samples, count), samples[0], analog->m_fMin,
                        analog->m_fMax);
    }
  }
}
