// What a place the console can live in must provide: presenting the screen model, the clock,
// waiting with input, and the held state of keys. The console layer itself (console.cpp) owns
// the screen model, the key queue, the line buffer and the generator; what only a recording
// needs to hear of (each srand, each typed line) goes to an Observer (session.hpp) instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>

#include "console/screen.hpp"

namespace con {

// What a backend knows of how a key event came: the keyboard said press, repeat or release
// (the kitty keyboard protocol), or only that the key came.
enum class KeyAction : uint8_t { Unknown, Press, Repeat, Release };

// Hears of every key event the queue takes, and of releases, which queue nothing: a recording
// listens while its backend gathers input.
class KeyListener {
 public:
  virtual ~KeyListener() = default;
  // `codes` is empty for a release; `vk` is the virtual-key code where known, else 0.
  virtual void key_event(const uint8_t* codes, size_t n, KeyAction action, int vk) = 0;
};

// The console input queue: _getch codes, grouped into key events (an arrow is one event of
// two codes, 224 then its scan code). Bounded, as a console's input buffer is.
class KeyQueue {
 public:
  static constexpr size_t kCapacity = 4096;

  void push(uint8_t code) { push_event(&code, 1); }
  void push_event(const uint8_t* codes, size_t n, KeyAction action = KeyAction::Unknown,
                  int vk = 0) {
    if (n == 0 || codes_.size() + n > kCapacity) return;  // a full queue drops keys, never grows
    for (size_t k = 0; k < n; ++k) codes_.push_back({codes[k], k == 0});
    if (listener) listener->key_event(codes, n, action, vk);
  }
  // A key let go: nothing is queued, but a listener hears of it.
  void released(int vk) {
    if (listener) listener->key_event(nullptr, 0, KeyAction::Release, vk);
  }
  bool empty() const { return codes_.empty(); }
  size_t size() const { return codes_.size(); }
  int pop() {
    int c = codes_.front().code;
    codes_.pop_front();
    return c;
  }
  // Whether the next code belongs to the key event whose first code was just taken.
  bool continues() const { return !codes_.empty() && !codes_.front().first; }
  // Takes one whole key event (both codes of an arrow).
  void pop_event() {
    if (codes_.empty()) return;
    codes_.pop_front();
    while (!codes_.empty() && !codes_.front().first) codes_.pop_front();
  }
  void clear() { codes_.clear(); }

  // Set by a backend once its input has ended for good.
  bool closed = false;
  KeyListener* listener = nullptr;

 private:
  struct Code {
    uint8_t code;
    bool first;
  };
  std::deque<Code> codes_;
};

// Where a backend runs, as a recording's header tells it.
struct BackendInfo {
  const char* name = "other";  // "terminal", "console", "stream", "headless"
  int cols = 0, rows = 0;      // the terminal's or console window's size, 0 when it has none
  const char* keyboard = "";   // "exact" or "inferred" held keys, "" without a keyboard
  bool interactive = false;    // a person watches: a replay keeps the recorded pace
};

class Backend {
 public:
  virtual ~Backend() = default;

  virtual BackendInfo describe() const { return {}; }

  // Called once when the console is attached, and once when the program ends.
  virtual void start(Screen&) {}
  virtual void finish(const Screen&) {}

  // Text as the program writes it, in program order (the stream backend prints it).
  virtual void text(std::string_view) {}
  // Shows the model: called at every Sleep, before every wait for input and at exit.
  virtual void present(const Screen&) {}

  // Milliseconds on this backend's clock, and calendar time in seconds.
  virtual int64_t now_ms() = 0;
  virtual int64_t wall_seconds() = 0;

  // Gathers input into `q` until the clock reaches `deadline_ms`; with `until_key` it returns
  // as soon as `q` holds a key. A deadline at or before now polls without waiting. When input
  // has ended and nothing more can come, sets q.closed. May throw Exit.
  virtual void pump(KeyQueue& q, int64_t deadline_ms, bool until_key) = 0;

  // Whether the key with this virtual-key code is held down now.
  virtual bool key_down(int vk) = 0;
};

// A backend that stands between the console and another one and passes every call on to it.
// What stands between (a recording, a replay, a test that counts or bounds what goes through)
// overrides the calls it has something to add to.
class Relay : public Backend {
 public:
  explicit Relay(Backend& inner) : inner_(inner) {}

  BackendInfo describe() const override { return inner_.describe(); }
  void start(Screen& s) override { inner_.start(s); }
  void finish(const Screen& s) override { inner_.finish(s); }
  void text(std::string_view t) override { inner_.text(t); }
  void present(const Screen& s) override { inner_.present(s); }
  int64_t now_ms() override { return inner_.now_ms(); }
  int64_t wall_seconds() override { return inner_.wall_seconds(); }
  void pump(KeyQueue& q, int64_t deadline_ms, bool until_key) override {
    inner_.pump(q, deadline_ms, until_key);
  }
  bool key_down(int vk) override { return inner_.key_down(vk); }

 protected:
  Backend& inner_;
};

}  // namespace con
