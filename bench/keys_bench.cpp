// Figures for the held arrow keys: how soon a game's tick reads what the player did, from the
// key traces recorded in xterm, kitty and tmux (tests/console/input/traces/), replayed through
// the terminal's input path as the terminal backend runs it.
//
// For every press and release of an arrow in a trace:
//  - press: from the press's bytes arriving to the first tick that reads the key newly down;
//  - release, where the terminal reports it (kitty): from the release's bytes to the first tick
//    that reads it up;
//  - release, where it does not (xterm, tmux): from the key's last event (its last auto-repeat,
//    or the press of a tap) to the first tick that reads it up, and from the moment it was let
//    go (the typed action) to that tick: what the player's release costs.
// Each is given for a tick that looks every millisecond (the input path alone) and as the mean
// and worst over every phase of the parkour game's 55 ms and 17 ms ticks (the first and the
// last wave), where the wait for the next tick adds to it.
//
// Usage: keys_bench [trace...]   (default: every trace of arrow keys)
#include <algorithm>
#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "console/input/keydecoder.hpp"
#include "console/input/keyinput.hpp"
#include "console/input/replay.hpp"

namespace {

using input_test::read_ticks;
using input_test::Ticks;
using input_test::Trace;

// clang-format off
const char* const kArrowTraces[] = {
    "xterm-jump", "xterm-double-jump", "xterm-hold-right", "xterm-hold-right-tap-up",
    "tmux-jump",  "tmux-double-jump",  "tmux-hold-right",  "tmux-hold-right-tap-up",
    "kitty-jump", "kitty-double-jump", "kitty-hold-right", "kitty-hold-right-tap-up",
};
// clang-format on

int vk_of(const std::string& key) {
  if (key == "Up") return con::VK_UP;
  if (key == "Down") return con::VK_DOWN;
  if (key == "Left") return con::VK_LEFT;
  if (key == "Right") return con::VK_RIGHT;
  return 0;
}

const char* name_of(int vk) {
  switch (vk) {
    case con::VK_UP:
      return "up";
    case con::VK_DOWN:
      return "down";
    case con::VK_LEFT:
      return "left";
    default:
      return "right";
  }
}

// The key's decoded events with the time their bytes came.
struct Event {
  int64_t t;
  con::KeyEvent::Type type;
};
std::vector<Event> events_of(const Trace& tr, int vk) {
  con::KeyDecoder d;
  d.set_protocol(tr.flags > 0);
  std::vector<Event> out;
  std::vector<con::KeyEvent> evs;
  for (const Trace::Chunk& c : tr.chunks) {
    evs.clear();
    d.feed(c.bytes.data(), c.bytes.size(), c.t, evs);
    for (const con::KeyEvent& e : evs)
      if (e.kind == con::KeyEvent::Key && e.vk == vk) out.push_back({c.t, e.type});
  }
  return out;
}

// First tick at or after `from` that reads the key newly down (after a tick that read it up,
// or the first tick), or up; -1 if none.
int64_t first_rise(const Ticks& k, int64_t from) {
  for (size_t i = 0; i < k.at.size(); ++i)
    if (k.at[i] >= from && k.down[i] && (i == 0 || !k.down[i - 1])) return k.at[i];
  return -1;
}
int64_t first_up(const Ticks& k, int64_t from) {
  for (size_t i = 0; i < k.at.size(); ++i)
    if (k.at[i] >= from && !k.down[i]) return k.at[i];
  return -1;
}
// The end of the hold that an event at `from` began or went on with: the first tick reading
// up after it was read down (a tick reading up first is the release owed to an earlier tap).
int64_t end_of_hold(const Ticks& k, int64_t from) {
  size_t i = 0;
  while (i < k.at.size() && k.at[i] < from) ++i;
  while (i < k.at.size() && !k.down[i]) ++i;
  while (i < k.at.size() && k.down[i]) ++i;
  return i < k.at.size() ? k.at[i] : -1;
}

// One measure over the tick patterns: at 1 ms, and mean and worst over the phases of a period.
// Negative: the state was read before the player did it (a release read while still held).
struct Figure {
  int64_t ms1 = 0;
  double mean[2] = {0, 0};
  int64_t worst[2] = {INT64_MIN, INT64_MIN};
  bool ok = true;
};
constexpr int64_t kPeriods[2] = {55, 17};

using Latency = std::optional<int64_t>;

template <typename F>
Figure measure(const Trace& tr, int vk, int64_t end, F latency) {
  Figure f;
  const Latency l1 = latency(read_ticks(tr, vk, 1, 0, end));
  f.ok = l1.has_value();
  f.ms1 = l1.value_or(0);
  for (int p = 0; p < 2; ++p) {
    double sum = 0;
    for (int64_t phase = 0; phase < kPeriods[p]; ++phase) {
      const Latency l = latency(read_ticks(tr, vk, kPeriods[p], phase, end));
      if (!l) f.ok = false;
      sum += static_cast<double>(l.value_or(0));
      f.worst[p] = std::max(f.worst[p], l.value_or(0));
    }
    f.mean[p] = sum / static_cast<double>(kPeriods[p]);
  }
  return f;
}

void print_figure(const char* what, const Figure& f) {
  if (!f.ok) {
    std::printf("    %-34s never read\n", what);
    return;
  }
  std::printf(
      "    %-34s %5lld ms   55 ms ticks: mean %6.1f, worst %5lld   17 ms ticks: mean %6.1f, "
      "worst %5lld\n",
      what, static_cast<long long>(f.ms1), f.mean[0], static_cast<long long>(f.worst[0]), f.mean[1],
      static_cast<long long>(f.worst[1]));
}

void bench_trace(const std::string& name) {
  const Trace tr = input_test::load_trace(name + ".trace");
  const int64_t end = (tr.chunks.empty() ? 0 : tr.chunks.back().t) + 4000;
  std::printf("%s (%s, %s)\n", name.c_str(), tr.terminal.c_str(),
              tr.flags ? "releases reported: exact" : "no releases: inferred");
  for (const Trace::Action& a : tr.actions) {
    const size_t sp = a.what.find(' ');
    const std::string kind = a.what.substr(0, sp), key = a.what.substr(sp + 1);
    const int vk = vk_of(key);
    if (!vk) continue;
    const std::vector<Event> ev = events_of(tr, vk);
    // The action is stamped when xdotool returned, a little after X had it.
    auto first_after = [&](int64_t t, bool release) -> int64_t {
      for (const Event& e : ev)
        if (e.t >= t - 40 && (e.type == con::KeyEvent::Release) == release) return e.t;
      return -1;
    };
    char what[64];
    if (kind == "keydown") {
      const int64_t p = first_after(a.t, false);
      if (p < 0) continue;
      std::snprintf(what, sizeof what, "%s pressed at %lld: read down", name_of(vk),
                    static_cast<long long>(p));
      print_figure(what, measure(tr, vk, end, [&](const Ticks& k) -> Latency {
                     const int64_t r = first_rise(k, p);
                     if (r < 0) return std::nullopt;
                     return r - p;
                   }));
    } else if (tr.flags) {
      const int64_t r = first_after(a.t, true);
      if (r < 0) continue;
      std::snprintf(what, sizeof what, "%s released at %lld: read up", name_of(vk),
                    static_cast<long long>(r));
      print_figure(what, measure(tr, vk, end, [&](const Ticks& k) -> Latency {
                     const int64_t u = first_up(k, r);
                     if (u < 0) return std::nullopt;
                     return u - r;
                   }));
    } else {
      int64_t last = -1;
      for (const Event& e : ev)
        if (e.t <= a.t) last = e.t;
      if (last < 0) continue;
      std::snprintf(what, sizeof what, "%s last event at %lld: read up", name_of(vk),
                    static_cast<long long>(last));
      print_figure(what, measure(tr, vk, end, [&](const Ticks& k) -> Latency {
                     const int64_t u = end_of_hold(k, last);
                     if (u < 0) return std::nullopt;
                     return u - last;
                   }));
      std::snprintf(what, sizeof what, "%s let go at ~%lld: read up", name_of(vk),
                    static_cast<long long>(a.t));
      print_figure(what, measure(tr, vk, end, [&](const Ticks& k) -> Latency {
                     const int64_t u = end_of_hold(k, last);
                     if (u < 0) return std::nullopt;
                     return u - a.t;
                   }));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::printf("Time from a key event to the state a tick reads (ms)\n\n");
  if (argc > 1) {
    for (int k = 1; k < argc; ++k) bench_trace(argv[k]);
  } else {
    for (const char* t : kArrowTraces) bench_trace(t);
  }
  return 0;
}
