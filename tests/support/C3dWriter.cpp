#include "tests/support/C3dWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace c3dtest {
namespace {

std::uint32_t FloatBits(float v) {
  std::uint32_t u;
  std::memcpy(&u, &v, sizeof u);
  return u;
}

// Clamps and rounds a number to the int16 range (values outside are tests'
// mistakes, not something to wrap silently).
std::int16_t ToInt16(double v) {
  if (std::isnan(v)) return 0;
  v = std::clamp(std::round(v), -32768.0, 32767.0);
  return static_cast<std::int16_t>(v);
}

void Put(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

void PutAt(std::vector<std::uint8_t>& out, std::size_t at, const std::vector<std::uint8_t>& bytes) {
  if (out.size() < at + bytes.size()) out.resize(at + bytes.size(), 0);
  std::copy(bytes.begin(), bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

std::vector<std::uint8_t> Uint16(std::uint16_t v, Proc proc) {
  return EncodeInt16(static_cast<std::int16_t>(v), proc);
}

std::vector<std::uint8_t> GroupBytes(const GroupRec& g, bool last, bool lastZero) {
  std::vector<std::uint8_t> r;
  const auto n = static_cast<std::int8_t>(g.name.size());
  r.push_back(static_cast<std::uint8_t>(g.locked ? -n : n));
  r.push_back(static_cast<std::uint8_t>(static_cast<std::int8_t>(-g.id)));
  r.insert(r.end(), g.name.begin(), g.name.end());
  // Offset counts from the first byte of the offset field to the next record.
  std::int16_t offset = static_cast<std::int16_t>(2 + 1 + g.description.size());
  if (last && lastZero) offset = 0;
  if (g.offset) offset = *g.offset;
  r.push_back(0);
  r.push_back(0);  // patched by the caller for the processor's byte order
  r.push_back(static_cast<std::uint8_t>(g.description.size()));
  r.insert(r.end(), g.description.begin(), g.description.end());
  r[2 + g.name.size()] = static_cast<std::uint8_t>(offset & 0xFF);
  r[3 + g.name.size()] = static_cast<std::uint8_t>((offset >> 8) & 0xFF);
  return r;
}

std::vector<std::uint8_t> ParamData(const ParamRec& p, Proc proc) {
  if (p.raw) return *p.raw;
  std::size_t product = 1;
  for (auto d : p.dims) product *= d;
  std::vector<std::uint8_t> data;
  if (p.type == -1) {
    const std::size_t rowLength = p.dims.empty() ? 1 : p.dims[0];
    const std::size_t rows = rowLength == 0 ? 0 : product / rowLength;
    for (std::size_t r = 0; r < rows; ++r) {
      std::string row = r < p.strings.size() ? p.strings[r] : std::string();
      row.resize(rowLength, p.pad);
      data.insert(data.end(), row.begin(), row.end());
    }
    return data;
  }
  for (std::size_t i = 0; i < product; ++i) {
    const double v = i < p.numbers.size() ? p.numbers[i] : 0.0;
    switch (p.type) {
      case 1:
        data.push_back(static_cast<std::uint8_t>(static_cast<int>(v) & 0xFF));
        break;
      case 2:
        Put(data, EncodeInt16(ToInt16(v), proc));
        break;
      case 4:
        Put(data, EncodeFloat(static_cast<float>(v), proc));
        break;
      default: {
        const std::size_t width = static_cast<std::size_t>(std::abs(p.type));
        data.insert(data.end(), width, 0);
      }
    }
  }
  return data;
}

std::vector<std::uint8_t> ParamBytes(const ParamRec& p, Proc proc, bool last, bool lastZero) {
  std::vector<std::uint8_t> r;
  const auto n = static_cast<std::int8_t>(p.name.size());
  r.push_back(static_cast<std::uint8_t>(p.locked ? -n : n));
  r.push_back(static_cast<std::uint8_t>(p.groupId));
  r.insert(r.end(), p.name.begin(), p.name.end());
  const std::size_t offsetAt = r.size();
  r.push_back(0);
  r.push_back(0);
  r.push_back(static_cast<std::uint8_t>(p.type));
  r.push_back(static_cast<std::uint8_t>(p.dims.size()));
  r.insert(r.end(), p.dims.begin(), p.dims.end());
  Put(r, ParamData(p, proc));
  r.push_back(p.descriptionLength ? *p.descriptionLength
                                  : static_cast<std::uint8_t>(p.description.size()));
  r.insert(r.end(), p.description.begin(), p.description.end());
  std::int16_t offset = static_cast<std::int16_t>(r.size() - offsetAt);
  if (last && lastZero) offset = 0;
  if (p.offset) offset = *p.offset;
  const auto enc = EncodeInt16(offset, proc);
  r[offsetAt] = enc[0];
  r[offsetAt + 1] = enc[1];
  return r;
}

}  // namespace

std::vector<std::uint8_t> EncodeFloat(float value, Proc proc) {
  const std::uint32_t u = FloatBits(value);
  std::uint8_t q[4] = {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
                       static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
  switch (proc) {
    case Proc::Intel:
      return {q[0], q[1], q[2], q[3]};
    case Proc::Mips:
      return {q[3], q[2], q[1], q[0]};
    case Proc::Dec: {
      // DEC F-floating: exponent bias 128 with the hidden bit below the point,
      // i.e. IEEE's exponent plus 2 (one step in the top byte), and the two
      // 16-bit words in the other order.
      if (u != 0) q[3] = static_cast<std::uint8_t>(q[3] + 1);
      return {q[2], q[3], q[0], q[1]};
    }
  }
  return {};
}

std::vector<std::uint8_t> EncodeInt16(std::int16_t value, Proc proc) {
  const auto u = static_cast<std::uint16_t>(value);
  const std::uint8_t lo = static_cast<std::uint8_t>(u & 0xFF);
  const std::uint8_t hi = static_cast<std::uint8_t>(u >> 8);
  if (proc == Proc::Mips) return {hi, lo};
  return {lo, hi};
}

std::vector<std::uint8_t> WriteC3d(const Recording& rec) {
  const Proc proc = rec.proc;
  const std::size_t channels = rec.analog.size();
  const std::size_t S = rec.samplesPerFrame;
  const std::size_t points = rec.pointCount ? *rec.pointCount : rec.points.size();
  const std::size_t A = rec.analogPerFrame ? *rec.analogPerFrame : channels * S;

  std::size_t frames = 0;
  if (rec.dataFrames) {
    frames = *rec.dataFrames;
  } else if (rec.lastFrame != 0) {
    frames = rec.lastFrame >= rec.firstFrame ? rec.lastFrame - rec.firstFrame + 1u : 0u;
  } else {
    if (channels > 0 && S > 0) frames = (rec.analog[0].size() + S - 1) / S;
    if (!rec.points.empty()) frames = std::max(frames, rec.points[0].size() / 4);
  }
  const std::uint16_t lastFrame =
      rec.lastFrame != 0 ? rec.lastFrame : static_cast<std::uint16_t>(rec.firstFrame + frames - 1);

  // Parameter section.
  std::vector<std::uint8_t> params = {0x01, 0x50, 0, 0};
  for (std::size_t i = 0; i < rec.records.size(); ++i) {
    const bool last = i + 1 == rec.records.size();
    const Record& r = rec.records[i];
    if (const auto* g = std::get_if<GroupRec>(&r)) {
      auto bytes = GroupBytes(*g, last, rec.lastRecordOffsetZero);
      // Re-encode the offset for the processor's byte order.
      const std::size_t at = 2 + g->name.size();
      const std::int16_t off =
          static_cast<std::int16_t>(bytes[at] | static_cast<std::uint16_t>(bytes[at + 1] << 8));
      const auto enc = EncodeInt16(off, proc);
      bytes[at] = enc[0];
      bytes[at + 1] = enc[1];
      Put(params, bytes);
    } else if (const auto* p = std::get_if<ParamRec>(&r)) {
      Put(params, ParamBytes(*p, proc, last, rec.lastRecordOffsetZero));
    } else {
      Put(params, std::get<RawRec>(r).bytes);
    }
  }
  params.push_back(0);  // a zero name length ends the walk
  const std::size_t paramBlocks = std::max<std::size_t>(1, (params.size() + kBlock - 1) / kBlock);
  params.resize(paramBlocks * kBlock, 0);
  params[2] = rec.paramBlockCount ? *rec.paramBlockCount : static_cast<std::uint8_t>(paramBlocks);
  params[3] = rec.processorCode ? *rec.processorCode
                                : static_cast<std::uint8_t>(83 + static_cast<int>(proc));

  const std::size_t P = rec.paramBlock;
  const std::size_t D = rec.dataBlock ? *rec.dataBlock : std::max<std::size_t>(P, 1) + paramBlocks;

  std::vector<std::uint8_t> out(kBlock, 0);
  out[0] = rec.paramBlock;
  out[1] = 0x50;
  PutAt(out, 2, Uint16(static_cast<std::uint16_t>(points), proc));
  PutAt(out, 4, Uint16(static_cast<std::uint16_t>(A), proc));
  PutAt(out, 6, Uint16(rec.firstFrame, proc));
  PutAt(out, 8, Uint16(lastFrame, proc));
  PutAt(out, 10, Uint16(10, proc));
  const float scale = rec.floatData ? -std::fabs(rec.scaleFactor) : std::fabs(rec.scaleFactor);
  PutAt(out, 12, EncodeFloat(scale, proc));
  PutAt(out, 16, Uint16(static_cast<std::uint16_t>(D), proc));
  PutAt(out, 18, Uint16(rec.samplesPerFrame, proc));
  PutAt(out, 20, EncodeFloat(rec.frameRate, proc));
  PutAt(out, 298, Uint16(rec.eventKey, proc));
  PutAt(out, 300,
        Uint16(rec.eventCount ? *rec.eventCount : static_cast<std::uint16_t>(rec.events.size()),
               proc));
  for (std::size_t i = 0; i < rec.events.size() && i < 18; ++i) {
    PutAt(out, 304 + 4 * i, EncodeFloat(rec.events[i].time, proc));
    out[376 + i] = rec.events[i].display;
    for (std::size_t c = 0; c < 4 && c < rec.events[i].label.size(); ++c)
      out[396 + 4 * i + c] = static_cast<std::uint8_t>(rec.events[i].label[c]);
  }

  if (P >= 1) PutAt(out, (P - 1) * kBlock, params);

  // Data section: per frame the points (X, Y, Z, fourth word), then the
  // analog values sample-major, then any surplus of A as zeros.
  std::vector<std::uint8_t> data;
  auto element = [&](double v) {
    if (rec.floatData) {
      Put(data, EncodeFloat(static_cast<float>(v), proc));
    } else {
      Put(data, EncodeInt16(ToInt16(v), proc));
    }
  };
  const std::size_t framesWritten =
      rec.writtenFrames ? std::min(*rec.writtenFrames, frames) : frames;
  const std::vector<double> noPoint;
  for (std::size_t f = 0; f < framesWritten; ++f) {
    for (std::size_t p = 0; p < points; ++p) {
      // A reference to the point's values, not a copy of them per element.
      const std::vector<double>& src = p < rec.points.size() ? rec.points[p] : noPoint;
      for (std::size_t j = 0; j < 4; ++j) element(4 * f + j < src.size() ? src[4 * f + j] : 0.0);
    }
    std::size_t written = 0;
    for (std::size_t s = 0; s < S && written < A; ++s) {
      for (std::size_t m = 0; m < channels && written < A; ++m, ++written) {
        const auto& ch = rec.analog[m];
        element(f * S + s < ch.size() ? ch[f * S + s] : 0.0);
      }
    }
    for (; written < A; ++written) element(0.0);
  }
  if (D >= 1) PutAt(out, (D - 1) * kBlock, data);
  Put(out, rec.trailing);

  for (const auto& [at, byte] : rec.patches) {
    if (at >= out.size()) out.resize(at + 1, 0);
    out[at] = byte;
  }
  if (rec.truncateTo && *rec.truncateTo < out.size()) out.resize(*rec.truncateTo);
  return out;
}

bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  if (!f) return false;
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void AddStandardParameters(Recording& rec, const std::vector<std::string>& analogLabels,
                           const std::vector<double>& scales, const std::vector<double>& offsets,
                           std::optional<double> genScale) {
  const auto channels = static_cast<std::uint8_t>(rec.analog.size());
  rec.records.push_back(GroupRec{1, "POINT", false, "3-D point parameters", {}});
  rec.records.push_back(ParamRec{1,
                                 "USED",
                                 false,
                                 2,
                                 {},
                                 {double(rec.points.size())},
                                 {},
                                 ' ',
                                 {},
                                 "Number of points",
                                 {},
                                 {}});
  rec.records.push_back(
      ParamRec{1, "RATE", false, 4, {}, {rec.frameRate}, {}, ' ', {}, "Frame rate", {}, {}});
  rec.records.push_back(
      ParamRec{1, "SCALE", false, 4, {}, {rec.scaleFactor}, {}, ' ', {}, "Point scale", {}, {}});
  rec.records.push_back(GroupRec{2, "ANALOG", false, "Analog channels", {}});
  rec.records.push_back(ParamRec{
      2, "USED", false, 2, {}, {double(channels)}, {}, ' ', {}, "Number of channels", {}, {}});
  rec.records.push_back(ParamRec{2,
                                 "RATE",
                                 false,
                                 4,
                                 {},
                                 {rec.frameRate * rec.samplesPerFrame},
                                 {},
                                 ' ',
                                 {},
                                 "Analog rate",
                                 {},
                                 {}});
  if (!analogLabels.empty()) {
    std::uint8_t width = 1;
    for (const auto& l : analogLabels)
      width = std::max<std::uint8_t>(width, std::uint8_t(l.size()));
    rec.records.push_back(ParamRec{2,
                                   "LABELS",
                                   false,
                                   -1,
                                   {width, static_cast<std::uint8_t>(analogLabels.size())},
                                   {},
                                   analogLabels,
                                   ' ',
                                   {},
                                   "Channel labels",
                                   {},
                                   {}});
  }
  if (genScale) {
    rec.records.push_back(
        ParamRec{2, "GEN_SCALE", false, 4, {}, {*genScale}, {}, ' ', {}, "General scale", {}, {}});
  }
  if (!scales.empty()) {
    rec.records.push_back(ParamRec{2,
                                   "SCALE",
                                   false,
                                   4,
                                   {static_cast<std::uint8_t>(scales.size())},
                                   scales,
                                   {},
                                   ' ',
                                   {},
                                   "Channel scales",
                                   {},
                                   {}});
  }
  if (!offsets.empty()) {
    rec.records.push_back(ParamRec{2,
                                   "OFFSET",
                                   false,
                                   2,
                                   {static_cast<std::uint8_t>(offsets.size())},
                                   offsets,
                                   {},
                                   ' ',
                                   {},
                                   "Channel offsets",
                                   {},
                                   {}});
  }
}

namespace {

// The id of group `name` in rec.records, adding the group when it is absent.
std::int8_t GroupId(Recording& rec, const std::string& name) {
  std::int8_t highest = 0;
  for (const Record& r : rec.records) {
    if (const auto* g = std::get_if<GroupRec>(&r)) {
      if (g->name == name) return g->id;
      highest = std::max(highest, g->id);
    }
  }
  const auto id = static_cast<std::int8_t>(highest + 1);
  rec.records.push_back(GroupRec{id, name, false, {}, {}});
  return id;
}

bool HasParameter(const Recording& rec, std::int8_t group, const std::string& name) {
  for (const Record& r : rec.records) {
    const auto* p = std::get_if<ParamRec>(&r);
    if (p != nullptr && p->groupId == group && p->name == name) return true;
  }
  return false;
}

// A 32-bit frame number as two 16-bit words, low word first, each given as
// the signed value of its bits (what a type-2 parameter stores).
std::vector<double> Words(std::uint32_t v) {
  return {static_cast<double>(static_cast<std::int16_t>(v & 0xFFFFu)),
          static_cast<double>(static_cast<std::int16_t>(v >> 16))};
}

}  // namespace

void StateFrameCount(Recording& rec, LongFrames convention, std::uint32_t frames) {
  rec.firstFrame = 1;
  rec.lastFrame = static_cast<std::uint16_t>(std::min<std::uint32_t>(frames, 65535));
  const std::int8_t point = GroupId(rec, "POINT");
  auto param = [&](std::int8_t group, const char* name, std::int8_t type,
                   std::vector<std::uint8_t> dims, std::vector<double> numbers) {
    rec.records.push_back(ParamRec{
        group, name, false, type, std::move(dims), std::move(numbers), {}, ' ', {}, {}, {}, {}});
  };
  switch (convention) {
    case LongFrames::PointFrames:
      param(point, "FRAMES", 4, {}, {static_cast<double>(frames)});
      break;
    case LongFrames::PointLongFrames:
    case LongFrames::TrialFields:
      // The usual 16-bit FRAMES, saturated, for readers that know no better.
      if (!HasParameter(rec, point, "FRAMES")) {
        param(point, "FRAMES", 2, {},
              {static_cast<double>(std::min<std::uint32_t>(frames, 32767))});
      }
      if (convention == LongFrames::PointLongFrames) {
        param(point, "LONG_FRAMES", 4, {}, {static_cast<double>(frames)});
      } else {
        const std::int8_t trial = GroupId(rec, "TRIAL");
        param(trial, "ACTUAL_START_FIELD", 2, {2}, Words(rec.firstFrame));
        param(trial, "ACTUAL_END_FIELD", 2, {2}, Words(rec.firstFrame + frames - 1));
      }
      break;
  }
}

Recording DemoRecording() {
  constexpr double kPi = 3.14159265358979323846;
  constexpr int kRate = 2000;  // analog samples per second per channel
  constexpr int kSeconds = 12;
  constexpr int kCount = kRate * kSeconds;

  Recording rec;
  rec.proc = Proc::Intel;
  rec.floatData = false;
  rec.scaleFactor = 0.1f;
  rec.frameRate = 100.0f;
  rec.samplesPerFrame = kRate / 100;
  rec.firstFrame = 1;

  // Stored values centre on 2048, the silence of the sound mapping.
  std::vector<double> tone(kCount), sweep(kCount), bursts(kCount), force(kCount);
  std::uint32_t noise = 12345u;
  for (int i = 0; i < kCount; ++i) {
    const double t = static_cast<double>(i) / kRate;
    tone[i] = 2048.0 + 1500.0 * std::sin(2.0 * kPi * 440.0 * t);
    // Linear sweep 100 Hz to 900 Hz over the recording: phase = 2 pi (f0 t + k t^2 / 2).
    const double k = (900.0 - 100.0) / kSeconds;
    sweep[i] = 2048.0 + 1200.0 * std::sin(2.0 * kPi * (100.0 * t + 0.5 * k * t * t));
    // EMG-like bursts: noise gated on for 0.4 s of every 1.5 s.
    noise = noise * 1664525u + 1013904223u;
    const double white = (static_cast<double>(noise >> 8) / 16777216.0) * 2.0 - 1.0;
    const bool on = std::fmod(t, 1.5) < 0.4;
    bursts[i] = 2048.0 + (on ? 1400.0 : 60.0) * white;
    // A slow force-like curve: steps of loading and unloading with a ramp.
    force[i] =
        2048.0 + 1000.0 * std::sin(2.0 * kPi * 0.5 * t) + 600.0 * std::sin(2.0 * kPi * 55.0 * t);
  }
  rec.analog = {tone, sweep, bursts, force};

  const int frames = kCount / rec.samplesPerFrame;
  for (int p = 0; p < 3; ++p) {
    std::vector<double> xyz;
    for (int f = 0; f < frames; ++f) {
      xyz.push_back(100.0 * p + 10.0 * std::sin(f * 0.05));
      xyz.push_back(50.0 * p + 10.0 * std::cos(f * 0.05));
      xyz.push_back(900.0 + 5.0 * p);
      xyz.push_back(0.0);
    }
    rec.points.push_back(xyz);
  }

  AddStandardParameters(rec, {"Tone 440", "Sweep", "EMG Bursts", "Force Z"},
                        {0.00244140625, 0.00244140625, 0.001, 0.5}, {2048, 2048, 2048, 2048}, 1.0);
  rec.records.push_back(ParamRec{
      2, "UNITS", false, -1, {4, 4}, {}, {"V", "V", "mV", "N"}, ' ', {}, "Channel units", {}, {}});
  rec.events = {{"RHS", 1.0f, 1}, {"RTO", 2.5f, 1}, {"LHS", 6.0f, 0}};
  return rec;
}

}  // namespace c3dtest
