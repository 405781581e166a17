#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "gui/player/SoundOutput.h"

// The application's one sound player: plays a PCM WAVE file (one channel or
// two), once or looped, asynchronously through the platform's audio output (ISoundOutput: a
// PulseAudio stream of its own on Linux, Qt Multimedia's QAudioSink
// elsewhere), from an in-memory copy of the file, and stops at once on
// Purge. The application object owns it (the command-line tool keeps one on
// its stack); Instance() finds it from anywhere, so a sound goes on after the
// dialog that started it has closed.
//
// The output opens, feeds and closes the sound on a thread of its own, so a
// stalled event loop on the player's thread (a long paint, a modal box, a
// busy X server) is never heard as a gap, and a hung sound server never
// holds up the player's thread: Play, Purge and the destructor return at
// once (the destructor gives the output's thread at most a tenth of a second
// to close). The player's own interface and its Finished signal belong to
// the thread that made it, which must run an event loop for Finished to
// arrive. It owns the output and, through it, the copy of the sound.
//
// The sound server may go and come back: every Play opens the output anew,
// so the first Play after the server has (re)started plays.
class CSoundPlayer : public QObject {
  Q_OBJECT

 public:
  enum class PlayResult {
    // The sound was handed to the output; Finished follows when it ends, is
    // stopped, or the output could not be opened for it or failed (then
    // LastError() says why).
    Playing,
    Empty,       // a valid file with no samples: nothing to play, nothing started
    Unreadable,  // the file cannot be read or is not a one- or two-channel 8/16-bit PCM WAVE
  };

  // How often a sound plays: once, or over and over until Purge (each pass
  // joined to the next by a short crossfade, sound::CPcmLoop).
  enum class PlayMode { Once, Loop };

  // Registers this player as Instance() when none is registered yet.
  explicit CSoundPlayer(QObject* parent = nullptr);
  ~CSoundPlayer() override;
  CSoundPlayer(const CSoundPlayer&) = delete;
  CSoundPlayer& operator=(const CSoundPlayer&) = delete;

  // The registered player, or nullptr when none exists.
  static CSoundPlayer* Instance();

  // Stops what plays, reads the whole file into memory (so the file may be
  // rewritten or deleted right after) and starts playing it, once or
  // looped; returns at once. On Unreadable the reason is on stderr and in
  // LastError(); a sound that found no output to play on ends with Finished,
  // its reason on stderr and in LastError(). A loop ends only at Purge (or
  // when its output fails).
  PlayResult Play(const QString& path, PlayMode mode = PlayMode::Once);
  // Stops at once without waiting for the sound server: Finished is emitted
  // before it returns, and the output's thread silences the sound within
  // about 10 ms (on a hung server, as soon as the server answers). No-op
  // when nothing plays.
  void Purge();
  // True from a Play that returned Playing until its Finished.
  bool IsPlaying() const;
  // Seconds of the playing sound that have been played out, from the start
  // of its first sample (the sink's processed time), within [0, the sound's
  // duration]; for a loop, the place within the sound of the pass heard now.
  // -1 when nothing plays.
  double PositionSeconds() const;
  // Runs an event loop until the sound has ended or was stopped; returns at
  // once when nothing plays.
  void WaitForEnd();
  // Why the last Play did not start, or why the last sound found no output
  // or stopped early; empty when it played (or plays) as it should.
  QString LastError() const { return m_lastError; }

 signals:
  // Emitted once when a sound that was playing has ended, was stopped, or
  // found no output to play on.
  void Finished();

 private:
  // On this thread, when the sound of `generation` has ended: normally
  // (error empty) or because the output failed.
  void OnEnded(quint64 generation, const QString& error);
  void Fail(const QString& reason);

  std::unique_ptr<ISoundOutput> m_output;
  qint64 m_durationUs = 0;   // of the playing sound
  int m_rate = 0;            // of the playing sound, in Hz
  qint64 m_loopPass = 0;     // samples in each pass of a loop; 0 when played once
  quint64 m_generation = 0;  // counts the sounds started, to drop late reports
  bool m_playing = false;
  QString m_lastError;
};
