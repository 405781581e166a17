#pragma once

// The command-line tool's own messages on stderr, kept in one place (the
// texts the GUI shows too live in core/Messages.h). Each is a printf format:
// char arrays rather than pointers, so the compiler still checks every call's
// arguments against the format. kTable lists them all for the test that
// walks it. Option help texts stay with their options in the commands' CLI11
// declarations.

#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>

namespace CliMessages {

// "tremolux-cli: FILE: why" (%s the file, %s the reason).
inline constexpr char kFileSays[] = "tremolux-cli: %s: %s\n";
// The start of a message about a file (%s the file), the rest following.
inline constexpr char kFilePrefix[] = "tremolux-cli: %s: ";
// A refused combination of options (%s which, one of the kRefuse... texts).
inline constexpr char kRefused[] = "tremolux-cli: %s\n";
inline constexpr char kRefusePitch[] = "--pitch is for --mode pitch";
inline constexpr char kRefuseFilter[] = "--filter is for --mode waveform (auto filters by itself)";
inline constexpr char kRefuseSpeed[] = "--speed is for --mode waveform";
inline constexpr char kRefuseEventsAll[] = "--events is for one channel's plot, not --channel all";

// %s the file, %s the channel asked for, %zu the number of channels.
inline constexpr char kNoSuchChannel[] =
    "tremolux-cli: %s: no analog channel \"%s\" (the file has %zu)\n";
// --right naming a channel the file lacks (%s the channel asked for, %zu
// the number of channels), after kFilePrefix or as a batch's reason.
inline constexpr char kNoSuchRightChannel[] =
    "no analog channel \"%s\" for --right (the file has %zu)";
inline constexpr char kRefuseRightAll[] =
    "--right pairs one channel with another: give --channel one channel, not all";

// plot: the time range and the output.
inline constexpr char kNoTimesToPlot[] =
    "tremolux-cli: %s: the analog rate is not positive: no times to plot\n";
inline constexpr char kFromNegative[] = "tremolux-cli: --from must be 0 seconds or later\n";
inline constexpr char kFromNotBeforeTo[] = "tremolux-cli: --from must be earlier than --to\n";
// %s the file, %g..%g the range asked for, %lld samples at %g Hz, %g seconds.
inline constexpr char kNoSampleInRange[] =
    "tremolux-cli: %s: no sample between %g and %g seconds (the channel holds "
    "%lld samples at %g Hz, %g seconds)\n";
inline constexpr char kNotPngOrSvg[] = "tremolux-cli: %s: the output must end in .png or .svg\n";
// %s the file, %s kWhatImage or kWhatGeometry, then ": " and the system's
// reason, or two empty strings when it gave none.
inline constexpr char kCannotWrite[] = "tremolux-cli: %s: cannot write the %s%s%s\n";
inline constexpr char kWhatImage[] = "image";
// plot --channel all: %s the file, %d x %d the picture, %zu the lanes.
inline constexpr char kOverviewTooSmall[] =
    "tremolux-cli: %s: %d x %d pixels cannot hold %zu lanes of two rows each beside the labels "
    "and above the ruler\n";
inline constexpr char kWhatGeometry[] = "geometry";

// csv: the analog rate gives no times (%s the file); the recording holds no
// samples (after kFileSays); what could not be written (kCannotWrite).
inline constexpr char kNoTimesForCsv[] =
    "tremolux-cli: %s: the analog rate is not positive: no times to write\n";
inline constexpr char kNoSamplesToWrite[] = "the recording holds no samples";
inline constexpr char kWhatCsv[] = "CSV file";

// wav with many files or channels (%s the folder; %d the channel index and %s
// its label; %s the output name and %s the file whose channel it holds).
inline constexpr char kCannotMakeFolder[] = "tremolux-cli: %s: cannot make this folder\n";
inline constexpr char kBatchNoAnalogChannels[] = "no analog channels";
inline constexpr char kBatchNoSuchChannel[] = "no analog channel \"%s\"";
inline constexpr char kBatchChannel[] = "channel %d \"%s\": ";
inline constexpr char kBatchNameTaken[] = "not written: %s already holds a channel of %s";

// stdout could not be written (%s the system's reason).
inline constexpr char kCannotWriteOutput[] = "tremolux-cli: cannot write the output: %s\n";
// play and plot run in a companion program (%s its name, %s where it was
// looked for, %s why it could not be started).
inline constexpr char kNoCompanion[] =
    "tremolux-cli: play and plot need %s beside tremolux-cli (%s): %s\n";

// One named text of the table.
struct Entry {
  const char* name;  // the constant's name in namespace CliMessages
  const char* text;
};

#define TREMOLUX_CLI_MESSAGE(name) \
  Entry { #name, name }

inline constexpr std::array kTable{
    TREMOLUX_CLI_MESSAGE(kFileSays),
    TREMOLUX_CLI_MESSAGE(kFilePrefix),
    TREMOLUX_CLI_MESSAGE(kRefused),
    TREMOLUX_CLI_MESSAGE(kRefusePitch),
    TREMOLUX_CLI_MESSAGE(kRefuseFilter),
    TREMOLUX_CLI_MESSAGE(kRefuseSpeed),
    TREMOLUX_CLI_MESSAGE(kRefuseEventsAll),
    TREMOLUX_CLI_MESSAGE(kNoSuchChannel),
    TREMOLUX_CLI_MESSAGE(kNoSuchRightChannel),
    TREMOLUX_CLI_MESSAGE(kRefuseRightAll),
    TREMOLUX_CLI_MESSAGE(kNoTimesToPlot),
    TREMOLUX_CLI_MESSAGE(kFromNegative),
    TREMOLUX_CLI_MESSAGE(kFromNotBeforeTo),
    TREMOLUX_CLI_MESSAGE(kNoSampleInRange),
    TREMOLUX_CLI_MESSAGE(kNotPngOrSvg),
    TREMOLUX_CLI_MESSAGE(kCannotWrite),
    TREMOLUX_CLI_MESSAGE(kWhatImage),
    TREMOLUX_CLI_MESSAGE(kOverviewTooSmall),
    TREMOLUX_CLI_MESSAGE(kWhatGeometry),
    TREMOLUX_CLI_MESSAGE(kNoTimesForCsv),
    TREMOLUX_CLI_MESSAGE(kNoSamplesToWrite),
    TREMOLUX_CLI_MESSAGE(kWhatCsv),
    TREMOLUX_CLI_MESSAGE(kCannotMakeFolder),
    TREMOLUX_CLI_MESSAGE(kBatchNoAnalogChannels),
    TREMOLUX_CLI_MESSAGE(kBatchNoSuchChannel),
    TREMOLUX_CLI_MESSAGE(kBatchChannel),
    TREMOLUX_CLI_MESSAGE(kBatchNameTaken),
    TREMOLUX_CLI_MESSAGE(kCannotWriteOutput),
    TREMOLUX_CLI_MESSAGE(kNoCompanion),
};

#undef TREMOLUX_CLI_MESSAGE

// The text of printf format `format` with its arguments filled in. MinGW's
// C library formats as the C standard says (%zu included) where its headers
// ask for it, as libstdc++'s do; its checks know that format as gnu_printf.
#if defined(__MINGW32__)
__attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
inline std::string
Printed(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(n > 0 ? static_cast<std::size_t>(n) : 0U, '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  return text;
}

}  // namespace CliMessages
