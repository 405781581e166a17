#pragma once

#include <optional>

// The state of the keyboard's lock keys, for the status bar's indicators.
enum class LockKey { Caps, Num, Scroll };

// True when the key's lock is on, false when off, nothing when the state
// cannot be known: a platform other than X11, or a keyboard without that
// indicator. Cheap enough to poll a few times a second. GUI thread only.
std::optional<bool> ReadLockKey(LockKey key);
