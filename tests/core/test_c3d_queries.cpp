// Parameter lookup, the text form of elements, the analog scaling and the
// channel naming rule the sound dialog lists.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "core/c3d/ChannelNames.h"
#include "tests/core/ReaderTestUtil.h"

using c3dtest::Recording;
using namespace readertest;

namespace {

// A loaded recording with two channels and the given parameter records.
CC3d& Loaded(CC3d& c3d, std::vector<c3dtest::Record> records, std::size_t channels = 2) {
  Recording rec;
  rec.analog.assign(channels, {-2048, 0, 4});
  rec.records = std::move(records);
  const auto bytes = c3dtest::WriteC3d(rec);
  EXPECT_TRUE(LoadBytes(c3d, bytes)) << LoadErrorText(c3d.m_loadError);
  return c3d;
}

TEST(FindParameter, MatchesWholeNamesWithoutRegardToCase) {
  CC3d c3d;
  Loaded(c3d, {Group(1, "Analog"), Chars(1, "LABELS", {4, 2}, {"a", "b"}), Group(2, "POINT"),
               Numbers(2, "USED", 2, {}, {3})});
  EXPECT_EQ(c3d.FindParameter("analog", "labels"), 0);
  EXPECT_EQ(c3d.FindParameter("ANALOG", "LaBeLs"), 0);
  EXPECT_EQ(c3d.FindParameter("Analog ", "Labels"), -1);  // nothing trimmed
  EXPECT_EQ(c3d.FindParameter("Analo", "Labels"), -1);
  EXPECT_EQ(c3d.FindParameter("Analog", "USED"), -1);  // only in another group
  EXPECT_EQ(c3d.FindParameter("point", "used"), 1);
  EXPECT_EQ(c3d.FindParameter("NONE", "USED"), -1);
}

TEST(FindParameter, SearchesOnlyTheFirstGroupOfAName) {
  CC3d c3d;
  Loaded(c3d, {Group(1, "PROCESSING"), Numbers(1, "A", 2, {}, {1}), Group(2, "PROCESSING"),
               Numbers(2, "B", 2, {}, {2})});
  EXPECT_EQ(c3d.FindParameter("PROCESSING", "A"), 0);
  EXPECT_EQ(c3d.FindParameter("PROCESSING", "B"), -1);
}

struct TextRow {
  const char* name;
  int index;
  int precision;
  const char* text;
};

class ParameterText : public ::testing::TestWithParam<TextRow> {};

TEST_P(ParameterText, FormatsLikeTheFixedFormats) {
  CC3d c3d;
  Loaded(c3d, {Group(1, "G"), Numbers(1, "BYTE", 1, {2}, {200, 7}),
               Numbers(1, "WORD", 2, {3}, {-1, 32767, -32768}),
               Numbers(1, "REAL", 4, {5}, {0.000030517578, -2.5, 2.5, 1e-9, 3.5}),
               Chars(1, "ROWS", {4, 2}, {"    ", "ab"}, '\0'), Numbers(1, "ODD", 3, {2}, {})});
  const TextRow& row = GetParam();
  EXPECT_EQ(c3d.GetParameterString("G", row.name, row.index, row.precision), row.text)
      << row.name << "[" << row.index << "] precision " << row.precision;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParameterText,
    ::testing::Values(TextRow{"BYTE", 0, 0, "200"}, TextRow{"BYTE", 1, 8, "7"},
                      TextRow{"WORD", 0, 0, "-1"},
                      TextRow{"WORD", 2, 5, "-32768"},  // precision ignored
                      TextRow{"REAL", 0, 8, "0.00003052"}, TextRow{"REAL", 1, 8, "-2.50000000"},
                      TextRow{"REAL", 2, 0, "2"},  // rounded to even by the fixed format
                      TextRow{"REAL", 4, 0, "4"}, TextRow{"REAL", 3, 8, "0.00000000"},
                      TextRow{"REAL", 1, -3, "-2"},   // a negative precision counts as 0
                      TextRow{"ROWS", 0, 0, "    "},  // blanks are kept
                      TextRow{"ROWS", 1, 0, "ab"}, TextRow{"ROWS", 2, 0, ""},
                      TextRow{"WORD", 3, 0, ""},
                      TextRow{"WORD", -1, 0, ""},  // outside the elements
                      TextRow{"ODD", 0, 0, ""}, TextRow{"MISSING", 0, 0, ""}));

TEST(ParameterText, DoesNotFollowTheCLocalesDecimalComma) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  const char* comma = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      comma = name;
      break;
    }
  }
  if (comma == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
  CC3d c3d;
  Loaded(c3d, {Group(1, "ANALOG"), Numbers(1, "SCALE", 4, {2}, {0.5, 0.25})});
  const std::string text = c3d.GetParameterString("ANALOG", "SCALE", 0, 8);
  const float scale = c3d.m_analogs[1]->m_fScale;
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(text, "0.50000000") << comma;
  EXPECT_EQ(scale, 0.25f);
}

TEST(IsNumeric, AcceptsASignDigitsAndOnePoint) {
  for (const char* yes : {"0", "12", ".", "5.", "-.5", "+12", "-0.00003052", "007"}) {
    EXPECT_TRUE(IsNumeric(yes)) << yes;
  }
  for (const char* no :
       {"", "-", "+", "1e-5", " 1", "1 ", "1.2.3", "--1", "+-1", "nan", "inf", "1,5"}) {
    EXPECT_FALSE(IsNumeric(no)) << no;
  }
}

struct ScalingRow {
  const char* what;
  std::vector<c3dtest::Record> records;
  float offset0, scale0, offset1, scale1;
};

class AnalogScaling : public ::testing::TestWithParam<ScalingRow> {};

TEST_P(AnalogScaling, SettlesOffsetAndScaleTimesGenScale) {
  CC3d c3d;
  Loaded(c3d, GetParam().records);
  ASSERT_EQ(c3d.m_analogs.size(), 2u);
  EXPECT_FLOAT_EQ(c3d.m_analogs[0]->m_fOffset, GetParam().offset0);
  EXPECT_FLOAT_EQ(c3d.m_analogs[0]->m_fScale, GetParam().scale0);
  EXPECT_FLOAT_EQ(c3d.m_analogs[1]->m_fOffset, GetParam().offset1);
  EXPECT_FLOAT_EQ(c3d.m_analogs[1]->m_fScale, GetParam().scale1);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AnalogScaling,
    ::testing::Values(ScalingRow{"no ANALOG group", {Group(1, "POINT")}, 0, 1, 0, 1},
                      ScalingRow{"group without parameters", {Group(1, "ANALOG")}, 0, 1, 0, 1},
                      ScalingRow{"GEN_SCALE only",
                                 {Group(1, "ANALOG"), Numbers(1, "GEN_SCALE", 4, {}, {0.5})},
                                 0,
                                 0.5f,
                                 0,
                                 0.5f},
                      ScalingRow{"SCALE shorter than the channels",
                                 {Group(1, "ANALOG"), Numbers(1, "GEN_SCALE", 4, {}, {2}),
                                  Numbers(1, "SCALE", 4, {1}, {0.25})},
                                 0,
                                 0.5f,
                                 0,
                                 2},
                      ScalingRow{"tiny SCALE becomes 0, not the default",
                                 {Group(1, "ANALOG"), Numbers(1, "SCALE", 4, {2}, {1e-9, 1e-9})},
                                 0,
                                 0,
                                 0,
                                 0},
                      ScalingRow{"integer OFFSET taken exactly",
                                 {Group(1, "ANALOG"), Numbers(1, "OFFSET", 2, {2}, {-2048, 32767})},
                                 -2048,
                                 1,
                                 32767,
                                 1},
                      ScalingRow{"byte OFFSET, float SCALE rounded to 8 places",
                                 {Group(1, "analog"), Numbers(1, "offset", 1, {2}, {200, 1}),
                                  Numbers(1, "Scale", 4, {2}, {0.123456789, -3})},
                                 200,
                                 0.12345679f,
                                 1,
                                 -3},
                      ScalingRow{
                          "character rows count when plain numbers",
                          {Group(1, "ANALOG"), Chars(1, "SCALE", {4, 2}, {"2.5", "1e-3"}, '\0')},
                          0,
                          2.5f,
                          0,
                          1}),
    [](const auto& row) { return "Row" + std::to_string(row.index); });

TEST(AnalogScaling, NonFiniteParametersFallBackToTheDefaults) {
  CC3d c3d;
  Loaded(c3d, {Group(1, "ANALOG"), Numbers(1, "SCALE", 4, {2}, {std::nan(""), HUGE_VAL}),
               Numbers(1, "OFFSET", 4, {2}, {-HUGE_VAL, 1})});
  EXPECT_EQ(c3d.m_analogs[0]->m_fScale, 1.0f);
  EXPECT_EQ(c3d.m_analogs[1]->m_fScale, 1.0f);
  EXPECT_EQ(c3d.m_analogs[0]->m_fOffset, 0.0f);
  EXPECT_EQ(c3d.m_analogs[1]->m_fOffset, 1.0f);
}

TEST(AnalogScaling, AHugeCharacterNumberBecomesInfinityNotUndefined) {
  CC3d c3d;
  const std::string huge(60, '9');  // 1e60: beyond float, within double
  Loaded(c3d, {Group(1, "ANALOG"), Chars(1, "SCALE", {60, 2}, {huge, "-" + huge.substr(1)}, '\0')});
  EXPECT_EQ(c3d.m_analogs[0]->m_fScale, HUGE_VALF);
  EXPECT_EQ(c3d.m_analogs[1]->m_fScale, -HUGE_VALF);
}

TEST(AnalogSamples, CountAndScaledValue) {
  Recording rec;
  rec.firstFrame = 1;
  rec.lastFrame = 100;
  rec.samplesPerFrame = 10;
  rec.analog = {std::vector<double>(1000, -2048)};
  rec.records = {Group(1, "ANALOG"), Numbers(1, "OFFSET", 2, {1}, {-2048}),
                 Numbers(1, "SCALE", 4, {1}, {0.01})};
  CC3d c3d;
  ASSERT_TRUE(LoadBytes(c3d, c3dtest::WriteC3d(rec)));
  EXPECT_EQ(c3d.GetAnalogSampleCount(), 1000);
  const CAnalog& a = *c3d.m_analogs[0];
  EXPECT_EQ(a.GetScaledSample(999, a.m_fOffset, a.m_fScale, c3d.m_bIntegerData), 0.0f);
  EXPECT_FLOAT_EQ(a.GetScaledSample(0, 48.0f, 0.5f, 1), -1048.0f);  // subtraction first
}

TEST(AnalogChannelName, UsesLabelsOrChanNumbers) {
  CC3d c3d;
  Loaded(c3d, {Group(1, "ANALOG"), Chars(1, "LABELS", {6, 2}, {"EMG 1", ""}, '\0')}, 3);
  EXPECT_EQ(AnalogChannelName(c3d, 0), "EMG 1");
  EXPECT_EQ(AnalogChannelName(c3d, 1), "Chan 2");  // an empty row
  EXPECT_EQ(AnalogChannelName(c3d, 2), "Chan 3");  // beyond the rows
  CC3d unlabelled;
  Loaded(unlabelled, {Group(1, "POINT")}, 1);
  EXPECT_EQ(AnalogChannelName(unlabelled, 0), "Chan 1");
}

}  // namespace
