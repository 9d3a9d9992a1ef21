// Held state of the arrow keys, for GetAsyncKeyState on a terminal (and the Windows console).
//
// Exact: under the kitty keyboard protocol the terminal reports press, repeat and release (as
// the Windows console does), and the state is taken as it comes. A key pressed and released
// between two queries still reads as down once, and one released and pressed again in between
// reads as up once, so a game that latches on a press sees every press.
//
// Inferred: everywhere else (xterm, VTE terminals, Konsole, Alacritty 0.11, tmux) a terminal
// sends only presses, and a held key shows up as its auto-repeats: a first press, a pause of
// the keyboard's repeat delay, then a repeat every repeat interval. The state comes from the
// timing of those events:
//
//  - After a first press the key reads as down for the repeat delay plus kDelayMarginMs, so a
//    held key does not read as up while the keyboard waits before its first auto-repeat.
//  - Once repeats are coming, it reads as down until twice the repeat interval plus
//    kIntervalMarginMs has passed without one.
//  - A second event sooner after a first press than auto-repeat could send it (under
//    kRepeatDelayShare percent of the repeat delay, and at least kMinTapGapMs) is a new tap:
//    the key was let go in between. The next query reads it as up once, then down again.
//  - The repeat delay and interval are learned from what the keyboard sends (starting from the
//    X server's defaults), so a tap reads as down no longer than this keyboard's delay requires.
//  - Overlapping keys: a keyboard repeats only the key pressed last, so once another key is
//    pressed a held arrow sends nothing more, and its release cannot be seen either. A player
//    who held an arrow long enough for it to repeat and then presses another key is almost
//    always still holding the arrow, so such an interrupted hold stays down until an event shows
//    otherwise: a new press of that arrow (it was let go: the next query reads up once), a press
//    of the opposite arrow (it reads up at once), focus lost, or kInterruptedHoldMs after the
//    other key's press. A press of the opposite arrow also ends a hold that is not repeating
//    yet: nobody holds both, and the game would take the old one over the new.
//
// Limits of the inference: a second tap later than kRepeatDelayShare of the delay reads as one
// long press (at X's 660 ms delay: taps more than 528 ms apart); an arrow let go while another
// key interrupted it reads as held up to kInterruptedHoldMs longer (hold →, tap ↑, let go of →
// during the jump: the push goes on for up to 2.5 s, unless ← or → is pressed); an arrow still
// held after that bound reads as up until it is pressed again; and a terminal that resumed an
// interrupted key's repeats would show a release that did not happen.
//
// The console asks for each key once between two gatherings of input (console.cpp), so every
// query of one tick sees the same state.
#pragma once

#include <cstdint>

namespace con {

class HeldKeys {
 public:
  // The X server's default repeat delay and interval; the slowest common desktop values.
  static constexpr int64_t kDefaultDelayMs = 660;
  static constexpr int64_t kDefaultIntervalMs = 40;
  // Learned values are kept within these bounds (a kbdrate-style 250 ms delay up to 1 s, and
  // 30 repeats a second down to 5).
  static constexpr int64_t kMinDelayMs = 150;
  static constexpr int64_t kMaxDelayMs = 1000;
  static constexpr int64_t kMinIntervalMs = 8;
  static constexpr int64_t kMaxIntervalMs = 200;
  // Two taps by hand are never closer than this; anything faster is auto-repeat.
  static constexpr int64_t kMinTapGapMs = 100;
  // A second event later than this share (percent) of the delay after a first press is the
  // first auto-repeat; earlier it is a new tap.
  static constexpr int64_t kRepeatDelayShare = 80;
  // Slack on the windows above: scheduling and terminal jitter (more over ssh).
  static constexpr int64_t kDelayMarginMs = 60;
  static constexpr int64_t kIntervalMarginMs = 40;
  // How long a hold cut short by another key's press reads as down at most.
  static constexpr int64_t kInterruptedHoldMs = 2500;

  // With exact events (the keyboard protocol) press/repeat/release are taken as they come.
  void set_exact(bool exact) { exact_ = exact; }
  bool exact() const { return exact_; }

  // A key event at time t. Arrows (VK_LEFT..VK_DOWN) are tracked; any other key (vk 0) only
  // matters to the inference, as a press that stops the arrows' repeats. Without exact events,
  // every event is passed as a press.
  void press(int vk, int64_t t);
  void repeat(int vk, int64_t t);
  void release(int vk, int64_t t);
  // Every key up: focus lost, suspend.
  void clear();

  // Whether the key reads as down at `now`. Not const: a query takes a pending release.
  bool down(int vk, int64_t now);

  int64_t delay_ms() const { return delay_; }
  int64_t interval_ms() const { return interval_; }

 private:
  struct Key {
    bool active = false;           // a press was seen and its window may still be open
    int64_t first = 0;             // time of the press that began this hold
    int64_t last = 0;              // time of the latest event of this hold
    int repeats = 0;               // auto-repeats seen in this hold
    int64_t tap_gap = -1;          // gap of a tap that may turn out to be the first repeat
    int64_t interrupted = -1;      // when another key's press cut this hold's repeats
    bool release_pending = false;  // the next query reads up (a release happened between)
    bool reported_down = false;    // what the last query answered
    bool unseen = false;           // exact mode: pressed and released before any query
    bool held = false;             // exact mode: between press and release
  };

  static int index(int vk);
  int64_t window_end(const Key& k) const;
  void event(Key& k, int64_t t);
  void other_key(int i, int64_t t);
  void learn_delay(int64_t gap, bool certain);
  void learn_interval(int64_t gap);

  bool exact_ = false;
  int64_t delay_ = kDefaultDelayMs;
  int64_t interval_ = kDefaultIntervalMs;
  Key keys_[4];
};

}  // namespace con
