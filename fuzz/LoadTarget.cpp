#include "fuzz/LoadTarget.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/ChannelNames.h"
#include "core/plot/PlotGeometry.h"
#include "core/sound/PlayChecks.h"
#include "core/sound/SoundLevel.h"
#include "core/sound/WaveFormat.h"
#include "core/sound/WaveSynthesis.h"

namespace {

using namespace fuzztarget;

std::size_t g_loadedRuns = 0;
BuildLimits g_limits = kFullLimits;

// A broken invariant is a finding: say which and stop, so the input is kept.
void Expect(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "load target: invariant broken: %s\n", what);
  std::abort();
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool IsShownText(const std::string& text) {
  for (const char* known : {Messages::kNotEnoughMemory, Messages::kFreqTooLow,
                            Messages::kFreqTooHigh, Messages::kCouldNotCreate, Messages::kError}) {
    if (text == known) return true;
  }
  return false;
}

// The platform side of a build, as the sound dialog would see it: checks
// that every shown text comes from the message table, that the wait cursor
// is balanced and that a build plays at most once. Owned by one build.
class CheckingSoundHost : public sound::ISoundHost {
 public:
  void StopSound() override {}
  void SetStatus(const std::string& text) override {
    Expect(text == Messages::kStatusIdle || text == Messages::kStatusProcessing ||
               text == Messages::kStatusDone,
           "a status line outside the three states");
  }
  void ShowMessage(const std::string& text) override {
    Expect(IsShownText(text), "a message outside the message table");
    ++messages;
  }
  void BeginWaitCursor() override { ++waitDepth; }
  void EndWaitCursor() override {
    --waitDepth;
    Expect(waitDepth >= 0, "the wait cursor ended more often than it began");
  }
  void PlayFile(const std::filesystem::path&) override { ++plays; }
  void ShowHint(const std::string&) override {}

  int messages = 0;
  int waitDepth = 0;
  int plays = 0;
};

// The folder of the temporary WAVE file: a memory file system where there is
// one. On a disk file system, truncating and rewriting one file thousands of
// times a second makes the system write it out each time (ext4 does, to keep
// replaced files safe), and each run would wait milliseconds for the disk.
std::filesystem::path WaveFolder() {
  std::error_code ec;
  if (std::filesystem::is_directory("/dev/shm", ec)) return "/dev/shm";
  return std::filesystem::temp_directory_path();
}

// The temporary WAVE file of this process, removed when the process ends.
// The name carries a random number so parallel fuzzing jobs do not share it.
class TemporaryWave {
 public:
  TemporaryWave()
      : m_path(WaveFolder() /
               ("tremolux-fuzz-" + std::to_string(std::random_device{}()) + ".wav")) {}
  TemporaryWave(const TemporaryWave&) = delete;
  TemporaryWave& operator=(const TemporaryWave&) = delete;
  ~TemporaryWave() {
    std::error_code ec;
    std::filesystem::remove(m_path, ec);
  }
  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

const std::filesystem::path& WaveFile() {
  static const TemporaryWave file;
  return file.Path();
}

std::vector<std::uint8_t> ReadWhole(const std::filesystem::path& path) {
  std::error_code ec;
  const auto size = std::filesystem::file_size(path, ec);
  std::vector<std::uint8_t> bytes(ec ? 0 : static_cast<std::size_t>(size));
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

// What a successful load promises whatever the bytes were.
void CheckLoaded(const CC3d& c3d) {
  Expect(c3d.m_loadError == C3dLoadError::None, "a successful load reports an error");
  Expect(c3d.m_bDataAllocated, "a successful load without sample storage");
  Expect(c3d.m_nGroups == static_cast<int>(c3d.m_groups.size()), "group count");
  Expect(c3d.m_nParams == static_cast<int>(c3d.m_params.size()), "parameter count");
  Expect(c3d.m_events.size() <= 18, "more than 18 header events");
  Expect(c3d.m_analogs.size() == c3d.m_nAnalogChannels, "one CAnalog per channel");
  Expect(c3d.m_videos.size() == c3d.m_nPoints, "one CVideo per point");
  const std::size_t width = c3d.SampleWidth();
  const std::int64_t frames = c3d.FrameCount();
  const std::int64_t count = c3d.SamplesPerChannel();
  Expect(c3d.m_analogs.empty() || count > 0, "channels without samples");
  // Storage bounds the count only when there are channels to store: a file
  // of points alone may claim 65535 analog samples per frame for 55066 frames.
  Expect(c3d.m_analogs.empty() || count == c3d.GetAnalogSampleCount(),
         "a sample count past int's range was loaded");
  for (const auto& analog : c3d.m_analogs) {
    Expect(analog->m_pSamples.size() == static_cast<std::size_t>(count) * width,
           "channel block size");
    Expect(
        c3d.m_bIntegerData ? analog->m_fMin <= analog->m_fMax : !(analog->m_fMin > analog->m_fMax),
        "channel extremes out of order");
  }
  for (const auto& video : c3d.m_videos) {
    Expect(frames > 0 && video->m_pData.size() == static_cast<std::size_t>(frames) * 4 * width,
           "point block size");
  }
  for (const auto& p : c3d.m_params) {
    Expect(p->m_nCount >= 0, "negative element count");
    Expect(p->m_pDimensions.size() == p->m_nDimensions, "dimension count");
    const std::size_t n = static_cast<std::size_t>(p->m_nCount);
    if (p->m_nType == -1) {
      Expect(p->m_strings.size() == n && p->m_pValues.empty(), "character rows");
    } else if (p->m_nType == 1 || p->m_nType == 2 || p->m_nType == 4) {
      Expect(p->m_pValues.size() == n && p->m_strings.empty(), "numeric cells");
    } else {
      Expect(p->m_pValues.empty() && p->m_strings.empty(), "values of an unknown type");
    }
  }
}

// The lookups the program and the command-line tool make, and every element
// of the first parameters through their group's name.
void RunQueries(const CC3d& c3d) {
  static const char* const kUsual[][2] = {{"POINT", "USED"},          {"POINT", "RATE"},
                                          {"POINT", "SCALE"},         {"POINT", "LABELS"},
                                          {"POINT", "UNITS"},         {"ANALOG", "USED"},
                                          {"ANALOG", "RATE"},         {"ANALOG", "LABELS"},
                                          {"ANALOG", "SCALE"},        {"ANALOG", "OFFSET"},
                                          {"Analog", "gen_scale"},    {"ANALOG", "UNITS"},
                                          {"FORCE_PLATFORM", "USED"}, {"", ""}};
  for (const auto& q : kUsual) {
    const int found = c3d.FindParameter(q[0], q[1]);
    Expect(found >= -1 && found < c3d.m_nParams, "FindParameter's index");
    for (int index : {-1, 0, 1, 65535}) {
      for (int precision : {-1, 0, 8}) {
        const std::string text = c3d.GetParameterString(q[0], q[1], index, precision);
        Expect(found >= 0 || text.empty(), "text of an absent parameter");
      }
    }
  }
  for (std::size_t i = 0; i < c3d.m_params.size() && i < kQueriedParameters; ++i) {
    const CParam& p = *c3d.m_params[i];
    std::string group;
    for (const auto& g : c3d.m_groups) {
      if (g->m_nId == -p.m_nGroupId || g->m_nId == p.m_nGroupId) {
        group = g->m_strName;
        break;
      }
    }
    // By name (which may find an earlier namesake) for the ends of the
    // element range, by index for the elements.
    const auto param = static_cast<int>(i);  // below kQueriedParameters
    for (const int index : {-1, 0, p.m_nCount - 1, int{p.m_nCount}}) {
      c3d.GetParameterString(group, p.m_strName, index, 3);
      const std::string text = c3d.GetParameterElementString(param, index, 3);
      Expect(index >= 0 && index < p.m_nCount ? true : text.empty(), "text of an absent element");
    }
    for (int index = 0; index < p.m_nCount && index < 40; ++index) {
      IsNumeric(c3d.GetParameterElementString(param, index, 8));
    }
  }
}

// One Play build of `channel` at the typed rate `text`, checked against what
// the rate checks accepted and what the player would read back.
void BuildWave(const CC3d& c3d, int channel, const std::string& text, int bits,
               sound::SoundLevel level = sound::SoundLevel::AsRecorded) {
  const sound::PlayRateCheck check = sound::CheckPlayRate(c3d, text);
  if (check.message != nullptr) {
    Expect(IsShownText(check.message), "a rate check text outside the message table");
    return;
  }
  const int count = c3d.GetAnalogSampleCount();
  const float analogRate = sound::AnalogRate(c3d);
  Expect(analogRate > 0.0f && check.rate > analogRate && check.rate <= 44100.0f,
         "an accepted rate outside (A, 44100]");
  const auto wholeRate = static_cast<std::uint32_t>(check.rate);  // in (A, 44100]
  const double outputs = sound::ResampledLength(analogRate, static_cast<float>(wholeRate), count);
  if (count > g_limits.samples || (outputs > g_limits.outputs && outputs <= 2147483647.0)) return;

  CheckingSoundHost host;
  std::vector<float> soundBuffer;
  const auto outcome =
      sound::WriteWave(c3d, {.channel = channel, .bits = bits, .rate = check.rate, .level = level},
                       soundBuffer, WaveFile(), host);
  Expect(host.waitDepth == 0, "the wait cursor stays after a build");
  Expect(outcome == sound::WaveOutcome::Played || outcome == sound::WaveOutcome::PlayedEmpty,
         "a checked rate and a loaded channel failed to build");
  Expect(host.plays == 1, "a finished build plays once");
  Expect((outcome == sound::WaveOutcome::PlayedEmpty) == (host.messages == 1),
         "\"Error\" shown exactly when the build was refused");

  const auto bytes = ReadWhole(WaveFile());
  sound::PcmWaveInfo info;
  std::string why;
  Expect(sound::ParsePcmWave(bytes, info, why), "the player cannot read the built file");
  Expect(info.rate == wholeRate && info.bits == bits, "the header's rate or width");
  const std::size_t perSample = bits == 16 ? 2 : 1;
  const std::size_t samples =
      outcome == sound::WaveOutcome::Played ? static_cast<std::size_t>(outputs) : 0;
  Expect(info.dataBytes == samples * perSample && bytes.size() == 44 + samples * perSample,
         "the file holds N samples after a 44-byte header");
  const std::uint8_t* s = bytes.data() + info.dataOffset;
  const auto sampleAt = [&](std::size_t i) {
    return static_cast<std::uint16_t>(bits == 16 ? s[2 * i] | (s[2 * i + 1] << 8) : s[i]);
  };
  const bool fit = level == sound::SoundLevel::FitToChannel;
  if (samples > 0) {
    // Resampling keeps the first sample.
    const CAnalog& analog = *c3d.m_analogs[static_cast<std::size_t>(channel)];
    const float first = c3d.m_bIntegerData ? analog.IntSamples()[0] : analog.FloatSamples()[0];
    const sound::CFitScale scale(sound::ChannelRawRange(c3d, channel));
    const auto expected = static_cast<std::uint16_t>(
        bits == 16
            ? static_cast<std::uint16_t>(fit ? scale.Sample16(first) : sound::PcmSample16(first))
            : (fit ? scale.Sample8(first) : sound::PcmSample8(first)));
    Expect(sampleAt(0) == expected, "the first sample is not the first value mapped");
  }
  // The fit never reaches the most negative code: its scale stops one short
  // of it, and nothing wraps around to it.
  for (std::size_t i = 0; fit && i < samples; ++i) {
    Expect(sampleAt(i) != (bits == 16 ? 0x8000u : 0u), "a fitted sample beyond full scale");
  }
}

// The sound dialog's plot of one channel at one client size: one vertex per
// sample, every vertex and marker inside the client area.
void PlotChannel(const CC3d& c3d, int channel) {
  constexpr int kWidth = 401;
  constexpr int kHeight = 167;
  const CPlotTrace trace(&c3d, channel, kWidth, kHeight);
  Expect(trace.Draws(), "a loaded channel is not drawn");
  const std::int64_t count = c3d.GetAnalogSampleCount();
  Expect(trace.Count() == count, "one trace vertex per sample");
  Expect(trace.HasMarkers() == (count > 0 && kWidth > 10 * count),
         "markers exactly on short channels");
  std::int64_t vertices = 0;
  std::int64_t markers = 0;
  int lastX = 0;
  trace.Walk(
      [&](const PlotPoint& p) {
        Expect(p.x >= lastX && p.x <= kWidth && p.y >= 0 && p.y <= kHeight,
               "a vertex outside the plot");
        lastX = p.x;
        ++vertices;
      },
      [&](const PlotRect& r) {
        Expect(r.left < r.right && r.top < r.bottom, "an empty marker");
        ++markers;
      });
  Expect(vertices == count && markers == (trace.HasMarkers() ? count : 0), "the walk's counts");
}

// The builds of one channel: at the smallest whole rate above A as recorded,
// and fitted to the channel at the largest one up to 44100 whose build stays
// within the output bound.
void BuildChannel(const CC3d& c3d, int channel) {
  Expect(FindAnalogChannel(c3d, std::to_string(channel)) == channel, "a channel by its index");
  const float a = sound::AnalogRate(c3d);
  const int count = c3d.GetAnalogSampleCount();
  if (!(a >= 0.0f && a < 44100.0f) || count <= 0) {
    BuildWave(c3d, channel, "44100", 16);
    return;
  }
  const auto lowest = static_cast<long long>(a) + 1;  // a in [0, 44100)
  BuildWave(c3d, channel, std::to_string(lowest), 16);
  const double fitting = std::floor(g_limits.outputs * static_cast<double>(a) / count);
  const long long highest = fitting >= 44100.0 ? 44100 : static_cast<long long>(fitting);
  if (highest > lowest) {
    BuildWave(c3d, channel, std::to_string(highest), 8, sound::SoundLevel::FitToChannel);
  }
}

}  // namespace

std::size_t fuzztarget::LoadedRuns() { return g_loadedRuns; }

void fuzztarget::SetBuildLimits(const BuildLimits& limits) { g_limits = limits; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CC3d c3d;
  if (!c3d.LoadFromMemory(data, size)) {
    Expect(c3d.m_loadError != C3dLoadError::None, "a failed load without a reason");
    Expect(LoadErrorText(c3d.m_loadError) != nullptr, "a reason without a text");
    c3d.Clear();
    Expect(c3d.m_groups.empty() && c3d.m_params.empty() && c3d.m_analogs.empty(),
           "Clear keeps records");
    return 0;
  }
  ++g_loadedRuns;
  CheckLoaded(c3d);
  RunQueries(c3d);

  // The scaling Load ran gives the same values when run again.
  std::vector<std::pair<float, float>> settled;
  for (const auto& analog : c3d.m_analogs)
    settled.emplace_back(analog->m_fOffset, analog->m_fScale);
  c3d.ComputeAnalogScaling();
  for (std::size_t i = 0; i < settled.size(); ++i) {
    Expect(SameBits(settled[i].first, c3d.m_analogs[i]->m_fOffset) &&
               SameBits(settled[i].second, c3d.m_analogs[i]->m_fScale),
           "ComputeAnalogScaling is not repeatable");
  }

  // The sound dialog's channel list, then the rate checks it makes on Play.
  const std::vector<std::string> names = AnalogChannelNames(c3d);
  Expect(names.size() == c3d.m_analogs.size(), "one listed name per channel");
  for (const std::string& name : names) Expect(!name.empty(), "an empty channel name");
  for (const char* text : {"44100", "6000", "44100.5", "nan", "-1", "0x1p4", ""}) {
    sound::CheckPlayRate(c3d, text);
  }
  Expect(PlotGrid(401, 167).size() == 16, "five rows and eleven columns of grid");
  const std::size_t channels = c3d.m_analogs.size();
  const bool plot = c3d.GetAnalogSampleCount() <= g_limits.plotted;
  for (std::size_t i = 0; i < channels && g_limits.channels > 0; ++i) {
    if (i >= g_limits.channels && i + 1 != channels) continue;
    if (plot) PlotChannel(c3d, static_cast<int>(i));
    BuildChannel(c3d, static_cast<int>(i));
  }
  c3d.Clear();
  return 0;
}
