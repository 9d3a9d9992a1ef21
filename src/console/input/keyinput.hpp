// A terminal's keyboard from bytes to what the program reads: the decoder turns the bytes into
// events, each stamped with the time its bytes arrived; dispatch() hands their codes to the key
// queue and their press, repeat and release to the held-key state. The terminal's replies to
// the start-up queries are kept apart for the probe, and a key that stands for a signal is
// handed back to the caller, which acts on it. No I/O and no clock: the terminal backend feeds
// it what it reads, and tests feed it recorded traces on a virtual clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "console/backend.hpp"
#include "console/input/heldkeys.hpp"
#include "console/input/keydecoder.hpp"

namespace con {

class KeyInput {
 public:
  // Bytes that arrived at `t`.
  void feed(const char* data, size_t n, int64_t t);
  // Resolves what the decoder holds back (a lone ESC) once its wait is over at `now`, or at
  // once when input has ended.
  void flush(int64_t now, bool at_eof);
  bool pending() const { return decoder_.pending(); }
  int64_t deadline() const { return decoder_.deadline(); }

  // The keyboard protocol is on: keys come with press, repeat and release, and the held state
  // is taken from them as it stands.
  void set_protocol(bool on);
  bool protocol() const { return held_.exact(); }
  void set_gbk(bool on) { decoder_.set_gbk(on); }

  // Takes the replies to the start-up queries (cursor reports, device attributes, keyboard
  // flags) out of what came in, in their order; the keys stay for dispatch().
  std::vector<KeyEvent> take_replies();

  // Hands what came in, in order, to `q` and the held state. A signal key stops it there and
  // its signal number is returned (what follows waits for the next call); 0 once all is done.
  int dispatch(KeyQueue& q);

  // Whether the arrow key reads as down at `now` (see HeldKeys).
  bool key_down(int vk, int64_t now) { return held_.down(vk, now); }
  // Every key up: focus lost, suspended.
  void release_all() { held_.clear(); }

 private:
  struct Timed {
    KeyEvent e;
    int64_t t;
  };
  void take(int64_t t);

  KeyDecoder decoder_;
  HeldKeys held_;
  std::vector<KeyEvent> scratch_;
  std::deque<Timed> events_;  // decoded, not yet dispatched
};

}  // namespace con
