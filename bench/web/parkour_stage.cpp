// The page's parkour tick, for page_bench.mjs: the program as the page runs it (the browser
// backend, the terminal), moved on to the final stage with its three bosses after its first
// tick, the player kept alive so the stage runs its full 450 ticks, as parkour_boss_bench does
// natively. Before each wait it tells the page whether the tick that follows the wait is one
// of the final stage's (page_bench.js times them). The page's ?seed=N seeds it as --seed N (the
// pictures of tools/screenshots.mjs); the benchmark gives none.
#include <cstdint>

#include "console/backends/browser/browser.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "launcher/command_line.hpp"
#include "launcher/launcher.hpp"
#include "parkour/world.hpp"

// library_bench.js
extern "C" void gamebox_bench_mark(int final_tick);

namespace {

// Passes every call to the browser backend; moves the game on before each wait.
class Stage final : public con::Backend {
 public:
  con::BackendInfo describe() const override { return inner_.describe(); }
  void start(con::Screen& s) override { inner_.start(s); }
  void finish(const con::Screen& s) override { inner_.finish(s); }
  void present(const con::Screen& s) override { inner_.present(s); }
  int64_t now_ms() override { return inner_.now_ms(); }
  int64_t wall_seconds() override { return inner_.wall_seconds(); }
  bool key_down(int vk) override { return inner_.key_down(vk); }
  void pump(con::KeyQueue& q, int64_t deadline_ms, bool until_key) override {
    using namespace parkour;
    const int64_t delay = deadline_ms - now_ms();
    if (!moved_on_ && Win == 0 && T >= 1) {
      Win = 6;  // this tick ends wave 6: the final stage follows
      T = 1400;
      moved_on_ = true;
    }
    Blo = static_cast<float>(Blomax);
    // Only the final stage's frame delays (17 ms) end its ticks.
    gamebox_bench_mark(!until_key && Win == 7 && T >= 2 && delay >= 16 && delay <= 17);
    inner_.pump(q, deadline_ms, until_key);
  }

 private:
  con::Browser inner_;
  bool moved_on_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  launcher::Options o;
  const int done = launcher::parse_options(argc, argv, o);
  if (done >= 0) return done;
  con::set_seed_override(o.seed);
  Stage stage;
  return con::run_attached(stage, launcher::run);
}
