// The C interface of the browser build: what web/tremolux.mjs calls. A
// recording is loaded once from bytes the caller placed in the module's
// memory and stays loaded (with its plot summaries) until tlx_close; the
// summary, the sound and the plot are then built from it. Texts come out as
// NUL-terminated strings the caller copies at once; byte and number results
// go to one result block (tlx_result, tlx_result_size) that the next call
// replaces. Messages are printed to stderr exactly as tremolux-cli prints
// them, so the caller can show them or throw them; nothing throws out of
// here, and a failed allocation reports "Not Enough memory to open file".
#include <emscripten/emscripten.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "cli/CliMessages.h"
#include "cli/InfoJson.h"
#include "cli/SoundOptions.h"
#include "core/Messages.h"
#include "core/c3d/C3d.h"
#include "core/c3d/C3dStreamLoad.h"
#include "core/c3d/ChannelNames.h"
#include "core/c3d/FileSummary.h"
#include "core/plot/PlotGeometry.h"
#include "core/plot/PlotSummary.h"
#include "core/plot/PlotTracePath.h"
#include "core/sound/PlayChecks.h"
#include "core/sound/WaveBuild.h"

namespace {

// One loaded recording and what the plot has summarised of it. Owned by the
// caller through the pointer tlx_load returns, released by tlx_close.
struct WebDocument {
  CC3d c3d;
  bool loaded = false;
  std::map<int, std::unique_ptr<CPlotSummary>> summaries;  // by channel, made on first plot
  std::unique_ptr<CC3dStreamLoad> stream;  // a load from pieces under way (tlx_stream_*)
};

// CC3dStreamLoad's steps as the JavaScript side sees them.
int StepCode(CC3dStreamLoad::Step step) {
  switch (step) {
    case CC3dStreamLoad::Step::NeedMore:
      return 0;
    case CC3dStreamLoad::Step::Feeding:
      return 1;
    case CC3dStreamLoad::Step::Done:
      break;
  }
  return 2;
}

// The block the last call that makes bytes left for the caller.
std::vector<std::uint8_t> g_result;

// The encoder's bytes appended to g_result.
class CResultSink : public sound::IByteSink {
 public:
  bool Write(std::span<const std::uint8_t> bytes) override {
    g_result.insert(g_result.end(), bytes.begin(), bytes.end());
    return true;
  }
};

void SayOutOfMemory() { std::fprintf(stderr, "%s\n", Messages::kNotEnoughMemory); }

// The command line's checks of its enumerated options, which CLI11 makes
// there, with the same texts.
bool OptionsAccepted(const clisound::SoundOptions& o) {
  if (o.bits != 8 && o.bits != 16) {
    std::fprintf(stderr, "--bits: %d not in {8,16}\n", o.bits);
    return false;
  }
  if (o.level != "recorded" && o.level != "fit") {
    std::fprintf(stderr, "--level: %s not in {recorded,fit}\n", o.level.c_str());
    return false;
  }
  if (o.mode != "waveform" && o.mode != "pitch" && o.mode != "auto") {
    std::fprintf(stderr, "--mode: %s not in {waveform,pitch,auto}\n", o.mode.c_str());
    return false;
  }
  if (o.speed < 1 || o.speed > 1000) {
    std::fprintf(stderr, "--speed: Value %d not in range [1 - 1000]\n", o.speed);
    return false;
  }
  for (const auto& [name, value] : {std::pair{"--from", o.from}, std::pair{"--to", o.to}}) {
    if (value && !(*value >= 0.0)) {
      std::fprintf(stderr, "%s: Value %g is negative\n", name, *value);
      return false;
    }
  }
  return true;
}

// wav's single-file build into g_result: the same checks, messages and
// bytes as `tremolux-cli wav FILE ... -o OUT.wav`. 0 when the sound is
// complete, else the command's exit status.
int BuildWave(WebDocument& doc, const std::string& path, const clisound::SoundOptions& o) {
  g_result.clear();
  if (!OptionsAccepted(o)) return 2;
  sound::SoundRecipe spec;
  if (const int code = clisound::ReadSoundChoices(o, spec); code >= 0) return code;
  if (!doc.loaded) {
    std::fprintf(stderr, CliMessages::kFileSays, path.c_str(), LoadErrorText(doc.c3d.m_loadError));
    return 1;
  }
  int channel = 0;
  float rate = 0.0f;
  if (const int code = clisound::CheckChannelAndRate(path, o, doc.c3d, channel, rate); code >= 0)
    return code;
  for (const std::string& refused :
       {clisound::ApplyRangeAndTicks(doc.c3d, o, spec), clisound::ApplyRight(doc.c3d, o, spec)}) {
    if (refused.empty()) continue;
    std::fprintf(stderr, CliMessages::kFileSays, path.c_str(), refused.c_str());
    return 1;
  }
  clisound::CCliSoundHost host;
  spec.channel = channel;
  spec.bits = o.bits;
  spec.rate = rate;
  spec.level = o.Level();
  const std::optional<sound::RawChannel> samples = sound::SpecSamples(doc.c3d, spec, host);
  if (!samples) return 1;
  std::vector<float> soundBuffer(50);  // the dialog's initial block of 50 floats
  CResultSink sink;
  const auto outcome = sound::EncodeSpec(doc.c3d, spec, *samples, soundBuffer, sink, host);
  return outcome == sound::WaveOutcome::Played ? 0 : 1;
}

const char* Text(const std::string& text) {
  g_result.assign(text.begin(), text.end());
  g_result.push_back(0);
  return reinterpret_cast<const char*>(g_result.data());
}

// Appends a count and then the values of each item, as 32-bit integers.
template <class T, class Fn>
void AppendList(std::vector<std::int32_t>& out, const std::vector<T>& items, Fn&& values) {
  out.push_back(static_cast<std::int32_t>(items.size()));
  for (const T& item : items) values(item);
}

}  // namespace

extern "C" {

// A block of `size` bytes for the caller to fill (0 when memory ran out).
EMSCRIPTEN_KEEPALIVE void* tlx_alloc(std::size_t size) { return std::malloc(size == 0 ? 1 : size); }
EMSCRIPTEN_KEEPALIVE void tlx_free(void* block) { std::free(block); }

// The block the last call left, and its size in bytes.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* tlx_result() { return g_result.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t tlx_result_size() { return g_result.size(); }

// Loads a recording from `size` bytes at `data` (only read during the call).
// Returns a document even when the load failed (tlx_reason says why); null
// `data` with a non-zero size stands for bytes that did not fit into memory
// (the document then fails as a file too big does). Null only when memory
// ran out before reading.
EMSCRIPTEN_KEEPALIVE WebDocument* tlx_load(const void* data, std::size_t size) {
  try {
    auto doc = std::make_unique<WebDocument>();
    if (data == nullptr && size > 0) {
      doc->c3d.m_loadError = C3dLoadError::NotEnoughMemory;
    } else {
      doc->loaded = doc->c3d.LoadFromMemory(data, size);
    }
    return doc.release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

// A load from pieces, so that a large file's bytes never sit in memory
// beside its samples: tlx_stream_open makes the document (null when memory
// ran out); tlx_stream_head reads the first `available` bytes of a source
// of `size` bytes and returns 0 when it needs more of them (call it again
// with a longer head), 1 when tlx_stream_feed is to get the bytes after the
// head in order, 2 when no more bytes are needed; tlx_stream_feed returns 1
// or 2 likewise; tlx_stream_end completes the load (tlx_reason tells how).
// The pieces are only read during each call. Same result as tlx_load of all
// the bytes.
EMSCRIPTEN_KEEPALIVE WebDocument* tlx_stream_open() {
  try {
    return new WebDocument;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

EMSCRIPTEN_KEEPALIVE int tlx_stream_head(WebDocument* doc, const void* head, std::size_t available,
                                         double size) {
  try {
    doc->stream = std::make_unique<CC3dStreamLoad>(doc->c3d, static_cast<std::int64_t>(size));
  } catch (const std::bad_alloc&) {
    doc->stream.reset();
    doc->c3d.m_loadError = C3dLoadError::NotEnoughMemory;
    return 2;
  }
  return StepCode(doc->stream->Begin(head, available));
}

EMSCRIPTEN_KEEPALIVE int tlx_stream_feed(WebDocument* doc, const void* bytes, std::size_t size) {
  return doc->stream ? StepCode(doc->stream->Feed(bytes, size)) : 2;
}

EMSCRIPTEN_KEEPALIVE void tlx_stream_end(WebDocument* doc) {
  doc->loaded = doc->stream && doc->stream->End();
  // Without a head read to its end, the pieces did not fit into memory.
  if (!doc->loaded && doc->c3d.m_loadError == C3dLoadError::None)
    doc->c3d.m_loadError = C3dLoadError::NotEnoughMemory;
  doc->stream.reset();
}

EMSCRIPTEN_KEEPALIVE void tlx_close(WebDocument* doc) { delete doc; }

// "" for a loaded document, else LoadErrorText of why it failed.
EMSCRIPTEN_KEEPALIVE const char* tlx_reason(const WebDocument* doc) {
  if (doc == nullptr) return Messages::kNotEnoughMemory;
  return doc->loaded ? "" : LoadErrorText(doc->c3d.m_loadError);
}

// The reason a file too big for this page's memory fails with.
EMSCRIPTEN_KEEPALIVE const char* tlx_out_of_memory_reason() {
  return LoadErrorText(C3dLoadError::NotEnoughMemory);
}

// The object `tremolux-cli info PATH --json [--samples] [--points]` prints,
// as text in the result block (a loaded:false object for a failed load).
// Null, after the message on stderr, when memory ran out.
EMSCRIPTEN_KEEPALIVE const char* tlx_info_json(const WebDocument* doc, const char* path,
                                               int samples, int points) {
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  if (out == nullptr) {
    SayOutOfMemory();
    return nullptr;
  }
  bool ok = true;
  try {
    if (doc->loaded) {
      WriteInfoJson(out, doc->c3d, InfoJsonParts{path, samples != 0, points != 0});
    } else {
      WriteLoadFailureJson(out, path, LoadErrorText(doc->c3d.m_loadError));
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  ok = std::fclose(out) == 0 && ok;
  std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
  if (!ok) {
    SayOutOfMemory();
    return nullptr;
  }
  try {
    return Text(std::string(text, size));
  } catch (const std::bad_alloc&) {
    SayOutOfMemory();
    return nullptr;
  }
}

// The document window's summary text of a loaded file.
EMSCRIPTEN_KEEPALIVE const char* tlx_summary(const WebDocument* doc) {
  try {
    return Text(doc->loaded ? DescribeFile(doc->c3d) : std::string());
  } catch (const std::bad_alloc&) {
    return "";
  }
}

// The rate check of the dialog's Play for a rate text at a speed: null when
// the rate is accepted, else the message the dialog shows.
EMSCRIPTEN_KEEPALIVE const char* tlx_check_rate(const WebDocument* doc, const char* rate,
                                                int speed) {
  if (!doc->loaded) return LoadErrorText(doc->c3d.m_loadError);
  return sound::CheckPlayRate(doc->c3d, rate, speed).message;
}

// The WAVE bytes of `tremolux-cli wav PATH --channel CHANNEL --rate RATE
// --bits BITS --level LEVEL --mode MODE [--pitch PITCH] [--filter FILTER]
// --speed SPEED [--ticks] [--from FROM] [--to TO]` into the result block
// (empty texts and NaN times mean the option is not given). Returns the
// command's exit status: 0 when the sound is complete, else after its
// message on stderr.
EMSCRIPTEN_KEEPALIVE int tlx_wav(WebDocument* doc, const char* path, const char* channel,
                                 const char* rate, int bits, const char* level, const char* mode,
                                 const char* pitch, const char* filter, int speed, int ticks,
                                 double from, double to, const char* right) {
  try {
    clisound::SoundOptions o;
    o.channel = channel;
    o.rate = rate;
    o.bits = bits;
    o.level = level;
    o.mode = mode;
    o.pitch = pitch;
    o.filter = filter;
    o.speed = speed;
    o.ticks = ticks != 0;
    o.right = right;
    if (!std::isnan(from)) o.from = from;
    if (!std::isnan(to)) o.to = to;
    return BuildWave(*doc, path, o);
  } catch (const std::bad_alloc&) {
    g_result.clear();
    SayOutOfMemory();
    return 1;
  }
}

// The plot of channel `channel` at width x height pixels over the samples
// [first, last) (last < 0: to the end), as 32-bit integers in the result
// block: the width and height used, the channel's sample count, the grid
// (count, then x1 y1 x2 y2 each), the trace (count, then x y each), the
// markers (count, then left top right bottom each). `merged` 0 gives a
// vertex for every sample (`tremolux-cli plot --geometry`'s trace); 1 gives
// the path the desktop plot paints, merged per pixel column from the
// channel's summary (every vertex when each gets a marker). Returns false when the document is not
// loaded or memory ran out.
EMSCRIPTEN_KEEPALIVE int tlx_plot(WebDocument* doc, int channel, int width, int height,
                                  double first, double last, int merged) {
  g_result.clear();
  if (!doc->loaded) return 0;
  try {
    PlotRange range;
    range.first = first > 0.0 ? static_cast<std::int64_t>(first) : 0;  // whole sample indices
    if (last >= 0.0) range.last = static_cast<std::int64_t>(std::min(last, 9.0e18));
    const CPlotSummary* summary = nullptr;
    const bool hasChannel =
        channel >= 0 && static_cast<std::size_t>(channel) < doc->c3d.m_analogs.size();
    if (hasChannel && merged != 0) {
      auto& slot = doc->summaries[channel];
      if (!slot) slot = std::make_unique<CPlotSummary>(doc->c3d, channel);
      if (slot->Describes(doc->c3d, channel)) summary = slot.get();
    }
    const CPlotTrace trace(&doc->c3d, channel, width, height, range, summary);
    std::vector<std::int32_t> out{trace.Width(), trace.Height(),
                                  static_cast<std::int32_t>(doc->c3d.GetAnalogSampleCount())};
    AppendList(out, PlotGrid(trace.Width(), trace.Height()), [&out](const PlotLine& l) {
      out.insert(out.end(), {l.x1, l.y1, l.x2, l.y2});
    });
    std::vector<PlotRect> markers;
    if (merged != 0 && summary != nullptr && !trace.HasMarkers()) {
      AppendList(out, SummarisedTracePath(trace, *summary), [&out](const PlotPoint& p) {
        out.insert(out.end(), {p.x, p.y});
      });
    } else {
      const std::size_t countAt = out.size();
      out.push_back(0);
      std::int64_t count = 0;
      trace.Walk(
          [&](const PlotPoint& p) {
            out.insert(out.end(), {p.x, p.y});
            ++count;
          },
          [&](const PlotRect& r) { markers.push_back(r); });
      out[countAt] = static_cast<std::int32_t>(count);
    }
    if (!trace.HasMarkers()) markers.clear();
    AppendList(out, markers, [&out](const PlotRect& r) {
      out.insert(out.end(), {r.left, r.top, r.right, r.bottom});
    });
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(out.data());
    g_result.assign(bytes, bytes + out.size() * sizeof(std::int32_t));
    return 1;
  } catch (const std::bad_alloc&) {
    g_result.clear();
    return 0;
  }
}

}  // extern "C"
