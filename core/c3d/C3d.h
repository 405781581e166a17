#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/c3d/ByteSource.h"
#include "core/c3d/C3dNumbers.h"
#include "core/c3d/C3dRecords.h"

// Why the last Load failed. The GUI stays silent for most of these; the
// command-line tool prints LoadErrorText() and tests check the value.
enum class C3dLoadError {
  None,
  CannotOpen,         // the file could not be opened for reading
  NotC3d,             // fewer than 30 header bytes, or header byte 1 is not 0x50
  UnknownProcessor,   // no processor code and no frame-rate decoding in [1, 1000)
  ParamBlockOne,      // the parameter section is said to start at block 1
  ParameterWalkLoop,  // a record's offset does not move the walk forward
  ParameterTooLarge,  // a parameter's data length or element count exceeds 32767
  NotEnoughMemory,    // sample storage cannot (or should not) be allocated
  ReadError,          // a seek or read failed (for example a parameter block of 0)
  Shrank,             // the file got shorter while it was read
};

// Short English text for a load error, for the command-line tool and logs.
const char* LoadErrorText(C3dLoadError e);

// One C3D file held in memory: header values, groups, parameters, events,
// and one CAnalog per analog channel and one CVideo per 3-D point with their
// sample blocks. CC3d owns every record and block; the document owns the
// CC3d. After a successful Load the other parts read the members directly.
class CC3d {
 public:
  CC3d() = default;
  CC3d(const CC3d&) = delete;
  CC3d& operator=(const CC3d&) = delete;
  ~CC3d() = default;  // the arrays release whatever Clear has not

  // Reads the whole file named by m_strPathName (opened for shared reading
  // and closed again before returning), after releasing anything an earlier
  // Load kept. True when it was read; false leaves whatever was built before
  // the failure (Clear releases it) and sets m_loadError. Throws nothing.
  bool Load();
  // The same reading from a block of memory (tests, the fuzzer). The block
  // is only read during the call.
  bool LoadFromMemory(const void* data, std::size_t size);
  // Releases groups, parameters, events and sample storage; header members stay.
  void Clear();

  C3dLoadError m_loadError = C3dLoadError::None;

  // --- number decoding (the stored bytes b0..b3 as one little-endian word) ---
  static float DecToFloat(std::uint32_t stored);
  static float MipsToFloat(std::uint32_t stored);
  static std::uint16_t SwapWord(std::uint16_t value);

  // --- queries ---
  // Index in m_params of parameter `name` of the first group named `group`
  // (both compared without regard to case), or -1.
  int FindParameter(const std::string& group, const std::string& name) const;
  // Element `index` of a parameter as text ("%d", or "%.<precision>f" for
  // floats), empty when absent.
  std::string GetParameterString(const std::string& group, const std::string& name, int index,
                                 int precision) const;
  // The same text for the parameter at `param` in m_params (as FindParameter
  // gives it; -1 or any other index out of range gives ""). Callers that read
  // many elements of one parameter look it up once: a file may hold 65535
  // channels and a few hundred thousand parameter records, and a lookup per
  // element would take minutes.
  std::string GetParameterElementString(int param, int index, int precision) const;
  // Gives every CAnalog its offset and SCALE x GEN_SCALE; run once by Load.
  void ComputeAnalogScaling();
  // Samples per analog channel, SamplesPerChannel() clamped to int's range;
  // Load refuses storage whose count would not fit, so after a successful
  // Load the value is exact.
  int GetAnalogSampleCount() const;

  // --- facts derived from the members ---
  // Bytes of one stored value: 2 for 16-bit integer samples, 4 for floats.
  std::size_t SampleWidth() const { return m_bIntegerData ? 2 : 4; }
  // Frames F = m_nLastFrame - m_nFirstFrame + 1; 0 or negative when the last
  // frame number lies below the first.
  std::int64_t FrameCount() const {
    return static_cast<std::int64_t>(m_nLastFrame) - static_cast<std::int64_t>(m_nFirstFrame) + 1;
  }
  // Samples per analog channel, F x S: past 2^31 for a long recording with
  // many samples per frame. Negative when F is.
  std::int64_t SamplesPerChannel() const {
    return FrameCount() * static_cast<std::int64_t>(m_nAnalogSamplesPerFrame);
  }
  // The analog rate in Hz: samples per frame x frame rate, as a 32-bit float
  // (the product of a 16-bit count and a float is exact in double, so this is
  // the correctly rounded product).
  float AnalogRate() const { return static_cast<float>(m_nAnalogSamplesPerFrame) * m_fFrameRate; }

  // --- members, as read ---
  CByteSource m_file;                             // open only while Load runs
  std::string m_strPathName;                      // written by the document before Load
  Processor m_nProcessorType = Processor::Intel;  // the number formats of the file
  bool m_bIntegerData = true;  // samples are int16 (scale factor >= 0), else float
  std::uint8_t m_nParamBlock = 0;
  std::uint16_t m_nPoints = 0;
  std::uint16_t m_nAnalogPerFrame = 0;
  // The frames of the data section, as numbered by the file. Mostly the
  // header's (m_nHeaderFirstFrame, m_nHeaderLastFrame); for a recording
  // longer than 16-bit frame numbers can state, the range its parameters give
  // (see CC3dReader::ReadFrameRange), up to 2^32 - 1.
  std::uint32_t m_nFirstFrame = 0;
  std::uint32_t m_nLastFrame = 0;
  std::uint16_t m_nHeaderFirstFrame = 0;  // header bytes 6-7, as stored
  std::uint16_t m_nHeaderLastFrame = 0;   // header bytes 8-9, as stored
  std::uint16_t m_nAnalogSamplesPerFrame = 0;
  std::uint16_t m_nDataBlock = 0;
  std::uint16_t m_nAnalogChannels = 0;
  float m_fScaleFactor = 0.0f;
  float m_fFrameRate = 0.0f;
  std::vector<std::unique_ptr<CGroup>> m_groups;
  int m_nGroups = 0;  // every group read; not limited to 255
  std::vector<std::unique_ptr<CParam>> m_params;
  int m_nParams = 0;  // every parameter read; not limited to 255
  std::vector<std::unique_ptr<CEvent>> m_events;
  bool m_bDataAllocated = false;
  std::vector<std::unique_ptr<CAnalog>> m_analogs;
  std::vector<std::unique_ptr<CVideo>> m_videos;

 private:
  // The reading steps live in CC3dReader (C3dReader.h), which fills the
  // members above; it also releases the sample storage of a failed
  // allocation, as Clear does.
  friend class CC3dReader;
  // Releases the blocks and the CAnalog and CVideo objects, last index first.
  void FreeSamples();
};

// True when t is an optional sign followed by digits with at most one point.
bool IsNumeric(std::string t);
