// A library preloaded into a program under test (LD_PRELOAD) to make the
// PulseAudio client library slow at the moment that matters for a clean exit:
// once the program has closed a playback stream, every message from the
// sound server (a reply, an event) waits 30 ms before it is dispatched, as
// on a loaded machine. A process that tears down its connection while such a
// message is pending shows it at once, instead of once in a few hundred runs.
//
// Both functions are looked up by name in the libraries loaded after this
// one; the client library calls them through its dynamic symbol table.
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>

namespace {

std::atomic<bool> g_streamClosed{false};

template <typename Fn>
Fn Next(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int pa_stream_disconnect(void* stream) {
  using Fn = int (*)(void*);
  static const Fn next = Next<Fn>("pa_stream_disconnect");
  g_streamClosed = true;
  return next(stream);
}

int pa_pdispatch_run(void* dispatcher, void* packet, void* ancillary, void* userdata) {
  using Fn = int (*)(void*, void*, void*, void*);
  static const Fn next = Next<Fn>("pa_pdispatch_run");
  if (g_streamClosed) usleep(30000);
  return next(dispatcher, packet, ancillary, userdata);
}

}  // extern "C"
