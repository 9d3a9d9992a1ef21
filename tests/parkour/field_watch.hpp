// Watches the parkour field while the game runs headless, tick by tick: which cells something
// drew on, which cells stay wrong (row 20 without its "=", another row of the field not blank)
// for many ticks while nothing draws there, which writes ran past the right edge onto the next
// row, and which writes landed where the previous one ended because the cursor did not move.
// Plus a sweep that plays whole waves under several input schedules with the watch attached.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/screen.hpp"
#include "console/session.hpp"
#include "parkour/parkour.hpp"
#include "parkour/world.hpp"

namespace parkour_test {

// Under the sanitizers, which play many times slower, the sweeps play a share of their runs.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct Finding {
  int x, y, tick;
  char32_t shown;
  std::string where;  // the run it came from
};

struct FieldWatch : con::Headless {
  static constexpr int kW = 60, kH = 37;
  static constexpr int kTop = 5;  // rows 1 to 4 hold the head-up display and the pause prompt
  static constexpr int kFrameMs[8] = {55, 50, 35, 40, 25, 30, 20, 17};

  int stale_after = 18;  // ticks a wrong cell may stay with nothing on it before it counts
  std::string where;     // label of the run, for the findings

  long ticks = 0;
  long ground_holes = 0;       // row-20 cells wrong for stale_after ticks with nothing on them
  long strays = 0;             // the same on the other rows of the field
  long ticks_with_hole = 0;    // ticks with a row-20 cell in such a run
  long wraps = 0;              // writes in the field that ran on past column 59 onto the next row
  long stale_writes = 0;       // writes in the field at the end of the previous write
  std::vector<Finding> found;  // the first few
  size_t keep = 8;

  // Call at every sleep of the game: the tick's own sleep (the frame delay) ends a tick. A flash
  // of the same length in the last wave may end one early; the watch only loses a little there.
  void slept() {
    const int64_t ms = now() - last_now_;
    last_now_ = now();
    const int win = parkour::Win;
    if (parkour::T == last_t_ || win < 0 || win > 7 || ms != kFrameMs[win]) return;
    last_t_ = parkour::T;
    end_tick();
  }

  void text(std::string_view s) override {
    const con::Screen& scr = con::screen();
    // Every glyph bumps the model's version once, and so does every cursor placement.
    const uint64_t v = scr.version();
    const uint64_t moves = v - last_version_ - glyphs(s);
    last_version_ = v;
    if (scr.width() != kW || scr.height() != kH) return;
    if (s.find('\n') != std::string_view::npos) return;  // the pause prompt

    // Where the text began: its end less its columns, less any cells the console padded
    // before two-column glyphs that met the last column; the least padded start that ends
    // there and matches what the screen now shows. One case looks like another: a text placed
    // at column 59 whose first glyph is two columns wide (padded at once) matches as one that
    // began at column 0 of the next row, so that wrap goes uncounted.
    const int end = scr.cursor_y() * kW + scr.cursor_x();
    int width = 0, wide = 0;
    for (size_t i = 0; i < s.size();) {
      const int w = con::glyph_width(con::decode_utf8(s, i));
      width += w;
      wide += w == 2;
    }
    for (int pads = 0; pads <= wide; ++pads) {
      const int start = end - width - pads;
      if (start < 0 || !lands(s, start, end) || !shows(scr, s, start)) continue;
      const int first_row = start / kW, last_row = (end - 1) / kW;
      if (first_row >= kTop && moves == 0) ++stale_writes;
      if (last_row != first_row && last_row >= kTop) ++wraps;
      claim(s, start);
      break;
    }
  }

  void end_tick() {
    ++ticks;
    claim_trail();
    const con::Screen& scr = con::screen();
    if (scr.width() != kW || scr.height() != kH) return;
    // The help text stands in rows 4 to 10 until the first clear after tick 300 of wave 0.
    const bool help = parkour::Win == 0 && parkour::T <= 301;
    bool hole = false;
    for (int y = kTop; y < kH; ++y) {
      for (int x = 0; x < kW; ++x) {
        const size_t p = static_cast<size_t>(y * kW + x);
        const con::Cell& c = scr.at(x, y);
        const bool wrong = y == 20 ? c.ch != U'=' : c.ch != U' ';
        if (!wrong || drawn_[p] == tick_ || (help && y <= 10)) {
          run_[p] = 0;
          continue;
        }
        if (++run_[p] == stale_after) {
          (y == 20 ? ground_holes : strays) += 1;
          if (found.size() < keep) found.push_back({x, y, parkour::T, c.ch, where});
        }
        if (y == 20 && run_[p] >= stale_after) hole = true;
      }
    }
    ticks_with_hole += hole;
    ++tick_;
  }

 private:
  static uint64_t glyphs(std::string_view s) {
    uint64_t n = 0;
    for (size_t i = 0; i < s.size(); ++n) con::decode_utf8(s, i);
    return n;
  }

  // Whether writing s from linear position `start` ends at `end`, as the console advances.
  static bool lands(std::string_view s, int start, int end) {
    int p = start;
    for (size_t i = 0; i < s.size();) {
      const int w = con::glyph_width(con::decode_utf8(s, i));
      if (w == 2 && p % kW == kW - 1) ++p;
      p += w;
    }
    return p == end;
  }

  // Whether the screen shows s as written from linear position `start`.
  static bool shows(const con::Screen& scr, std::string_view s, int start) {
    auto is = [&](int p, char32_t ch, con::Half half) {
      const con::Cell& c = scr.at(p % kW, p / kW);
      return c.half == half && (half == con::Half::Trail || c.ch == ch);
    };
    int p = start;
    for (size_t i = 0; i < s.size();) {
      char32_t c = con::decode_utf8(s, i);
      if (c < 0x20 || c == 0x7F) c = U' ';
      const int w = con::glyph_width(c);
      if (p + w + 1 > kW * kH) return false;
      if (w == 2 && p % kW == kW - 1) {
        if (!is(p, U' ', con::Half::Single)) return false;
        ++p;
      }
      if (w == 1 && !is(p, c, con::Half::Single)) return false;
      if (w == 2 && (!is(p, c, con::Half::Lead) || !is(p + 1, c, con::Half::Trail))) return false;
      p += w;
    }
    return true;
  }

  void claim(std::string_view s, int start) {
    int p = start;
    for (size_t i = 0; i < s.size();) {
      const char32_t c = con::decode_utf8(s, i);
      const int w = con::glyph_width(c);
      if (w == 2 && p % kW == kW - 1) ++p;
      // Blanks and "=" are what an erase writes; anything else is something standing there.
      if (c != U' ' && c != U'=')
        for (int d = 0; d < w; ++d) mark((p + d) % kW, (p + d) / kW);
      p += w;
    }
  }

  // The boss beams' cells wait in their trail without being drawn again until erased.
  void claim_trail() {
    for (int k = std::max(parkour::Bbr, 0); k < parkour::Bbl && k < parkour::kTrail; ++k) {
      const int y = con::ti(parkour::Bway[k][0]);
      const int x = con::ti(parkour::Bway[k][1] * 4) / 2;
      mark(x, y);
      mark(x + 1, y);
    }
  }

  void mark(int x, int y) {
    if (x >= 0 && x < kW && y >= 0 && y < kH) drawn_[static_cast<size_t>(y * kW + x)] = tick_;
  }

  std::array<int, kW * kH> drawn_{};
  std::array<int, kW * kH> run_{};
  int tick_ = 1;  // drawn_ starts at 0: nothing drawn yet
  int last_t_ = -1;
  int64_t last_now_ = 0;
  uint64_t last_version_ = 0;
};

// The monster family the game draws for wave 0 under a seed: its first draw after seeding.
inline int family_of_seed(unsigned seed) {
  con::srand(seed);
  return con::rand() % 4 + 1;
}

// The first n seeds from 1 up whose wave 0 brings the given family.
inline std::vector<unsigned> seeds_for(int family, int n) {
  std::vector<unsigned> out;
  for (unsigned s = 1; static_cast<int>(out.size()) < n; ++s)
    if (family_of_seed(s) == family) out.push_back(s);
  return out;
}

// Keys for the next tick, by schedule: 0 none, 1 left held, 2 right held, 3 jumps (single,
// double, triple), 4 drops and climbs, 5 random holds and taps.
constexpr int kSchedules = 6;

struct Schedule {
  int which;
  std::mt19937 rng;

  void next(con::Headless& h, int t) {
    const int64_t now = h.now();
    auto tap = [&](int vk) { h.hold(vk, now, now + 1, false); };
    switch (which) {
      case 1:
        if (t == 1) h.hold(con::VK_LEFT, now, INT64_MAX, false);
        break;
      case 2:
        if (t == 1) h.hold(con::VK_RIGHT, now, INT64_MAX, false);
        break;
      case 3: {
        const int k = t % 60;
        if (k == 5 || (t % 120 < 60 && (k == 12 || k == 18))) tap(con::VK_UP);
        break;
      }
      case 4:
        if (t % 80 == 10) tap(con::VK_DOWN);
        if (t % 80 == 50) tap(con::VK_UP);
        break;
      case 5: {
        const unsigned r = rng() % 100;
        if (r < 6) {
          const int vk = con::VK_LEFT + static_cast<int>(rng() % 4);
          h.hold(vk, now, now + 20 + rng() % 700, false);
        } else if (r < 9) {
          tap(con::VK_UP);
        }
        break;
      }
      default:
        break;
    }
  }
};

struct SweepTotals {
  long waves = 0, ticks = 0, ground_holes = 0, strays = 0, ticks_with_hole = 0, wraps = 0,
       stale_writes = 0;
  std::vector<Finding> found;

  void add(const FieldWatch& h) {
    waves += 1;
    ticks += h.ticks;
    ground_holes += h.ground_holes;
    strays += h.strays;
    ticks_with_hole += h.ticks_with_hole;
    wraps += h.wraps;
    stale_writes += h.stale_writes;
    for (const Finding& x : h.found)
      if (found.size() < 12) found.push_back(x);
  }

  // One line of figures, and the first findings.
  std::string report(const char* title) const {
    char line[320];
    std::snprintf(
        line, sizeof line,
        "%s: %ld waves, %ld ticks; row-20 cells left wrong %ld (in %ld ticks, %.2f%%), "
        "other cells %ld, wrapped writes %ld, writes at a stale cursor %ld\n",
        title, waves, ticks, ground_holes, ticks_with_hole,
        ticks ? 100.0 * static_cast<double>(ticks_with_hole) / static_cast<double>(ticks) : 0.0,
        strays, wraps, stale_writes);
    std::string out = line;
    for (const Finding& x : found) {
      std::snprintf(line, sizeof line, "  (%d, %d) at tick %d shows U+%04X, %s\n", x.x, x.y, x.tick,
                    static_cast<unsigned>(x.shown), x.where.c_str());
      out += line;
    }
    return out;
  }
};

// The whole of one wave with the watch attached, the player kept alive and given `talent`.
// With boss 0 it is wave 0 under `seed`, 1400 ticks of the family that seed brings. With a
// boss (1 to 3, or 6 for all three) the first tick turns the game into that boss's wave, on a
// clean screen, and the boss is kept alive for 1400 ticks.
inline void watch_wave(unsigned seed, int boss, int schedule, int talent, FieldWatch& h) {
  Schedule keys{schedule, std::mt19937(seed * 7 + static_cast<unsigned>(schedule))};
  h.on_sleep = [&](con::Headless& hh) {
    using namespace parkour;
    h.slept();
    Blo = static_cast<float>(Blomax);
    if (T == 1 && h.ticks == 1) {
      Ren = talent;
      if (boss != 0) {
        Win = boss == 6 ? 7 : 1;
        Boss = boss;
        Bwhat1 = Bwhat2 = Bwhat3 = 0;
        Bx1 = 10, By1 = 20, Bx2 = 15, By2 = 20, Bx3 = 21, By3 = 20;
        std::memset(Bgo1, 0, sizeof Bgo1);
        std::memset(Bgo2, 0, sizeof Bgo2);
        std::memset(Bgo3, 0, sizeof Bgo3);
        Ding = boss == 2 ? 12.25f : 6.25f;
        clear_table();
        con::system("cls");
        con::Setpos(20, 0);
        con::print(std::string(60, '='));
      }
    }
    if (boss != 0) {
      Bblo = Bblomax = 100000;
      if (Win == 7 && T >= 440) T -= 100;  // the last wave would end at tick 450
    }
    if (h.ticks >= 1400) throw con::Exit{0};
    keys.next(hh, T);
  };
  h.stop_at_ms = 10LL * 60 * 1000;
  parkour::reset();
  con::set_seed_override(seed);
  con::run_headless(h, [] {
    parkour::play();
    return 0;
  });
  con::set_seed_override(std::nullopt);
}

// Wave 0 for `seeds` seeds of each family under each schedule; the talent changes with the seed.
inline void sweep_families(int seeds, const std::vector<int>& schedules, SweepTotals& all,
                           SweepTotals by_family[4]) {
  for (int f = 1; f <= 4; ++f) {
    const std::vector<unsigned> chosen = seeds_for(f, seeds);
    for (size_t k = 0; k < chosen.size(); ++k) {
      for (int schedule : schedules) {
        FieldWatch h;
        char label[80];
        std::snprintf(label, sizeof label, "family %d, seed %u, schedule %d", f, chosen[k],
                      schedule);
        h.where = label;
        watch_wave(chosen[k], 0, schedule, 1 + static_cast<int>(k % 5), h);
        all.add(h);
        by_family[f - 1].add(h);
      }
    }
  }
}

// Each boss alone and all three together, for seeds 1 to `seeds`, under each schedule.
inline void sweep_bosses(int seeds, const std::vector<int>& schedules, SweepTotals& all) {
  for (int boss : {1, 2, 3, 6}) {
    for (unsigned seed = 1; seed <= static_cast<unsigned>(seeds); ++seed) {
      for (int schedule : schedules) {
        FieldWatch h;
        char label[80];
        std::snprintf(label, sizeof label, "boss %d, seed %u, schedule %d", boss, seed, schedule);
        h.where = label;
        watch_wave(seed, boss, schedule, 1 + static_cast<int>(seed % 5), h);
        all.add(h);
      }
    }
  }
}

}  // namespace parkour_test
