#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "c3d/C3d.h"
#include "support/C3dWriter.h"

// Small builders shared by the reader's tests.
namespace readertest {

inline bool LoadBytes(CC3d& c3d, const std::vector<std::uint8_t>& bytes) {
  return c3d.LoadFromMemory(bytes.data(), bytes.size());
}

inline c3dtest::GroupRec Group(std::int8_t id, std::string name, std::string description = {}) {
  c3dtest::GroupRec g;
  g.id = id;
  g.name = std::move(name);
  g.description = std::move(description);
  return g;
}

inline c3dtest::ParamRec Numbers(std::int8_t group, std::string name, std::int8_t type,
                                 std::vector<std::uint8_t> dims, std::vector<double> numbers) {
  c3dtest::ParamRec p;
  p.groupId = group;
  p.name = std::move(name);
  p.type = type;
  p.dims = std::move(dims);
  p.numbers = std::move(numbers);
  return p;
}

inline c3dtest::ParamRec Chars(std::int8_t group, std::string name, std::vector<std::uint8_t> dims,
                               std::vector<std::string> rows, char pad = ' ') {
  c3dtest::ParamRec p;
  p.groupId = group;
  p.name = std::move(name);
  p.type = -1;
  p.dims = std::move(dims);
  p.strings = std::move(rows);
  p.pad = pad;
  return p;
}

// Element i of a sample block as a double, whatever the element type.
inline double SampleAt(const CC3d& c3d, const std::vector<std::byte>& block, std::size_t i) {
  if (c3d.m_bIntegerData) return reinterpret_cast<const std::int16_t*>(block.data())[i];
  return reinterpret_cast<const float*>(block.data())[i];
}

}  // namespace readertest
