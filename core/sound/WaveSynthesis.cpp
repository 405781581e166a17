#include "core/sound/WaveSynthesis.h"

#include <fstream>

#include "core/Messages.h"

namespace sound {
namespace {

// The encoder's bytes into an open file stream.
class CStreamSink : public IByteSink {
 public:
  explicit CStreamSink(std::ofstream& out) : m_out(out) {}

  bool Write(std::span<const std::uint8_t> bytes) override {
    m_out.write(reinterpret_cast<const char*>(bytes.data()),
                static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(m_out);
  }

 private:
  std::ofstream& m_out;
};

bool Complete(WaveOutcome outcome) {
  return outcome == WaveOutcome::Played || outcome == WaveOutcome::PlayedEmpty;
}

}  // namespace

WaveOutcome WriteWave(const CC3d& c3d, const SoundRecipe& spec, std::vector<float>& soundBuffer,
                      const std::filesystem::path& file, ISoundHost& host) {
  host.StopSound();
  const std::optional<RawChannel> samples = SpecSamples(c3d, spec, host);
  if (!samples) return WaveOutcome::Failed;

  std::ofstream out(file, std::ios::binary | std::ios::out | std::ios::trunc);
  if (!out.is_open()) {
    host.ShowMessage(Messages::kCouldNotCreate);
    return WaveOutcome::NotCreated;
  }
  host.SetStatus(Messages::kStatusProcessing);

  CStreamSink sink(out);
  WaveOutcome outcome = EncodeSpec(c3d, spec, *samples, soundBuffer, sink, host);
  out.close();
  if (Complete(outcome) && out.fail()) {  // the last buffered bytes did not reach the file
    host.ShowMessage(Messages::kCouldNotCreate);
    outcome = WaveOutcome::NotCreated;
  }
  if (!Complete(outcome)) {
    // Leave the file empty, so no partial sound remains that looks
    // complete. Best effort: the build has already failed.
    std::ofstream empty(file, std::ios::binary | std::ios::out | std::ios::trunc);
    host.SetStatus(Messages::kStatusIdle);
    return outcome;
  }

  host.SetStatus(Messages::kStatusDone);
  host.PlayFile(file);
  return outcome;
}

}  // namespace sound
