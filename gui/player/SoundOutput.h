#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

#include "gui/player/SoundSession.h"

// A PCM sound in memory, as the player hands it to an output.
struct PcmSound {
  QByteArray samples;  // 8-bit unsigned or 16-bit signed little-endian, frames interleaved
  int bits = 16;       // 8 or 16
  int rate = 0;        // frames per second, 1 to 44100
  int channels = 1;    // 1, or 2 (left value, then right, in each frame)
  // Played over and over until stopped, each pass joined to the next by a
  // short crossfade (sound::CPcmLoop); never ends by itself.
  bool loop = false;
};

// One sound at a time on the system's default audio output, fed from a
// thread of the output's own, so a stalled event loop elsewhere is never
// heard. Everything that may wait on the audio server (opening the output,
// writing, flushing, closing) happens on that thread: no call here waits for
// the server. Each Start opens the output anew, so an audio server that has
// gone and come back is found again. Used by one thread (the player's);
// owned by the player.
class ISoundOutput {
 public:
  // A thread left feeding on a hung audio server may outlive its output; it
  // then touches only what it shares with the output through shared_ptr.
  virtual ~ISoundOutput() = default;

  // Called once when a started sound has been heard to its end (error
  // empty), or the output could not be opened or failed while playing
  // (error says why). From any thread; never after Stop has returned.
  using EndedFn = CSoundSession::EndedFn;

  // Stops what plays and starts `sound`; returns at once. An output that
  // cannot be opened is reported through onEnded.
  virtual void Start(const PcmSound& sound, EndedFn onEnded) = 0;
  // Marks what plays stopped and returns at once; the output's thread
  // silences it and releases the output. No-op when nothing plays.
  virtual void Stop() = 0;
  // Microseconds of the current sound played out so far (for a playhead).
  virtual qint64 ProcessedUs() const = 0;
};

// The output for this platform: a PulseAudio stream of its own where the
// build has libpulse (TREMOLUX_SOUND_OUTPUT=qt in the environment chooses Qt
// Multimedia instead), else Qt Multimedia's QAudioSink.
std::unique_ptr<ISoundOutput> MakeSoundOutput();

// The two outputs, for MakeSoundOutput.
std::unique_ptr<ISoundOutput> MakeQtSoundOutput();
std::unique_ptr<ISoundOutput> MakePulseSoundOutput();  // nullptr without libpulse
