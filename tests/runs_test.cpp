// Whole runs pinned as data: long seeded runs of every game from the launcher, played by the
// soak and replay tests' random players and recorded with a screen check at every frame
// (tests/runs/). Each replays headless; a change a player could see in any of them stops its
// replay at the first frame that shows it, and the message names the recording's line.
//
// GAMEBOX_UPDATE_RUNS=1 records them again with today's program: after a deliberate change,
// and only after watching what changed (gamebox --replay tests/runs/NAME.rec).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "console/record/harness.hpp"
#include "parkour/world.hpp"
#include "soak/players.hpp"

namespace {

using namespace record_test;

// A ball of the next power (thunder first, then fire, water, wind, the magnet) lands on the
// player at tick `at` of every `every` unless that power is on or its ball is out.
void give_power(int every, int at) {
  using namespace parkour;
  if (T % every != at) return;
  static const int kBalls[] = {-6, -3, -4, -5, -7};
  const int ball = kBalls[T / every % 5];
  const int* const power[] = {&Fire, &Water, &Wind, &Thun, &Magne};
  bool given = *power[-3 - ball] > 0;
  for (int k = bl; k <= br; ++k) given = given || (B[k].alive && B[k].type == ball);
  if (Obj* r = given ? nullptr : new_record())
    *r = Obj{X, Y, 0, 0, ball, static_cast<int>(X), 0, 0, 1, false};
}

// The parkour player is kept alive, given a power every 300 ticks and armed against the
// bosses with a dart every 6 ticks, long enough for them to show their attacks; in the final
// stage it dies once (the stage is played again). Recording and replay both call it at
// every sleep.
void parkour_hook() {
  using namespace parkour;
  if (Win == 7 && D == 0) return;
  if (Blo < Blomax) Blo = static_cast<float>(Blomax);
  if (Boss != 0 && Biao == 0 && T % 6 == 0) Biao = 1;
  give_power(300, 150);
}

void parkour_game(Capture& h, unsigned seed) {
  auto keys = std::make_shared<soak::ParkourKeys>(soak::ParkourKeys{std::mt19937(seed)});
  auto last_t = std::make_shared<int>(-1);
  h.line("2");
  h.on_sleep = [keys, last_t](con::Headless& hh) {
    parkour_hook();
    if (parkour::T == *last_t) return;  // a flash or a screen between waves
    *last_t = parkour::T;
    keys->tick(hh);
  };
  h.on_wait = [keys](con::Headless& hh) { keys->wait(hh); };
  h.stop_at_ms = 60LL * 60 * 1000;
}

// Jumps and drops with every talent and every power in the first wave: the replay tests'
// parkour keys (taps of up among held arrows) for 40 s, the player kept alive, given the
// next talent every 150 ticks while standing and a power early in each talent's turn.
void talent_hook() {
  using namespace parkour;
  soak::keep_alive();
  if (Up == 0 && Down == 0) Ren = 1 + T / 150 % 5;
  give_power(150, 30);  // thunder first: its strike comes within the run
}

void parkour_talents(Capture& h, unsigned seed) {
  script_parkour(h, seed);
  h.on_sleep = [](con::Headless&) { talent_hook(); };
}

// The game from the launcher's choice 1 to its result; the launcher's next question ends the
// input.
void snake_game(Capture& h, unsigned seed) {
  auto player = std::make_shared<soak::SnakePlayer>(soak::SnakePlayer{std::mt19937(seed)});
  h.line("1");
  h.line("1");
  h.on_sleep = [player](con::Headless& hh) { player->tick(hh); };
  h.stop_at_ms = 240000;
}

void killer_game(Capture& h, unsigned seed) {
  auto rng = std::make_shared<std::mt19937>(seed);
  auto answers = std::make_shared<int>(0);
  h.line("3");
  h.type("11");
  h.on_wait = [rng, answers](con::Headless& hh) {
    if (++*answers <= 3000) soak::killer_answer(hh, *rng);
  };
}

struct PinnedRun {
  const char* name;  // tests/runs/NAME.rec
  unsigned seed;
  void (*script)(Capture&, unsigned);
  void (*hook)();  // called at every sleep, or null
};

// Every wave, the bosses and the final stage; jumps with every talent; snake games to a win and a
// loss; killer games with the human in each role, ending each way a game ends.
const PinnedRun kRuns[] = {
    {"parkour", 9, parkour_game, parkour_hook},
    {"parkour-talents", 43, parkour_talents, talent_hook},
    {"snake-won", 50, snake_game, nullptr},
    {"snake-lost", 5, snake_game, nullptr},
    {"killer-killer-68", 68, killer_game, nullptr},
    {"killer-killer-140", 140, killer_game, nullptr},
    {"killer-killer-775", 775, killer_game, nullptr},
    {"killer-seer-600", 600, killer_game, nullptr},
    {"killer-seer-687", 687, killer_game, nullptr},
    {"killer-seer-715", 715, killer_game, nullptr},
    {"killer-civilian-405", 405, killer_game, nullptr},
    {"killer-civilian-450", 450, killer_game, nullptr},
    {"killer-civilian-479", 479, killer_game, nullptr},
    {"killer-mage-105", 105, killer_game, nullptr},
    {"killer-mage-228", 228, killer_game, nullptr},
    {"killer-mage-234", 234, killer_game, nullptr},
};

std::string read(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(PinnedRuns, EveryRunReplaysFrameForFrame) {
  const char* update = std::getenv("GAMEBOX_UPDATE_RUNS");
  const std::filesystem::path dir(GAMEBOX_RUNS_DIR);
  std::set<std::filesystem::path> pinned;
  for (const PinnedRun& run : kRuns) {
    const std::filesystem::path path = dir / (std::string(run.name) + ".rec");
    pinned.insert(path);
    if (update && std::string(update) == "1") {
      Capture h;
      run.script(h, run.seed);
      std::string file;
      record_on(h, file, whole_program, run.seed, true);
      std::filesystem::create_directories(dir);
      std::ofstream(path, std::ios::binary) << file;
      std::fprintf(stderr, "run recorded: %s (%zu bytes)\n", path.string().c_str(), file.size());
    }
    const std::string file = read(path);
    ASSERT_FALSE(file.empty()) << "no recording " << path << "; make it with GAMEBOX_UPDATE_RUNS=1";
    con::record::Replayer::Options options;
    if (run.hook) options.on_sleep = run.hook;
    const Replayed rep = replay(file, whole_program, options);
    EXPECT_EQ(rep.refused, "") << path;
    EXPECT_TRUE(rep.outcome == con::record::Replayer::Outcome::Finished)
        << path << ": " << rep.message;
  }
  // A recording nobody replays would pin nothing.
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    EXPECT_TRUE(pinned.count(entry.path())) << entry.path() << " is not in the table of runs";
}

}  // namespace
