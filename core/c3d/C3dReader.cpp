// Loading a C3D file: CC3d's entry points and the reader's steps for the
// header, the event table and the parameter section. The data section is
// read in C3dSamples.cpp.
#include "core/c3d/C3dReader.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

#include "core/c3d/C3d.h"
#include "core/c3d/C3dNumbers.h"

namespace {

// Header byte 1 of every C3D file.
constexpr unsigned char kHeaderKey = 0x50;

// The parameter section's processor code (its byte 3) is 83 + the type:
// 84 Intel, 85 DEC, 86 MIPS.
constexpr std::uint8_t kProcessorCodeBase = 83;

// The header's event table: a key of 12345 marks it valid; it holds at most
// 18 events (times at byte 304, display flags at 376, 4-character labels at 396).
constexpr std::int64_t kEventKeyAt = 298;
constexpr std::uint16_t kEventKey = 12345;
constexpr std::uint16_t kMaxEvents = 18;
constexpr std::int64_t kEventTimesAt = 304;
constexpr std::int64_t kEventFlagsAt = 376;
constexpr std::int64_t kEventLabelsAt = 396;
constexpr std::size_t kEventLabelLength = 4;

// The parameter model holds data lengths and element counts as 16-bit signed
// quantities; anything larger is refused rather than wrapped.
constexpr std::int64_t kMaxParameterSize = 32767;

// Parameter records may hold at most this much memory in all, plus
// kParameterMemoryFactor times the size of the source. Laid end to end, real
// records hold about their own size (a 4-byte cell per value byte, a string
// per row of at least one character); only overlapping records, or rows of
// zero length claimed by the thousand, reach the limit.
constexpr std::uint64_t kParameterMemoryAllowance = 16ull << 20;
constexpr std::uint64_t kParameterMemoryFactor = 32;

// Frame rates that mark a plausible decoding when the processor code is missing.
bool PlausibleFrameRate(float rate) { return rate >= 1.0f && rate < 1000.0f; }  // NaN fails

std::string TextUpToNul(const unsigned char* bytes, std::size_t length) {
  if (length == 0) return {};
  const void* nul = std::memchr(bytes, 0, length);
  const std::size_t n =
      nul == nullptr ? length
                     : static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - bytes);
  return std::string(reinterpret_cast<const char*>(bytes), n);
}

// Product of the dimensions, saturated just above the 16-bit limit so that
// up to 127 dimensions of 255 cannot overflow; a zero anywhere gives 0.
std::int64_t DimensionProduct(const std::vector<std::uint8_t>& dims, std::size_t first) {
  constexpr std::int64_t kCap = kMaxParameterSize + 1;
  std::int64_t product = 1;
  for (std::size_t i = first; i < dims.size(); ++i) {
    product *= dims[i];
    if (product > kCap) product = kCap;
  }
  return product;
}

}  // namespace

bool CC3dReader::Fail(C3dLoadError error) {
  m_c3d.m_loadError = error;
  return false;
}

bool CC3dReader::FailedRead() {
  return Fail(m_file.Shrank() ? C3dLoadError::Shrank : C3dLoadError::ReadError);
}

bool CC3dReader::SeekTo(std::int64_t position) {
  return m_file.Seek(position) ? true : Fail(C3dLoadError::ReadError);
}

bool CC3dReader::ReadZeroFilled(void* buffer, std::size_t size) {
  if (size == 0) return true;
  const std::size_t got = m_file.Read(buffer, size);
  if (m_file.Failed()) return FailedRead();
  if (got < size) std::memset(static_cast<unsigned char*>(buffer) + got, 0, size - got);
  return true;
}

bool CC3dReader::ReadText(std::size_t length, std::string& text) {
  std::vector<unsigned char> bytes(length);
  if (!ReadZeroFilled(bytes.data(), length)) return false;
  text = TextUpToNul(bytes.data(), length);
  return true;
}

bool CC3dReader::HoldParameterMemory(std::uint64_t bytes) {
  m_parameterMemory += bytes;
  const auto sourceSize = static_cast<std::uint64_t>(std::max<std::int64_t>(m_file.Size(), 0));
  if (m_parameterMemory > kParameterMemoryAllowance + kParameterMemoryFactor * sourceSize) {
    return Fail(C3dLoadError::NotEnoughMemory);
  }
  return true;
}

bool CC3dReader::SeekNextRecord(std::int64_t recordStart, std::int64_t target) {
  if (target <= recordStart) return Fail(C3dLoadError::ParameterWalkLoop);
  return SeekTo(target);
}

std::int64_t CC3dReader::DataStart() const { return c3d::BlockStart(m_c3d.m_nDataBlock); }

std::int64_t CC3dReader::FrameBytes() const {
  return (static_cast<std::int64_t>(m_c3d.m_nAnalogPerFrame) +
          4 * static_cast<std::int64_t>(m_c3d.m_nPoints)) *
         static_cast<std::int64_t>(m_c3d.SampleWidth());
}

bool CC3d::Load() {
  Clear();
  m_loadError = C3dLoadError::None;
  if (!m_file.OpenFile(m_strPathName)) {
    m_loadError = C3dLoadError::CannotOpen;
    return false;
  }
  return CC3dReader(*this).Read();
}

bool CC3d::LoadFromMemory(const void* data, std::size_t size) {
  Clear();
  m_loadError = C3dLoadError::None;
  m_file.OpenMemory(data, size);
  return CC3dReader(*this).Read();
}

bool CC3dReader::Read() {
  bool ok = false;
  try {
    ok = ReadAll();
    m_file.Close();
    if (ok) m_c3d.ComputeAnalogScaling();
  } catch (const std::exception&) {
    // Only allocations throw here (bad_alloc, or length_error for an absurd
    // size); whatever was built stays for Clear to release.
    m_file.Close();
    return Fail(C3dLoadError::NotEnoughMemory);
  }
  return ok;
}

bool CC3dReader::ReadAll() { return ReadUntilSampleData() && ReadSampleData(); }

bool CC3dReader::ReadUntilSampleData() {
  if (!ReadHeader()) return false;
  ReadEvents();
  if (m_c3d.m_loadError != C3dLoadError::None) return false;  // a read error in the event table
  if (!ReadParameters()) return false;
  ReadFrameRange();
  return StartSampleData();
}

bool CC3dReader::ReadHeader() {
  // Bytes 0-29 in one read; the event table (from byte 298) is read later.
  unsigned char h[30];
  if (!SeekTo(0)) return false;
  const std::size_t got = m_file.Read(h, sizeof h);
  if (m_file.Failed()) return FailedRead();
  if (got < sizeof h || h[1] != kHeaderKey) return Fail(C3dLoadError::NotC3d);

  // The processor type comes first: it fixes how every multi-byte field reads.
  m_c3d.m_nParamBlock = h[0];
  unsigned char section[4];
  if (!SeekTo(c3d::BlockStart(m_c3d.m_nParamBlock)) || !ReadZeroFilled(section, sizeof section) ||
      !SeekTo(sizeof h)) {
    return false;
  }
  // Unsigned 8-bit arithmetic: codes below 84 wrap to large values, no type.
  const auto code = static_cast<std::uint8_t>(section[3] - kProcessorCodeBase);
  Processor type = static_cast<Processor>(code);
  if (code < static_cast<std::uint8_t>(Processor::Intel) ||
      code > static_cast<std::uint8_t>(Processor::Mips)) {
    // No processor code: the first decoding of the frame rate (bytes 20-23)
    // that gives a plausible rate names the format.
    const unsigned char* rate = h + 20;
    if (PlausibleFrameRate(c3d::DecodeFloat<Processor::Intel>(rate))) {
      type = Processor::Intel;
    } else if (PlausibleFrameRate(c3d::DecodeFloat<Processor::Dec>(rate))) {
      type = Processor::Dec;
    } else if (PlausibleFrameRate(c3d::DecodeFloat<Processor::Mips>(rate))) {
      type = Processor::Mips;
    } else {
      return Fail(C3dLoadError::UnknownProcessor);
    }
  }
  m_c3d.m_nProcessorType = type;

  auto word = [&](int at) { return static_cast<std::uint16_t>(c3d::DecodeInt16(h + at, type)); };
  m_c3d.m_nPoints = word(2);
  m_c3d.m_nAnalogPerFrame = word(4);
  m_c3d.m_nHeaderFirstFrame = word(6);
  m_c3d.m_nHeaderLastFrame = word(8);
  m_c3d.m_nFirstFrame = m_c3d.m_nHeaderFirstFrame;  // until the parameters tell of more
  m_c3d.m_nLastFrame = m_c3d.m_nHeaderLastFrame;
  m_c3d.m_nDataBlock = word(16);
  m_c3d.m_nAnalogSamplesPerFrame = word(18);

  m_c3d.m_fScaleFactor = c3d::DecodeFloat(h + 12, type);
  m_c3d.m_fFrameRate = c3d::DecodeFloat(h + 20, type);

  // A scale factor >= 0 (0.0 and -0.0 included) means 16-bit samples. NaN
  // compares false and so means float samples.
  m_c3d.m_bIntegerData = m_c3d.m_fScaleFactor >= 0.0f;
  m_c3d.m_nAnalogChannels =
      m_c3d.m_nAnalogSamplesPerFrame != 0
          ? static_cast<std::uint16_t>(m_c3d.m_nAnalogPerFrame / m_c3d.m_nAnalogSamplesPerFrame)
          : std::uint16_t{0};
  return true;
}

void CC3dReader::ReadEvents() {
  unsigned char keyAndCount[4];
  if (!SeekTo(kEventKeyAt) || !ReadZeroFilled(keyAndCount, sizeof keyAndCount)) return;
  auto word = [&](const unsigned char* b) {
    return static_cast<std::uint16_t>(c3d::DecodeInt16(b, m_c3d.m_nProcessorType));
  };
  const std::uint16_t key = word(keyAndCount);
  const std::uint16_t count = word(keyAndCount + 2);
  if (key != kEventKey || count > kMaxEvents) return;  // no event table: loading goes on

  unsigned char times[4 * kMaxEvents];
  unsigned char flags[kMaxEvents];
  unsigned char labels[kEventLabelLength * kMaxEvents];
  if (!SeekTo(kEventTimesAt) || !ReadZeroFilled(times, sizeof times) || !SeekTo(kEventFlagsAt) ||
      !ReadZeroFilled(flags, sizeof flags) || !SeekTo(kEventLabelsAt) ||
      !ReadZeroFilled(labels, sizeof labels)) {
    return;
  }

  // The frame period in single precision: an event at 0.5 s at 60 Hz lands
  // just below 30 periods and so in frame 30.
  const float period = 1.0f / m_c3d.m_fFrameRate;
  m_c3d.m_events.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    auto event = std::make_unique<CEvent>();
    event->m_strLabel = TextUpToNul(labels + kEventLabelLength * i, kEventLabelLength);
    event->m_fTime = c3d::DecodeFloat(times + 4 * i, m_c3d.m_nProcessorType);
    // Truncated toward zero; NaN (a zero frame rate with a zero time, or a NaN
    // time) counts as 0 periods and huge quotients saturate.
    const std::int64_t n = c3d::SaturateToInt32(c3d::TruncateToInt64(event->m_fTime / period));
    event->m_nFrame = c3d::SaturateToInt32(n + 1);
    event->m_nAnalogSample =
        c3d::SaturateToInt32(n * static_cast<std::int64_t>(m_c3d.m_nAnalogSamplesPerFrame) + 1);
    event->m_nDisplay = flags[i];
    m_c3d.m_events.push_back(std::move(event));
  }
}

bool CC3dReader::ReadParameters() {
  if (m_c3d.m_nParamBlock == 1) return Fail(C3dLoadError::ParamBlockOne);
  m_parameterMemory = 0;
  unsigned char section[4];  // block count and processor code, used by ReadHeader
  if (!SeekTo(c3d::BlockStart(m_c3d.m_nParamBlock)) || !ReadZeroFilled(section, sizeof section))
    return false;

  // The data section follows the parameter section: a record position at or
  // beyond its first byte means the walk has run out of records.
  const std::int64_t dataStart = c3d::BlockStart(m_c3d.m_nDataBlock);
  unsigned char bytes[2];
  if (!ReadZeroFilled(bytes, 1)) return false;
  // A zero name length ends the walk; so do the zeros read beyond the end.
  while (bytes[0] != 0) {
    if (!ReadZeroFilled(bytes + 1, 1)) return false;
    const auto nameLength = static_cast<std::int16_t>(static_cast<std::int8_t>(bytes[0]));
    const auto id = static_cast<std::int16_t>(static_cast<std::int8_t>(bytes[1]));
    // A negative id marks a group record, zero or positive a parameter record.
    const bool ok = id < 0 ? ReadGroup(nameLength, id) : ReadParameter(nameLength, id);
    if (!ok) return false;
    if (m_file.Position() >= dataStart) break;
    if (!ReadZeroFilled(bytes, 1)) return false;
  }
  return true;
}

bool CC3dReader::ReadGroup(std::int16_t nameLength, std::int16_t id) {
  // Entered just after the record's name-length and id bytes.
  const std::int64_t recordStart = m_file.Position() - 2;
  auto group = std::make_unique<CGroup>();
  group->m_bLocked = nameLength < 0 ? 1 : 0;  // a negative length is the "locked" mark
  const auto n = static_cast<std::size_t>(nameLength < 0 ? -nameLength : nameLength);
  if (!ReadText(n, group->m_strName)) return false;

  // The offset to the next record counts from the first byte of its own field.
  const std::int64_t offsetAt = m_file.Position();
  unsigned char offsetBytes[2];
  unsigned char descriptionLength;
  if (!ReadZeroFilled(offsetBytes, 2) || !ReadZeroFilled(&descriptionLength, 1) ||
      !HoldParameterMemory(sizeof(CGroup) + n + descriptionLength) ||
      !ReadText(descriptionLength, group->m_strDescription)) {
    return false;
  }
  const std::int16_t offset = c3d::DecodeInt16(offsetBytes, m_c3d.m_nProcessorType);
  group->m_nId = id;
  if (!SeekNextRecord(recordStart, offsetAt + offset)) return false;
  m_c3d.m_groups.push_back(std::move(group));
  ++m_c3d.m_nGroups;
  return true;
}

bool CC3dReader::ReadParameter(std::int16_t nameLength, std::int16_t id) {
  const std::int64_t recordStart = m_file.Position() - 2;
  auto param = std::make_unique<CParam>();
  param->m_bLocked = nameLength < 0 ? 1 : 0;
  const auto n = static_cast<std::size_t>(nameLength < 0 ? -nameLength : nameLength);
  if (!ReadText(n, param->m_strName)) return false;
  param->m_nGroupId = id;

  const std::int64_t offsetAt = m_file.Position();
  unsigned char fields[4];  // offset (2 bytes), type, dimension count
  if (!ReadZeroFilled(fields, sizeof fields)) return false;
  const std::int16_t offset = c3d::DecodeInt16(fields, m_c3d.m_nProcessorType);
  param->m_nType = static_cast<std::int8_t>(fields[2]);
  // Valid files hold 0 to 127 dimensions; a byte above 127 is taken as the
  // count it spells unsigned, never as a negative size.
  param->m_nDimensions = fields[3];
  param->m_pDimensions.resize(param->m_nDimensions);
  if (!ReadZeroFilled(param->m_pDimensions.data(), param->m_pDimensions.size())) return false;

  const auto& dims = param->m_pDimensions;
  const std::int64_t product = DimensionProduct(dims, 0);
  const std::int64_t width = param->m_nType < 0 ? -param->m_nType : param->m_nType;
  const std::int64_t length = width * product;
  // Characters: dimension 0 is the row length, the others multiply to the
  // row count (one row when there is at most one dimension).
  const bool characters = param->m_nType == -1;
  const std::int64_t count =
      characters ? (dims.size() <= 1 ? 1 : DimensionProduct(dims, 1)) : product;
  if (length > kMaxParameterSize || count > kMaxParameterSize) {
    return Fail(C3dLoadError::ParameterTooLarge);
  }
  param->m_nCount = static_cast<std::int16_t>(count);  // at most 32767 after the check
  const bool numeric = param->m_nType == 1 || param->m_nType == 2 || param->m_nType == 4;
  const std::uint64_t cells = numeric ? static_cast<std::uint64_t>(count) : 0;
  const std::uint64_t rows = characters ? static_cast<std::uint64_t>(count) : 0;
  if (!HoldParameterMemory(sizeof(CParam) + n + dims.size() + static_cast<std::uint64_t>(length) +
                           cells * sizeof(CParamCell) + rows * sizeof(std::string))) {
    return false;
  }

  std::vector<unsigned char> data(static_cast<std::size_t>(length));
  if (!ReadZeroFilled(data.data(), data.size())) return false;
  const auto elements = static_cast<std::size_t>(count);
  switch (param->m_nType) {
    case -1: {
      // Each row ends at its own first NUL: writers pad rows with NULs
      // ("M1\0\0"), and one NUL must not empty the rows after it. Without
      // dimensions the single data byte is the one row.
      const std::size_t rowLength = dims.empty() ? 1 : dims[0];
      param->m_strings.reserve(elements);
      for (std::size_t r = 0; r < elements; ++r) {
        param->m_strings.push_back(TextUpToNul(data.data() + r * rowLength, rowLength));
      }
      break;
    }
    case 1:
      param->m_pValues.resize(elements);
      for (std::size_t i = 0; i < elements; ++i) param->m_pValues[i].m_bytes[0] = data[i];
      break;
    case 2:
      param->m_pValues.resize(elements);
      for (std::size_t i = 0; i < elements; ++i) {
        const std::int16_t v = c3d::DecodeInt16(&data[2 * i], m_c3d.m_nProcessorType);
        std::memcpy(param->m_pValues[i].m_bytes, &v, sizeof v);
      }
      break;
    case 4:
      param->m_pValues.resize(elements);
      for (std::size_t i = 0; i < elements; ++i) {
        const float v = c3d::DecodeFloat(&data[4 * i], m_c3d.m_nProcessorType);
        std::memcpy(param->m_pValues[i].m_bytes, &v, sizeof v);
      }
      break;
    default:
      break;  // other type codes keep no values; their data bytes are skipped
  }

  // Read unsigned, as for groups: descriptions of 128 to 255 characters exist.
  unsigned char descriptionLength;
  if (!ReadZeroFilled(&descriptionLength, 1) || !HoldParameterMemory(descriptionLength) ||
      !ReadText(descriptionLength, param->m_strDescription)) {
    return false;
  }
  if (!SeekNextRecord(recordStart, offsetAt + offset)) return false;
  m_c3d.m_params.push_back(std::move(param));
  ++m_c3d.m_nParams;
  return true;
}
