// A load whose bytes come in pieces (CC3dStreamLoad, the browser's way of
// reading a chosen file) against LoadFromMemory of the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/c3d/C3dStreamLoad.h"
#include "tests/core/ReaderTestUtil.h"

using c3dtest::Proc;
using c3dtest::Recording;
using namespace readertest;

namespace {

// Loads `bytes` as the page does, `piece` bytes at a time: a head that
// doubles while the reading asks for more, then the rest in pieces.
bool LoadInPieces(CC3d& c3d, const std::vector<std::uint8_t>& bytes, std::size_t piece) {
  CC3dStreamLoad load(c3d, static_cast<std::int64_t>(bytes.size()));
  std::size_t head = std::min(piece, bytes.size());
  CC3dStreamLoad::Step step = CC3dStreamLoad::Step::NeedMore;
  while ((step = load.Begin(bytes.data(), head)) == CC3dStreamLoad::Step::NeedMore) {
    EXPECT_LT(head, bytes.size()) << "more than all the bytes asked for";
    if (head >= bytes.size()) return false;
    head = std::min(2 * head, bytes.size());
  }
  for (std::size_t at = head; step == CC3dStreamLoad::Step::Feeding && at < bytes.size();
       at += piece) {
    step = load.Feed(bytes.data() + at, std::min(piece, bytes.size() - at));
  }
  return load.End();
}

// The streamed load of `bytes` in pieces of `piece` bytes gives what the
// whole bytes give: the outcome, the records, every sample and point
// value (bit for bit), the extremes and the scaling.
void ExpectStreamedLikeWhole(const std::vector<std::uint8_t>& bytes, std::size_t piece,
                             const std::string& what) {
  SCOPED_TRACE(what + ", pieces of " + std::to_string(piece));
  CC3d whole;
  const bool wholeLoaded = LoadBytes(whole, bytes);
  CC3d streamed;
  ASSERT_EQ(LoadInPieces(streamed, bytes, piece), wholeLoaded);
  EXPECT_EQ(streamed.m_loadError, whole.m_loadError);
  EXPECT_FALSE(streamed.m_file.IsOpen());
  if (!wholeLoaded) return;
  ExpectSameRecords(streamed, whole);
  EXPECT_EQ(streamed.m_nFirstFrame, whole.m_nFirstFrame);
  EXPECT_EQ(streamed.m_nLastFrame, whole.m_nLastFrame);
  ASSERT_EQ(streamed.m_analogs.size(), whole.m_analogs.size());
  for (std::size_t m = 0; m < whole.m_analogs.size(); ++m) {
    const CAnalog& a = *streamed.m_analogs[m];
    const CAnalog& b = *whole.m_analogs[m];
    EXPECT_TRUE(a.m_pSamples == b.m_pSamples) << "channel " << m;
    EXPECT_EQ(std::memcmp(&a.m_fMin, &b.m_fMin, sizeof(float)), 0) << "channel " << m;
    EXPECT_EQ(std::memcmp(&a.m_fMax, &b.m_fMax, sizeof(float)), 0) << "channel " << m;
    EXPECT_EQ(a.m_fOffset, b.m_fOffset);
    EXPECT_EQ(a.m_fScale, b.m_fScale);
  }
  ASSERT_EQ(streamed.m_videos.size(), whole.m_videos.size());
  for (std::size_t p = 0; p < whole.m_videos.size(); ++p)
    EXPECT_TRUE(streamed.m_videos[p]->m_pData == whole.m_videos[p]->m_pData) << "point " << p;
}

// Recordings of each sample kind and byte order, with points and events.
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> StreamedRecordings() {
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
  files.emplace_back("demo", c3dtest::WriteC3d(c3dtest::DemoRecording()));
  for (const auto& [proc, floatData] :
       {std::pair{Proc::Intel, false}, std::pair{Proc::Dec, true}, std::pair{Proc::Mips, true},
        std::pair{Proc::Mips, false}}) {
    Recording rec;
    rec.proc = proc;
    rec.floatData = floatData;
    rec.samplesPerFrame = 3;
    rec.analog.assign(3, {});
    rec.points.assign(2, {});
    for (std::size_t i = 0; i < 3 * 40; ++i)
      for (std::size_t m = 0; m < 3; ++m)
        rec.analog[m].push_back(static_cast<double>((i * 37 + m * 11) % 200) - 100.0);
    for (std::size_t p = 0; p < 2; ++p)
      for (std::size_t i = 0; i < 4 * 40; ++i) rec.points[p].push_back(static_cast<double>(i + p));
    files.emplace_back("recording " + std::to_string(files.size()), c3dtest::WriteC3d(rec));
  }
  return files;
}

class StreamLoad : public ::testing::TestWithParam<std::size_t> {};

// Whole recordings, every cut of them (through the header, the parameters
// and the frames: the short-file rule), trailing bytes past the last frame,
// and a few real recordings.
TEST_P(StreamLoad, GivesWhatTheWholeBytesGive) {
  const std::size_t piece = GetParam();
  for (const auto& [name, bytes] : StreamedRecordings()) {
    ExpectStreamedLikeWhole(bytes, piece, name);
    for (std::size_t length = 0; length < bytes.size(); length += 1 + length / 8)
      ExpectStreamedLikeWhole({bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)},
                              piece, name + " cut at " + std::to_string(length));
    std::vector<std::uint8_t> longer = bytes;
    longer.insert(longer.end(), 3000, 0x55);
    ExpectStreamedLikeWhole(longer, piece, name + " with trailing bytes");
  }
  for (const char* relative : {"sample01/Eb015pi.c3d", "sample02/pc_real.c3d"}) {
    std::ifstream in(std::filesystem::path(TREMOLUX_SAMPLES_DIR) / relative, std::ios::binary);
    if (!in) continue;  // without the sample recordings, the written ones stand alone
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    ExpectStreamedLikeWhole(bytes, piece, relative);
  }
}

INSTANTIATE_TEST_SUITE_P(Pieces, StreamLoad, ::testing::Values(1, 7, 512, 4096, 1 << 20));

}  // namespace
