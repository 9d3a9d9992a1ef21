// Watching a replay at the recorded pace, on a view with a clock of its own and a keyboard
// that the watcher types on: the pace, --speed, space, q, and keys that never reach the game.
#include <gtest/gtest.h>

#include <string>

#include "console/console.hpp"
#include "console/record/harness.hpp"

namespace {

using con::record::Replayer;
using namespace record_test;

// A snake game of about 12 s: set off, a few turns, Escape, then "0" at the launcher.
std::string snake_file(Recorded& rec, int64_t& duration) {
  Capture h;
  h.line("1");
  h.line("1", 1000);
  int64_t t = 2000;
  for (int scan : {80, 77, 72, 77, 80, 77}) {
    t += 1200;
    h.arrow(scan, t);
  }
  h.key(27, t + 1000);
  auto left = std::make_shared<int>(3);
  h.on_wait = [left](con::Headless& hh) {
    if ((*left)-- > 0) hh.line("0", hh.now() + 500);
  };
  std::string file;
  rec = record(h, file, whole_program, 2);
  duration = h.now();
  return file;
}

Replayer::Options paced(double speed) {
  Replayer::Options o;
  o.paced = true;
  o.speed = speed;
  return o;
}

TEST(Watch, AReplayKeepsTheRecordedPaceTimesItsSpeed) {
  Recorded rec;
  int64_t duration = 0;
  const std::string file = snake_file(rec, duration);
  ASSERT_GT(duration, 8000);
  for (double speed : {1.0, 2.0, 8.0}) {
    Capture view;
    const Replayed rep = replay(file, whole_program, paced(speed), &view);
    EXPECT_EQ(rep.outcome, Replayer::Outcome::Finished) << rep.message;
    EXPECT_EQ(rep.frames, rec.frames) << speed;
    const double expected = static_cast<double>(duration) / speed;
    EXPECT_NEAR(static_cast<double>(rep.view_ms), expected, 60 + expected * 0.01) << speed;
  }
  // Unpaced, the view's clock does not move at all.
  Capture view;
  EXPECT_EQ(replay(file, whole_program, {}, &view).view_ms, 0);
}

TEST(Watch, KeysTypedWhileWatchingNeverReachTheGame) {
  Recorded rec;
  int64_t duration = 0;
  const std::string file = snake_file(rec, duration);
  Capture view;
  for (int64_t t = 100; t < duration; t += 450) {
    view.arrow(72, t);
    view.key('w', t + 100);
    view.key(27, t + 200);
    view.key('1', t + 300);
    view.key(13, t + 310);
  }
  const Replayed rep = replay(file, whole_program, paced(1), &view);
  EXPECT_EQ(rep.outcome, Replayer::Outcome::Finished) << rep.message;
  EXPECT_EQ(rep.frames, rec.frames);
}

TEST(Watch, SpacePausesAndResumesAndQStops) {
  Recorded rec;
  int64_t duration = 0;
  const std::string file = snake_file(rec, duration);
  {
    Capture view;
    view.key(' ', 3000);
    view.key('x', 4000);  // ignored while paused
    view.key(' ', 8000);  // five seconds later
    const Replayed rep = replay(file, whole_program, paced(1), &view);
    EXPECT_EQ(rep.outcome, Replayer::Outcome::Finished) << rep.message;
    EXPECT_EQ(rep.frames, rec.frames);
    EXPECT_NEAR(static_cast<double>(rep.view_ms), static_cast<double>(duration + 5000), 200);
  }
  {
    Capture view;
    view.key('q', 5000);
    const Replayed rep = replay(file, whole_program, paced(1), &view);
    EXPECT_EQ(rep.outcome, Replayer::Outcome::Stopped);
    EXPECT_EQ(rep.code, 0);
    EXPECT_NEAR(static_cast<double>(rep.view_ms), 5000, 100);
    // What was shown up to then, and once more as the console is let go.
    ASSERT_GE(rep.frames.size(), 2u);
    ASSERT_LT(rep.frames.size(), rec.frames.size());
    for (size_t k = 0; k + 1 < rep.frames.size(); ++k) ASSERT_EQ(rep.frames[k], rec.frames[k]) << k;
    EXPECT_EQ(rep.frames.back(), rep.frames[rep.frames.size() - 2]);
  }
  {
    // q while paused stops too; a view that ends (a signal to the terminal) stops with its code.
    Capture view;
    view.key(' ', 1000);
    view.key('q', 2000);
    EXPECT_EQ(replay(file, whole_program, paced(1), &view).outcome, Replayer::Outcome::Stopped);
    Capture ending;
    ending.stop_at_ms = 3000;
    const Replayed rep = replay(file, whole_program, paced(1), &ending);
    EXPECT_EQ(rep.outcome, Replayer::Outcome::Stopped);
  }
}

}  // namespace
