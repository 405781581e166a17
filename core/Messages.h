#pragma once

// The fixed English texts the program shows to the user, kept in one place so
// the GUI, the command-line tool and the tests all use the same bytes.

namespace Messages {

inline constexpr const char* kNotEnoughMemory = "Not Enough memory to open file";
inline constexpr const char* kFreqTooLow =
    "The selected freq must be greater than that of the analog data";
inline constexpr const char* kFreqTooHigh = "The selected freq must be less than 44100 Hz";
inline constexpr const char* kCouldNotCreate = "Could not create";
inline constexpr const char* kError = "Error";

// Why CC3d::Load failed (LoadErrorText), after the file's name on the command
// line and in the GUI's status bar. A file too large for memory says
// kNotEnoughMemory.
inline constexpr const char* kLoadNoError = "no error";
inline constexpr const char* kLoadCannotOpen = "the file cannot be opened";
inline constexpr const char* kLoadNotC3d = "not a C3D file";
inline constexpr const char* kLoadUnknownProcessor =
    "the file names no processor type this program can read (Intel, DEC or MIPS)";
inline constexpr const char* kLoadParamBlockOne = "the parameter section cannot start at block 1";
inline constexpr const char* kLoadParameterWalkLoop = "the parameter section loops back on itself";
inline constexpr const char* kLoadParameterTooLarge =
    "a parameter holds more than 32767 bytes or elements";
inline constexpr const char* kLoadReadError =
    "the file ends before its parameter section, or cannot be read";
inline constexpr const char* kLoadShrank =
    "the file got shorter while it was read (another program is writing it)";
inline constexpr const char* kLoadUnknownError = "unknown error";

// Why a WAVE file cannot be played (ParsePcmWave), after the file's name.
inline constexpr const char* kWaveNotRiff = "not a RIFF WAVE file";
inline constexpr const char* kWaveFormatTooShort = "the format chunk is too short";
inline constexpr const char* kWaveNotPcm = "not one- or two-channel 8- or 16-bit PCM";
inline constexpr const char* kWaveRateOutOfRange = "sample rate outside 1 to 44100 Hz";
inline constexpr const char* kWaveDataBeforeFormat = "the data chunk comes before the format chunk";
inline constexpr const char* kWaveNoData = "no data chunk";
inline constexpr const char* kWaveNoFormat = "no format chunk";

// A file without analog channels: its summary says so, and the sound dialog
// is not opened on it.
inline constexpr const char* kNoAnalogChannels =
    "This file has no analog channels: there is nothing to play.";

// The sound dialog's plot: the readout under the mouse (%1 the time in
// seconds, %2 the scaled value, %3 the channel's units) and the ruler's
// labels (%1 seconds).
inline constexpr const char* kPlotReadout = "%1 s   %2 %3";
inline constexpr const char* kPlotRulerLabel = "%1 s";
// Shown in the readout's place while the mouse is away from the plot.
inline constexpr const char* kPlotZoomHint =
    "Wheel: zoom, drag: pan, Shift+drag: select, double-click: all";
// The tooltip of an event's line on the plot: %1 the event in full ("Left
// Foot Strike"), %2 its time in seconds from the first sample.
inline constexpr const char* kPlotEventTip = "%1 at %2 s";
// The selection in the readout: its start, end and length, in seconds.
inline constexpr const char* kPlotSelection = "Selection %1 to %2 s (%3 s)";
// The sound dialog's Loop check box and its tooltip. Alt+P: L is Level's,
// O is Sound's; Pitch, which also takes P, shows only for the Pitch sound.
inline constexpr const char* kLoopLabel = "Loo&p";
inline constexpr const char* kLoopTip =
    "Play the selection (or what Play would play) again and again until Stop";

// The document window: its two pages, the lane of a channel whose samples
// never change, the list that hides and shows lanes, and File > Export.
inline constexpr const char* kLanesPage = "Channels";
inline constexpr const char* kSummaryPage = "Summary";
inline constexpr const char* kLaneConstant = "constant";
inline constexpr const char* kLaneAll = "All";
inline constexpr const char* kLaneFilter = "Filter labels (Enter: only these)";
inline constexpr const char* kLanesNoneShown = "No channel is shown: tick some in the list.";
inline constexpr const char* kExportCsvTitle = "Export Channels as CSV";
inline constexpr const char* kExportCsvFilter = "CSV files (*.csv);;All files (*)";
inline constexpr const char* kExportCsvFailed = "Could not export the channels to";
inline constexpr const char* kExportCsvNothing = "The visible range holds no sample to write.";

// Sound dialog status line: kStatusPrefix followed by one of the three states.
inline constexpr const char* kStatusPrefix = "Status : ";
inline constexpr const char* kStatusIdle = " Idle";
inline constexpr const char* kStatusProcessing = " Processing";
inline constexpr const char* kStatusDone = " ";
// The sound was built but there is no audio output to play it on (or the
// output refused it).
inline constexpr const char* kStatusNoDevice = " No sound device";

// Sound dialog Level drop-down, in list order, and its hint line, shown while
// "As recorded" is chosen for a channel whose stored values lie outside
// 0..4095 (they wrap around) or span less than 1/50 of that (near silence).
inline constexpr const char* kLevelLabel = "&Level";
inline constexpr const char* kLevelTip =
    "How stored values become sound: as recorded (0..4095 spans the sample range), or "
    "fitted to the channel's own smallest and largest value";
inline constexpr const char* kLevelAsRecorded = "As recorded";
inline constexpr const char* kLevelFitToChannel = "Fit to channel";
inline constexpr const char* kHintWouldWrap =
    "Values outside 0..4095 wrap around as recorded: try \"Fit to channel\"";
inline constexpr const char* kHintNearSilence = "Nearly silent as recorded: try \"Fit to channel\"";

inline constexpr const char* kLevelHintTip = "Shown when \"As recorded\" suits this channel badly";

// Sound dialog Save...: the button and its tooltip; the file dialog's
// caption, which names the seconds saved (%1 to %2: the whole channel, the
// visible part of a zoomed plot, or the selection), and filter; the start of the message
// box when the file cannot be written (the path and the reason follow); the
// reason when the channel cannot be resampled; the status after a Save (%1:
// the file written).
inline constexpr const char* kSaveButton = "&Save...";
inline constexpr const char* kSaveTip = "Write the sound Play would play to a WAVE file";
inline constexpr const char* kSaveWholeCaption = "Save the whole channel, %1 to %2 s, as";
inline constexpr const char* kSaveVisibleCaption = "Save the visible %1 to %2 s as";
inline constexpr const char* kSaveSelectionCaption = "Save the selection, %1 to %2 s, as";
inline constexpr const char* kSaveFilter = "WAVE files (*.wav)";
inline constexpr const char* kCouldNotSave = "Could not save the sound to";
inline constexpr const char* kSaveRefused =
    "The channel cannot be resampled to this rate, so there is no sound to save. "
    "The file was left as it was.";
inline constexpr const char* kStatusSaved = " Saved to %1";

// Tooltip of a channel entry, lines after the full label: the units of its
// scaled values (ANALOG:UNITS; kChannelNoUnits when the file names none),
// then the analog rate in Hz and the number of samples (%1 and %2).
inline constexpr const char* kChannelUnits = "Units: ";
inline constexpr const char* kChannelNoUnits = "(none)";
inline constexpr const char* kChannelRateAndCount = "%1 Hz, %2 samples";

// Sound dialog: the Sound drop-down (in sound::SoundMode's order), the pitch
// range shown for Pitch, the Filter and Speed drop-downs (Waveform only),
// their labels and tooltips. The filter and pitch entries name their band
// in Hz as listed.
inline constexpr const char* kSoundLabel = "S&ound";
inline constexpr const char* kSoundTip =
    "What the channel is heard as: its values as a waveform, a tone whose pitch follows the "
    "value, or Auto (chosen per channel)";
inline constexpr const char* kSoundWaveform = "Waveform";
inline constexpr const char* kSoundPitch = "Pitch";
inline constexpr const char* kSoundAuto = "Auto";
inline constexpr const char* kPitchLabel = "&Pitch";
inline constexpr const char* kPitchTip =
    "The tone's frequency at the channel's lowest and highest value";
inline constexpr const char* kFilterLabel = "&Filter";
inline constexpr const char* kFilterTip =
    "Filters the channel's values before they become sound (Waveform only)";
inline constexpr const char* kFilterNone = "None";
inline constexpr const char* kTicksLabel = "&Tick at events";
inline constexpr const char* kTicksTip =
    "Mixes a short tick into the sound at each event of the file, so you hear where it falls";
inline constexpr const char* kSpeedLabel = "Spee&d";
inline constexpr const char* kSpeedTip =
    "Plays the channel N times faster: shorter, every frequency N times higher (Waveform only)";
inline constexpr const char* kSoundHintTip =
    "Shown when \"As recorded\" suits this channel badly, and what Auto chose and why";

// Notes on a malformed EVENT parameter group (the events that are whole are
// still listed): more events stated than the arrays hold; no TIMES; a time
// that is not a finite number.
inline constexpr const char* kTrialEventsShort =
    "EVENT:USED states more events than the group's arrays hold; the rest were left out";
inline constexpr const char* kTrialEventsNoTimes = "EVENT:TIMES is missing; no events were read";
inline constexpr const char* kTrialEventsBadTime =
    "Events whose time is not a number were left out";

// tremolux-cli wav and play --from/--to: a start past the recording's end, a
// start at or after the end, and a range shorter than one sample.
inline constexpr const char* kFromPastEnd = "--from lies past the end of the recording";
inline constexpr const char* kFromAfterTo = "--from must lie before --to";
inline constexpr const char* kRangeTooShort = "--from to --to is shorter than one sample";

// Two ears: the sound dialog's "Right ear" drop-down (None, then every
// channel), its tooltip, and the names before each ear's note in a
// two-channel sound's hint line.
inline constexpr const char* kRightEarLabel = "&Right ear";
inline constexpr const char* kRightEarNone = "None";
inline constexpr const char* kRightEarTip =
    "A second channel for the right ear: the sound becomes two-channel, the channel above on "
    "the left, this one on the right, each built with the same choices; None: one channel";
inline constexpr const char* kLeftEar = "Left:";
inline constexpr const char* kRightEar = "Right:";

}  // namespace Messages
