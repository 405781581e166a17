// tremolux-cli csv end to end: the values of real files in each processor
// format against what `info --json --samples` says they hold, and refusals
// that exit 1 leaving no output behind.
#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "tests/support/C3dWriter.h"
#include "tests/support/RunCli.h"
#include "tests/support/ScratchDir.h"

namespace {

namespace fs = std::filesystem;

c3dtest::CliRun CsvCli(const c3dtest::ScratchDir& dir, const std::vector<std::string>& args) {
  return c3dtest::RunCli(TREMOLUX_CLI, args, dir.Path());
}

std::vector<std::string> CsvSplit(const std::string& text, const std::string& by) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  for (std::size_t next; (next = text.find(by, at)) != std::string::npos; at = next + by.size())
    parts.push_back(text.substr(at, next - at));
  parts.push_back(text.substr(at));
  return parts;
}

template <typename T>
T CsvNumber(const std::string& text) {
  T value{};
  const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
  EXPECT_TRUE(r.ec == std::errc() && r.ptr == text.data() + text.size()) << text;
  return value;
}

class CliCsvRealFile : public testing::TestWithParam<const char*> {};

// Catches: raw values written unscaled, the offset or scale of another
// channel, a byte order mistaken for another format's, columns out of step
// with their header, times counted from the first frame's number.
TEST_P(CliCsvRealFile, ValuesAreInfosSamplesScaled) {
  const fs::path file = fs::path(TREMOLUX_SAMPLES_DIR) / GetParam();
  if (!fs::exists(file)) GTEST_SKIP() << "no sample file at " << file;
  c3dtest::ScratchDir dir;
  const c3dtest::CliRun info = CsvCli(dir, {"info", file.string(), "--json", "--samples"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  const nlohmann::json doc = nlohmann::json::parse(info.out);
  const fs::path out = dir / "out.csv";
  const c3dtest::CliRun run = CsvCli(dir, {"csv", file.string(), "-o", out.string()});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::ifstream in(out, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::vector<std::string> rows = CsvSplit(text, "\r\n");

  const nlohmann::json& analogs = doc["analogs"];
  const double rate = doc["header"]["analog_samples_per_frame"].get<double>() *
                      static_cast<double>(doc["header"]["frame_rate"].get<float>());
  const std::size_t count = analogs[0]["sample_count"].get<std::size_t>();
  ASSERT_EQ(rows.size(), count + 2);  // header, samples, nothing after the last CR LF
  const std::vector<std::string> header = CsvSplit(rows[0], ",");
  ASSERT_EQ(header.size(), analogs.size() + 1);
  for (std::size_t c = 0; c < analogs.size(); ++c) {
    std::string label = analogs[c]["label"];
    while (!label.empty() && label.back() == ' ') label.pop_back();
    const std::string units = analogs[c]["units"];
    EXPECT_EQ(header[c + 1], units.empty() ? label : label + " [" + units + "]");
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::vector<std::string> f = CsvSplit(rows[i + 1], ",");
    ASSERT_EQ(f.size(), analogs.size() + 1) << "row " << i;
    ASSERT_EQ(CsvNumber<double>(f[0]), static_cast<double>(i) / rate) << "row " << i;
    for (std::size_t c = 0; c < analogs.size(); ++c) {
      const float raw = analogs[c]["samples"][i].get<float>();
      const float scaled =
          (raw - analogs[c]["offset"].get<float>()) * analogs[c]["scale"].get<float>();
      ASSERT_EQ(CsvNumber<float>(f[c + 1]), scaled) << "row " << i << " channel " << c;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EachProcessorFormat, CliCsvRealFile,
                         testing::Values("sample02/pc_int.c3d", "sample02/pc_real.c3d",
                                         "sample02/dec_int.c3d", "sample02/dec_real.c3d",
                                         "sample02/sgi_int.c3d", "sample02/sgi_real.c3d"));

// Catches: a refusal that exits 0 or 2, leaves a partial or empty file, or
// replaces the file that was there; a range in the wrong order, unit or
// direction accepted; channels and range chosen but ignored.
TEST(CliCsv, ChoosesChannelsAndRangeAndRefusesLeavingNothing) {
  c3dtest::ScratchDir dir;
  c3dtest::Recording rec;
  rec.frameRate = 10.0f;
  rec.samplesPerFrame = 10;  // 100 Hz, 2 s
  std::vector<double> a(200), b(200);
  for (int i = 0; i < 200; ++i)
    a[static_cast<std::size_t>(i)] = i, b[static_cast<std::size_t>(i)] = -i;
  rec.analog = {a, b};
  c3dtest::AddStandardParameters(rec, {"A", "B"}, {1.0, 1.0}, {0.0, 0.0}, 1.0);
  const std::string file = (dir / "two.c3d").string();
  ASSERT_TRUE(c3dtest::WriteFile(file, c3dtest::WriteC3d(rec)));

  const c3dtest::CliRun chosen = CsvCli(dir, {"csv", file, "--channel", "B", "--channel", "0",
                                              "--from", "0.5", "--to", "0.52", "-o", "-"});
  ASSERT_EQ(chosen.exitCode, 0) << chosen.err;
  EXPECT_EQ(chosen.out, "time [s],B,A\r\n0.5,-50,50\r\n0.51,-51,51\r\n0.52,-52,52\r\n");

  const fs::path out = dir / "kept.csv";
  ASSERT_TRUE(c3dtest::WriteFile(out.string(), {'o', 'l', 'd'}));
  const std::vector<std::vector<std::string>> refused = {
      {"--channel", "C"}, {"--channel", "2"},           {"--from", "3"},
      {"--from", "-1"},   {"--from", "1", "--to", "1"}, {"--from", "1", "--to", "0.5"},
  };
  bool toStdout = false;  // the rows alternate between the file and stdout
  for (const auto& extra : refused) {
    toStdout = !toStdout;
    std::vector<std::string> args = {"csv", file, "-o", toStdout ? "-" : out.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    const c3dtest::CliRun run = CsvCli(dir, args);
    EXPECT_EQ(run.exitCode, 1) << extra[0] << " " << extra[1];
    EXPECT_NE(run.err, "");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(c3dtest::ReadFile(out), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 4)
      << "two.c3d, kept.csv and the run's two captures, no partial file";
}

}  // namespace
