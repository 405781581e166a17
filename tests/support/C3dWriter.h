#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

// Test-only C3D writer: turns a description of a recording into the bytes of
// a C3D file in any of the three processor formats, integer or float, and can
// break the file on purpose (offsets, lengths, truncation, patched bytes).
namespace c3dtest {

// Bytes in a C3D block: the unit of the header, parameter and data sections.
inline constexpr std::size_t kBlock = 512;

enum class Proc : std::uint8_t { Intel = 1, Dec = 2, Mips = 3 };

// A group record. `id` is the positive group number; the record stores -id.
struct GroupRec {
  std::int8_t id = 1;
  std::string name;
  bool locked = false;
  std::string description;
  std::optional<std::int16_t> offset;  // override of the offset-to-next field
};

// A parameter record. Values are encoded from `numbers` (types 1, 2, 4) or
// `strings` (type -1: each row padded with `pad` or cut to dims[0]); `raw`,
// when set, is written as the data block instead, byte for byte.
struct ParamRec {
  std::int8_t groupId = 1;
  std::string name;
  bool locked = false;
  std::int8_t type = 2;
  std::vector<std::uint8_t> dims;
  std::vector<double> numbers;
  std::vector<std::string> strings;
  char pad = ' ';
  std::optional<std::vector<std::uint8_t>> raw;
  std::string description;
  std::optional<std::int16_t> offset;             // override of the offset field
  std::optional<std::uint8_t> descriptionLength;  // override of the length byte
};

// Arbitrary bytes placed in the parameter section where a record would be.
struct RawRec {
  std::vector<std::uint8_t> bytes;
};

using Record = std::variant<GroupRec, ParamRec, RawRec>;

struct EventRec {
  std::string label;  // up to 4 characters; shorter labels are NUL-padded
  float time = 0.0f;  // seconds
  std::uint8_t display = 1;
};

// How a recording states a length its header's 16-bit frame numbers cannot.
enum class LongFrames : std::uint8_t {
  PointFrames,      // POINT:FRAMES as a float
  PointLongFrames,  // POINT:LONG_FRAMES, a float (POINT:FRAMES stays a 16-bit integer)
  TrialFields,      // TRIAL:ACTUAL_START_FIELD and ACTUAL_END_FIELD, two words each, low first
};

struct Recording {
  Proc proc = Proc::Intel;
  bool floatData = false;    // float samples (negative scale factor) or int16
  float scaleFactor = 0.1f;  // header scale; its sign is forced by floatData
  float frameRate = 100.0f;
  std::uint16_t firstFrame = 1;
  std::uint16_t lastFrame = 0;                  // 0: derived from the sample data
  std::uint16_t samplesPerFrame = 1;            // S
  std::optional<std::uint16_t> analogPerFrame;  // header bytes 4-5; default channels x S
  std::optional<std::uint16_t> pointCount;      // header bytes 2-3; default points.size()

  // analog[m] holds channel m's samples in time order (frames x S values),
  // points[p] holds 4 values (X, Y, Z, fourth word) per frame.
  std::vector<std::vector<double>> analog;
  std::vector<std::vector<double>> points;

  std::vector<Record> records;       // the parameter section, in file order
  bool lastRecordOffsetZero = true;  // the last record's offset field is 0

  std::vector<EventRec> events;
  std::uint16_t eventKey = 12345;
  std::optional<std::uint16_t> eventCount;  // default events.size()

  // Malformation knobs.
  std::uint8_t paramBlock = 2;                  // header byte 0
  std::optional<std::uint8_t> processorCode;    // section header byte 3 (84 + proc - 1)
  std::optional<std::uint16_t> dataBlock;       // header bytes 16-17
  std::optional<std::uint8_t> paramBlockCount;  // section header byte 2
  std::optional<std::size_t> truncateTo;        // cut the file to this many bytes
  std::optional<std::size_t> writtenFrames;     // frame records written (default all F);
                                                // lets a header claim far more than exists
  std::optional<std::size_t> dataFrames;        // F when it is not the header's range
                                                // (recordings longer than 65535 frames)
  std::vector<std::pair<std::size_t, std::uint8_t>> patches;  // byte overwrites, last step
  std::vector<std::uint8_t> trailing;                         // bytes after the data section
};

// Encoders of one value in a processor's format (bytes in file order).
std::vector<std::uint8_t> EncodeFloat(float value, Proc proc);
std::vector<std::uint8_t> EncodeInt16(std::int16_t value, Proc proc);

// The whole file.
std::vector<std::uint8_t> WriteC3d(const Recording& rec);

// Writes bytes to a file; false on failure.
bool WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// A file's whole content; empty when it cannot be read.
std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path);

// Adds the usual POINT and ANALOG groups with their standard parameters
// (USED, RATE, LABELS, SCALE, OFFSET, GEN_SCALE, ...), for channel labels,
// per-channel scales and offsets (empty vectors leave the parameter out).
void AddStandardParameters(Recording& rec, const std::vector<std::string>& analogLabels,
                           const std::vector<double>& scales, const std::vector<double>& offsets,
                           std::optional<double> genScale);

// States `frames` frames in the parameters by `convention`, and frames 1 to
// min(frames, 65535) in the header, as writers of long recordings do. The
// POINT and TRIAL groups are those of rec.records when present, else added.
// Called again with another convention, it adds that statement too.
void StateFrameCount(Recording& rec, LongFrames convention, std::uint32_t frames);

// The demo recording: four analog channels at 2000 Hz for 12 s (a tone, a
// sweep, bursts and a slow force-like ramp), labelled and scaled, with three
// header events and three points.
Recording DemoRecording();

}  // namespace c3dtest
