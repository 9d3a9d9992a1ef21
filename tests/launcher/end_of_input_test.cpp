// The whole program in stream mode, fed every prefix of a few scripted inputs, as a pipe gives
// them: whatever point the input ends at, the run ends with exit code 0, within bounded output
// and bounded time on the virtual clock (run_bounds.hpp).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "console/backends/stream/stream.hpp"
#include "console/console.hpp"
#include "console/screen.hpp"
#include "console/session.hpp"
#include "killer/killer.hpp"
#include "launcher/launcher.hpp"
#include "parkour/world.hpp"
#include "run_bounds.hpp"
#include "snake/snake.hpp"

namespace {

// Thrown when a run goes past its bounds; not an Exit, so nothing in the program catches it.
struct Runaway {
  std::string what;
};

// The stream backend, with its output kept and the run held to its bounds: those of every run
// after the end of input, and over the whole run 1 MiB of output and virtual time that no run
// needs (the longest game played here lasts well under a minute, and the run-on after the end
// of input adds kRunOnMs).
class Bounded : public con::Relay {
 public:
  explicit Bounded(con::Stream& s) : Relay(s) {}
  run_bounds::RunBounds bounds{1 << 20, 120000 + con::kRunOnMs};
  std::string out;

  void text(std::string_view t) override {
    if (const char* why = bounds.wrote(t.size())) throw Runaway{why};
    out.append(t);
    Relay::text(t);
  }
  void pump(con::KeyQueue& q, int64_t deadline_ms, bool until_key) override {
    Relay::pump(q, deadline_ms, until_key);
    if (const char* why = bounds.pumped(q, now_ms())) throw Runaway{why};
  }
};

struct Ended {
  int code = -1;
  std::string runaway;  // what went past its bound, if anything
  size_t bytes = 0;
  int64_t ms = 0;
  std::string out;
};

// One run of the program from the launcher on `input`, on the virtual clock.
Ended run(const std::string& input, unsigned seed = 1) {
  int in[2];
  EXPECT_EQ(pipe(in), 0);
  EXPECT_EQ(write(in[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(in[1]);
  int null = open("/dev/null", O_WRONLY);
  con::Stream stream(in[0], null, true);
  Bounded b(stream);
  snake::reset();
  killer::reset();
  parkour::reset();
  con::set_seed_override(seed);
  con::attach(b);
  Ended r;
  try {
    r.code = launcher::run();
  } catch (const con::Exit& e) {
    r.code = e.code;
  } catch (const Runaway& w) {
    r.runaway = w.what;
  }
  r.ms = stream.now_ms();
  con::detach();
  con::set_seed_override(std::nullopt);
  close(in[0]);
  close(null);
  r.bytes = b.bounds.text();
  r.out = std::move(b.out);
  return r;
}

void every_prefix_ends(const std::string& script) {
  for (size_t n = 0; n <= script.size(); ++n) {
    const std::string input = script.substr(0, n);
    Ended r = run(input);
    const std::string shown = testing::PrintToString(input);
    ASSERT_EQ(r.runaway, "") << shown << ": runs away (" << r.runaway << "), " << r.bytes
                             << " bytes in " << r.ms << " ms";
    EXPECT_EQ(r.code, 0) << shown;
  }
}

}  // namespace

TEST(EndOfInput, EveryPrefixOfASnakeSessionEnds) {
  // Rules and back, a game steered and paused, Escape, a second game into the frame.
  every_prefix_ends(
      "1\n2\nk1\nwdsx\x1b"
      "1\n1\nd");
  // The two the program once ran away on: paused by a key, then no more input.
  every_prefix_ends("1x\n3\n");
}

TEST(EndOfInput, EveryPrefixOfAParkourSessionEnds) {
  // Arrows (which only the held state would steer), a pause, the key that resumes it.
  every_prefix_ends("2\n\x1b[A\x1b[B \nk");
}

TEST(EndOfInput, EveryPrefixOfAKillerSessionEnds) {
  every_prefix_ends("3\n110\nabc\n2\nx2\nx3\nx3\nx");
}

TEST(EndOfInput, AStillGameEndsAtOnceAMovingOneRunsOnToItsOwnEnd) {
  // Paused by "x": the first poll that finds the screen unchanged ends it, a tick later.
  Ended paused = run("1\n1\nx");
  EXPECT_EQ(paused.code, 0);
  EXPECT_LT(paused.ms, 2000) << paused.out;
  EXPECT_EQ(paused.out.find("糟糕"), std::string::npos);
  // No keys: the snake moves by itself, into the frame, and its result screen comes.
  Ended moving = run("1\n1\n");
  EXPECT_EQ(moving.code, 0);
  EXPECT_NE(moving.out.find("糟糕 T_T"), std::string::npos);
  EXPECT_NE(moving.out.find("你的最终得分是：0"), std::string::npos);
  // The launcher came back once more, and its read ended the program.
  size_t menus = 0;
  for (size_t p = moving.out.find("1.贪吃蛇"); p != std::string::npos;
       p = moving.out.find("1.贪吃蛇", p + 1))
    ++menus;
  EXPECT_EQ(menus, 2u);
}

TEST(EndOfInput, TheParkourGameEndsWithinItsRunOn) {
  // It changes its screen at nearly every tick: it ends at the first tick that changes
  // nothing, or at the first key poll once the run-on time is over (the end of a wave can add
  // its own few seconds of sleep).
  for (unsigned seed = 1; seed <= 8; ++seed) {
    Ended r = run("2\n", seed);
    EXPECT_EQ(r.code, 0) << seed;
    EXPECT_LT(r.ms, con::kRunOnMs + 5000) << seed;
    EXPECT_NE(r.out.find("空格可以暂停。"), std::string::npos) << seed;
  }
}

TEST(EndOfInput, KeysLeftInTheQueueAreTakenBeforeTheEnd) {
  // The input has ended before the first tick, with five keys still queued: the snake stands
  // paused for four ticks (the screen unchanged), and only then "d" sends it into the frame.
  Ended r = run("1\n1\nxxxxd");
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("糟糕 T_T"), std::string::npos) << r.out;
}
