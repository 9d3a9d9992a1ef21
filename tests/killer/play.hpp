// Headless harness for the killer game: captures the text stream, builds tables, and answers
// the game's prompts by reading what it wrote last.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "console/backends/headless/headless.hpp"
#include "console/console.hpp"
#include "console/session.hpp"
#include "killer/killer.hpp"
#include "launcher/launcher.hpp"

namespace killer_test {

struct Box : con::Headless {
  std::string out;
  void text(std::string_view s) override { out.append(s); }
};

// A table with roles given as 15 digits (seat 1 first), the human at `me`, `dead` seats dead.
inline void table(const char* roles, long long me, const std::vector<int>& dead = {}) {
  killer::reset();
  killer::Table& g = killer::game;
  for (int s = 1; s <= 15; ++s) {
    g.role[s] = roles[s - 1] - '0';
    g.living[s] = 1;
    if (g.role[s] == killer::KILLER) killer::sr = s;
  }
  for (int d : dead) g.living[d] = 0;
  g.me = me;
  g.left = 15 - static_cast<long long>(dead.size());
  g.night = 1;
  g.poison = g.revive = g.aipoison = 3;
  g.aisave = true;
}

// Runs one phase with the generator at `seed`; returns what the phase returned (false also
// when input ran out before it finished).
inline bool phase(Box& h, bool (*f)(), unsigned seed = 1) {
  bool goes_on = false;
  con::run_headless(h, [&] {
    con::srand(seed);
    goes_on = f();
    return 0;
  });
  return goes_on;
}

enum class Ask { None, Kill, See, Mage, MagePoison, MageRevive, Vote, Pause };

// The question the game asked last, found from the latest prompt in its text.
inline Ask asked(const std::string& out) {
  static const std::pair<const char*, Ask> marks[] = {
      {"你选择杀掉", Ask::Kill},         {"你选择预言谁的身份", Ask::See},
      {"啥都不做 *", Ask::Mage},         {"不足\n", Ask::Mage},
      {"你选择了杀人", Ask::MagePoison}, {"阵亡名单：", Ask::MageRevive},
      {"你选择投几号", Ask::Vote},       {"号的身份是", Ask::Pause}};
  size_t best = std::string::npos;
  Ask a = Ask::None;
  for (const auto& [text, ask] : marks) {
    size_t p = out.rfind(text);
    if (p != std::string::npos && (best == std::string::npos || p > best)) {
      best = p;
      a = ask;
    }
  }
  return a;
}

// Plays whole games from the killer menu: `answer` gives the number for each question; the
// pause gets a key.
struct Player {
  std::function<long long(Ask)> answer;
  // Called at every question, the pause included, before it is answered.
  std::function<void(Ask)> on_ask;
  // Starts from the launcher's choice 3 rather than from the killer menu itself.
  bool from_launcher = false;
  int waits = 0;

  int play(Box& h, unsigned seed) {
    con::set_seed_override(seed);
    if (from_launcher) h.line("3");
    h.type("11");
    h.on_wait = [this](con::Headless& hh) {
      Box& r = static_cast<Box&>(hh);
      Ask a = asked(r.out);
      if (a == Ask::None || ++waits > 500) return;
      if (on_ask) on_ask(a);
      if (a == Ask::Pause) {
        r.key(' ', r.now());
      } else {
        r.line(std::to_string(answer(a)), r.now());
      }
    };
    killer::reset();
    int rc = con::run_headless(h, [this] {
      if (from_launcher) return launcher::run();
      killer::menu();
      return 0;
    });
    con::set_seed_override(std::nullopt);
    return rc;
  }
};

// The lowest seat 1..15 for which `ok` holds, else 0.
inline long long first(const std::function<bool(long long)>& ok) {
  for (long long t = 1; t <= 15; ++t) {
    if (ok(t)) return t;
  }
  return 0;
}

inline std::string pad(int n) {
  return std::string(static_cast<size_t>(n), ' ');
}
inline const std::string kGameOver = pad(26) + "\t游戏结束\n";

inline bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace killer_test
