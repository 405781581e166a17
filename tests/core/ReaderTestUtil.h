#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "core/c3d/C3d.h"
#include "tests/support/C3dWriter.h"

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
inline double SampleAt(const CC3d& c3d, const CSampleBlock& block, std::size_t i) {
  if (c3d.m_bIntegerData) return reinterpret_cast<const std::int16_t*>(block.data())[i];
  return reinterpret_cast<const float*>(block.data())[i];
}

// Expects the groups, parameters and events of `c3d` to equal those of
// `reference`. The parameter at index `unsigned` (if any) may differ in sign:
// POINT:SCALE is negative in float files, like the header's scale factor.
inline void ExpectSameRecords(const CC3d& c3d, const CC3d& reference, int unsignedParam = -1) {
  ASSERT_EQ(c3d.m_nGroups, reference.m_nGroups);
  for (int g = 0; g < c3d.m_nGroups; ++g) {
    EXPECT_EQ(c3d.m_groups[g]->m_strName, reference.m_groups[g]->m_strName);
    EXPECT_EQ(c3d.m_groups[g]->m_nId, reference.m_groups[g]->m_nId);
    EXPECT_EQ(c3d.m_groups[g]->m_strDescription, reference.m_groups[g]->m_strDescription);
  }
  ASSERT_EQ(c3d.m_nParams, reference.m_nParams);
  for (int p = 0; p < c3d.m_nParams; ++p) {
    const CParam& a = *c3d.m_params[p];
    const CParam& b = *reference.m_params[p];
    SCOPED_TRACE(a.m_strName);
    EXPECT_EQ(a.m_strName, b.m_strName);
    EXPECT_EQ(a.m_nType, b.m_nType);
    EXPECT_EQ(a.m_pDimensions, b.m_pDimensions);
    EXPECT_EQ(a.m_nCount, b.m_nCount);
    EXPECT_EQ(a.m_strings, b.m_strings);
    ASSERT_EQ(a.m_pValues.size(), b.m_pValues.size());
    for (std::size_t i = 0; i < a.m_pValues.size(); ++i) {
      // Compare what the type uses of each cell.
      if (a.m_nType == 1) {
        EXPECT_EQ(a.m_pValues[i].AsByte(), b.m_pValues[i].AsByte());
      } else if (a.m_nType == 2) {
        EXPECT_EQ(a.m_pValues[i].AsInt16(), b.m_pValues[i].AsInt16());
      } else {
        const float x = a.m_pValues[i].AsFloat();
        EXPECT_EQ(p == unsignedParam ? std::fabs(x) : x, b.m_pValues[i].AsFloat());
      }
    }
  }
  ASSERT_EQ(c3d.m_events.size(), reference.m_events.size());
  for (std::size_t e = 0; e < c3d.m_events.size(); ++e) {
    EXPECT_EQ(c3d.m_events[e]->m_strLabel, reference.m_events[e]->m_strLabel);
    EXPECT_EQ(c3d.m_events[e]->m_fTime, reference.m_events[e]->m_fTime);
    EXPECT_EQ(c3d.m_events[e]->m_nFrame, reference.m_events[e]->m_nFrame);
    EXPECT_EQ(c3d.m_events[e]->m_nAnalogSample, reference.m_events[e]->m_nAnalogSample);
    EXPECT_EQ(c3d.m_events[e]->m_nDisplay, reference.m_events[e]->m_nDisplay);
  }
}

// Expects every analog channel of `c3d` to hold the values, extremes, offset
// and scale of `reference`, whether either file stores int16 or floats.
inline void ExpectSameAnalogs(const CC3d& c3d, const CC3d& reference) {
  ASSERT_EQ(c3d.m_analogs.size(), reference.m_analogs.size());
  ASSERT_EQ(c3d.GetAnalogSampleCount(), reference.GetAnalogSampleCount());
  const auto count = static_cast<std::size_t>(reference.GetAnalogSampleCount());
  for (std::size_t m = 0; m < c3d.m_analogs.size(); ++m) {
    for (std::size_t i = 0; i < count; ++i) {
      ASSERT_EQ(SampleAt(c3d, c3d.m_analogs[m]->m_pSamples, i),
                SampleAt(reference, reference.m_analogs[m]->m_pSamples, i))
          << "channel " << m << " sample " << i;
    }
    EXPECT_EQ(c3d.m_analogs[m]->m_fMin, reference.m_analogs[m]->m_fMin);
    EXPECT_EQ(c3d.m_analogs[m]->m_fMax, reference.m_analogs[m]->m_fMax);
    EXPECT_EQ(c3d.m_analogs[m]->m_fOffset, reference.m_analogs[m]->m_fOffset);
    EXPECT_EQ(c3d.m_analogs[m]->m_fScale, reference.m_analogs[m]->m_fScale);
  }
}

}  // namespace readertest
