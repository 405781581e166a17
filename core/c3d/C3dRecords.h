#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// The record objects of one loaded C3D file. CC3d creates them while reading,
// holds them in its arrays and is their only owner; nobody else deletes them.
// Text members hold the stored bytes unchanged (8-bit, no encoding assumed).

// One group record of the parameter section.
struct CGroup {
  std::string m_strName;         // as stored, up to the first NUL
  std::int32_t m_bLocked = 0;    // 1 when the name-length byte was negative
  std::int32_t m_nId = 0;        // group number byte, sign-extended: negative
  std::string m_strDescription;  // length byte read unsigned, 0 to 255
};

// One 4-byte value cell of a numeric parameter. A byte value occupies the
// first byte, a 16-bit value the first two (host order), a float all four.
struct CParamCell {
  unsigned char m_bytes[4] = {0, 0, 0, 0};

  std::uint8_t AsByte() const { return m_bytes[0]; }
  std::int16_t AsInt16() const {
    std::int16_t v;
    std::memcpy(&v, m_bytes, sizeof v);
    return v;
  }
  float AsFloat() const {
    float v;
    std::memcpy(&v, m_bytes, sizeof v);
    return v;
  }
};

// One parameter record. Numeric values are converted to host format once,
// when read.
struct CParam {
  std::string m_strName;
  std::int32_t m_bLocked = 0;
  std::int32_t m_nGroupId = 0;  // belongs to the group whose |m_nId| equals this
  std::string m_strDescription;
  std::int16_t m_nType = 0;           // -1 character, 1 byte, 2 int16, 4 float; others kept as read
  std::vector<CParamCell> m_pValues;  // types 1, 2, 4: m_nCount cells; empty otherwise
  std::vector<std::string> m_strings;  // type -1: the m_nCount rows; empty otherwise
  std::uint8_t m_nDimensions = 0;
  std::vector<std::uint8_t> m_pDimensions;  // m_nDimensions sizes, file order
  std::int16_t m_nCount = 0;                // product of dimensions; rows for type -1
};

// One entry of the header's event table.
struct CEvent {
  std::string m_strLabel;            // up to 4 characters, ends at the first NUL
  float m_fTime = 0.0f;              // seconds
  std::int32_t m_nFrame = 0;         // 1 + trunc(time / single-precision frame period)
  std::int32_t m_nAnalogSample = 0;  // 1 + that quotient x samples per frame
  std::int32_t m_nDisplay = 0;       // display-flag byte, 0 to 255
};

// The raw samples of one channel or one point: size() bytes at an address
// that stays fixed while the block lives. A loaded CC3d cuts all its blocks
// from one allocation, which is released with the last block cut from it; a
// recording built by hand (tests, tools) gives each block a buffer of its
// own. Move-only: exactly one CAnalog or CVideo holds a block.
class CSampleBlock {
 public:
  CSampleBlock() = default;
  // A zero-filled block of `bytes` bytes of its own. Throws std::bad_alloc.
  explicit CSampleBlock(std::size_t bytes) : m_bytes(new std::byte[bytes]()), m_size(bytes) {}
  // `bytes` bytes from `offset` of `storage`, which this block then helps to
  // keep alive. The caller guarantees offset + bytes lies within storage.
  CSampleBlock(const std::shared_ptr<std::byte[]>& storage, std::size_t offset, std::size_t bytes)
      : m_bytes(storage, storage.get() + offset), m_size(bytes) {}
  CSampleBlock(const CSampleBlock&) = delete;
  CSampleBlock& operator=(const CSampleBlock&) = delete;
  CSampleBlock(CSampleBlock&& other) noexcept
      : m_bytes(std::move(other.m_bytes)), m_size(std::exchange(other.m_size, 0)) {}
  CSampleBlock& operator=(CSampleBlock&& other) noexcept {
    m_bytes = std::move(other.m_bytes);
    m_size = std::exchange(other.m_size, 0);
    return *this;
  }
  ~CSampleBlock() = default;

  std::byte* data() { return m_bytes.get(); }
  const std::byte* data() const { return m_bytes.get(); }
  std::size_t size() const { return m_size; }
  bool empty() const { return m_size == 0; }

  // Same size and same bytes (not: same storage).
  friend bool operator==(const CSampleBlock& a, const CSampleBlock& b) {
    return a.m_size == b.m_size &&
           (a.m_size == 0 || std::memcmp(a.data(), b.data(), a.m_size) == 0);
  }

 private:
  std::shared_ptr<std::byte[]> m_bytes;  // may point into a larger allocation it shares
  std::size_t m_size = 0;
};

// One analog channel. Its block holds the raw samples in time order:
// int16 when the file holds integer data, float otherwise; frames x S
// elements. The block is released by CC3d::FreeSamples.
struct CAnalog {
  CSampleBlock m_pSamples;  // every element written by the reader, fixed address
  float m_fMax = 0.0f;      // largest raw sample
  float m_fMin = 0.0f;      // smallest raw sample
  float m_fOffset = 0.0f;   // zero offset, set by CC3d::ComputeAnalogScaling
  float m_fScale = 1.0f;    // SCALE x GEN_SCALE, set by CC3d::ComputeAnalogScaling

  const std::int16_t* IntSamples() const {
    return reinterpret_cast<const std::int16_t*>(m_pSamples.data());
  }
  const float* FloatSamples() const { return reinterpret_cast<const float*>(m_pSamples.data()); }
  std::int16_t* IntSamples() { return reinterpret_cast<std::int16_t*>(m_pSamples.data()); }
  float* FloatSamples() { return reinterpret_cast<float*>(m_pSamples.data()); }

  // Physical value of sample i: (raw - offset) x scale, the subtraction first.
  // i must lie in [0, sample count); nothing is checked, nothing allocated.
  float GetScaledSample(int i, float offset, float scale, int integerData) const {
    const float raw = integerData ? static_cast<float>(IntSamples()[i]) : FloatSamples()[i];
    return (raw - offset) * scale;
  }
};

// One 3-D point: four elements (X, Y, Z, fourth word) per frame, int16 or
// float like the analog samples. Released by CC3d::FreeSamples.
struct CVideo {
  CSampleBlock m_pData;
};
