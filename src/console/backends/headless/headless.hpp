// The headless backend: a virtual clock and scripted input, for tests. Sleep advances the clock
// without waiting; keys, typed lines and held-key intervals are delivered when the clock reaches
// their time; the screen model stays open to inspection (con::screen()).
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "console/backend.hpp"

namespace con {

class Headless : public Backend {
 public:
  // Calendar seconds at virtual time 0.
  static constexpr int64_t kEpoch = 1700000000;

  // --- Script. Times are virtual milliseconds; input scripted for a time already passed is
  // delivered at the next pump. Events at equal times keep their scripting order.
  void key(int code, int64_t at_ms = 0);
  // An extended key: kExtended then the scan code (the arrows' are in kArrows, keys.hpp).
  void arrow(int scan, int64_t at_ms = 0);
  // Each byte one key; '\n' is Enter (13).
  void type(std::string_view text, int64_t at_ms = 0);
  // Typed text followed by Enter.
  void line(std::string_view text, int64_t at_ms = 0) {
    type(text, at_ms);
    key(13, at_ms);
  }
  // Holds an arrow key (VK_LEFT..VK_DOWN) down over [from, to). With `repeats`, the press and
  // its auto-repeats (after 500 ms, every 33 ms) also queue their codes, as on the console.
  void hold(int vk, int64_t from_ms, int64_t to_ms, bool repeats = true);

  // Called whenever the program waits for a key and nothing more is scripted; it may script
  // more input. If it does not, input has ended (the program gets Exit{0}).
  std::function<void(Headless&)> on_wait;
  // Called after every Sleep, with the clock already advanced.
  std::function<void(Headless&)> on_sleep;
  // Ends the run (Exit{0}) once the clock passes this time; 0 means never.
  int64_t stop_at_ms = 0;
  // Input ends as a pipe's does: once every scripted key is delivered and every hold is over,
  // the queue is closed at the next pump, polls included (the console's end-of-input rule).
  // Off, only a wait for a key with nothing more scripted ends the input.
  bool input_ends = false;

  // Sees every frame of every headless run while set, `first` for a run's first: a test can
  // show whole runs on a model terminal (the golden screens' harness does).
  static inline std::function<void(const Screen&, bool first)> watch;

  int64_t now() const { return now_; }
  int presents() const { return presents_; }
  int sleeps() const { return sleeps_; }

  // --- Backend
  BackendInfo describe() const override { return {"headless"}; }
  void start(Screen&) override { fresh_ = true; }
  void present(const Screen& s) override {
    ++presents_;
    if (watch) watch(s, fresh_);
    fresh_ = false;
  }
  int64_t now_ms() override { return now_; }
  int64_t wall_seconds() override { return kEpoch + now_ / 1000; }
  void pump(KeyQueue& q, int64_t deadline_ms, bool until_key) override;
  bool key_down(int vk) override;

 private:
  struct Scripted {
    int64_t at;
    uint8_t codes[2];
    uint8_t n;
  };
  struct Hold {
    int vk;
    int64_t from, to;
  };
  void add(int64_t at, const uint8_t* codes, uint8_t n);
  bool deliver_due(KeyQueue& q);
  bool script_over() const;

  std::vector<Scripted> script_;  // kept sorted by time, stable
  size_t next_ = 0;
  std::vector<Hold> holds_;
  int64_t now_ = 0;
  int presents_ = 0;
  bool fresh_ = true;
  int sleeps_ = 0;
};

// Runs `program` on a Headless backend attached for the call, catching Exit; returns the exit
// code. Afterwards `h` and con::screen() stay inspectable (until the next attach).
int run_headless(Headless& h, const std::function<int()>& program);

}  // namespace con
