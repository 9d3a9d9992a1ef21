// Replaying a recording: a backend that answers the program from the recording instead of the
// keyboard and the clock, and shows what it draws on another backend (the view: a terminal, a
// byte stream, a headless model).
//
// Each gathering of input gets the keys the recorded one queued, each held-state query, time()
// and srand the recorded answers, in the recorded order. Any step out of that order, a screen
// that differs at a check, and an end that differs make the replay stop with a message that
// names the line (the console gets Exit{kDiverged}). In a terminal it keeps the recorded pace
// (times `speed`); what is typed there goes to the watcher, never to the game: space pauses
// and resumes, q stops watching. Elsewhere it runs as fast as it can.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "console/backend.hpp"
#include "console/record/recording.hpp"
#include "console/session.hpp"

namespace con::record {

class Replayer : public Relay, public Observer {
 public:
  // Exit code of a replay that diverged.
  static constexpr int kDiverged = 3;

  enum class Outcome {
    Running,   // not over yet
    Finished,  // the program ended as the recorded one did, screen and all
    CutShort,  // the recording stops without an end (a crash, a kill) and it got that far
    Diverged,  // message() says where and how
    Stopped,   // the watcher stopped it (q, or a signal to the terminal)
    Limit,     // the gathering limit was reached
  };

  struct Options {
    bool paced = false;  // keep the recorded pace on the view's clock
    double speed = 1;
    uint64_t max_gatherings = 0;  // stop after this many (0: no limit)
    // Called where Headless::on_sleep would be: after a gathering that moved the clock on.
    std::function<void()> on_sleep;
  };

  // Attach it as the console's observer too (run_attached(rp, program, &rp)): it checks each
  // srand and typed line against the recorded ones.
  Replayer(const Recording& rec, Backend& view, Options options);

  Outcome outcome() const { return outcome_; }
  // For Diverged: "line 12 (gathering 34, 5.678 s): ..."; for CutShort, where it stopped.
  const std::string& message() const { return message_; }
  uint64_t gatherings() const { return gathering_; }

  // Backend: the clock, time(), input and held keys come from the recording; the rest goes to
  // the view.
  void start(Screen& s) override;
  int64_t now_ms() override { return clock_; }
  int64_t wall_seconds() override;
  void pump(KeyQueue& q, int64_t deadline_ms, bool until_key) override;
  bool key_down(int vk) override;

  // Observer. ending() compares the program's end with the recording's: it comes before the
  // console is detached.
  void seeded(unsigned asked, unsigned used) override;
  void line_read(std::string_view line) override;
  void ending(int code) override;

 private:
  // What it shows the run on, and reads the watcher's keys from.
  Backend& view() { return inner_; }
  void advance();
  void compare_end(int code);
  bool at_this(Tag t) const;
  [[noreturn]] void diverge(const std::string& what);
  [[noreturn]] void cut_short();
  // Waits on the view's clock until the recorded time `at`, handling what the watcher types.
  void pace(int64_t at);
  void watch();
  void pause();
  [[noreturn]] void stop(int code);
  bool check_screen(uint64_t version, uint32_t hash) const;

  const Recording& rec_;
  Recording::Cursor cursor_;
  Options opt_;
  Line next_;
  bool has_next_ = false;
  size_t next_line_ = 0;  // the file's line number of next_
  const Screen* screen_ = nullptr;
  uint64_t gathering_ = 0;
  int64_t clock_ = 0;  // the recorded program's clock
  int64_t last_check_ms_ = 0;
  uint64_t last_check_gathering_ = 0;
  bool held_[256] = {};
  Outcome outcome_ = Outcome::Running;
  std::string message_;
  // Pacing: the view's time at which the recording's time 0 is shown (moved on by pauses).
  int64_t real_base_ = 0;
  KeyQueue watch_;  // what the watcher types
};

}  // namespace con::record
