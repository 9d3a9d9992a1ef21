// What xterm, kitty (with the keyboard protocol) and tmux really sent for the scenarios of
// traces/ (recorded with tools/record_traces.py), replayed through the terminal's input path
// into the games: the outcomes the real-terminal tests check, pinned without X.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console.hpp"
#include "console/input/flight.hpp"
#include "console/input/heldkeys.hpp"
#include "console/input/replay.hpp"
#include "console/session.hpp"
#include "launcher/launcher.hpp"
#include "snake/snake.hpp"

namespace {

using input_test::Flight;
using input_test::fly;
using input_test::load_trace;
using input_test::Replay;
using input_test::Trace;

const char* const kTerminals[] = {"xterm", "kitty", "tmux"};

Trace trace(const std::string& terminal, const std::string& scenario) {
  return load_trace(terminal + "-" + scenario + ".trace");
}

// When the typist did `what` (the n-th time), on the trace's clock.
int64_t when(const Trace& t, const std::string& what, int n = 0) {
  for (const Trace::Action& a : t.actions)
    if (a.what == what && n-- == 0) return a.t;
  ADD_FAILURE() << "no action " << what;
  return 0;
}

// Runs `body` on the console with the trace replayed from time 0.
void with_trace(const Trace& t, const std::function<void(Replay&)>& body) {
  Replay r(t, 0);
  con::attach(r);
  try {
    body(r);
  } catch (const con::Exit&) {
    ADD_FAILURE() << "the program ended";
  }
  con::detach();
}

TEST(Traces, AllAreThereAndSaySoWhatTheyAre) {
  for (const char* term : kTerminals) {
    for (const char* scenario : {"jump", "double-jump", "hold-right", "hold-right-tap-up",
                                 "launcher-choice", "snake-start", "killer-vote", "typed-text"}) {
      const Trace t = trace(term, scenario);
      EXPECT_FALSE(t.terminal.empty()) << term << " " << scenario;
      EXPECT_EQ(t.flags, std::string(term) == "kitty" ? 31 : 0) << term << " " << scenario;
      EXPECT_GE(t.actions.size(), 2u) << term << " " << scenario;
      EXPECT_FALSE(t.chunks.empty()) << term << " " << scenario;
    }
  }
}

TEST(Traces, UpAndUpAgainAQuarterSecondLaterJumpTwiceEverywhere) {
  for (const char* term : kTerminals) {
    const Flight single = fly(trace(term, "jump"));
    EXPECT_EQ(single.top_stage, 1) << term;
    const Flight twice = fly(trace(term, "double-jump"));
    EXPECT_EQ(twice.top_stage, 2) << term;
    EXPECT_LE(twice.top_row, single.top_row - 2) << term;
  }
}

TEST(Traces, AHeldArrowReadsDownUntilLetGoAndUpSoonAfter) {
  for (const char* term : kTerminals) {
    const Trace t = trace(term, "hold-right");
    const int64_t press = when(t, "keydown Right"), let_go = when(t, "keyup Right");
    const input_test::Ticks k = input_test::read_ticks(t, con::VK_RIGHT, 5, 0, let_go + 1000);
    int64_t up_at = -1;
    for (size_t i = 0; i < k.at.size(); ++i) {
      // Down from its press until let go (the action is stamped up to 20 ms late), with no
      // gap while the keyboard waits to repeat it.
      if (k.at[i] >= press && k.at[i] < let_go - 20) {
        EXPECT_TRUE(k.down[i]) << term << " at " << k.at[i];
      }
      if (k.at[i] >= let_go - 20 && !k.down[i] && up_at < 0) up_at = k.at[i];
    }
    // Up soon after: at once where releases are reported, else two repeat intervals and the
    // margin after the last repeat.
    EXPECT_GE(up_at, 0) << term;
    EXPECT_LE(up_at - let_go, 2 * 40 + con::HeldKeys::kIntervalMarginMs + 20) << term;
  }
}

TEST(Traces, RightHeldThroughATapOfUpKeepsPushing) {
  for (const char* term : kTerminals) {
    const Trace t = trace(term, "hold-right-tap-up");
    const int64_t tap = when(t, "keydown Up"), let_go = when(t, "keyup Right");
    EXPECT_GT(let_go - tap, 1900) << term;
    const Flight f = fly(t, 100, tap, let_go);
    EXPECT_EQ(f.top_stage, 1) << term;
    EXPECT_GT(f.least_push, 2.f) << term;
  }
}

TEST(Traces, NumberReadsTakeEachKeyOnceWithTheirEcho) {
  for (const char* term : kTerminals) {
    // "12", Backspace, Enter at the launcher's place: 1, echoed where it was typed.
    with_trace(trace(term, "launcher-choice"), [&](Replay&) {
      con::gotoxy(con::GetStdHandle(con::STD_OUTPUT_HANDLE), 5, 5);
      int v = 0;
      EXPECT_TRUE(con::read_int(v)) << term;
      EXPECT_EQ(v, 1) << term;
      EXPECT_EQ(con::screen().text_at(5, 5, 2), "1 ") << term;
      EXPECT_EQ(con::screen().cursor_y(), 6) << term;  // one Enter, one line down
      con::Sleep(3000);
      EXPECT_EQ(con::_kbhit(), 0) << term;
    });
    // "1" Enter at the snake cover: nothing is left for the game to read as a key.
    with_trace(trace(term, "snake-start"), [&](Replay&) {
      int v = 0;
      EXPECT_TRUE(con::read_int(v)) << term;
      EXPECT_EQ(v, 1) << term;
      con::Sleep(3000);
      EXPECT_EQ(con::_kbhit(), 0) << term;
    });
    // A vote, then the tally's "pause": it waits for the space typed 1.5 s later.
    const Trace vote = trace(term, "killer-vote");
    with_trace(vote, [&](Replay& r) {
      long long v = 0;
      EXPECT_TRUE(con::read_ll(v)) << term;
      EXPECT_EQ(v, 2) << term;
      con::system("pause");
      EXPECT_GE(r.now(), when(vote, "keydown space") - 20) << term;
      con::Sleep(3000);
      EXPECT_EQ(con::_kbhit(), 0) << term;
    });
  }
}

TEST(Traces, TypedTextGivesTheCharactersAsTyped) {
  for (const char* term : kTerminals) {
    // Shift+a, Caps Lock on, a, 1, Caps Lock off, Tab, 7, Enter.
    with_trace(trace(term, "typed-text"), [&](Replay&) {
      std::vector<int> got;
      for (int c = 0; c != 13 && got.size() < 10;) got.push_back(c = con::_getch());
      EXPECT_EQ(got, (std::vector<int>{'A', 'A', '1', '\t', '7', 13})) << term;
      con::Sleep(3000);
      EXPECT_EQ(con::_kbhit(), 0) << term;
    });
  }
}

TEST(Traces, TheLauncherChoiceStartsASnakeThatSetsOff) {
  for (const char* term : kTerminals) {
    // The launcher's "12", Backspace, Enter, and three seconds later the cover's "1" Enter.
    Trace t = trace(term, "launcher-choice");
    for (const Trace::Chunk& c : trace(term, "snake-start").chunks) t.at(c.t + 3000, c.bytes);
    snake::reset();
    Replay r(t, 0);
    r.stop_at_ms = 8000;
    std::vector<int> columns;  // the head's column after every sleep from 6 s on
    r.on_sleep = [&](Replay& rr) {
      if (rr.now() < 6000) return;
      const con::Screen& sc = con::screen();
      for (int y = 3; y < 27; ++y)
        for (int x = 3; x < 83; ++x)
          if (sc.at(x, y).ch == U'头') columns.push_back(x);
    };
    con::attach(r);
    try {
      launcher::run();
    } catch (const con::Exit&) {
    }
    con::detach();
    ASSERT_GE(columns.size(), 2u) << term;
    EXPECT_GT(columns.back(), columns.front()) << term;
  }
}

}  // namespace
