// Recordings made in xterm and kitty by the real-terminal tests, kept as test data: each
// replays headless to the screen the terminal showed.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "console/record/harness.hpp"

namespace {

using namespace record_test;

std::string read(const std::string& name) {
  // The key traces' folder is known to the tests; the recordings sit next to it.
  std::ifstream in(std::string(GAMEBOX_TRACES) + "/../../record/data/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string trimmed(const std::string& screen) {
  std::string out;
  std::istringstream in(screen);
  std::string row;
  while (std::getline(in, row)) {
    while (!row.empty() && row.back() == ' ') row.pop_back();
    out += row + "\n";
  }
  return out;
}

TEST(TerminalRecordings, ReplayHeadlessToWhatTheTerminalShowed) {
  for (const char* term : {"xterm", "kitty"}) {
    for (const char* run : {"menus", "parkour"}) {
      const std::string name = std::string(term) + "-" + run;
      const std::string file = read(name + ".rec");
      ASSERT_FALSE(file.empty()) << name;
      EXPECT_NE(file.find("\nbackend terminal\n"), std::string::npos) << name;
      const bool kitty = std::string(term) == "kitty";
      EXPECT_NE(file.find(kitty ? "\nkeyboard exact\n" : "\nkeyboard inferred\n"),
                std::string::npos)
          << name;
      // Only kitty says press or repeat.
      EXPECT_EQ(file.find(" p\n") != std::string::npos, kitty) << name;
      EXPECT_NE(file.find("\nexit "), std::string::npos) << name << ": no Ctrl-C";

      const Replayed rep = replay(file, whole_program);
      ASSERT_TRUE(rep.refused.empty()) << name << ": " << rep.refused;
      EXPECT_EQ(rep.outcome, con::record::Replayer::Outcome::Finished)
          << name << ": " << rep.message;
      EXPECT_EQ(rep.code, 130) << name;
      EXPECT_EQ(trimmed(rep.final_screen), read(name + ".screen")) << name;
    }
  }
}

}  // namespace
