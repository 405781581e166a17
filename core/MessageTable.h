#pragma once

// Every text of core/Messages.h as a {name, text} row, so a test can walk
// them all (non-empty, printable, placeholders in order). The texts
// themselves are defined once, in Messages.h; each text declared there is
// listed here too, and the test checks that no declaration is missing.

#include <array>

#include "core/Messages.h"

namespace Messages {

// One named text of the table.
struct Entry {
  const char* name;  // the constant's name in namespace Messages
  const char* text;
};

#define TREMOLUX_MESSAGE(name) \
  Entry { #name, name }

inline constexpr std::array kTable{
    TREMOLUX_MESSAGE(kNotEnoughMemory),
    TREMOLUX_MESSAGE(kFreqTooLow),
    TREMOLUX_MESSAGE(kFreqTooHigh),
    TREMOLUX_MESSAGE(kCouldNotCreate),
    TREMOLUX_MESSAGE(kError),
    TREMOLUX_MESSAGE(kLoadNoError),
    TREMOLUX_MESSAGE(kLoadCannotOpen),
    TREMOLUX_MESSAGE(kLoadNotC3d),
    TREMOLUX_MESSAGE(kLoadUnknownProcessor),
    TREMOLUX_MESSAGE(kLoadParamBlockOne),
    TREMOLUX_MESSAGE(kLoadParameterWalkLoop),
    TREMOLUX_MESSAGE(kLoadParameterTooLarge),
    TREMOLUX_MESSAGE(kLoadReadError),
    TREMOLUX_MESSAGE(kLoadShrank),
    TREMOLUX_MESSAGE(kLoadUnknownError),
    TREMOLUX_MESSAGE(kWaveNotRiff),
    TREMOLUX_MESSAGE(kWaveFormatTooShort),
    TREMOLUX_MESSAGE(kWaveNotPcm),
    TREMOLUX_MESSAGE(kWaveRateOutOfRange),
    TREMOLUX_MESSAGE(kWaveDataBeforeFormat),
    TREMOLUX_MESSAGE(kWaveNoData),
    TREMOLUX_MESSAGE(kWaveNoFormat),
    TREMOLUX_MESSAGE(kNoAnalogChannels),
    TREMOLUX_MESSAGE(kPlotReadout),
    TREMOLUX_MESSAGE(kPlotRulerLabel),
    TREMOLUX_MESSAGE(kPlotZoomHint),
    TREMOLUX_MESSAGE(kPlotEventTip),
    TREMOLUX_MESSAGE(kPlotSelection),
    TREMOLUX_MESSAGE(kLoopLabel),
    TREMOLUX_MESSAGE(kLoopTip),
    TREMOLUX_MESSAGE(kLanesPage),
    TREMOLUX_MESSAGE(kSummaryPage),
    TREMOLUX_MESSAGE(kLaneConstant),
    TREMOLUX_MESSAGE(kLaneAll),
    TREMOLUX_MESSAGE(kLaneFilter),
    TREMOLUX_MESSAGE(kLanesNoneShown),
    TREMOLUX_MESSAGE(kExportCsvTitle),
    TREMOLUX_MESSAGE(kExportCsvFilter),
    TREMOLUX_MESSAGE(kExportCsvFailed),
    TREMOLUX_MESSAGE(kExportCsvNothing),
    TREMOLUX_MESSAGE(kStatusPrefix),
    TREMOLUX_MESSAGE(kStatusIdle),
    TREMOLUX_MESSAGE(kStatusProcessing),
    TREMOLUX_MESSAGE(kStatusDone),
    TREMOLUX_MESSAGE(kStatusNoDevice),
    TREMOLUX_MESSAGE(kLevelLabel),
    TREMOLUX_MESSAGE(kLevelTip),
    TREMOLUX_MESSAGE(kLevelAsRecorded),
    TREMOLUX_MESSAGE(kLevelFitToChannel),
    TREMOLUX_MESSAGE(kHintWouldWrap),
    TREMOLUX_MESSAGE(kHintNearSilence),
    TREMOLUX_MESSAGE(kLevelHintTip),
    TREMOLUX_MESSAGE(kSaveButton),
    TREMOLUX_MESSAGE(kSaveTip),
    TREMOLUX_MESSAGE(kSaveWholeCaption),
    TREMOLUX_MESSAGE(kSaveVisibleCaption),
    TREMOLUX_MESSAGE(kSaveSelectionCaption),
    TREMOLUX_MESSAGE(kSaveFilter),
    TREMOLUX_MESSAGE(kCouldNotSave),
    TREMOLUX_MESSAGE(kSaveRefused),
    TREMOLUX_MESSAGE(kStatusSaved),
    TREMOLUX_MESSAGE(kChannelUnits),
    TREMOLUX_MESSAGE(kChannelNoUnits),
    TREMOLUX_MESSAGE(kChannelRateAndCount),
    TREMOLUX_MESSAGE(kSoundLabel),
    TREMOLUX_MESSAGE(kSoundTip),
    TREMOLUX_MESSAGE(kSoundWaveform),
    TREMOLUX_MESSAGE(kSoundPitch),
    TREMOLUX_MESSAGE(kSoundAuto),
    TREMOLUX_MESSAGE(kPitchLabel),
    TREMOLUX_MESSAGE(kPitchTip),
    TREMOLUX_MESSAGE(kFilterLabel),
    TREMOLUX_MESSAGE(kFilterTip),
    TREMOLUX_MESSAGE(kFilterNone),
    TREMOLUX_MESSAGE(kTicksLabel),
    TREMOLUX_MESSAGE(kTicksTip),
    TREMOLUX_MESSAGE(kSpeedLabel),
    TREMOLUX_MESSAGE(kSpeedTip),
    TREMOLUX_MESSAGE(kSoundHintTip),
    TREMOLUX_MESSAGE(kTrialEventsShort),
    TREMOLUX_MESSAGE(kTrialEventsNoTimes),
    TREMOLUX_MESSAGE(kTrialEventsBadTime),
    TREMOLUX_MESSAGE(kFromPastEnd),
    TREMOLUX_MESSAGE(kFromAfterTo),
    TREMOLUX_MESSAGE(kRangeTooShort),
    TREMOLUX_MESSAGE(kRightEarLabel),
    TREMOLUX_MESSAGE(kRightEarNone),
    TREMOLUX_MESSAGE(kRightEarTip),
    TREMOLUX_MESSAGE(kLeftEar),
    TREMOLUX_MESSAGE(kRightEar),
};

#undef TREMOLUX_MESSAGE

}  // namespace Messages
