#include "console/backends/headless/headless.hpp"

#include <algorithm>

#include "console/console.hpp"
#include "console/keys.hpp"
#include "console/session.hpp"

namespace con {
namespace {

// Auto-repeat of a held key, as a desktop keyboard does it.
constexpr int64_t kRepeatDelayMs = 500;
constexpr int64_t kRepeatEveryMs = 33;

}  // namespace

void Headless::add(int64_t at, const uint8_t* codes, uint8_t n) {
  Scripted s{at, {codes[0], n > 1 ? codes[1] : uint8_t{0}}, n};
  // Stable: after every event at or before `at`, but never before what was delivered.
  auto pos = std::upper_bound(script_.begin() + static_cast<std::ptrdiff_t>(next_), script_.end(),
                              at, [](int64_t t, const Scripted& e) { return t < e.at; });
  script_.insert(pos, s);
}

void Headless::key(int code, int64_t at_ms) {
  uint8_t c = static_cast<uint8_t>(code);
  add(at_ms, &c, 1);
}

void Headless::arrow(int scan, int64_t at_ms) {
  uint8_t c[2] = {kExtended, static_cast<uint8_t>(scan)};
  add(at_ms, c, 2);
}

void Headless::type(std::string_view text, int64_t at_ms) {
  for (char ch : text) key(ch == '\n' ? 13 : static_cast<unsigned char>(ch), at_ms);
}

void Headless::hold(int vk, int64_t from_ms, int64_t to_ms, bool repeats) {
  holds_.push_back({vk, from_ms, to_ms});
  const CursorKey* a = arrow_of_vk(vk);
  if (!repeats || !a) return;
  arrow(a->scan, from_ms);
  for (int64_t t = from_ms + kRepeatDelayMs; t < to_ms; t += kRepeatEveryMs) arrow(a->scan, t);
}

bool Headless::deliver_due(KeyQueue& q) {
  bool any = false;
  while (next_ < script_.size() && script_[next_].at <= now_) {
    q.push_event(script_[next_].codes, script_[next_].n);
    ++next_;
    any = true;
  }
  // Keep the script short once it has been delivered.
  if (next_ > 4096) {
    script_.erase(script_.begin(), script_.begin() + static_cast<std::ptrdiff_t>(next_));
    next_ = 0;
  }
  return any;
}

void Headless::pump(KeyQueue& q, int64_t deadline_ms, bool until_key) {
  if (until_key) {
    // Waiting for a key: jump to the next scripted one, or ask the test for more.
    for (;;) {
      deliver_due(q);
      if (!q.empty()) return;
      if (next_ < script_.size()) {
        now_ = std::max(now_, script_[next_].at);
      } else {
        size_t before = script_.size();
        if (on_wait) on_wait(*this);
        if (script_.size() == before) {
          q.closed = true;
          return;
        }
      }
      if (stop_at_ms && now_ > stop_at_ms) throw Exit{0};
    }
  }
  if (deadline_ms > now_) {
    now_ = deadline_ms;
    ++sleeps_;
    deliver_due(q);
    if (on_sleep) on_sleep(*this);
  }
  deliver_due(q);
  if (input_ends && script_over()) q.closed = true;
  if (stop_at_ms && now_ > stop_at_ms) throw Exit{0};
}

bool Headless::script_over() const {
  if (next_ < script_.size()) return false;
  for (const Hold& h : holds_)
    if (now_ < h.to) return false;
  return true;
}

bool Headless::key_down(int vk) {
  for (const Hold& h : holds_)
    if (h.vk == vk && h.from <= now_ && now_ < h.to) return true;
  return false;
}

int run_headless(Headless& h, const std::function<int()>& program) {
  return run_attached(h, program);
}

}  // namespace con
