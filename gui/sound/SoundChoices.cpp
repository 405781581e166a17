#include "gui/sound/SoundChoices.h"

#include <array>
#include <string>

#include "core/Messages.h"
#include "core/c3d/TrialEvents.h"

namespace sounddlg {

namespace {

struct Entry {
  const char* text;  // as listed
  const char* word;  // as stored, in tremolux-cli's form
};

// In sound::SoundMode's order.
constexpr std::array kModes{Entry{Messages::kSoundWaveform, "waveform"},
                            Entry{Messages::kSoundPitch, "pitch"},
                            Entry{Messages::kSoundAuto, "auto"}};
constexpr std::array kPitches{Entry{"200-2000 Hz", "200-2000"}, Entry{"100-1000 Hz", "100-1000"},
                              Entry{"300-3000 Hz", "300-3000"}, Entry{"50-500 Hz", "50-500"}};
// EMG: the band clinical surface EMG is judged in; mains: the notch at the
// power line's frequency, 50 Hz or 60 Hz depending on the country.
constexpr std::array kFilters{Entry{Messages::kFilterNone, "none"},
                              Entry{"EMG 20-450 Hz", "bandpass:20-450"},
                              Entry{"High-pass 20 Hz", "highpass:20"},
                              Entry{"Mains 50 Hz", "notch:50"},
                              Entry{"Mains 60 Hz", "notch:60"},
                              Entry{"EMG + mains 50 Hz", "bandpass:20-450,notch:50"},
                              Entry{"EMG + mains 60 Hz", "bandpass:20-450,notch:60"}};
constexpr std::array kSpeeds{Entry{"x1", "1"},    Entry{"x2", "2"},   Entry{"x5", "5"},
                             Entry{"x10", "10"},  Entry{"x20", "20"}, Entry{"x50", "50"},
                             Entry{"x100", "100"}};

template <std::size_t N>
QStringList Texts(const std::array<Entry, N>& list) {
  QStringList texts;
  for (const Entry& e : list) texts << QString::fromLatin1(e.text);
  return texts;
}

template <std::size_t N>
int Clamped(const std::array<Entry, N>& /*list*/, int index) {
  return index >= 0 && index < static_cast<int>(N) ? index : 0;
}

template <std::size_t N>
QString Word(const std::array<Entry, N>& list, int index) {
  return QString::fromLatin1(list[static_cast<std::size_t>(Clamped(list, index))].word);
}

template <std::size_t N>
int IndexOf(const std::array<Entry, N>& list, const QString& word) {
  for (std::size_t i = 0; i < N; ++i) {
    if (word == QLatin1String(list[i].word)) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

QStringList SoundModeItems() { return Texts(kModes); }
QStringList PitchRangeItems() { return Texts(kPitches); }
QStringList FilterItems() { return Texts(kFilters); }
QStringList SpeedItems() { return Texts(kSpeeds); }

QString ModeWord(int index) { return Word(kModes, index); }
QString PitchWord(int index) { return Word(kPitches, index); }
QString FilterWord(int index) { return Word(kFilters, index); }
QString SpeedWord(int index) { return Word(kSpeeds, index); }
int ModeIndex(const QString& word) { return IndexOf(kModes, word); }
int PitchIndex(const QString& word) { return IndexOf(kPitches, word); }
int FilterIndex(const QString& word) { return IndexOf(kFilters, word); }
int SpeedIndex(const QString& word) { return IndexOf(kSpeeds, word); }

int SpeedFactor(const SoundChoice& choice) {
  if (Clamped(kModes, choice.mode) != 0) return 1;
  return SpeedWord(choice.speed).toInt();
}

void ApplySoundChoice(const SoundChoice& choice, sound::SoundRecipe& spec) {
  spec.mode = static_cast<sound::SoundMode>(Clamped(kModes, choice.mode));
  spec.pitch = {};
  spec.filters.clear();
  spec.speed = 1;
  switch (spec.mode) {
    case sound::SoundMode::Pitch:
      // The listed ranges are all valid: parsing cannot fail.
      sound::ParsePitchRange(PitchWord(choice.pitch).toStdString(), spec.pitch);
      break;
    case sound::SoundMode::Waveform:
      spec.filters = sound::ParseFilters(FilterWord(choice.filter).toStdString()).specs;
      spec.speed = SpeedFactor(choice);
      break;
    case sound::SoundMode::Auto:
      break;  // Auto picks its own filter and pitch range
  }
}

void ApplyTicks(const SoundChoice& choice, const CC3d& c3d, sound::SoundRecipe& spec) {
  spec.ticks.clear();
  if (!choice.ticks) return;
  for (const c3d::SampleEvent& e : c3d::EventsOnSamples(c3d)) spec.ticks.push_back(e.sample);
}

std::vector<sound::FilterSpec> ChosenFilters(const SoundChoice& choice) {
  sound::SoundRecipe spec;
  ApplySoundChoice(choice, spec);
  return spec.filters;
}

}  // namespace sounddlg
