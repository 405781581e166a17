// The channels' CSV text: what each row holds (times, scaled values that read
// back to the same floats), RFC 4180 quoting of labels, the words for
// non-finite values, the '.' whatever the locale, and refusals that leave the
// sink untouched.
#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/export/ChannelsCsv.h"
#include "tests/support/C3dWriter.h"

namespace {

// The bytes a write hands over, optionally refusing from the nth block on.
class CStringSink : public sound::IByteSink {
 public:
  explicit CStringSink(int refuseFrom = -1) : m_refuseFrom(refuseFrom) {}
  bool Write(std::span<const std::uint8_t> bytes) override {
    if (m_blocks++ == m_refuseFrom) return false;
    text.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
  }
  std::string text;

 private:
  int m_refuseFrom;
  int m_blocks = 0;
};

std::vector<std::string> Split(const std::string& text, const std::string& by) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (std::size_t next; (next = text.find(by, at)) != std::string::npos; at = next + by.size())
    parts.push_back(text.substr(at, next - at));
  parts.push_back(text.substr(at));
  return parts;
}

// Loads the recording `rec` describes.
void LoadRecording(CC3d& c3d, c3dtest::Recording rec) {
  const std::vector<std::uint8_t> bytes = c3dtest::WriteC3d(rec);
  ASSERT_TRUE(c3d.LoadFromMemory(bytes.data(), bytes.size()));
}

c3dtest::Recording TwoChannels(bool floatData) {
  c3dtest::Recording rec;
  rec.floatData = floatData;
  rec.frameRate = 50.0f;
  rec.samplesPerFrame = 4;  // 200 Hz: times i / 200
  std::vector<double> a, b;
  for (int i = 0; i < 40; ++i) {
    a.push_back(2048 + 37 * i);
    b.push_back(floatData ? 0.1 * i - 1.7 : -300 + 11 * i);
  }
  rec.analog = {a, b};
  c3dtest::AddStandardParameters(rec, {"EMG 1  ", "Force, \"Z\""}, {0.00244140625, 0.3}, {2048, -5},
                                 1.0);
  rec.records.push_back(c3dtest::ParamRec{
      2, "UNITS", false, -1, {2, 2}, {}, {"mV", "N"}, ' ', {}, "Channel units", {}, {}});
  return rec;
}

// Catches: values formatted by another rule than the scaled sample (offset
// after the scale, a double product, too few digits), times counted from
// another origin, rows in the wrong order, LF instead of CR LF.
TEST(ChannelsCsv, RowsHoldTimesAndScaledValuesThatReadBack) {
  for (const bool floatData : {false, true}) {
    SCOPED_TRACE(floatData ? "float" : "int");
    CC3d c3d;
    LoadRecording(c3d, TwoChannels(floatData));
    CStringSink sink;
    const std::vector<int> channels = {1, 0};
    ASSERT_EQ(csv::WriteChannelsCsv(c3d, channels, {5, 30}, sink), csv::CsvStatus::Written);
    const std::vector<std::string> rows = Split(sink.text, "\r\n");
    ASSERT_EQ(rows.size(), 1u + 25u + 1u);  // header, samples 5..29, empty after the last CR LF
    EXPECT_EQ(rows[0], "time [s],\"Force, \"\"Z\"\" [N]\",EMG 1 [mV]");
    EXPECT_EQ(rows.back(), "");
    EXPECT_EQ(sink.text.find('\n'), sink.text.find("\r\n") + 1);
    for (int i = 5; i < 30; ++i) {
      const std::vector<std::string> f = Split(rows[static_cast<std::size_t>(i - 4)], ",");
      ASSERT_EQ(f.size(), 3u) << rows[static_cast<std::size_t>(i - 4)];
      double t = 0;
      std::from_chars(f[0].data(), f[0].data() + f[0].size(), t);
      EXPECT_EQ(t, i / 200.0) << f[0];
      for (int k = 0; k < 2; ++k) {
        const CAnalog& a = *c3d.m_analogs[static_cast<std::size_t>(channels[k])];
        float v = 0;
        const std::string& text = f[static_cast<std::size_t>(k) + 1];
        std::from_chars(text.data(), text.data() + text.size(), v);
        EXPECT_EQ(v, a.GetScaledSample(i, a.m_fOffset, a.m_fScale, c3d.m_bIntegerData)) << text;
      }
    }
    EXPECT_EQ(Split(rows[1], ",")[0], "0.025");  // shortest text, not 0.025000000000000001
  }
}

// Catches: a label with a separator or quote breaking the columns, CR or LF
// left bare, quotes added where none are needed, Latin-1 bytes left as they
// are (not UTF-8).
TEST(ChannelsCsv, FieldsAreQuotedAsRfc4180Says) {
  const struct {
    const char* field;
    const char* quoted;
  } rows[] = {
      {"EMG 1", "EMG 1"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
      {"'single'", "'single'"},
  };
  for (const auto& r : rows) EXPECT_EQ(csv::QuoteCsvField(r.field), r.quoted) << r.field;

  CC3d c3d;
  LoadRecording(c3d, TwoChannels(false));
  // A label with a separator and a byte above 0x7F, as the file would store it.
  const int labels = c3d.FindParameter("ANALOG", "LABELS");
  ASSERT_GE(labels, 0);
  c3d.m_params[static_cast<std::size_t>(labels)]->m_strings[0] = "\xB5V,1";
  CStringSink sink;
  const std::vector<int> first = {0};
  ASSERT_EQ(csv::WriteChannelsCsv(c3d, first, {0, 1}, sink), csv::CsvStatus::Written);
  EXPECT_EQ(Split(sink.text, "\r\n")[0], "time [s],\"\xC2\xB5V,1 [mV]\"");
}

// Catches: NaN or infinities written as "nan"/"inf" (or garbage), unlike
// `info --json`, and a negative zero losing its sign.
TEST(ChannelsCsv, NonFiniteValuesAreWords) {
  c3dtest::Recording rec;
  rec.floatData = true;
  rec.analog = {{std::nan(""), std::numeric_limits<double>::infinity(),
                 -std::numeric_limits<double>::infinity(), -0.0, 1e-7}};
  c3dtest::AddStandardParameters(rec, {"A"}, {1.0}, {0.0}, 1.0);
  CC3d c3d;
  LoadRecording(c3d, rec);
  CStringSink sink;
  const std::vector<int> channel = {0};
  ASSERT_EQ(csv::WriteChannelsCsv(c3d, channel, {}, sink), csv::CsvStatus::Written);
  EXPECT_EQ(sink.text,
            "time [s],A\r\n0,NaN\r\n0.01,Infinity\r\n0.02,-Infinity\r\n0.03,-0\r\n0.04,1e-07\r\n");
}

// Catches: a decimal comma under a locale that uses one (printf-style
// formatting follows LC_NUMERIC; the writer must not).
TEST(ChannelsCsv, DecimalPointWhateverTheLocale) {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  const char* found = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"}) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      found = name;
      break;
    }
  }
  if (found == nullptr)
    GTEST_SKIP() << "no locale with a decimal comma is installed (de_DE, fr_FR)";
  CC3d c3d;
  LoadRecording(c3d, TwoChannels(true));
  CStringSink sink;
  const std::vector<int> channel = {1};
  const csv::CsvStatus status = csv::WriteChannelsCsv(c3d, channel, {1, 2}, sink);
  std::setlocale(LC_ALL, before.c_str());
  ASSERT_EQ(status, csv::CsvStatus::Written) << found;
  EXPECT_EQ(Split(sink.text, "\r\n")[1].substr(0, 6), "0.005,") << found;
}

// Catches: a refusal that has already written the header, an index past the
// channels accepted, a range clamped into emptiness written as a header alone,
// and a write that goes on after the sink refused.
TEST(ChannelsCsv, RefusesBeforeTheFirstByteAndStopsWhenTheSinkRefuses) {
  CC3d c3d;
  LoadRecording(c3d, TwoChannels(false));
  const struct {
    std::vector<int> channels;
    csv::CsvSampleRange range;
    csv::CsvStatus status;
  } rows[] = {
      {{}, {}, csv::CsvStatus::NoChannels},        {{0, 2}, {}, csv::CsvStatus::NoSuchChannel},
      {{-1}, {}, csv::CsvStatus::NoSuchChannel},   {{0}, {40, 50}, csv::CsvStatus::EmptyRange},
      {{0}, {10, 10}, csv::CsvStatus::EmptyRange}, {{0}, {-1, 10}, csv::CsvStatus::EmptyRange},
      {{0}, {39, 1000}, csv::CsvStatus::Written},
  };
  for (const auto& r : rows) {
    CStringSink sink;
    EXPECT_EQ(csv::WriteChannelsCsv(c3d, r.channels, r.range, sink), r.status);
    EXPECT_EQ(sink.text.empty(), r.status != csv::CsvStatus::Written);
  }
  CC3d noRate;
  c3dtest::Recording rec = TwoChannels(false);
  rec.frameRate = 0.0f;
  LoadRecording(noRate, rec);
  CStringSink untouched;
  const std::vector<int> channel = {0};
  EXPECT_EQ(csv::WriteChannelsCsv(noRate, channel, {}, untouched), csv::CsvStatus::NoTimes);
  EXPECT_EQ(untouched.text, "");

  // 400 columns of 40 rows are more than one 64 KiB block; the second is refused.
  const std::vector<int> many(400, 1);
  CStringSink refusing(1);
  EXPECT_EQ(csv::WriteChannelsCsv(c3d, many, {}, refusing), csv::CsvStatus::SinkFailed);
  EXPECT_GT(refusing.text.size(), 60000u);
  EXPECT_LE(refusing.text.size(), 64u * 1024u);
}

}  // namespace
