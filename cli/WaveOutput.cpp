#include "cli/WaveOutput.h"

#include <cstdio>
#include <optional>
#include <span>

#include "common/WholeFile.h"
#include "core/Messages.h"

std::string BatchWaveName(const std::string& stem, int index, const std::string& label) {
  std::string clean = label;
  while (!clean.empty() && clean.back() == ' ') clean.pop_back();
  for (char& c : clean) {
    const bool portable = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!portable) c = '_';
  }
  char number[16];
  std::snprintf(number, sizeof number, "%02d", index);
  return stem + "_" + number + "_" + clean + ".wav";
}

namespace {

// The encoder's bytes into a stdio stream, each write checked.
class CFileSink : public sound::IByteSink {
 public:
  explicit CFileSink(std::FILE* file) : m_file(file) {}

  bool Write(std::span<const std::uint8_t> bytes) override {
    return std::fwrite(bytes.data(), 1, bytes.size(), m_file) == bytes.size();
  }

 private:
  std::FILE* m_file;
};

}  // namespace

sound::WaveOutcome WriteWaveFile(const CC3d& c3d, const sound::SoundRecipe& spec,
                                 const std::filesystem::path& out, sound::ISoundHost& host) {
  const std::optional<sound::RawChannel> samples = sound::SpecSamples(c3d, spec, host);
  if (!samples) return sound::WaveOutcome::Failed;
  std::vector<float> soundBuffer(50);  // the dialog's initial block of 50 floats
  std::optional<sound::WaveOutcome> built;
  const auto complete = [](sound::WaveOutcome outcome) {
    return outcome == sound::WaveOutcome::Played || outcome == sound::WaveOutcome::PlayedEmpty;
  };
  const bool whole = WriteWholeFile(out, [&](std::FILE* file) {
    CFileSink sink(file);
    built = sound::EncodeSpec(c3d, spec, *samples, soundBuffer, sink, host);
    return complete(*built);
  });
  if (whole) return *built;
  // A failed build has shown its message; a file that could not be opened,
  // or a whole sound that did not reach the disk or its name, has not.
  if (built && !complete(*built)) return *built;
  host.ShowMessage(Messages::kCouldNotCreate);
  return sound::WaveOutcome::NotCreated;
}
