// The data section: sample storage, the frame walk and the channel extremes.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/c3d/C3dFrameWalk.h"
#include "core/c3d/C3dNumbers.h"
#include "core/c3d/C3dReader.h"
#include "core/c3d/SampleExtremes.h"
#include "core/c3d/SampleStorage.h"

namespace {

// Frames are read in runs of about this many bytes: one seek and one read per
// run instead of per frame, and a run small enough to stay in cache while it
// is decoded.
constexpr std::size_t kRunBytes = 256 * 1024;

// A data section of at least this many bytes, all present in the source, is
// read and decoded in parts by several threads at once (one per core, at
// most kMostParts): below it a thread costs more than it saves.
constexpr std::int64_t kPartsFromBytes = std::int64_t{8} << 20;
constexpr unsigned kMostParts = 4;
// Parts begin at multiples of this many frames, so that every part's first
// sample lies on a group boundary of the extremes scan whatever S is.
constexpr std::int64_t kPartFrames = c3d::ExtremesScan<float>::kLanes;

}  // namespace

namespace {

using c3d::ChannelScans;
using c3d::DecodeFn;
using c3d::FrameLayout;
using c3d::FrameWalk;

// Decodes `count` whole frame records starting at frame index `first`. A frame
// holds, for each point, X, Y, Z and a fourth word, then the analog values
// sample-major (sample s of channel m is analog element M x s + m); analog
// elements beyond M x S are surplus and skipped.
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
  // Channels in groups of kGroup: a group's values of one sample lie side
  // by side in the frame (one cache line of floats), so each pass over the
  // run reads every line once and writes kGroup blocks in sequential streams.
  constexpr std::size_t kGroup = 16;
  const std::size_t sampleStride = M * w;
  for (std::size_t m0 = 0; m0 < M; m0 += kGroup) {
    const std::size_t g = std::min(kGroup, M - m0);
    T* dst[kGroup];
    for (std::size_t j = 0; j < g; ++j)
      dst[j] = static_cast<T*>(layout.channelBlocks[m0 + j]) + S * static_cast<std::size_t>(first);
    std::size_t at = 0;  // sample index within the run, in every block of the group
    const unsigned char* row = src + 4 * N * w + m0 * w;
    for (std::size_t k = 0; k < frames; ++k, row += frameBytes) {
      for (std::size_t s = 0; s < S; ++s, ++at) {
        const unsigned char* e = row + s * sampleStride;
        if (g == kGroup) {
          for (std::size_t j = 0; j < kGroup; ++j) dst[j][at] = Decode(e + j * w);
        } else {
          for (std::size_t j = 0; j < g; ++j) dst[j][at] = Decode(e + j * w);
        }
      }
    }
  }
}

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

namespace c3d {

FrameWalk::FrameWalk(const FrameLayout& layout, DecodeFn decode, ChannelScans& scans,
                     std::int64_t frames, std::size_t width)
    : m_layout(layout),
      m_decode(decode),
      m_scans(scans),
      m_frames(frames),
      m_width(width),
      m_gathered(layout.frameBytes),
      m_previous(layout.frameBytes, 0) {}

void FrameWalk::Decode(const unsigned char* bytes, std::int64_t count) {
  m_decode(bytes, count, m_frame, m_layout);
  m_scans.AddFrames(m_layout, m_frame, m_frame + count);
  m_frame += count;
}

void FrameWalk::Take(const unsigned char* bytes, std::size_t size) {
  const std::size_t frameBytes = m_layout.frameBytes;
  while (size > 0 && !Full()) {
    if (m_partial > 0 || size < frameBytes) {
      // A frame record split between pieces: gathered, then decoded whole.
      const std::size_t n = std::min(frameBytes - m_partial, size);
      std::memcpy(m_gathered.data() + m_partial, bytes, n);
      m_partial += n;
      bytes += n;
      size -= n;
      if (m_partial == frameBytes) {
        Decode(m_gathered.data(), 1);
        m_previous.swap(m_gathered);
        m_partial = 0;
      }
      continue;
    }
    // At most a run of frames at once: each group of channels passes over
    // the bytes decoded, which stay in cache for the next group.
    const std::int64_t whole =
        std::min({static_cast<std::int64_t>(size / frameBytes), m_frames - m_frame,
                  static_cast<std::int64_t>(std::max<std::size_t>(1, kRunBytes / frameBytes))});
    Decode(bytes, whole);
    const std::size_t used = static_cast<std::size_t>(whole) * frameBytes;
    std::memcpy(m_previous.data(), bytes + used - frameBytes, frameBytes);
    bytes += used;
    size -= used;
  }
}

void FrameWalk::End() {
  if (Full()) return;
  if (m_partial > 0 || m_frame == 0) {
    std::memcpy(m_previous.data(), m_gathered.data(), m_partial);
    Decode(m_previous.data(), 1);
  }
  RepeatFrame(m_layout, m_width, m_frame - 1, m_frame, m_frames);
  m_scans.AddFrames(m_layout, m_frame, m_frames);
  m_frame = m_frames;
  m_partial = 0;
}

}  // namespace c3d

namespace {

// One part of a data section read by one thread: frames [begin, end), all
// present in the source, and how reading them went.
struct FramePart {
  FramePart(std::int64_t b, std::int64_t e, std::size_t channels, bool integer)
      : begin(b), end(e), scans(channels, integer) {}
  std::int64_t begin;
  std::int64_t end;
  ChannelScans scans;
  C3dLoadError error = C3dLoadError::None;
};

// Reads and decodes the frames of `part` in runs through positional reads
// (no seek: other parts are read at the same time), scanning each run's
// samples as it is decoded. Never throws: a failure is left in part.error
// (ReadError, Shrank when the source held fewer bytes than it had at
// opening, NotEnoughMemory).
void ReadPart(const CByteSource& file, std::int64_t dataStart, DecodeFn decode,
              const FrameLayout& layout, FramePart& part) {
  try {
    const auto frameBytes = static_cast<std::int64_t>(layout.frameBytes);
    const auto perRun =
        static_cast<std::int64_t>(std::max<std::size_t>(1, kRunBytes / layout.frameBytes));
    std::vector<unsigned char> run(static_cast<std::size_t>(perRun * frameBytes));
    for (std::int64_t f = part.begin; f < part.end;) {
      const std::int64_t count = std::min(perRun, part.end - f);
      const auto wanted = static_cast<std::size_t>(count * frameBytes);
      bool error = false;
      const std::size_t got = file.ReadAt(run.data(), wanted, dataStart + f * frameBytes, error);
      if (error || got < wanted) {
        part.error = error ? C3dLoadError::ReadError : C3dLoadError::Shrank;
        return;
      }
      decode(run.data(), count, f, layout);
      part.scans.AddFrames(layout, f, f + count);
      f += count;
    }
  } catch (const std::exception&) {
    part.error = C3dLoadError::NotEnoughMemory;  // only the run buffer is allocated
  }
}

// Threads to read a data section of `frames` frames of `bytes` bytes in
// all with; 1 reads it on the calling thread alone.
unsigned PartCount(std::int64_t frames, std::int64_t bytes) {
#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
  (void)frames;
  (void)bytes;
  return 1;  // a build without threads
#else
  if (bytes < kPartsFromBytes) return 1;
  const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMostParts);
  // Every part at least two part-steps of frames long.
  const auto fit = static_cast<unsigned>(
      std::min<std::int64_t>(frames / (2 * kPartFrames), static_cast<std::int64_t>(kMostParts)));
  return std::max(1u, std::min(cores, fit));
#endif
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

CC3dReader::CC3dReader(CC3d& c3d) : m_c3d(c3d), m_file(c3d.m_file) {}
CC3dReader::~CC3dReader() = default;

bool CC3dReader::StartSampleData() {
  if (!AllocateSamples()) return false;
  const std::int64_t frames = m_c3d.FrameCount();
  m_layout = std::make_unique<FrameLayout>();
  FrameLayout& layout = *m_layout;
  layout.points = m_c3d.m_nPoints;
  layout.channels = m_c3d.m_nAnalogChannels;
  layout.samples = m_c3d.m_nAnalogSamplesPerFrame;
  layout.frameBytes = static_cast<std::size_t>(FrameBytes());
  for (auto& analog : m_c3d.m_analogs) layout.channelBlocks.push_back(analog->m_pSamples.data());
  for (auto& video : m_c3d.m_videos) layout.pointBlocks.push_back(video->m_pData.data());
  m_decode = PickDecoder(m_c3d.m_bIntegerData, m_c3d.m_nProcessorType);
  m_scans = std::make_unique<ChannelScans>(layout.channels, m_c3d.m_bIntegerData);
  if (frames > 0 && layout.frameBytes == 0) {
    // Empty frame records: nothing to read, but the section must be reachable.
    if (!SeekTo(DataStart())) return false;
  } else if (frames > 0) {
    m_walk = std::make_unique<FrameWalk>(layout, m_decode, *m_scans, frames, m_c3d.SampleWidth());
  }
  return true;
}

bool CC3dReader::ReadSampleData() {
  if (m_walk) {
    const auto frameBytes = static_cast<std::int64_t>(m_layout->frameBytes);
    const std::int64_t frames = m_c3d.FrameCount();
    // frames x frameBytes fits: the storage, at least that large, passed the bounds.
    const std::int64_t sectionBytes = frames * frameBytes;
    const unsigned parts = m_file.CanReadAt() && m_file.Size() - DataStart() >= sectionBytes
                               ? PartCount(frames, sectionBytes)
                               : 1;
    if (parts > 1) {
      if (!ReadInParts(parts, m_decode, *m_layout, *m_scans)) return false;
      m_walk.reset();  // the parts read every frame
    } else if (!ReadFrames()) {
      return false;
    }
  }
  EndSampleData();
  return true;
}

void CC3dReader::FeedSampleData(const unsigned char* bytes, std::size_t size,
                                std::int64_t position) {
  if (!m_walk) return;
  const std::int64_t dataStart = DataStart();
  if (position < dataStart) {
    const std::int64_t skip = dataStart - position;
    if (static_cast<std::uint64_t>(skip) >= size) return;
    bytes += skip;
    size -= static_cast<std::size_t>(skip);
  }
  m_walk->Take(bytes, size);
}

bool CC3dReader::WantsSampleData() const { return m_walk && !m_walk->Full(); }

void CC3dReader::EndSampleData() {
  if (m_walk) m_walk->End();
  ComputeAnalogExtremes(m_scans->Results());
}

bool CC3dReader::ReadInParts(unsigned parts, DecodeFn decode, const FrameLayout& layout,
                             ChannelScans& scans) {
  const std::int64_t frames = m_c3d.FrameCount();
  std::vector<FramePart> work;
  for (unsigned k = 0; k < parts; ++k) {
    const std::int64_t begin = frames * k / parts / kPartFrames * kPartFrames;
    const std::int64_t end =
        k + 1 == parts ? frames : frames * (k + 1) / parts / kPartFrames * kPartFrames;
    work.emplace_back(begin, end, layout.channels, m_c3d.m_bIntegerData);
  }
  // The first part on this thread, the others on threads of their own (or here too
  // when the system gives no thread).
  std::vector<std::thread> threads;
  std::vector<FramePart*> left;
  for (unsigned k = 1; k < parts; ++k) {
    try {
      threads.emplace_back(ReadPart, std::cref(m_file), DataStart(), decode, std::cref(layout),
                           std::ref(work[k]));
    } catch (const std::system_error&) {
      left.push_back(&work[k]);
    }
  }
  ReadPart(m_file, DataStart(), decode, layout, work[0]);
  for (std::thread& thread : threads) thread.join();
  for (FramePart* part : left) ReadPart(m_file, DataStart(), decode, layout, *part);
  // The first part that failed tells why, as a walk from the front would.
  for (const FramePart& part : work)
    if (part.error != C3dLoadError::None) return Fail(part.error);
  scans = std::move(work[0].scans);
  for (unsigned k = 1; k < parts; ++k) scans.Join(work[k].scans);
  return true;
}

bool CC3dReader::ReadFrames() {
  const std::int64_t frames = m_c3d.FrameCount();
  const auto frameBytes = static_cast<std::int64_t>(m_layout->frameBytes);
  const std::int64_t perRun =
      std::min<std::int64_t>(frames, std::max<std::size_t>(1, kRunBytes / m_layout->frameBytes));
  std::vector<unsigned char> run(static_cast<std::size_t>(perRun * frameBytes));
  if (!SeekTo(DataStart())) return false;
  while (!m_walk->Full()) {
    const std::int64_t count = std::min(perRun, frames - m_walk->Frame());
    const auto wanted = static_cast<std::size_t>(count * frameBytes);
    const std::size_t got = m_file.Read(run.data(), wanted);
    if (m_file.Failed()) return FailedRead();
    m_walk->Take(run.data(), got);
    if (got < wanted) break;
  }
  return true;
}

void CC3dReader::ComputeAnalogExtremes(const std::vector<c3d::SampleExtremes>& extremes) {
  const auto count = static_cast<std::size_t>(std::max<std::int64_t>(m_c3d.SamplesPerChannel(), 0));
  for (std::size_t m = 0; m < m_c3d.m_analogs.size() && m < extremes.size(); ++m) {
    CAnalog& analog = *m_c3d.m_analogs[m];
    if (count == 0 || analog.m_pSamples.empty()) continue;
    // Over all samples from element 0, as a walk with strict comparisons.
    const float first = m_c3d.m_bIntegerData ? static_cast<float>(analog.IntSamples()[0])
                                             : analog.FloatSamples()[0];
    c3d::WalkExtremes(extremes[m], first, analog.m_fMin, analog.m_fMax);
  }
}
