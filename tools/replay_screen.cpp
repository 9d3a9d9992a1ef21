// replay_screen: replays a recording headless, as fast as it goes, and prints the screen the
// run ended on, one row a line (UTF-8, a two-column glyph once, trailing blanks dropped). For
// turning a recording into a test: the real-terminal tests compare it with what the terminal
// showed.
//
//   replay_screen FILE
//
// Exit codes as gamebox --replay: 0 the replay ended as recorded (or where a recording cut
// short stops), 2 the file was refused, 3 it diverged; the message goes to standard error.
#include <cstdio>
#include <string>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/record/recording.hpp"
#include "console/record/replayer.hpp"
#include "console/session.hpp"
#include "killer/killer.hpp"
#include "launcher/launcher.hpp"
#include "parkour/world.hpp"
#include "snake/snake.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: replay_screen FILE\n", stderr);
    return 2;
  }
  using namespace con::record;
  Recording rec;
  std::string bytes, error;
  if (!read_file(argv[1], bytes, error) || !rec.load(std::move(bytes), error)) {
    std::fprintf(stderr, "replay_screen: %s: %s\n", argv[1], error.c_str());
    return 2;
  }
  con::Headless view;
  Replayer rp(rec, view, {});
  con::set_seed_override(rec.header().seed);
  snake::reset();
  killer::reset();
  parkour::reset();
  con::run_attached(rp, launcher::run, &rp);
  if (rp.outcome() == Replayer::Outcome::Diverged) {
    std::fprintf(stderr, "replay_screen: %s: the replay diverged at %s\n", argv[1],
                 rp.message().c_str());
    return Replayer::kDiverged;
  }
  if (rp.outcome() == Replayer::Outcome::CutShort)
    std::fprintf(stderr, "replay_screen: %s: %s\n", argv[1], rp.message().c_str());
  const con::Screen& s = con::screen();
  for (int y = 0; y < s.height(); ++y) {
    std::string row = s.row_text(y);
    while (!row.empty() && row.back() == ' ') row.pop_back();
    std::printf("%s\n", row.c_str());
  }
  return 0;
}
