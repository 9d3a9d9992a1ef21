// What a terminal sent, replayed through the terminal's own input path (decoder, key queue,
// held-key state) on a virtual clock: recorded traces from tests/console/input/traces/, or
// bytes scripted the way a terminal sends them. A backend, so whole games run on it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "console/backend.hpp"
#include "console/console.hpp"
#include "console/input/keyinput.hpp"

namespace input_test {

struct Trace {
  struct Chunk {
    int64_t t;  // ms after the logger was ready
    std::string bytes;
  };
  struct Action {
    int64_t t;
    std::string what;  // "keydown Up", "keyup Right", ...
  };
  std::string terminal;  // as the trace's header gives it
  int flags = 0;         // keyboard protocol flags pushed while recording (0: none)
  std::vector<Chunk> chunks;
  std::vector<Action> actions;

  // Bytes a terminal without the protocol would send at time t.
  Trace& at(int64_t t, std::string bytes) {
    chunks.push_back({t, std::move(bytes)});
    return *this;
  }
};

// "\x1b[A" style escapes back to bytes.
inline std::string unescape(const std::string& s) {
  std::string out;
  for (size_t k = 0; k < s.size(); ++k) {
    if (s[k] == '\\' && k + 3 < s.size() && s[k + 1] == 'x') {
      out += static_cast<char>(std::stoi(s.substr(k + 2, 2), nullptr, 16));
      k += 3;
    } else {
      out += s[k];
    }
  }
  return out;
}

// A trace file: "# key: value" header lines, "# @<ms> <action>" lines for what was typed, and
// "<ms> <escaped bytes>" for each read.
inline Trace load_trace(const std::string& name) {
  Trace tr;
  std::ifstream in(std::string(GAMEBOX_TRACES) + "/" + name);
  if (!in) throw std::runtime_error("no trace " + name);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    if (line[0] == '#') {
      if (line.rfind("# @", 0) == 0) {
        std::istringstream ls(line.substr(3));
        Trace::Action a;
        ls >> a.t;
        std::getline(ls >> std::ws, a.what);
        tr.actions.push_back(a);
      } else if (line.rfind("# terminal: ", 0) == 0) {
        tr.terminal = line.substr(12);
      } else if (line.rfind("# flags: ", 0) == 0) {
        tr.flags = std::stoi(line.substr(9));
      }
      continue;
    }
    std::istringstream ls(line);
    Trace::Chunk c;
    std::string esc;
    ls >> c.t >> esc;
    c.bytes = unescape(esc);
    tr.chunks.push_back(c);
  }
  return tr;
}

// What a game's ticks read of one key: its held state at every tick from `phase` to `end`, one
// look per tick as the console asks, with the trace fed through the terminal's input path.
struct Ticks {
  std::vector<int64_t> at;
  std::vector<bool> down;
};
inline Ticks read_ticks(const Trace& tr, int vk, int64_t period, int64_t phase, int64_t end) {
  con::KeyInput in;
  in.set_protocol(tr.flags > 0);
  con::KeyQueue q;
  Ticks out;
  size_t next = 0;
  for (int64_t t = phase; t <= end; t += period) {
    while (next < tr.chunks.size() && tr.chunks[next].t <= t) {
      const Trace::Chunk& c = tr.chunks[next++];
      if (in.pending() && c.t >= in.deadline()) in.flush(in.deadline(), false);
      in.feed(c.bytes.data(), c.bytes.size(), c.t);
    }
    if (in.pending() && t >= in.deadline()) in.flush(t, false);
    while (in.dispatch(q)) {
    }
    q.clear();
    out.at.push_back(t);
    out.down.push_back(in.key_down(vk, t));
  }
  return out;
}

class Replay : public con::Backend {
 public:
  // The trace's time 0 falls at virtual time `at_ms`. With the protocol flags of a trace the
  // input is taken as the terminal backend takes it after a successful probe.
  Replay(Trace trace, int64_t at_ms) : trace_(std::move(trace)), offset_(at_ms) {
    input_.set_protocol(trace_.flags > 0);
  }

  // Called after every Sleep, with the clock already advanced.
  std::function<void(Replay&)> on_sleep;
  // Ends the run (Exit{0}) once the clock passes this time; 0 means never.
  int64_t stop_at_ms = 0;

  int64_t now() const { return now_; }
  con::KeyInput& input() { return input_; }

  int64_t now_ms() override { return now_; }
  int64_t wall_seconds() override { return 1700000000 + now_ / 1000; }

  void pump(con::KeyQueue& q, int64_t deadline_ms, bool until_key) override {
    if (until_key) {
      for (;;) {
        deliver(q);
        if (!q.empty()) return;
        if (input_.pending()) {
          now_ = std::max(now_, input_.deadline());
        } else if (next_ < trace_.chunks.size()) {
          now_ = std::max(now_, trace_.chunks[next_].t + offset_);
        } else {
          q.closed = true;
          return;
        }
        check_stop();
      }
    }
    if (deadline_ms > now_) now_ = deadline_ms;
    deliver(q);
    if (on_sleep) on_sleep(*this);
    check_stop();
  }

  bool key_down(int vk) override { return input_.key_down(vk, now_); }

 private:
  // Feeds every read due by now at its own time, as the terminal backend reads while it sleeps.
  void deliver(con::KeyQueue& q) {
    while (next_ < trace_.chunks.size() && trace_.chunks[next_].t + offset_ <= now_) {
      const Trace::Chunk& c = trace_.chunks[next_++];
      const int64_t t = c.t + offset_;
      if (input_.pending() && t >= input_.deadline()) input_.flush(input_.deadline(), false);
      input_.feed(c.bytes.data(), c.bytes.size(), t);
    }
    if (input_.pending() && now_ >= input_.deadline()) input_.flush(now_, false);
    if (int sig = input_.dispatch(q)) throw con::Exit{128 + sig};
  }
  void check_stop() {
    if (stop_at_ms && now_ > stop_at_ms) throw con::Exit{0};
  }

  Trace trace_;
  int64_t offset_;
  size_t next_ = 0;
  int64_t now_ = 0;
  con::KeyInput input_;
};

}  // namespace input_test
