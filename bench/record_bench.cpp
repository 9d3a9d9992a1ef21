// What recording a run costs, and how fast a recording replays.
//
//  - CPU per tick of a scripted first parkour wave (1400 ticks, presentation included: changed
//    cells as escape sequences to /dev/null, as in parkour_boss_bench) and per gathering of
//    scripted killer games, played with and without recording to a file. The recorder's cost
//    is the time spent in the console's calls into its backend (every call but the text and
//    the presentation, which a recorder only passes on) and into the recorder as its observer,
//    less that time without one; each side takes its fastest of 9 runs of each seed, as
//    interference from the rest of the machine only adds time. The whole runs' CPU is compared
//    too, for reference (it moves by a percent or two from run to run on a shared machine).
//    Target: under 1%.
//  - What recording costs once per run (opening the file, the header and the room set aside
//    for the recording; the end line and closing), apart.
//  - Bytes per second of play those recordings took, and those of the recordings made by hand
//    in xterm and kitty (tests/console/record/data/). Target: under 100.
//  - The headless replay time of a recorded whole parkour game (all eight waves, the player
//    kept alive at every frame in the recording and the replay alike). Target: under 1 s.
//
// Typical play, as scripted here: in the parkour wave a tap of ↑ every 0.5 to 1 s, a tap of ↓
// every 4 to 6 s, and every 3 to 5 s ← or → held for 0.6 to 1.5 s with its auto-repeat (500 ms
// delay, then 30 a second); in the killer games every question answered after 1.5 s.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/record/filewriter.hpp"
#include "console/record/recorder.hpp"
#include "console/record/recording.hpp"
#include "console/record/replayer.hpp"
#include "console/session.hpp"
#include "diff_presenter.hpp"
#include "killer/killer.hpp"
#include "killer/play.hpp"
#include "launcher/launcher.hpp"
#include "parkour/world.hpp"
#include "snake/snake.hpp"

namespace {

using namespace con::record;

using bench::cpu_us;
using bench::DiffPresenter;

void script_wave(con::Headless& h, unsigned seed) {
  std::mt19937 rng(seed);
  h.line("2");
  for (int64_t t = 1500; t < 90000; t += 500 + rng() % 500) h.hold(con::VK_UP, t, t + 80);
  for (int64_t t = 4000; t < 90000; t += 4000 + rng() % 2000) h.hold(con::VK_DOWN, t, t + 80);
  for (int64_t t = 3000; t < 90000; t += 3000 + rng() % 2000)
    h.hold(rng() % 2 ? con::VK_LEFT : con::VK_RIGHT, t, t + 600 + rng() % 900);
}

// Times every call the console makes into the backend under it, and into the recorder as its
// observer (on the monotonic clock: none of them waits here). The game's own work is not in
// it, so comparing this time with and without a recorder under it shows what the recorder
// costs, free of the noise of the rest.
class Timed : public con::Relay, public con::Observer {
 public:
  Timed(con::Backend& b, con::Observer* next) : Relay(b), next_(next) {}
  int64_t ns = 0;

  struct Clock {
    int64_t& acc;
    std::chrono::steady_clock::time_point t0 = std::chrono::steady_clock::now();
    ~Clock() {
      acc += std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                  t0)
                 .count();
    }
  };
  // Not timed: text and the presentation, which a recorder passes on and does nothing else
  // with (the presentation is the biggest, and noisiest, call of a tick).
  int64_t now_ms() override {
    Clock c{ns};
    return Relay::now_ms();
  }
  int64_t wall_seconds() override {
    Clock c{ns};
    return Relay::wall_seconds();
  }
  void pump(con::KeyQueue& q, int64_t deadline_ms, bool until_key) override {
    Clock c{ns};
    Relay::pump(q, deadline_ms, until_key);
  }
  bool key_down(int vk) override {
    Clock c{ns};
    return Relay::key_down(vk);
  }
  void seeded(unsigned asked, unsigned used) override {
    Clock c{ns};
    if (next_) next_->seeded(asked, used);
  }
  void line_read(std::string_view line) override {
    Clock c{ns};
    if (next_) next_->line_read(line);
  }
  void ending(int code) override {
    if (next_) next_->ending(code);
  }

 private:
  con::Observer* next_;
};

struct Result {
  double cpu_us = 0;
  double calls_us = 0;  // in the backend's calls
  double once_us = 0;
  long ticks = 0;
  uint64_t bytes = 0;
  int64_t game_ms = 0;
};

const char* const kFile = "/tmp/gamebox_record_bench.rec";

// Runs `program` on `h`, through a recorder writing kFile when `record`. The play is timed
// apart from what recording costs once, at the start and the end (opening the file, the
// header, setting room aside; the end line, closing).
Result run(DiffPresenter& h, bool record, const std::function<int()>& program, unsigned seed) {
  Result r;
  const double s0 = cpu_us();
  FileWriter file;
  std::string error;
  std::unique_ptr<Recorder> rec;
  con::Backend* top = &h;
  if (record) {
    if (!file.open(kFile, error)) std::fprintf(stderr, "record_bench: %s\n", error.c_str());
    rec = std::make_unique<Recorder>(
        h, [&file](std::string_view b) { return file.write(b); }, seed);
    top = rec.get();
  }
  Timed timed(*top, rec.get());
  snake::reset();
  killer::reset();
  parkour::reset();
  con::set_seed_override(seed);
  con::attach(timed, &timed);
  const double t0 = cpu_us();
  int code = 0;
  try {
    code = program();
  } catch (const con::Exit& e) {
    code = e.code;
  }
  const double t1 = cpu_us();
  r.cpu_us = t1 - t0;
  r.calls_us = static_cast<double>(timed.ns) / 1000.0;
  timed.ending(code);
  con::detach();
  con::set_seed_override(std::nullopt);
  if (rec) {
    file.close(error);
    r.bytes = rec->bytes();
  }
  r.once_us = (t0 - s0) + (cpu_us() - t1);
  r.game_ms = h.now();
  return r;
}

Result parkour_wave(bool record, unsigned seed) {
  DiffPresenter h;
  script_wave(h, seed);
  long ticks = 0;
  int last_t = -1;
  h.on_sleep = [&](con::Headless&) {
    using namespace parkour;
    Blo = static_cast<float>(Blomax);
    if (T != last_t && Win == 0) {
      last_t = T;
      ++ticks;
    }
    if (Win > 0 || T >= 1399) throw con::Exit{0};
  };
  Result r = run(
      h, record, [] { return launcher::run(); }, seed);
  r.ticks = ticks;
  return r;
}

Result killer_game(bool record, unsigned seed) {
  DiffPresenter h;
  h.line("3");
  h.type("11");
  auto rng = std::make_shared<std::mt19937>(seed);
  long gatherings = 0;
  h.on_sleep = [&](con::Headless&) { ++gatherings; };
  h.on_wait = [rng, &gatherings](con::Headless& hh) {
    ++gatherings;
    // The latest question is in the text's tail.
    const std::string& out = static_cast<DiffPresenter&>(hh).out;
    const killer_test::Ask a =
        killer_test::asked(out.size() > 2048 ? out.substr(out.size() - 2048) : out);
    if (a == killer_test::Ask::None || gatherings > 5000) return;
    if (a == killer_test::Ask::Pause) {
      hh.key(' ', hh.now() + 1500);
    } else {
      hh.line(std::to_string(1 + (*rng)() % 15), hh.now() + 1500);
    }
  };
  Result r = run(
      h, record, [] { return launcher::run(); }, seed);
  r.ticks = gatherings;
  return r;
}

// Eight killer games in a row (some end at the first vote, some go on for many nights).
Result killer_games(bool record, unsigned seed) {
  Result sum;
  for (unsigned k = 0; k < 8; ++k) {
    const Result r = killer_game(record, seed * 8 + k);
    sum.cpu_us += r.cpu_us;
    sum.calls_us += r.calls_us;
    sum.once_us += r.once_us / 8;
    sum.ticks += r.ticks;
    sum.bytes += r.bytes;
    sum.game_ms += r.game_ms;
  }
  return sum;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

struct Overhead {
  double plain_us = 0, recorded_us = 0;
  double whole_share = 0;  // the runs' CPU compared whole: noisy on a shared machine
  double extra_ns = 0;     // the recorder's time per tick, from the backend calls
  double share = 0;        // that, over the plain tick
  double bytes_per_s = 0, once_us = 0;
};

// Runs of one scripted game, alternating with and without recording, the same seeds for
// both. Interference from the rest of the machine only ever adds time, so each side's figure
// is its fastest run of each seed, summed over the seeds; the extra share compares those sums.
Overhead measure(Result (*game)(bool, unsigned), int seeds, int rounds) {
  const size_t n = static_cast<size_t>(seeds);
  std::vector<double> plain(n, 1e300), recorded(n, 1e300), in_plain(n, 1e300), in_rec(n, 1e300);
  std::vector<double> rates, once;
  long ticks = 0;
  for (int round = 0; round < rounds; ++round) {
    for (size_t i = 0; i < n; ++i) {
      const unsigned seed = 1 + static_cast<unsigned>(i);
      const Result a = game(false, seed);
      const Result b = game(true, seed);
      plain[i] = std::min(plain[i], a.cpu_us);
      recorded[i] = std::min(recorded[i], b.cpu_us);
      in_plain[i] = std::min(in_plain[i], a.calls_us);
      in_rec[i] = std::min(in_rec[i], b.calls_us);
      if (round == 0) {
        ticks += a.ticks;
        rates.push_back(static_cast<double>(b.bytes) * 1000.0 / static_cast<double>(b.game_ms));
      }
      once.push_back(b.once_us - a.once_us);
    }
  }
  double p = 0, r = 0, extra = 0;
  for (size_t i = 0; i < n; ++i) {
    p += plain[i];
    r += recorded[i];
    extra += in_rec[i] - in_plain[i];
  }
  const double t = static_cast<double>(ticks > 0 ? ticks : 1);
  Overhead o;
  o.plain_us = p / t;
  o.recorded_us = r / t;
  o.whole_share = (r - p) / p;
  o.extra_ns = extra * 1000.0 / t;
  o.share = extra / p;
  o.bytes_per_s = median(rates);
  o.once_us = median(once);
  return o;
}

std::string read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Bytes per second of a kept recording: the whole file over the time of its last line.
double file_rate(const std::string& bytes) {
  Recording r;
  std::string error;
  if (!r.load(bytes, error)) return -1;
  Recording::Cursor c(r);
  Line l;
  int64_t last = 0;
  while (c.next(l)) last = l.ms;
  return last > 0 ? static_cast<double>(bytes.size()) * 1000.0 / static_cast<double>(last) : -1;
}

void keep_alive() {
  using namespace parkour;
  if (Blo < Blomax) Blo = static_cast<float>(Blomax);
  if (Boss != 0 && Biao < 2) Biao += 2;
}

}  // namespace

int main() {
  std::printf("record bench\n");
  const Overhead wave = measure(parkour_wave, 5, 9);
  const Overhead killer = measure(killer_games, 5, 9);
  std::printf(
      "  parkour wave 1, 5 seeds x 1400 ticks: %.3f us per tick; recording adds %.0f ns per"
      " tick = %.2f%% (whole runs compared: %+.2f%%), %.1f bytes/s\n",
      wave.plain_us, wave.extra_ns, wave.share * 100, wave.whole_share * 100, wave.bytes_per_s);
  std::printf(
      "  killer, 5 x 8 games: %.3f us per gathering; recording adds %.0f ns per gathering"
      " = %.2f%% (whole runs compared: %+.2f%%), %.1f bytes/s\n",
      killer.plain_us, killer.extra_ns, killer.share * 100, killer.whole_share * 100,
      killer.bytes_per_s);
  std::printf("  once per run (file, header, room set aside; end line, closing): %.0f us\n",
              std::max(wave.once_us, killer.once_us));

  double worst_file_rate = 0;
  for (const char* name : {"xterm-menus", "xterm-parkour", "kitty-menus", "kitty-parkour"}) {
    const std::string bytes =
        read(std::string(GAMEBOX_TRACES) + "/../../record/data/" + name + ".rec");
    const double rate = file_rate(bytes);
    worst_file_rate = std::max(worst_file_rate, rate);
    std::printf("  recorded by hand, %-14s %5zu bytes, %.1f bytes/s\n", name, bytes.size(), rate);
  }

  // A whole parkour game, recorded, then replayed headless.
  DiffPresenter h;
  std::mt19937 rng(11);
  int last_t = -1;
  h.line("2");
  h.on_sleep = [&](con::Headless& hh) {
    keep_alive();
    if (parkour::T == last_t) return;
    last_t = parkour::T;
    const unsigned r = rng() % 100;
    if (r < 3) h.hold(con::VK_LEFT + static_cast<int>(rng() % 4), hh.now(), hh.now() + 400);
    if (r == 3) h.hold(con::VK_UP, hh.now(), hh.now() + 80);
  };
  h.on_wait = [&](con::Headless& hh) { hh.key(rng() % 2 ? 'y' : 'n', hh.now() + 1000); };
  h.stop_at_ms = 60LL * 60 * 1000;
  const Result whole = run(
      h, true, [] { return launcher::run(); }, 11);
  const bool won = con::screen().text_at(22, 15, 9) == "YOU WIN !";
  Recording rec;
  std::string error;
  if (!rec.load(read(kFile), error)) std::fprintf(stderr, "record_bench: %s\n", error.c_str());
  con::Headless view;
  Replayer::Options o;
  o.on_sleep = keep_alive;
  Replayer rp(rec, view, o);
  parkour::reset();
  con::set_seed_override(rec.header().seed);
  const auto w0 = std::chrono::steady_clock::now();
  const double c0 = cpu_us();
  con::run_attached(rp, launcher::run, &rp);
  const double replay_cpu_s = (cpu_us() - c0) / 1e6;
  const double replay_s =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
  con::set_seed_override(std::nullopt);
  const bool finished = rp.outcome() == Replayer::Outcome::Finished;
  std::printf(
      "  whole parkour game%s: %.1f min of play, %llu bytes (%.1f bytes/s), %llu gatherings\n",
      won ? " (won)" : " (NOT WON)", static_cast<double>(whole.game_ms) / 60000.0,
      static_cast<unsigned long long>(whole.bytes),
      static_cast<double>(whole.bytes) * 1000.0 / static_cast<double>(whole.game_ms),
      static_cast<unsigned long long>(rp.gatherings()));
  std::printf("  its headless replay: %.3f s (%.3f s CPU), %s\n", replay_s, replay_cpu_s,
              finished ? "as recorded" : rp.message().c_str());
  std::remove(kFile);

  const bool ok = wave.share < 0.01 && killer.share < 0.01 && wave.bytes_per_s < 100 &&
                  killer.bytes_per_s < 100 && worst_file_rate < 100 && won && finished &&
                  replay_s < 1;
  std::printf("targets: < 1%% CPU, < 100 bytes/s, whole game replayed in < 1 s: %s\n",
              ok ? "met" : "MISSED");
  return ok ? 0 : 1;
}
