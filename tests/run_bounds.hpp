// How far a run may go once its input has ended, held to by the end-of-input tests and by the
// fuzz targets that drive whole games: once input has ended and its last key is taken, at most
// kMaxTextAfterEnd bytes of text (what stream mode would print) and kMaxMsAfterEnd on the
// clock (the console's run-on time, and the few seconds of sleep a game's end can add after
// it). A caller whose runs are short can bound the whole run as well. Test code, so it lives
// under tests/; the fuzz targets include it from here.
#pragma once

#include <cinttypes>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "console/backend.hpp"
#include "console/session.hpp"

namespace run_bounds {

constexpr size_t kMaxTextAfterEnd = 1 << 20;
constexpr int64_t kMaxMsAfterEnd = con::kRunOnMs + 10000;

// Told of each pump's queue and clock and of each text's size, it says what went past its
// bound: a message, or nullptr while the run is within them.
class RunBounds {
 public:
  // Bounds on the whole run too: its text and its clock (0: none).
  explicit RunBounds(size_t max_text = 0, int64_t max_ms = 0)
      : max_text_(max_text), max_ms_(max_ms) {}

  const char* pumped(const con::KeyQueue& q, int64_t now_ms) {
    if (!ended_ && q.closed && q.empty()) {
      ended_ = true;
      end_ms_ = now_ms;
    }
    if (ended_ && now_ms - end_ms_ > kMaxMsAfterEnd) {
      std::snprintf(why_, sizeof why_, "still running %" PRId64 " ms after the end of input",
                    now_ms - end_ms_);
      return why_;
    }
    if (max_ms_ && now_ms > max_ms_) {
      std::snprintf(why_, sizeof why_, "still running at %" PRId64 " ms", now_ms);
      return why_;
    }
    return nullptr;
  }

  const char* wrote(size_t n) {
    text_ += n;
    if (ended_) text_after_end_ += n;
    if (text_after_end_ > kMaxTextAfterEnd) {
      std::snprintf(why_, sizeof why_, "%zu bytes of text after the end of input", text_after_end_);
      return why_;
    }
    if (max_text_ && text_ > max_text_) {
      std::snprintf(why_, sizeof why_, "%zu bytes of text", text_);
      return why_;
    }
    return nullptr;
  }

  size_t text() const { return text_; }

 private:
  size_t max_text_;
  int64_t max_ms_;
  bool ended_ = false;
  int64_t end_ms_ = 0;
  size_t text_ = 0, text_after_end_ = 0;
  char why_[96] = {};
};

}  // namespace run_bounds
