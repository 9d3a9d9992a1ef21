// The killer game from its menu to its end, in stream mode: the input is what a pipe gives the
// program (the first byte picks the seed, so every role comes up), read by the stream backend
// on a virtual clock.
//
// Checked:
//  - the game never loops without reading: its console calls stay within a budget that grows
//    with the input (every typed number may cost a night, a day or a listing, no more);
//  - a game that ends by itself ends on the game-over line;
//  - once the input has ended, bounded text and bounded time (see run_bounds.hpp);
//  - no seat outside 1..15 is ever written (entries 0 and 16..19 of every table stay 0), seats
//    are alive or dead, and the roles are one killer, two seers, three mages, nine civilians.
#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "console/backends/stream/stream.hpp"
#include "harness.hpp"
#include "killer/killer.hpp"

namespace {

// The stream backend with every call counted against the budget, and the text kept.
class Counted : public con::Relay {
 public:
  Counted(con::Stream& s, long budget) : Relay(s), budget_(budget) {}
  std::string out;

  void text(std::string_view t) override {
    count();
    fuzz::check_bounds(bounds_.wrote(t.size()));
    if (out.size() < (1u << 20)) out.append(t);
    Relay::text(t);
  }
  void present(const con::Screen& sc) override {
    count();
    Relay::present(sc);
  }
  void pump(con::KeyQueue& q, int64_t deadline_ms, bool until_key) override {
    count();
    Relay::pump(q, deadline_ms, until_key);
    fuzz::check_bounds(bounds_.pumped(q, now_ms()));
  }

 private:
  void count() {
    FUZZ_CHECK(++calls_ <= budget_, "more than %ld console calls: the game loops without reading",
               budget_);
  }
  run_bounds::RunBounds bounds_;
  long budget_;
  long calls_ = 0;
};

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

void check_tables() {
  const killer::Table& g = killer::game;
  if (g.me == 0) return;  // no game was set up
  FUZZ_CHECK(g.me >= 1 && g.me <= 15, "the human's seat is %lld", g.me);
  for (int k : {0, 16, 17, 18, 19}) {
    FUZZ_CHECK(
        g.role[k] == 0 && g.living[k] == 0 && g.seen[k] == 0 && g.voter[k] == 0 && g.votes[k] == 0,
        "entry %d of a table was written", k);
  }
  int count[5] = {0, 0, 0, 0, 0};
  for (int s = 1; s <= 15; ++s) {
    FUZZ_CHECK(g.living[s] == 0 || g.living[s] == 1, "seat %d living %lld", s, g.living[s]);
    FUZZ_CHECK(g.role[s] >= 1 && g.role[s] <= 4, "seat %d role %lld", s, g.role[s]);
    FUZZ_CHECK(g.voter[s] >= 0 && g.voter[s] <= 15, "seat %d voter %lld", s, g.voter[s]);
    ++count[g.role[s]];
  }
  FUZZ_CHECK(count[1] == 1 && count[2] == 2 && count[3] == 9 && count[4] == 3,
             "roles %d killer, %d seers, %d civilians, %d mages", count[1], count[2], count[3],
             count[4]);
  FUZZ_CHECK(g.role[killer::sr] == killer::KILLER, "sr %lld is no killer", killer::sr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  if (size > fuzz::kMaxInput) size = fuzz::kMaxInput;
  static const int devnull = ::open("/dev/null", O_WRONLY);
  int p[2];
  if (::pipe(p) != 0) return 0;
  // Well under a pipe's buffer, so it is all there before the game starts.
  FUZZ_CHECK(::write(p[1], data + 1, size - 1) == static_cast<ssize_t>(size - 1), "pipe write");
  ::close(p[1]);

  con::Stream stream(p[0], devnull, true);
  Counted counted(stream, 200 * static_cast<long>(size) + 20000);
  killer::reset();
  con::set_seed_override(data[0]);
  con::attach(counted);
  bool ended = false;
  try {
    killer::menu();
    ended = true;
  } catch (const con::Exit&) {
  }
  con::detach();
  con::set_seed_override(std::nullopt);
  ::close(p[0]);

  if (ended) {
    FUZZ_CHECK(ends_with(counted.out, "\t游戏结束\n"),
               "the game ended without the game-over "
               "line");
  }
  check_tables();
  return 0;
}
