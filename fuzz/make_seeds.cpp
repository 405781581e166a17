// Writes the generated part of the fuzzing seed corpus into the folder given:
// the demo recording and, for each processor type, a handful of small files
// that between them reach every branch of the reader a valid file can reach
// (integer and float samples, several samples per frame, points only, a
// truncated data section, unusual parameter types and locked records, a
// length stated in the parameters).
// The build runs it, so no generated binary is kept in the repository.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/C3dWriter.h"

namespace {

using c3dtest::Proc;
using c3dtest::Recording;

// Two channels of a short wave around 2048 (the silence of the sound
// mapping) and one point, `frames` frames of S = 2.
Recording TwoChannels(Proc proc, bool floatData, int frames) {
  Recording rec;
  rec.proc = proc;
  rec.floatData = floatData;
  rec.scaleFactor = floatData ? -0.1f : 0.1f;
  rec.frameRate = 50.0f;
  rec.samplesPerFrame = 2;
  rec.analog.assign(2, std::vector<double>(static_cast<std::size_t>(frames) * 2));
  for (std::size_t i = 0; i < rec.analog[0].size(); ++i) {
    rec.analog[0][i] = 2048.0 + 900.0 * std::sin(0.7 * static_cast<double>(i));
    rec.analog[1][i] =
        floatData ? -0.25 * static_cast<double>(i) : static_cast<double>(i % 7) - 3.0;
  }
  rec.points.assign(1, {});
  for (int f = 0; f < frames; ++f)
    rec.points[0].insert(rec.points[0].end(), {1.0 * f, 2.0, -3.0, 0.0});
  c3dtest::AddStandardParameters(rec, {"EMG1", "FORCE Z"}, {0.5, 2.0}, {2048, 0}, 1.0);
  rec.events = {{"RHS", 0.02f, 1}, {"LTO", 0.1f, 0}};
  return rec;
}

// Three channels at one sample per frame, no labels (the "Chan n" names), a
// GEN_SCALE other than 1 and character SCALE values.
Recording UnlabelledChannels(Proc proc) {
  Recording rec;
  rec.proc = proc;
  rec.frameRate = 1000.0f / 3.0f;
  rec.samplesPerFrame = 1;
  rec.analog = {{0, 100, 200, 300, 400}, {2048, 2049, 2047, 2048, 2050}, {-5, 5, -5, 5, -5}};
  c3dtest::AddStandardParameters(rec, {}, {}, {}, 0.25);
  c3dtest::ParamRec scales;
  scales.groupId = 2;
  scales.name = "SCALE";
  scales.type = -1;
  scales.dims = {4, 3};
  scales.strings = {"1.5", "-2", "x"};
  rec.records.push_back(scales);
  return rec;
}

// Points only, no analog data, with locked records and parameters of the
// byte type and of type codes the reader skips.
Recording PointsOnly(Proc proc) {
  Recording rec;
  rec.proc = proc;
  rec.floatData = true;
  rec.scaleFactor = -1.0f;
  rec.samplesPerFrame = 0;
  rec.points = {{1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}, {0, 0, 0, -1, 0, 0, 0, -1, 0, 0, 0, -1}};
  c3dtest::AddStandardParameters(rec, {}, {}, {}, std::nullopt);
  rec.records.push_back(c3dtest::GroupRec{3, "SUBJECTS", true, "Locked group", {}});
  c3dtest::ParamRec bytes;
  bytes.groupId = 3;
  bytes.name = "FLAGS";
  bytes.locked = true;
  bytes.type = 1;
  bytes.dims = {2, 2};
  bytes.numbers = {0, 1, 254, 255};
  rec.records.push_back(bytes);
  c3dtest::ParamRec odd;
  odd.groupId = 3;
  odd.name = "ODD";
  odd.type = 3;
  odd.dims = {2};
  odd.raw = std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6};
  rec.records.push_back(odd);
  return rec;
}

// A header claiming 40 frames of which the file holds 7 and a half: the
// reader repeats the frame the data ends in.
Recording Truncated(Proc proc, bool floatData) {
  Recording rec = TwoChannels(proc, floatData, 8);
  rec.lastFrame = 40;
  rec.writtenFrames = 8;
  const std::size_t frameBytes = (2 * 2 + 4 * 1) * (floatData ? 4 : 2);  // 2 x S values, 1 point
  rec.truncateTo = c3dtest::WriteC3d(rec).size() - frameBytes / 2;
  return rec;
}

// A header saying frames 1 to 8 and parameters stating 40 (as recordings
// longer than the header's 16-bit frame numbers do), with all 40 frames in
// the data section: the reader takes the stated length.
Recording StatedLength(Proc proc, c3dtest::LongFrames convention) {
  Recording rec = TwoChannels(proc, false, 40);
  c3dtest::StateFrameCount(rec, convention, 40);
  rec.lastFrame = 8;
  rec.dataFrames = 40;
  return rec;
}

const char* Name(Proc proc) {
  switch (proc) {
    case Proc::Intel:
      return "intel";
    case Proc::Dec:
      return "dec";
    case Proc::Mips:
      return "mips";
  }
  return "unknown";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-fuzz-seeds FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  std::vector<std::pair<std::string, Recording>> seeds;
  seeds.emplace_back("demo.c3d", c3dtest::DemoRecording());
  for (const Proc proc : {Proc::Intel, Proc::Dec, Proc::Mips}) {
    const std::string p = Name(proc);
    seeds.emplace_back(p + "-int.c3d", TwoChannels(proc, false, 12));
    seeds.emplace_back(p + "-float.c3d", TwoChannels(proc, true, 12));
    seeds.emplace_back(p + "-unlabelled.c3d", UnlabelledChannels(proc));
    seeds.emplace_back(p + "-points.c3d", PointsOnly(proc));
    seeds.emplace_back(p + "-truncated.c3d", Truncated(proc, proc == Proc::Dec));
  }
  seeds.emplace_back("intel-stated-frames.c3d",
                     StatedLength(Proc::Intel, c3dtest::LongFrames::PointFrames));
  seeds.emplace_back("mips-stated-trial.c3d",
                     StatedLength(Proc::Mips, c3dtest::LongFrames::TrialFields));
  for (const auto& [name, rec] : seeds) {
    const std::string path = folder + "/" + name;
    if (!c3dtest::WriteFile(path, c3dtest::WriteC3d(rec))) {
      std::fprintf(stderr, "make-fuzz-seeds: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
