#pragma once

#include <QComboBox>
#include <QDialog>
#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "core/sound/SoundLevel.h"
#include "core/sound/SoundRecipe.h"
#include "gui/platform/PlatformSoundHost.h"
#include "gui/platform/TempFile.h"
#include "gui/sound/CAnalogPlot.h"
#include "gui/sound/SoundChoices.h"
#include "gui/sound/SoundSave.h"

class CC3d;
class CPlotView;
class QCheckBox;
class QCloseEvent;
class QLabel;
class QPushButton;
class QResizeEvent;
class QShowEvent;

// The modal dialog "C3D Analog Sound" (resource 130): lists the analog
// channels of one loaded file by label, offers a sample width and an output
// rate, plots the chosen channel, and on Play writes it as a WAVE file into
// its temporary file and has the application's sound player play it; Stop
// silences it; Save... writes the same sound to a file the user names. A
// Level choice picks the amplitude mapping, and a hint line under it says
// when "As recorded" suits the channel badly. Beside them, Sound picks what
// the channel is heard as (Waveform, Pitch with its range, or Auto), and
// for Waveform a Filter and a Speed, and "Tick at events"; Play and Save
// build one SoundRecipe from all of them, and the hint line says what Auto
// chose and why. The plot draws the channel through the chosen filter. A
// Right ear choice adds a second channel: Play and Save then build a
// two-channel sound, and the plot overlays that channel. The dialog opens at its
// template size and may be made larger: the plot takes the room (the
// channel box as much of it as its longest name needs, up to half). The
// plot is placed as one control with its time ruler and readout (CPlotView).
// Shift+drag on the plot selects the part Play and Save take (before a
// zoom's), and Loop repeats Play's sound until Stop (CAnalogSoundDlgLoop.cpp).
// The level, the sound choices and the size are kept in the program's settings
// (SoundDlgSettings.h), the choices' lists in SoundChoices.h; Save's file dialog and writing are in
// SoundSave.h. It owns its controls (Qt children, m_plot and m_comboChannel by value), the sound
// buffer and the temporary file; the document owns the CC3d, which must outlive the dialog. Lives
// on its creator's stack while it runs. Escape and the close box do nothing: only OK (or Enter)
// closes it.
class CAnalogSoundDlg : public QDialog {
  Q_OBJECT

 public:
  // Control ids of resource 130, named as the resource names them.
  static constexpr int IDOK = 1;
  static constexpr int IDC_CHANNEL = 1000;
  static constexpr int IDC_PLOT = 1001;
  static constexpr int IDC_PLAY = 1002;
  static constexpr int IDC_STOP = 1003;
  static constexpr int IDC_BITS = 1004;
  static constexpr int IDC_FREQ = 1005;
  static constexpr int IDC_STATUS = 1006;
  // Controls beyond the template, placed where they move none of its own.
  static constexpr int IDC_LEVEL = 1007;       // "Level" drop-down: "As recorded", "Fit to channel"
  static constexpr int IDC_LEVEL_HINT = 1008;  // the hint line beside it; empty when no hint
  static constexpr int IDC_SAVE = 1009;        // "Save..."
  static constexpr int IDC_SOUND = 1010;       // "Sound": Waveform, Pitch, Auto
  static constexpr int IDC_PITCH = 1011;       // the pitch range, shown instead of Filter for Pitch
  static constexpr int IDC_FILTER = 1012;      // "Filter": enabled for Waveform
  static constexpr int IDC_SPEED = 1013;       // "Speed": x1 .. x100, enabled for Waveform
  static constexpr int IDC_TICKS = 1016;       // "Tick at events": a tick at each event
  static constexpr int IDC_LOOP = 1017;        // "Loop": Play repeats its sound until Stop
  static constexpr int IDC_RIGHT_EAR = 1018;   // "Right ear": None, then every channel

  // Builds the window and its controls (no file is touched yet). With no
  // parent, DoModal centres the dialog over the application's active window.
  explicit CAnalogSoundDlg(QWidget* parent = nullptr);
  ~CAnalogSoundDlg() override;
  CAnalogSoundDlg(const CAnalogSoundDlg&) = delete;
  CAnalogSoundDlg& operator=(const CAnalogSoundDlg&) = delete;

  // Runs the dialog modally until OK or Enter closes it; QDialog::Accepted.
  // m_pC3d must be set before.
  int DoModal();

  // The control with resource id nID, or nullptr; the static texts, whose id
  // is -1, are not found this way.
  QWidget* GetDlgItem(int nID);

  // Reads the controls into m_nBitsIndex, m_strFreq and m_strStatus (true),
  // or shows those members in the controls (false). Pushing the frequency
  // selects the first list entry that begins with the text, when there is
  // one, as the platform's editable combo does; the member keeps the typed
  // text until the controls are read again. Always true.
  bool UpdateData(bool saveAndValidate = true);

  // The handlers, public so the view's tests and the developer tool can drive
  // them as a click would.
  void OnSelchangeChannel();
  void OnPlay();
  void OnStop();
  // The Level drop-down changed: m_level follows, is stored, the hint is redone.
  void OnSelchangeLevel();
  // The Sound, Pitch, Filter or Speed drop-down or the ticks box changed:
  // m_soundChoice follows and is stored; Pitch shows instead of Filter for
  // Pitch, Filter and Speed are enabled for Waveform alone; the plot takes
  // the chosen filter; the hint is redone.
  void OnSelchangeSoundChoice();
  // Save...: with a channel chosen and the rate accepted (the checks and
  // messages of Play), asks for a file name, in a file dialog whose caption
  // names the seconds saved (and says when they are the selection), and calls SaveSound.
  void OnSave();
  // Writes the sound Play would build for the current channel, bits, rate,
  // level and SoundRange (one pass of a loop) to `path`, whole or not at all
  // (sounddlg::SaveSoundFile): a refused or failed build writes nothing and
  // a message box says why. On success the status line says where it
  // wrote. Nothing plays and the dialog's temporary file is left alone.
  // True when `path` holds the sound.
  bool SaveSound(const QString& path);
  // The SoundRecipe Play and Save build: channel, bits, rate, level, the
  // part SoundRange gives and the sound choices. channel must be a valid index.
  sound::SoundRecipe BuildSpec(int channel, int bits, float rate) const;
  // The Right ear drop-down changed: the plot overlays the chosen channel
  // (none for None).
  void OnSelchangeRightEar();
  // The channel the Right ear drop-down names (0-based), none for None.
  std::optional<int> RightEarChannel() const;
  // Shows "Status : " followed by text, and pushes all members to the controls.
  void SetStatus(const QString& text);

  // The build of Play, over the dialog's sound buffer and temporary file:
  // the same bytes as tremolux-cli wav. channel must be a valid index; bits 8
  // or 16; rate already checked by OnPlay.
  void WriteWave(int channel, int bits, float rate);

  // The plot's rectangle in the dialog, in pixels: the template's at the
  // template size; a larger dialog adds its extra width and height to it,
  // less what the channel box takes (ChannelBoxGrowth), by which the plot
  // moves right. Everything placed around the plot is placed from it.
  QRect PlotRect() const;
  // The samples of `channel` a sound is made of: the plot's selection when
  // it shows that channel with one, else the visible range when it shows
  // that channel zoomed, else the whole channel.
  PlotRange SoundRange(int channel) const;
  // SoundRange's part of the channel: none when it is the whole channel.
  std::optional<PlotRange> PlayedPart(int channel) const;
  // The Loop check box's state: Play repeats its sound until Stop. Not kept
  // in the settings: a sound that never ends is chosen anew each time.
  bool IsLooping() const;

  CC3d* m_pC3d = nullptr;                      // the document's file; not owned, set before DoModal
  CAnalogPlot m_plot;                          // control 1001
  QComboBox m_comboChannel;                    // control 1000
  int m_nBitsIndex = 1;                        // bits combo index: 0 "8 Bit", 1 "16 Bit"
  QString m_strFreq = QStringLiteral("8000");  // the frequency field's text
  QString m_strStatus;                         // the status line's text
  QString m_strTempFile;                       // full name of the temporary WAVE file, once open
  std::vector<float> m_pSoundBuffer;           // the last built sound; empty when released
  sound::SoundLevel m_level = sound::SoundLevel::AsRecorded;  // the Level drop-down's choice
  sounddlg::SoundChoice m_soundChoice;  // the Sound, Pitch, Filter, Speed and ticks choices

 protected:
  // Creates the temporary file and the sound buffer, hands the plot its
  // file, shows the members, fills the channels and sets the status " Idle".
  // Runs when the dialog is shown after construction or after it closed.
  bool OnInitDialog();
  // Releases the sound buffer and deletes the temporary file; a sound that
  // plays goes on. Runs when the dialog closes (and from the destructor).
  void OnDestroy();
  // Does nothing: Escape and the close box must not close the dialog.
  void OnCancel();
  // Lists every analog channel of m_pC3d under its name, in file order.
  void FillChannelCombo();

  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 public slots:
  // OK: the controls are read into the members, then the dialog ends.
  void accept() override;
  // Escape: OnCancel.
  void reject() override;
  void done(int result) override;

 private:
  // Creates the controls in resource order (which is the tab order) and
  // places them in dialog units of the dialog's font.
  void CreateControls();
  // Sizes the dialog to its template (in units of the current font) and
  // places every control for that size.
  void LayoutControls();
  // Places the controls for the dialog's current size: the left column,
  // the level row and OK keep their place from the top edge (OK from the
  // right), the status line from the bottom edge; the channel box takes
  // what its names need of the extra width (what lies right of it moves by
  // as much), and the plot, placed with its ruler above it, takes the rest.
  void PlaceControls();
  // Reads the controls; with a channel chosen and the rate accepted, gives
  // the channel, bits (8 or 16) and rate. Otherwise false, after the rate's
  // message box (no channel: no message).
  bool ReadChoices(int& channel, int& bits, float& rate);
  // Creates the Right ear label and drop-down (after Sound in the tab order).
  // Not kept in the settings: a channel of one file means nothing for the
  // next, so each opening starts at None.
  void CreateRightEar();
  // Lists None and then `names` in the Right ear drop-down, None chosen.
  void FillRightEarCombo(const QStringList& names);
  // Places the Right ear row in the strip above the plot, `grow` pixels
  // right of its template place (ChannelBoxGrowth).
  void PlaceRightEar(int grow);
  // Widens the channel list (not the closed box) to its longest entry.
  void FitChannelListWidth(const QStringList& names);
  // The pixels the channel box is wider than its template width: what its
  // longest name needs, at most half the dialog's width beyond the template.
  int ChannelBoxGrowth() const;
  // ReadChoices, with the level and the samples Play would use.
  bool ReadSaveChoice(sounddlg::SoundSaveChoice& choice);
  // The player's sound ended or stopped: when its output failed under it,
  // the status line says " No sound device".
  void OnSoundFinished();
  // Shows or clears the hint line for the current channel and choices:
  // the level's hint for Waveform, Auto's last note for its channel.
  void UpdateLevelHint();
  // The build's note (what Auto chose and why): kept for the chosen channel
  // and shown at once.
  void OnSoundHint(const std::string& text);
  // Shows the sound choices in their drop-downs, enabled and shown as
  // OnSelchangeSoundChoice says.
  void ShowSoundChoice();
  // The dialog's size at the template, in pixels of the current font.
  QSize TemplateSize() const;
  // Creates the Loop check box (after Stop in the tab order) and places it
  // right of the Filter label in the left column.
  void CreateLoopBox();
  void PlaceLoopBox();

  CPlatformSoundHost m_host;    // the platform services of a build, over this dialog
  CTempFile m_tempFile;         // owns the file named m_strTempFile
  bool m_bInitialized = false;  // OnInitDialog ran and OnDestroy has not
  QPushButton* m_pOk = nullptr;
  QPushButton* m_pPlay = nullptr;
  QPushButton* m_pStop = nullptr;
  QComboBox* m_pComboBits = nullptr;
  QComboBox* m_pComboFreq = nullptr;
  QLabel* m_pStatus = nullptr;
  QLabel* m_pLabelChannel = nullptr;
  QLabel* m_pLabelBits = nullptr;
  QLabel* m_pLabelFreq = nullptr;
  QLabel* m_pLabelLevel = nullptr;
  QComboBox* m_pComboLevel = nullptr;
  QLabel* m_pLevelHint = nullptr;
  QPushButton* m_pSave = nullptr;
  QLabel* m_pLabelSound = nullptr;
  QComboBox* m_pComboSound = nullptr;
  QLabel* m_pLabelPitch = nullptr;
  QComboBox* m_pComboPitch = nullptr;
  QLabel* m_pLabelFilter = nullptr;
  QComboBox* m_pComboFilter = nullptr;
  QLabel* m_pLabelSpeed = nullptr;
  QComboBox* m_pComboSpeed = nullptr;
  QLabel* m_pLabelRightEar = nullptr;
  QComboBox* m_pComboRightEar = nullptr;
  QCheckBox* m_pCheckTicks = nullptr;
  QCheckBox* m_pLoop = nullptr;
  QString m_strSoundHint;  // Auto's last note, for channel m_nSoundHintChannel
  int m_nSoundHintChannel = -1;
  CPlotView* m_pPlotView = nullptr;  // holds m_plot, its ruler and readout
};
