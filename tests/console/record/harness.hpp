// Recording a run on a backend of the test's choosing and replaying what was written, with
// every presented screen kept (as a hash of its own, apart from the one the recording uses) to
// compare the two runs frame by frame.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/record/filewriter.hpp"
#include "console/record/recorder.hpp"
#include "console/record/recording.hpp"
#include "console/record/replayer.hpp"
#include "console/session.hpp"
#include "killer/killer.hpp"
#include "launcher/launcher.hpp"
#include "parkour/world.hpp"
#include "snake/snake.hpp"

namespace record_test {

// Everything a player sees of a screen: glyphs, attributes, halves, cursor.
inline uint64_t frame_hash(const con::Screen& s) {
  uint64_t h = 1469598103934665603ull;
  auto mix = [&h](uint64_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
  mix(static_cast<uint64_t>(s.width()) * 1000 + static_cast<uint64_t>(s.height()));
  for (int y = 0; y < s.height(); ++y)
    for (int x = 0; x < s.width(); ++x) {
      const con::Cell& c = s.at(x, y);
      mix(static_cast<uint64_t>(c.ch) * 4096 + c.attr * 4u + static_cast<uint64_t>(c.half));
    }
  mix(static_cast<uint64_t>(s.cursor_x()) * 1000 + static_cast<uint64_t>(s.cursor_y()));
  mix(s.attr());
  return h;
}

inline std::string dump(const con::Screen& s) {
  std::string out;
  for (int y = 0; y < s.height(); ++y) out += s.row_text(y) + "\n";
  return out;
}

// A headless console that keeps every presented frame and the text written.
struct Capture : con::Headless {
  std::vector<uint64_t> frames;
  std::string out;
  void present(const con::Screen& s) override {
    Headless::present(s);
    frames.push_back(frame_hash(s));
  }
  void text(std::string_view t) override { out.append(t); }
  // The number of frames presented before each gathering (1, 2, ...) began.
  std::vector<size_t> frames_before = {0};
  void pump(con::KeyQueue& q, int64_t deadline_ms, bool until_key) override {
    frames_before.push_back(frames.size());
    Headless::pump(q, deadline_ms, until_key);
  }
};

// The whole program from its launcher, each game fresh.
inline int whole_program() {
  snake::reset();
  killer::reset();
  parkour::reset();
  return launcher::run();
}

// The parkour game: held arrows with their repeats, taps, pauses ended by a key; the run is
// stopped after 40 s (the headless console ends it as a signal would).
inline void script_parkour(Capture& h, unsigned seed) {
  std::mt19937 rng(seed);
  h.line("2");
  for (int64_t t = 1500; t < 40000; t += 100 + rng() % 500) {
    const unsigned r = rng() % 10;
    if (r < 4) {
      h.hold(con::VK_LEFT + static_cast<int>(rng() % 4), t, t + 40 + rng() % 800);
    } else if (r < 6) {
      h.hold(con::VK_UP, t, t + 60, false);
    } else if (r == 6 && rng() % 4 == 0) {
      h.key(' ', t);
    } else if (r == 7) {
      h.key('k', t);
    }
  }
  h.stop_at_ms = 40000;
  h.on_wait = [](con::Headless& hh) { hh.key('n', hh.now() + 300); };
}

struct Recorded {
  int code = 0;
  std::vector<uint64_t> frames;
  std::vector<size_t> frames_before;
  std::string out;
  std::string final_screen;
};

// Runs `program` on `inner` (already scripted) with a recorder in between, as main does.
inline Recorded record_on(con::Backend& inner, std::string& file,
                          const std::function<int()>& program,
                          std::optional<unsigned> seed = std::nullopt, bool every_frame = false) {
  con::record::Recorder rec(
      inner,
      [&file](std::string_view b) {
        file.append(b);
        return true;
      },
      seed);
  rec.check_every_frame = every_frame;
  con::set_seed_override(seed);
  Recorded r;
  r.code = con::run_attached(rec, program, &rec);
  con::set_seed_override(std::nullopt);
  r.final_screen = dump(con::screen());
  return r;
}

inline Recorded record(Capture& h, std::string& file, const std::function<int()>& program,
                       std::optional<unsigned> seed = std::nullopt) {
  Recorded r = record_on(h, file, program, seed);
  r.frames = h.frames;
  r.frames_before = h.frames_before;
  r.out = h.out;
  return r;
}

struct Replayed : Recorded {
  con::record::Replayer::Outcome outcome = con::record::Replayer::Outcome::Running;
  std::string message;
  std::string refused;  // why the file was refused, if it was
  uint64_t gatherings = 0;
  int64_t view_ms = 0;  // the view's clock at the end (paced replays)
};

// Replays `file` with `program` on a fresh capture (or the given view).
inline Replayed replay(const std::string& file, const std::function<int()>& program,
                       con::record::Replayer::Options options = {}, Capture* view = nullptr) {
  Replayed r;
  con::record::Recording rec;
  if (!rec.load(file, r.refused)) return r;
  Capture own;
  Capture& v = view ? *view : own;
  con::record::Replayer rp(rec, v, std::move(options));
  con::set_seed_override(rec.header().seed);
  r.code = con::run_attached(rp, program, &rp);
  con::set_seed_override(std::nullopt);
  r.outcome = rp.outcome();
  r.message = rp.message();
  r.gatherings = rp.gatherings();
  r.frames = v.frames;
  r.out = v.out;
  r.view_ms = v.now();
  r.final_screen = dump(con::screen());
  return r;
}

// The recording's lines, one string each.
inline std::vector<std::string> lines_of(const std::string& file) {
  std::vector<std::string> out;
  size_t p = 0;
  while (p < file.size()) {
    size_t nl = file.find('\n', p);
    if (nl == std::string::npos) nl = file.size();
    out.push_back(file.substr(p, nl - p));
    p = nl + 1;
  }
  return out;
}

inline std::string join(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

// The 1-based number of the first line starting with `prefix` at or after line `from`.
inline size_t find_line(const std::vector<std::string>& lines, const std::string& prefix,
                        size_t from = 1) {
  for (size_t k = from - 1; k < lines.size(); ++k)
    if (lines[k].rfind(prefix, 0) == 0) return k + 1;
  return 0;
}

// The line number a divergence message names ("line 12 (gathering ...").
inline size_t named_line(const std::string& message) {
  if (message.rfind("line ", 0) != 0) return 0;
  return static_cast<size_t>(std::stoul(message.substr(5)));
}

}  // namespace record_test
