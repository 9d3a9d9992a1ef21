// What the fuzz targets share: a failed invariant aborts with a message (libFuzzer keeps the
// input), a headless console that notices a program looping without reading or running on
// after its input has ended (the bounds the end-of-input tests hold runs to, from
// tests/run_bounds.hpp), and the way a fuzz input becomes scripted keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "console/backend.hpp"
#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "run_bounds.hpp"

#define FUZZ_CHECK(cond, ...)                                                                 \
  do {                                                                                        \
    if (!(cond)) {                                                                            \
      std::fprintf(stderr, "\ninvariant broken at %s:%d: %s\n  ", __FILE__, __LINE__, #cond); \
      std::fprintf(stderr, __VA_ARGS__);                                                      \
      std::fprintf(stderr, "\n");                                                             \
      std::abort();                                                                           \
    }                                                                                         \
  } while (0)

namespace fuzz {

// Inputs are cut to this size: a console's input queue holds 4096 codes, and more would only
// be dropped.
constexpr size_t kMaxInput = 4000;

// Fails the run when it went past its bounds (run_bounds.hpp).
inline void check_bounds(const char* why) {
  FUZZ_CHECK(why == nullptr, "%s", why);
}

// Counts what the console asks of its backend. Every key taken from the queue, and every
// step of the virtual clock, is progress; a program that makes `bound` calls with neither is
// looping without reading, and the run aborts. Input ends with the script (input_ends), and
// what follows is held to the bounds of run_bounds.hpp.
class Watched : public con::Headless {
 public:
  explicit Watched(long bound) : bound_(bound) { input_ends = true; }

  long calls() const { return calls_; }
  size_t consumed() const { return pushed_ - con::keys().size(); }

  void text(std::string_view t) override {
    check_bounds(bounds_.wrote(t.size()));
    step();
  }
  void present(const con::Screen& s) override {
    Headless::present(s);
    step();
  }
  void pump(con::KeyQueue& q, int64_t deadline_ms, bool until_key) override {
    size_t before = q.size();
    try {
      Headless::pump(q, deadline_ms, until_key);
    } catch (...) {
      pushed_ += q.size() - before;
      throw;
    }
    pushed_ += q.size() - before;
    check_bounds(bounds_.pumped(q, now()));
    step();
  }

 private:
  void step() {
    ++calls_;
    size_t used = consumed();
    if (used != used_ || now() != seen_ms_) {
      used_ = used;
      seen_ms_ = now();
      idle_ = 0;
      return;
    }
    FUZZ_CHECK(++idle_ <= bound_, "%ld console calls without reading a key or sleeping", idle_);
  }

  run_bounds::RunBounds bounds_;
  long bound_;
  long calls_ = 0, idle_ = 0;
  size_t pushed_ = 0, used_ = 0;
  int64_t seen_ms_ = 0;
};

// Turns fuzz bytes into scripted input, from virtual time 0:
//   0xFD n    nothing for n * 25 ms
//   0xE0 s    an extended key, 224 then s
//   0xFC k d  arrow k % 4 held for d * 20 ms (with its repeats)
//   '\n'      Enter; any other byte is that key.
inline void script(con::Headless& h, const uint8_t* data, size_t size) {
  int64_t t = 0;
  for (size_t i = 0; i < size; ++i) {
    const uint8_t b = data[i];
    if (b == 0xFD && i + 1 < size) {
      t += data[++i] * 25;
    } else if (b == 0xE0 && i + 1 < size) {
      h.arrow(data[++i], t);
    } else if (b == 0xFC && i + 2 < size) {
      h.hold(con::VK_LEFT + data[i + 1] % 4, t, t + data[i + 2] * 20);
      i += 2;
    } else {
      h.key(b == '\n' ? 13 : b, t);
    }
  }
}

}  // namespace fuzz
