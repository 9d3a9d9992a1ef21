// The golden-screen harness itself: what it writes reads back the same, and a changed cell, a
// moved cursor or a missing golden fail with a diff that names them.
#include "golden.hpp"

#include <gtest/gtest.h>

namespace {

con::Screen sample() {
  con::Screen s(12, 3);
  s.move_to(1, 1);
  s.set_attr(0x4E);
  s.write("a食b");
  s.set_attr(0x1F);
  s.write("|x");
  return s;
}

TEST(Golden, WritesAReadableScreenThatReadsBackTheSame) {
  const con::Screen s = sample();
  const std::string text = golden::render(golden::model_of(s), "a sample\nof two lines");
  EXPECT_EQ(text,
            "# a sample\n# of two lines\n"
            "size 12x3 cursor 7,1 shown attr 1F\n"
            "glyphs\n00 |            |\n01 | a食b|x     |\n02 |            |\n"
            "foreground\n00 |777777777777|\n01 |7EEEEFF77777|\n02 |777777777777|\n"
            "background\n00 |000000000000|\n01 |044441100000|\n02 |000000000000|\n");
  golden::Model back;
  std::string why;
  ASSERT_TRUE(golden::parse(text, back, why)) << why;
  EXPECT_EQ(golden::diff(golden::model_of(s), back), "");
}

TEST(Golden, DiffNamesTheCellsAndTheCursor) {
  const con::Screen s = sample();
  con::Screen t = sample();
  t.move_to(2, 1);
  t.set_attr(0x4F);
  t.write("X");  // over the first half of 食: its second half is blanked too
  t.move_to(0, 2);
  const std::string d = golden::diff(golden::model_of(t), golden::model_of(s));
  EXPECT_NE(d.find("cursor 0,2 shown, golden 7,1 shown"), std::string::npos) << d;
  EXPECT_NE(d.find("current attribute 4F, golden 1F"), std::string::npos) << d;
  EXPECT_NE(d.find("(2, 1): 'X' attr 4F, golden '食' attr 4E"), std::string::npos) << d;
  EXPECT_NE(d.find("(3, 1): ' ' attr 4E, golden (2nd half) attr 4E"), std::string::npos) << d;
  EXPECT_NE(d.find("row 1 now    | aX b|x     |"), std::string::npos) << d;
  EXPECT_NE(d.find("2 cells differ"), std::string::npos) << d;
}

TEST(Golden, AMissingOrBrokenGoldenFails) {
  if (golden::updating()) GTEST_SKIP() << "goldens are being rewritten";
  const con::Screen s = sample();
  const auto r = golden::matches("no/such/golden", "nothing", s);
  EXPECT_FALSE(r);
  EXPECT_NE(std::string(r.message()).find("GAMEBOX_UPDATE_GOLDEN=1"), std::string::npos);
  golden::Model m;
  std::string why;
  EXPECT_FALSE(golden::parse("size 12x3 cursor 0,0 shown attr 07\nglyphs\n00 |  |\n", m, why));
  EXPECT_FALSE(why.empty());
}

}  // namespace
