// The parameter section: the record walk, group and parameter records, and
// the refusals that keep malformed sections from looping or overflowing.
#include <gtest/gtest.h>

#include "tests/core/ReaderTestUtil.h"

using c3dtest::GroupRec;
using c3dtest::ParamRec;
using c3dtest::Proc;
using c3dtest::RawRec;
using c3dtest::Recording;
using namespace readertest;

namespace {

Recording WithRecords(std::vector<c3dtest::Record> records, Proc proc = Proc::Intel) {
  Recording rec;
  rec.proc = proc;
  rec.records = std::move(records);
  return rec;
}

TEST(C3dParameterWalk, ReadsGroupsAndParametersInFileOrder) {
  for (const Proc proc : {Proc::Intel, Proc::Dec, Proc::Mips}) {
    GroupRec locked = Group(2, "LOCKD", "a locked group");
    locked.locked = true;  // name length -5: locked, five characters
    ParamRec inGroupZero = Numbers(0, "ZERO", 2, {}, {9});
    inGroupZero.locked = true;
    CC3d c3d;
    ASSERT_TRUE(LoadBytes(
        c3d, c3dtest::WriteC3d(WithRecords(
                 {Group(1, "POINT", "points"), locked, inGroupZero, Numbers(1, "USED", 2, {}, {3})},
                 proc))));
    ASSERT_EQ(c3d.m_nGroups, 2);
    EXPECT_EQ(c3d.m_groups[0]->m_strName, "POINT");
    EXPECT_EQ(c3d.m_groups[0]->m_nId, -1);
    EXPECT_EQ(c3d.m_groups[0]->m_bLocked, 0);
    EXPECT_EQ(c3d.m_groups[0]->m_strDescription, "points");
    EXPECT_EQ(c3d.m_groups[1]->m_strName, "LOCKD");
    EXPECT_EQ(c3d.m_groups[1]->m_bLocked, 1);
    EXPECT_EQ(c3d.m_groups[1]->m_nId, -2);
    ASSERT_EQ(c3d.m_nParams, 2);
    EXPECT_EQ(c3d.m_params[0]->m_strName, "ZERO");
    EXPECT_EQ(c3d.m_params[0]->m_nGroupId, 0);  // id 0 is a parameter of group 0
    EXPECT_EQ(c3d.m_params[0]->m_bLocked, 1);
    EXPECT_EQ(c3d.m_params[1]->m_nGroupId, 1);
  }
}

TEST(C3dParameterWalk, OtherTypeCodesKeepNoValuesAndTheWalkGoesOn) {
  for (const std::int8_t type : {std::int8_t{0}, std::int8_t{3}}) {
    CC3d c3d;
    ASSERT_TRUE(LoadBytes(
        c3d, c3dtest::WriteC3d(WithRecords({Group(1, "G"), Numbers(1, "ODD", type, {2, 3}, {}),
                                            Numbers(1, "AFTER", 2, {}, {5})}))));
    ASSERT_EQ(c3d.m_nParams, 2);
    EXPECT_TRUE(c3d.m_params[0]->m_pValues.empty());
    EXPECT_TRUE(c3d.m_params[0]->m_strings.empty());
    EXPECT_EQ(c3d.m_params[0]->m_nCount, 6);
    EXPECT_EQ(c3d.m_params[1]->m_pValues[0].AsInt16(), 5);
  }
}

TEST(C3dParameterWalk, AnOffsetOfZeroEndsTheWalk) {
  GroupRec last = Group(1, "LAST");
  last.offset = 0;  // points back at its own offset field, whose first byte is 0
  for (const Proc proc : {Proc::Intel, Proc::Dec, Proc::Mips}) {
    CC3d c3d;
    ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(WithRecords({last, Group(2, "NEVER")}, proc))));
    EXPECT_EQ(c3d.m_nGroups, 1);
  }
}

// An offset that does not move past the record's first byte would send the
// walk round for ever; the load fails instead.
TEST(C3dParameterWalk, BackwardOffsetsFailInsteadOfLooping) {
  // The group "LOOP" has a 4-character name: its record starts 6 bytes
  // before its offset field.
  for (const std::int16_t offset :
       {std::int16_t{-6}, std::int16_t{-7}, std::int16_t{-600}, std::int16_t{-32768}}) {
    GroupRec g = Group(1, "LOOP");
    g.offset = offset;
    CC3d c3d;
    EXPECT_FALSE(LoadBytes(c3d, c3dtest::WriteC3d(WithRecords({Group(2, "FIRST"), g}))));
    EXPECT_EQ(c3d.m_loadError, C3dLoadError::ParameterWalkLoop) << offset;
    EXPECT_EQ(c3d.m_nGroups, 1);  // what was read before the failure stays
  }
  ParamRec p = Numbers(1, "SELF", 2, {}, {1});
  p.offset = -6;
  CC3d c3d;
  EXPECT_FALSE(LoadBytes(c3d, c3dtest::WriteC3d(WithRecords({Group(1, "G"), p}))));
  EXPECT_EQ(c3d.m_loadError, C3dLoadError::ParameterWalkLoop);
  // One byte beyond the record's start is progress, not a loop.
  GroupRec forward = Group(1, "STEP");
  forward.offset = -5;
  CC3d stepping;
  LoadBytes(stepping, c3dtest::WriteC3d(WithRecords({forward})));
  EXPECT_NE(stepping.m_loadError, C3dLoadError::ParameterWalkLoop);
}

// The walk stops where the data section begins, block D counted from 1:
// bytes there are samples, and reading them as records makes phantom groups.
TEST(C3dParameterWalk, EndsAtTheFirstByteOfTheDataSection) {
  // Parameter section at block 2 (byte 512); its first record's offset field
  // sits at 512 + 4 + 2 + 5 ("POINT"); the data section starts at block 3.
  constexpr std::size_t kOffsetField = 512 + 4 + 2 + 5;
  constexpr std::size_t kBlock3 = 1024;
  const std::vector<std::uint8_t> phantom = {5, 0xFE, 'G', 'H', 'O', 'S', 'T', 0, 0, 0};
  for (const std::size_t at : {kBlock3, kBlock3 - 1}) {
    GroupRec first = Group(1, "POINT");
    first.offset = static_cast<std::int16_t>(at - kOffsetField);
    Recording rec = WithRecords({first});
    rec.dataBlock = 3;
    for (std::size_t i = 0; i < phantom.size(); ++i) rec.patches.push_back({at + i, phantom[i]});
    CC3d c3d;
    ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(rec))) << LoadErrorText(c3d.m_loadError);
    EXPECT_EQ(c3d.m_nGroups, at < kBlock3 ? 2 : 1) << "record at " << at;
  }
}

TEST(C3dParameterWalk, KeepsMoreThan255GroupsAndParameters) {
  std::vector<c3dtest::Record> records;
  for (int g = 0; g < 300; ++g)
    records.push_back(Group(static_cast<std::int8_t>(g % 127 + 1), "G" + std::to_string(g)));
  for (int p = 0; p < 300; ++p)
    records.push_back(Numbers(1, "P" + std::to_string(p), 2, {}, {double(p)}));
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(WithRecords(records))));
  ASSERT_EQ(c3d.m_nGroups, 300);
  ASSERT_EQ(c3d.m_nParams, 300);
  EXPECT_EQ(c3d.m_groups[299]->m_strName, "G299");
  EXPECT_EQ(c3d.m_params[0]->m_strName, "P0");  // not overwritten by a wrapped counter
  EXPECT_EQ(c3d.GetParameterString("G0", "P299", 0, 0), "299");
}

struct SizeRow {
  std::int8_t type;
  std::vector<std::uint8_t> dims;
  bool accepted;
};

class ParameterSize : public ::testing::TestWithParam<SizeRow> {};

TEST_P(ParameterSize, RefusesDataOrCountsAbove32767) {
  ParamRec big = Numbers(1, "BIG", GetParam().type, GetParam().dims, {});
  CC3d c3d;
  // The big record comes last (offset 0): a record above 32767 bytes cannot
  // point past itself with a 16-bit offset.
  const bool loaded = LoadBytes(c3d, c3dtest::WriteC3d(WithRecords({Group(1, "G"), big})));
  EXPECT_EQ(loaded, GetParam().accepted);
  if (!loaded) {
    EXPECT_EQ(c3d.m_loadError, C3dLoadError::ParameterTooLarge);
  } else {
    EXPECT_EQ(c3d.m_nParams, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParameterSize,
    ::testing::Values(SizeRow{1, {151, 217}, true},          // 32767 bytes, the largest
                      SizeRow{-1, {151, 217}, true},         // 217 rows of 151 characters
                      SizeRow{1, {255, 129}, false},         // 32895 bytes
                      SizeRow{2, {200, 100}, false},         // 20000 elements, 40000 bytes
                      SizeRow{4, {91, 91}, false},           // 8281 elements, 33124 bytes
                      SizeRow{-1, {0, 255, 255}, false},     // no bytes, but 65025 rows
                      SizeRow{100, {255, 2}, false},         // unknown type, 51000 bytes to skip
                      SizeRow{0, {255, 128}, true},          // type 0: no data, 32640 elements
                      SizeRow{0, {255, 255, 255}, false}));  // no data, but 16581375 elements

// Eleven bytes can claim 32640 empty rows: two thousand such records would
// hold 2 GB of strings. The records' memory is bounded by the file's size.
TEST(C3dParameterRecord, TinyRecordsClaimingHugeRowCountsAreRefused) {
  std::vector<c3dtest::Record> records = {Group(1, "G")};
  for (int i = 0; i < 2000; ++i) records.push_back(Chars(1, "R", {0, 128, 255}, {}));
  CC3d c3d;
  EXPECT_FALSE(LoadBytes(c3d, c3dtest::WriteC3d(WithRecords(records))));
  EXPECT_EQ(c3d.m_loadError, C3dLoadError::NotEnoughMemory);
  EXPECT_LT(c3d.m_nParams, 100);
}

TEST(C3dParameterRecord, DimensionCountAbove127IsNotANegativeSize) {
  // Name "D", id 1, offset, type 1, dimension count 200, then 200 dimensions of 1.
  std::vector<std::uint8_t> bytes = {1, 1, 'D', 0, 0, 1, 200};
  bytes.insert(bytes.end(), 200, 1);
  bytes.push_back(7);  // the single data byte
  bytes.push_back(0);  // no description
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(WithRecords({Group(1, "G"), RawRec{bytes}}))));
  ASSERT_EQ(c3d.m_nParams, 1);
  EXPECT_EQ(c3d.m_params[0]->m_nDimensions, 200);
  EXPECT_EQ(c3d.m_params[0]->m_nCount, 1);
  EXPECT_EQ(c3d.m_params[0]->m_pValues[0].AsByte(), 7);
}

TEST(C3dParameterRecord, DescriptionsOf128To255CharactersAreRead) {
  const std::string longText(163, 'd');
  ParamRec p = Numbers(1, "LONG", 2, {}, {1});
  p.description = longText;
  GroupRec g = Group(1, "G", std::string(255, 'g'));
  CC3d c3d;
  ASSERT_TRUE(
      LoadBytes(c3d, c3dtest::WriteC3d(WithRecords({g, p, Numbers(1, "NEXT", 2, {}, {2})}))));
  ASSERT_EQ(c3d.m_nParams, 2);
  EXPECT_EQ(c3d.m_params[0]->m_strDescription, longText);
  EXPECT_EQ(c3d.m_groups[0]->m_strDescription.size(), 255u);
  EXPECT_EQ(c3d.m_params[1]->m_strName, "NEXT");
}

TEST(C3dParameterRecord, NamesAndDescriptionsEndAtTheirFirstNul) {
  ParamRec p = Numbers(1, std::string("AB\0D", 4), 2, {}, {1});
  p.description = std::string("desc\0ription", 12);
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(WithRecords({Group(1, "G"), p}))));
  EXPECT_EQ(c3d.m_params[0]->m_strName, "AB");
  EXPECT_EQ(c3d.m_params[0]->m_strDescription, "desc");
}

TEST(C3dParameterRecord, NumericValuesKeepTheirTypeAndSign) {
  for (const Proc proc : {Proc::Intel, Proc::Dec, Proc::Mips}) {
    CC3d c3d;
    ASSERT_TRUE(LoadBytes(
        c3d, c3dtest::WriteC3d(WithRecords(
                 {Group(1, "G"), Numbers(1, "B", 1, {2}, {200, 0}),
                  Numbers(1, "W", 2, {2, 3}, {-1, 1, 2, 3, 4, 5}), Numbers(1, "F", 4, {}, {-2.5})},
                 proc))));
    ASSERT_EQ(c3d.m_nParams, 3);
    EXPECT_EQ(c3d.m_params[0]->m_pValues[0].AsByte(), 200);  // unsigned
    EXPECT_EQ(c3d.m_params[1]->m_nCount, 6);
    ASSERT_EQ(c3d.m_params[1]->m_pValues.size(), 6u);
    EXPECT_EQ(c3d.m_params[1]->m_pValues[0].AsInt16(), -1);  // 0xFFFF, signed
    EXPECT_EQ(c3d.m_params[2]->m_nCount, 1);                 // no dimensions: one element
    EXPECT_EQ(c3d.m_params[2]->m_pValues[0].AsFloat(), -2.5f);
  }
}

struct RowsCase {
  std::vector<std::uint8_t> dims;
  std::vector<std::uint8_t> data;
  std::vector<std::string> rows;
};

class CharacterRows : public ::testing::TestWithParam<RowsCase> {};

TEST_P(CharacterRows, EachRowEndsAtItsOwnFirstNul) {
  ParamRec p = Chars(1, "LABELS", GetParam().dims, {});
  p.raw = GetParam().data;
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(WithRecords({Group(1, "G"), p}))));
  ASSERT_EQ(c3d.m_nParams, 1);
  EXPECT_EQ(c3d.m_params[0]->m_strings, GetParam().rows);
  EXPECT_EQ(c3d.m_params[0]->m_nCount, static_cast<int>(GetParam().rows.size()));
}

std::vector<std::uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

INSTANTIATE_TEST_SUITE_P(
    Rows, CharacterRows,
    ::testing::Values(
        // NUL-padded rows as real files write them: every label survives.
        RowsCase{{4, 3}, Bytes(std::string("M1\0\0mm\0\0ab\0\0", 12)), {"M1", "mm", "ab"}},
        RowsCase{{4, 3}, Bytes("RHS L   WXYZ"), {"RHS ", "L   ", "WXYZ"}},  // blanks stay
        RowsCase{{6}, Bytes("abcdef"), {"abcdef"}},
        RowsCase{{2, 3}, Bytes("abcdef"), {"ab", "cd", "ef"}},
        RowsCase{{4, 2, 3},
                 Bytes("aaaabbbbccccddddeeeeffff"),
                 {"aaaa", "bbbb", "cccc", "dddd", "eeee", "ffff"}},
        RowsCase{{}, Bytes("Q"), {"Q"}},  // no dimensions: the one data byte
        RowsCase{{4, 0}, {}, {}},         // no rows at all
        RowsCase{{3, 2}, Bytes(std::string("a\0b   ", 6)), {"a", "   "}}));

TEST(C3dParameterSection, BlockOneAndBlockZeroFail) {
  Recording rec = WithRecords({Group(1, "G")});
  rec.patches = {{0, 1}};
  CC3d one;
  EXPECT_FALSE(LoadBytes(one, c3dtest::WriteC3d(rec)));
  EXPECT_EQ(one.m_loadError, C3dLoadError::ParamBlockOne);

  rec.patches = {{0, 0}};  // the section would start 512 bytes before the file
  CC3d zero;
  EXPECT_FALSE(LoadBytes(zero, c3dtest::WriteC3d(rec)));
  EXPECT_EQ(zero.m_loadError, C3dLoadError::ReadError);
}

TEST(C3dParameterSection, AnEmptySectionLoads) {
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(WithRecords({}))));
  EXPECT_EQ(c3d.m_nGroups, 0);
  EXPECT_EQ(c3d.m_nParams, 0);
}

}  // namespace
