#include "core/export/ChannelsCsv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"

namespace csv {

namespace {

// Bytes gathered before the sink is called: large enough that the sink's
// cost (a stdio write, a progress update) vanishes beside the formatting.
constexpr std::size_t kBlockBytes = 64 * 1024;
// The longest number field: a double's shortest text is at most 24
// characters ("-2.2250738585072014e-308"), NaN's and the infinities' fewer;
// with its separator, well under this.
constexpr std::size_t kMaxNumberField = 32;

// Gathers the text into one block and hands each full block to the sink.
// Once the sink has refused, every later call does nothing.
class CCsvBlock {
 public:
  explicit CCsvBlock(sound::IByteSink& sink) : m_sink(sink) { m_bytes.resize(kBlockBytes); }

  void Text(std::string_view text) {
    while (!text.empty()) {
      if (m_used == m_bytes.size() && !Flush()) return;
      const std::size_t n = std::min(text.size(), m_bytes.size() - m_used);
      std::copy_n(text.data(), n, m_bytes.data() + m_used);
      m_used += n;
      text.remove_prefix(n);
    }
  }

  // Room for one number field and its separator; false when the sink refused.
  bool Reserve() { return m_bytes.size() - m_used >= kMaxNumberField || Flush(); }

  // A ',' before a value in the reserved room.
  void Comma() { m_bytes[m_used++] = ','; }
  void LineEnd() { Text("\r\n"); }

  // T is float or double: its shortest round-trip text, in the reserved room.
  template <typename T>
  void Number(T value) {
    if (std::isnan(value)) {
      Put("NaN");
    } else if (std::isinf(value)) {
      Put(value > 0 ? "Infinity" : "-Infinity");
    } else {
      char* at = m_bytes.data() + m_used;
      // Cannot fail: the reserved room exceeds the longest shortest text.
      m_used = static_cast<std::size_t>(std::to_chars(at, at + kMaxNumberField, value).ptr -
                                        m_bytes.data());
    }
  }

  // Hands the gathered bytes to the sink; false when it refused them (now
  // or before).
  bool Flush() {
    if (m_failed) return false;
    const auto* data = reinterpret_cast<const std::uint8_t*>(m_bytes.data());
    if (m_used > 0 && !m_sink.Write(std::span<const std::uint8_t>(data, m_used))) m_failed = true;
    m_used = 0;
    return !m_failed;
  }

 private:
  void Put(std::string_view text) {
    std::copy(text.begin(), text.end(), m_bytes.data() + m_used);
    m_used += text.size();
  }

  sound::IByteSink& m_sink;
  std::vector<char> m_bytes;
  std::size_t m_used = 0;
  bool m_failed = false;
};

}  // namespace

std::string QuoteCsvField(std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
  std::string quoted = "\"";
  for (const char c : field) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

CsvStatus WriteChannelsCsv(const CC3d& c3d, std::span<const int> channels, CsvSampleRange range,
                           sound::IByteSink& sink) {
  if (channels.empty()) return CsvStatus::NoChannels;
  std::vector<const CAnalog*> analogs;
  analogs.reserve(channels.size());
  for (const int c : channels) {
    if (c < 0 || static_cast<std::size_t>(c) >= c3d.m_analogs.size()) {
      return CsvStatus::NoSuchChannel;
    }
    analogs.push_back(c3d.m_analogs[static_cast<std::size_t>(c)].get());
  }
  const double rate = static_cast<double>(c3d.AnalogRate());
  if (!(rate > 0.0) || !std::isfinite(rate)) return CsvStatus::NoTimes;
  // Load refuses a count past int's range, so every index below fits the
  // int that GetScaledSample takes. A block shorter than the count (a
  // recording built by hand) ends the rows where it ends.
  std::int64_t count = std::max(c3d.GetAnalogSampleCount(), 0);
  for (const CAnalog* a : analogs)
    count = std::min(count, static_cast<std::int64_t>(a->m_pSamples.size() / c3d.SampleWidth()));
  const std::int64_t last = std::min(range.last, count);
  if (range.first < 0 || range.first >= last) return CsvStatus::EmptyRange;

  CCsvBlock out(sink);
  out.Text("time [s]");
  const std::vector<std::string> headings = AnalogChannelHeadings(c3d);
  for (const int c : channels) {
    out.Text(",");
    out.Text(Utf8FromLatin1(QuoteCsvField(headings[static_cast<std::size_t>(c)])));
  }
  out.LineEnd();
  const int integer = c3d.m_bIntegerData ? 1 : 0;
  for (std::int64_t i = range.first; i < last; ++i) {
    if (!out.Reserve()) return CsvStatus::SinkFailed;
    out.Number(static_cast<double>(i) / rate);
    const int at = static_cast<int>(i);  // below count, which fits an int (above)
    for (const CAnalog* a : analogs) {
      if (!out.Reserve()) return CsvStatus::SinkFailed;
      out.Comma();
      out.Number(a->GetScaledSample(at, a->m_fOffset, a->m_fScale, integer));
    }
    out.LineEnd();
  }
  return out.Flush() ? CsvStatus::Written : CsvStatus::SinkFailed;
}

}  // namespace csv
