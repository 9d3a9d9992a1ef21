// Whole runs of every game, recorded on a scripted headless console and replayed from what the
// recorder wrote: every presented frame, the text and the ending must be the same.
#include "console/input/replay.hpp"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "console/record/harness.hpp"
#include "killer/play.hpp"
#include "parkour/parkour.hpp"
#include "parkour/world.hpp"

namespace {

using con::record::Replayer;
using namespace record_test;

void expect_same(const Recorded& recorded, const Replayed& replayed, const std::string& what) {
  ASSERT_TRUE(replayed.refused.empty()) << what << ": " << replayed.refused;
  EXPECT_EQ(replayed.outcome, Replayer::Outcome::Finished) << what << ": " << replayed.message;
  EXPECT_EQ(replayed.code, recorded.code) << what;
  ASSERT_EQ(replayed.frames.size(), recorded.frames.size()) << what;
  for (size_t k = 0; k < recorded.frames.size(); ++k)
    ASSERT_EQ(replayed.frames[k], recorded.frames[k]) << what << ": frame " << k << " differs";
  EXPECT_EQ(replayed.out, recorded.out) << what;
  EXPECT_EQ(replayed.final_screen, recorded.final_screen) << what;
}

// Answers what a waiting program wants, a bounded number of times (then input ends).
void answer_waits(Capture& h, const std::string& answer, int times = 6) {
  auto left = std::make_shared<int>(times);
  h.on_wait = [left, answer](con::Headless& hh) {
    if ((*left)-- > 0) hh.line(answer, hh.now());
  };
}

// The snake game from the launcher: arrows, letters, held keys and stray keys at random, then
// Escape; the result screen and the launcher's next question get "0".
void script_snake(Capture& h, unsigned seed) {
  std::mt19937 rng(seed);
  h.line("1");
  h.line("1", 50);
  int64_t t = 1200;
  for (int k = 0; k < 30; ++k) {
    t += 150 + rng() % 900;
    switch (rng() % 5) {
      case 0:
        h.arrow(static_cast<int>(std::array<int, 4>{72, 80, 75, 77}[rng() % 4]), t);
        break;
      case 1:
        h.key("wasdWASD"[rng() % 8], t);
        break;
      case 2:
        h.hold(con::VK_LEFT + static_cast<int>(rng() % 4), t, t + 300 + rng() % 900);
        break;
      case 3:
        h.key('x', t);
        break;
      default:
        h.arrow(77, t);
    }
  }
  h.key(27, t + 400);
  answer_waits(h, "0");
}

// The killer game to its end: every question answered, by seat numbers at random (some out of
// range), the tally's pause by a key.
void script_killer(Capture& h, unsigned seed) {
  auto rng = std::make_shared<std::mt19937>(seed);
  auto waits = std::make_shared<int>(0);
  h.line("3");
  h.type("11");
  h.on_wait = [rng, waits](con::Headless& hh) {
    Capture& c = static_cast<Capture&>(hh);
    if (++*waits > 400) return;
    const killer_test::Ask a = killer_test::asked(c.out);
    if (a == killer_test::Ask::None) return;
    if (a == killer_test::Ask::Pause) {
      hh.key(' ', hh.now() + 200);
    } else {
      hh.line(std::to_string(static_cast<int>((*rng)() % 17)), hh.now() + 700);
    }
  };
}

TEST(RecordReplay, SnakeGamesReplayFrameForFrame) {
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    Capture h;
    script_snake(h, seed);
    std::string file;
    const Recorded rec = record(h, file, whole_program, seed);
    EXPECT_GT(rec.frames.size(), 50u);
    expect_same(rec, replay(file, whole_program), "snake seed " + std::to_string(seed));
  }
}

TEST(RecordReplay, ParkourWavesReplayFrameForFrame) {
  for (unsigned seed : {5u, 6u, 7u}) {
    Capture h;
    script_parkour(h, seed);
    std::string file;
    const Recorded rec = record(h, file, whole_program, seed);
    EXPECT_GT(rec.frames.size(), 500u);
    EXPECT_NE(file.find("\nh "), std::string::npos) << "no held-state answers recorded";
    EXPECT_NE(file.find("\nexit "), std::string::npos) << "the stop is not recorded";
    expect_same(rec, replay(file, whole_program), "parkour seed " + std::to_string(seed));
  }
}

// The events of a recording as (tag, gathering, time since the start), summed from the lines.
struct Event {
  std::string tag;
  uint64_t gathering;
  int64_t ms;
};
std::vector<Event> events_of(const std::string& file) {
  std::vector<Event> out;
  std::istringstream in(file.substr(file.find("\nevents\n") + 8));
  uint64_t g = 0;
  int64_t ms = 0;
  for (std::string line; std::getline(in, line);) {
    std::istringstream f(line);
    std::string tag;
    uint64_t dg = 0;
    int64_t dms = 0;
    f >> tag >> dg >> dms;
    g += dg, ms += dms;
    out.push_back({tag, g, ms});
  }
  return out;
}

// Times count from the start of the run, whatever the backend's clock read then.
struct LateClock : Capture {
  static constexpr int64_t kLate = 86400000;
  int64_t now_ms() override { return Capture::now_ms() + kLate; }
  void pump(con::KeyQueue& q, int64_t deadline_ms, bool until_key) override {
    Capture::pump(q, until_key ? deadline_ms : deadline_ms - kLate, until_key);
  }
};

// The screen is checked now and then: never two checks closer than 5 s and 64 gatherings, on
// a clock that did not start at 0.
TEST(RecordReplay, ScreenChecksAreAtLeastFiveSecondsAndSixtyFourGatheringsApart) {
  LateClock h;
  script_parkour(h, 5);
  std::string file;
  record(h, file, whole_program, 5u);
  int checks = 0;
  const Event* last = nullptr;
  for (const Event& e : events_of(file)) {
    if (e.tag != "check") continue;
    ++checks;
    if (last) {
      EXPECT_GE(e.gathering - last->gathering, 64u) << e.gathering;
      EXPECT_GE(e.ms - last->ms, 5000) << e.ms;
    }
    last = &e;
  }
  EXPECT_GE(checks, 4);
}

TEST(RecordReplay, TimesCountFromTheStartOfTheRun) {
  LateClock h;
  h.line("0");
  std::string file;
  record(h, file, whole_program, 3u);
  const std::vector<Event> ev = events_of(file);
  ASSERT_FALSE(ev.empty());
  EXPECT_EQ(ev.back().tag, "end");
  EXPECT_LT(ev.back().ms, 60000);
}

TEST(RecordReplay, KillerGamesReplayFrameForFrameAndSayWhatWasTyped) {
  for (unsigned seed : {8u, 9u, 10u, 11u}) {
    Capture h;
    script_killer(h, seed);
    std::string file;
    const Recorded rec = record(h, file, whole_program, seed);
    EXPECT_NE(rec.out.find("游戏结束"), std::string::npos) << "seed " << seed << ": no end";
    EXPECT_NE(file.find("\nline "), std::string::npos);
    expect_same(rec, replay(file, whole_program), "killer seed " + std::to_string(seed));
  }
}

TEST(RecordReplay, ARunSeededFromTheClockReplaysFromTheRecordedTimes) {
  // No --seed: every srand takes time(), which the recording keeps.
  Capture h;
  script_killer(h, 12);
  std::string file;
  const Recorded rec = record(h, file, whole_program);
  EXPECT_NE(file.find("\nseed clock\n"), std::string::npos);
  EXPECT_NE(file.find("\ntime "), std::string::npos);
  expect_same(rec, replay(file, whole_program), "killer from the clock");
}

TEST(RecordReplay, TheEndOfInputReplaysAsItCame) {
  // The snake cover waits for a number that never comes.
  Capture h;
  h.line("1");
  std::string file;
  const Recorded rec = record(h, file, whole_program, 1);
  EXPECT_NE(file.find("\nclosed "), std::string::npos);
  expect_same(rec, replay(file, whole_program), "end of input");
}

TEST(RecordReplay, AKeptAliveParkourPlayerReplaysWithTheSameHook) {
  // A test's own change to the game at every sleep happens at the same sleeps in the replay.
  auto keep_alive = [] { parkour::Blo = static_cast<float>(parkour::Blomax); };
  Capture h;
  script_parkour(h, 13);
  h.on_sleep = [&](con::Headless&) { keep_alive(); };
  std::string file;
  const Recorded rec = record(h, file, whole_program, 13);
  Replayer::Options o;
  o.on_sleep = keep_alive;
  expect_same(rec, replay(file, whole_program, o), "kept alive");
}

TEST(RecordReplay, KittyKeysKeepPressRepeatAndReleaseAndReplay) {
  // A trace of kitty's keyboard protocol through the terminal's own input path.
  for (const char* scenario : {"hold-right-tap-up", "double-jump"}) {
    input_test::Replay r(input_test::load_trace(std::string("kitty-") + scenario + ".trace"), 1500);
    r.stop_at_ms = 9000;
    auto parkour_only = [] {
      parkour::reset();
      parkour::play();
      return 0;
    };
    std::string file;
    const Recorded rec = record_on(r, file, parkour_only, 4);
    EXPECT_NE(file.find(" p\n"), std::string::npos) << scenario;
    EXPECT_NE(file.find("\nu "), std::string::npos) << scenario;
    if (std::string(scenario) == "hold-right-tap-up") {
      EXPECT_NE(file.find(" r\n"), std::string::npos) << "no repeat of →";
    }
    const Replayed rep = replay(file, parkour_only);
    EXPECT_EQ(rep.outcome, Replayer::Outcome::Finished) << scenario << ": " << rep.message;
    EXPECT_EQ(rep.final_screen, rec.final_screen) << scenario;
  }
}

TEST(RecordReplay, XtermKeysAreRecordedWithoutPressOrRelease) {
  input_test::Replay r(input_test::load_trace("xterm-hold-right-tap-up.trace"), 1500);
  r.stop_at_ms = 9000;
  auto parkour_only = [] {
    parkour::reset();
    parkour::play();
    return 0;
  };
  std::string file;
  const Recorded rec = record_on(r, file, parkour_only, 4);
  EXPECT_NE(file.find("\nk "), std::string::npos);
  EXPECT_EQ(file.find(" p\n"), std::string::npos);
  EXPECT_EQ(file.find("\nu "), std::string::npos);
  EXPECT_NE(file.find("\nkeyboard none\n"), std::string::npos);  // not a terminal here
  const Replayed rep = replay(file, parkour_only);
  EXPECT_EQ(rep.outcome, Replayer::Outcome::Finished) << rep.message;
  EXPECT_EQ(rep.final_screen, rec.final_screen);
}

}  // namespace
