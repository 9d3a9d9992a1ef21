// The kitty keyboard protocol, as this program asks for it and checks what it got.
//
// Asking: the start-up probe sends `CSI ? u` (the current flags) before the device attributes
// query that every terminal answers; a flags reply that comes before the attributes means the
// protocol is there. A terminal that does not know it (xterm, VTE, Konsole, tmux) answers the
// attributes alone, and one that answers nothing costs the probe's bounded wait.
//
// Checking: a terminal that has the protocol may grant only some flags. A second round pushes
// our flags, asks for them, pops them again and ends with the attributes query; the flags the
// terminal reports are those it grants. Only when it grants every flag in kNeeded is the
// protocol used (pushed for the run and popped on every way out); otherwise the terminal is
// read as one without the protocol.
//
// The flags: with event types alone, kitty sends the release of Enter, Tab and Backspace as
// the same legacy byte as the press (so that a shell stays usable), and every one of them would
// be read twice. With all keys as escape codes every key has its own press, repeat and release;
// alternate keys and the associated text say which character a key types with Shift, Caps
// Lock or another layout.
#pragma once

namespace con::kitty {

constexpr int kDisambiguate = 1;
constexpr int kEventTypes = 2;
constexpr int kAlternateKeys = 4;
constexpr int kAllKeysAsEscapes = 8;
constexpr int kAssociatedText = 16;

constexpr int kFlags =
    kDisambiguate | kEventTypes | kAlternateKeys | kAllKeysAsEscapes | kAssociatedText;
// Without these the held state is not exact or keys would be read twice.
constexpr int kNeeded = kDisambiguate | kEventTypes | kAllKeysAsEscapes;

constexpr const char* kQuery = "\x1b[?u";
constexpr const char* kPush = "\x1b[>31u";
constexpr const char* kPop = "\x1b[<u";
static_assert(kFlags == 31, "kPush carries the flags");

// Whether the flags a terminal reports after our push are enough.
constexpr bool granted(int flags) {
  return (flags & kNeeded) == kNeeded;
}

}  // namespace con::kitty
