// Arbitrary files given to the replay: read and checked as a recording, and when they pass,
// replayed against the whole program from its launcher (headless, as fast as it goes, at most
// kGatherings gatherings of input).
//
// Checked:
//  - the reader refuses with a message or accepts; nothing it accepts is refused once written
//    again line by line, and it reads back the same events;
//  - a replay always comes to an outcome (finished, cut short, diverged with a message naming
//    a line, or the gathering limit), never crashes, never loops without gathering, and leaves
//    the console attached to nothing.
#include <algorithm>
#include <string>
#include <vector>

#include "console/record/format.hpp"
#include "console/record/recording.hpp"
#include "console/record/replayer.hpp"
#include "harness.hpp"
#include "killer/killer.hpp"
#include "launcher/launcher.hpp"
#include "parkour/world.hpp"
#include "snake/snake.hpp"

namespace {

using namespace con::record;

constexpr uint64_t kGatherings = 3000;

// The events of a recording, with deltas again, as the recorder writes them.
std::string rewrite(const Recording& r, std::vector<Line>& events) {
  std::string out;
  write_header(r.header(), out);
  Recording::Cursor c(r);
  Line l;
  uint64_t g = 0;
  int64_t ms = 0;
  while (c.next(l)) {
    events.push_back(l);
    Line d = l;
    d.gatherings = l.gatherings - g;
    d.ms = l.ms - ms;
    g = l.gatherings;
    ms = l.ms;
    write_line(d, out);
  }
  return out;
}

// A headless view that fails the run when the program writes on and on without gathering.
class View : public con::Headless {
 public:
  const Replayer* replay = nullptr;
  void text(std::string_view) override { step(); }
  void present(const con::Screen& s) override {
    Headless::present(s);
    step();
  }

 private:
  void step() {
    const uint64_t g = replay ? replay->gatherings() : 0;
    if (g != seen_) {
      seen_ = g;
      idle_ = 0;
    }
    FUZZ_CHECK(++idle_ <= 200000, "%ld writes without gathering input", idle_);
  }
  uint64_t seen_ = 0;
  long idle_ = 0;
};

bool same(const Line& a, const Line& b) {
  return a.tag == b.tag && a.gatherings == b.gatherings && a.ms == b.ms && a.ncodes == b.ncodes &&
         std::equal(a.codes, a.codes + a.ncodes, b.codes) && a.action == b.action && a.vk == b.vk &&
         a.down == b.down && a.value == b.value && a.used == b.used && a.version == b.version &&
         a.hash == b.hash && a.text_len == b.text_len &&
         std::equal(a.text, a.text + a.text_len, b.text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > fuzz::kMaxInput) size = fuzz::kMaxInput;
  Recording rec;
  std::string error;
  if (!rec.load(std::string(reinterpret_cast<const char*>(data), size), error)) {
    FUZZ_CHECK(!error.empty(), "a refusal without a message");
    return 0;
  }
  std::vector<Line> events, again;
  const std::string written = rewrite(rec, events);
  Recording back;
  FUZZ_CHECK(back.load(written, error), "a recording written again is refused: %s", error.c_str());
  rewrite(back, again);
  FUZZ_CHECK(events.size() == again.size(), "%zu events read back as %zu", events.size(),
             again.size());
  for (size_t k = 0; k < events.size(); ++k)
    FUZZ_CHECK(same(events[k], again[k]), "event %zu reads back otherwise", k);

  View view;
  Replayer::Options o;
  o.max_gatherings = kGatherings;
  Replayer rp(rec, view, o);
  view.replay = &rp;
  snake::reset();
  killer::reset();
  parkour::reset();
  con::set_seed_override(rec.header().seed);
  con::run_attached(rp, launcher::run, &rp);
  con::set_seed_override(std::nullopt);
  FUZZ_CHECK(!con::attached(), "the console is still attached");
  const Replayer::Outcome out = rp.outcome();
  FUZZ_CHECK(out != Replayer::Outcome::Running && out != Replayer::Outcome::Stopped,
             "no outcome (%d)", static_cast<int>(out));
  if (out == Replayer::Outcome::Diverged)
    FUZZ_CHECK(rp.message().rfind("line ", 0) == 0 || rp.message().rfind("after the last", 0) == 0,
               "a divergence that names no line: %s", rp.message().c_str());
  FUZZ_CHECK(rp.gatherings() <= kGatherings + 1, "%llu gatherings",
             static_cast<unsigned long long>(rp.gatherings()));
  return 0;
}
