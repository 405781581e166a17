#pragma once

// Ends a process that has played sound, once its own objects are gone,
// without the exit-time teardown of the libraries it loaded.
//
// Qt Multimedia 6.4 keeps its PulseAudio connection in a global object that
// is destroyed at exit, and that teardown disconnects from the sound server
// without holding the lock of the client library's reader thread. When a
// reply or an event is still in flight, as it is right after a sound ends
// (the drain reply, the output's change of state), the reader thread
// dispatches it through the freed connection and libpulse aborts the whole
// process ("Assertion ... failed at pulsecore/pdispatch.c"). So a process
// that may have played sound ends here instead: the C and C++ streams are
// flushed, a leak-checking build runs its leak check, and the process leaves
// with `code`. The sound server drops the connection of a process that has
// ended.
//
// Call after every object the caller owns (application object, temporary
// files, settings) has been destroyed. Where PulseAudio is not Qt's backend
// (other than Linux) this is an ordinary exit.
[[noreturn]] void ExitAfterSound(int code);
