#include "console/backends/presenter.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "console/backends/vt.hpp"

namespace {

using con::Cell;
using con::Half;
using con::Presenter;
using con::Screen;
using vt::sgr_bg;
using vt::sgr_fg;
using vt::Vt;

// Every visible model cell is on the VT with its glyph and colours; a glyph drawn one column
// wide is followed by a blank.
void expect_shows(Vt& vt, const Screen& s, int rows) {
  ASSERT_EQ(vt.scrolled, 0) << "a line feed at the bottom scrolled";
  ASSERT_TRUE(vt.clean()) << vt.first_mark;
  for (int y = 0; y < std::min(rows, s.height()); ++y) {
    for (int x = 0; x < std::min(vt.w, s.width()); ++x) {
      const Cell& c = s.at(x, y);
      const vt::Cell& v = vt.at(x, y);
      if (c.half == Half::Trail) {
        char32_t lead = s.at(x - 1, y).ch;
        bool wide = con::always_wide(lead) || vt.amb_wide;
        EXPECT_EQ(v.ch, wide ? 0u : static_cast<char32_t>(U' ')) << x << "," << y;
      } else if (c.half == Half::Lead && x + 1 >= vt.w) {
        EXPECT_EQ(v.ch, U' ') << x << "," << y;
      } else {
        ASSERT_EQ(v.ch, c.ch) << x << "," << y;
      }
      ASSERT_EQ(v.fg, sgr_fg(c.attr)) << x << "," << y;
      ASSERT_EQ(v.bg, sgr_bg(c.attr)) << x << "," << y;
    }
  }
}

// Scribbles on the model the way the games do: positions, colours, text with CJK and
// ambiguous glyphs, blanks, now and then "cls" or "color".
void scribble(Screen& s, std::mt19937& rng) {
  static const char* kTexts[] = {"*",   "贪吃蛇",     "●", "━━━━",     "  ", "Score: 12",
                                 "█■★", "          ", "x", "【跑酷】", "→",  "═║"};
  int n = static_cast<int>(rng() % 30);
  for (int k = 0; k < n; ++k) {
    s.move_to(static_cast<int>(rng() % static_cast<unsigned>(s.width())),
              static_cast<int>(rng() % static_cast<unsigned>(s.height())));
    s.set_attr(static_cast<uint8_t>(rng() % 256));
    s.write(kTexts[rng() % (sizeof kTexts / sizeof kTexts[0])]);
  }
  unsigned r = rng() % 20;
  if (r == 0) s.clear();
  if (r == 1) s.recolor(static_cast<uint8_t>(rng() % 256));
  s.set_cursor_visible(rng() % 4 != 0);
}

TEST(Presenter, FramesReproduceTheModelOnATerminal) {
  for (bool wide : {false, true}) {
    std::mt19937 rng(wide ? 7 : 3);
    Screen s(120, 30);
    Presenter p;
    p.set_size(120, 40);
    p.set_ambiguous_wide(wide);
    Vt vt(120, 40, wide);
    vt.strict = true;
    for (int frame = 0; frame < 200; ++frame) {
      scribble(s, rng);
      std::string out;
      p.frame(s, out);
      vt.run(out);
      expect_shows(vt, s, 30);
      if (HasFatalFailure()) return;
      ASSERT_EQ(vt.cursor, s.cursor_visible()) << frame << " " << testing::PrintToString(out);
      if (s.cursor_visible()) {
        EXPECT_EQ(vt.x, s.cursor_x());
        EXPECT_EQ(vt.y, s.cursor_y());
      }
      // Below the model the terminal keeps its own colours, whatever "color" did.
      EXPECT_EQ(vt.at(119, 35).bg, 49);
      EXPECT_EQ(vt.at(0, 30).bg, 49);
    }
  }
}

// The terminal model's strict rules, case by case as mlterm 3.9 showed them: a cell it leaves
// in its default colours is marked. A two-column glyph goes whole, by blanks over both halves
// in one run of text or by an erase of the row, never by half and never by ECH (mlterm left
// the right half, or with a second glyph after it that glyph, standing). An erase of a
// left-over half right after comes too late: the block was there.
TEST(Presenter, TheStrictTerminalMarksWhatMltermLeavesInItsDefaultColours) {
  const struct {
    const char *before, *bytes;
    std::vector<int> marked;
  } cases[] = {
      {"\x1b[1;5H︺", "\x1b[1;6H︹", {4}},
      {"\x1b[1;5H血", "\x1b[1;6H ", {4}},
      {"\x1b[1;5H血", "\x1b[1;5Hx", {5}},
      {"\x1b[1;5H血", "\x1b[1;6Hx\x1b[1;5H\x1b[1X", {4}},
      {"\x1b[1;5H血", "\x1b[1;5H\x1b[2X", {4, 5}},
      {"\x1b[1;5H●", "\x1b[1;3H\x1b[10X", {4, 5}},
      {"\x1b[1;5H●●", "\x1b[1;3H\x1b[10X", {4, 5, 6, 7}},
      {"\x1b[1;5H血", "\x1b[1;6H  ", {4}},
      {"\x1b[1;5H血", "\x1b[1;5H  ", {}},
      {"\x1b[1;5H血", "\x1b[1;5H 贪", {}},
      {"\x1b[1;5H血", "\x1b[1;5H\x1b[K", {}},
      {"\x1b[1;5H血", "\x1b[1;6H\x1b[K", {}},
  };
  for (const auto& c : cases) {
    Vt vt(20, 1, true);
    vt.strict = true;
    vt.run(std::string("\x1b[40m\x1b[2J") + c.before);
    vt.run(c.bytes);
    std::vector<int> marked;
    for (int x = 0; x < vt.w; ++x)
      if (vt.at(x, 0).marked) marked.push_back(x);
    EXPECT_EQ(marked, c.marked) << testing::PrintToString(std::string(c.bytes));
  }
}

// Rows that change where two-column glyphs stood: shown on the strict terminal, every frame
// leaves nothing marked, whether the ambiguous glyphs are drawn one column wide or two.
TEST(Presenter, TwoColumnGlyphsAreClearedWholeBeforeAnythingLandsOnThem) {
  const struct {
    const char *before, *after;
  } rows[] = {
      {"    ︺", "     ︹"},
      {"    血", "     x"},
      {"    血", ""},
      {"  血", " 贪"},
      {"  血  血", "   贪"},
      {"↖  ↗    ↖  ↗    ↖  ↗      ↑          ↑", "        ↖  ↗      ↑    ↑          ↑"},
      {"  ●━━━━━━━━━━━━", "   ●"},
  };
  for (bool wide : {false, true}) {
    for (const auto& r : rows) {
      Screen s(60, 2);
      s.set_attr(0x0F);
      s.write(r.before);
      Presenter p;
      p.set_size(60, 2);
      p.set_ambiguous_wide(wide);
      Vt vt(60, 2, wide);
      vt.strict = true;
      std::string out;
      p.frame(s, out);
      vt.run(out);
      s.clear();
      s.write(r.after);
      out.clear();
      p.frame(s, out);
      vt.run(out);
      expect_shows(vt, s, 2);
      EXPECT_TRUE(vt.clean()) << r.after << (wide ? " (wide): " : ": ") << vt.first_mark << " "
                              << testing::PrintToString(out);
    }
  }
}

TEST(Presenter, OnlyChangesAreWrittenAndAClsWithIdenticalRedrawWritesAlmostNothing) {
  Screen s(120, 30);
  Presenter p;
  p.set_size(120, 40);
  auto draw = [&] {
    s.recolor(0x30);
    for (int x = 2; x <= 117; ++x) {
      s.move_to(x, 2);
      s.write("*");
    }
    s.move_to(5, 3);
    s.write("1.贪吃蛇  2.跑酷  3.狼人杀");
    s.move_to(5, 5);
  };
  draw();
  std::string out;
  p.frame(s, out);
  EXPECT_GT(out.size(), 116u);
  out.clear();
  p.frame(s, out);
  EXPECT_EQ(out, "");  // nothing changed, nothing written
  s.clear();
  draw();
  p.frame(s, out);
  EXPECT_LT(out.size(), 100u) << out;
  // One changed cell: a cursor move, the glyph, the cursor back.
  s.move_to(40, 10);
  s.write("@");
  s.move_to(5, 5);
  out.clear();
  p.frame(s, out);
  EXPECT_EQ(out, "\x1b[11;41H@\x1b[6;6H");
  // Two changes with a short gap of plain cells in the same colours between them: the gap is
  // written again, which is shorter than a cursor move. A wide glyph in the gap is not.
  s.move_to(40, 12);
  s.write("#ab#");
  s.move_to(40, 14);
  s.write("#贪#");
  s.move_to(5, 5);
  out.clear();
  p.frame(s, out);
  s.move_to(40, 12);
  s.write("$");
  s.move_to(43, 12);
  s.write("$");
  s.move_to(40, 14);
  s.write("$");
  s.move_to(43, 14);
  s.write("$");
  s.move_to(5, 5);
  out.clear();
  p.frame(s, out);
  EXPECT_EQ(out, "\x1b[13;41H$ab$\x1b[15;41H$\x1b[2C$\x1b[6;6H");
}

TEST(Presenter, ColoursAreTheSixteenAnsiColoursAlwaysExplicit) {
  Screen s(10, 2);
  Presenter p;
  p.set_size(10, 2);
  std::string out;
  p.frame(s, out);
  EXPECT_EQ(out.rfind("\x1b[37;40m\x1b[2J", 0), 0u) << out;  // 0x07: white on black
  const struct {
    uint8_t attr;
    int fg, bg;
  } cases[] = {{0x1F, 97, 44}, {0x4C, 91, 41}, {0x30, 30, 46}, {0x80, 30, 100},
               {0x0E, 93, 40}, {0x65, 35, 43}, {0x00, 30, 40}, {0x9A, 92, 104}};
  Vt vt(10, 2, false);
  vt.run(out);
  for (const auto& c : cases) {
    s.move_to(0, 0);
    s.set_attr(c.attr);
    s.write("a");
    out.clear();
    p.frame(s, out);
    vt.run(out);
    EXPECT_EQ(vt.at(0, 0).fg, c.fg) << int(c.attr);
    EXPECT_EQ(vt.at(0, 0).bg, c.bg) << int(c.attr);
    // Never the terminal's default colours.
    EXPECT_EQ(out.find("39"), std::string::npos) << out;
    EXPECT_EQ(out.find("49"), std::string::npos) << out;
    EXPECT_EQ(out.find("[0m"), std::string::npos) << out;
  }
}

TEST(Presenter, AmbiguousGlyphsArePaddedOnlyWhereTheTerminalDrawsThemNarrow) {
  Screen s(20, 1);
  s.write("●贪");
  std::string narrow, wide;
  Presenter a, b;
  a.set_size(20, 1);
  b.set_size(20, 1);
  b.set_ambiguous_wide(true);
  a.frame(s, narrow);
  b.frame(s, wide);
  EXPECT_NE(narrow.find("● 贪"), std::string::npos);
  EXPECT_NE(wide.find("●贪"), std::string::npos);
  // Changing the probe's answer redraws everything.
  std::string again;
  a.set_ambiguous_wide(true);
  a.frame(s, again);
  EXPECT_NE(again.find("\x1b[2J"), std::string::npos);
}

TEST(Presenter, ASmallTerminalShowsWhatFitsAndANotice) {
  Screen s(120, 30);
  s.move_to(78, 0);
  s.write("贪吃");  // the lead of 吃 is cut by the 81st column
  s.move_to(0, 29);
  s.write("bottom");
  Presenter p;
  p.set_size(81, 24);
  Vt vt(81, 24, false);
  std::string out;
  p.frame(s, out);
  vt.run(out);
  expect_shows(vt, s, 23);
  std::string last;
  for (int x = 0; x < 81; ++x) con::append_utf8(last, vt.at(x, 23).ch);
  EXPECT_EQ(last.rfind(" Terminal too small: 120x30 needed, this one is 81x24.", 0), 0u) << last;
  EXPECT_EQ(vt.at(1, 23).fg, 97);  // bright white on red
  EXPECT_EQ(vt.at(1, 23).bg, 41);
  // Only the rows short (the parkour game's 60x37 in 120x30), or only the columns: the notice
  // names what is short.
  for (const auto& [w, h, cols, rows, text] :
       {std::tuple{60, 37, 120, 30, " Terminal too small: 37 rows needed, this one has 30. "},
        std::tuple{120, 30, 100, 40,
                   " Terminal too small: 120 columns needed, this one has 100. "}}) {
    Screen m(w, h);
    Presenter q;
    q.set_size(cols, rows);
    std::string bytes;
    q.frame(m, bytes);
    EXPECT_NE(bytes.find(text), std::string::npos) << bytes;
  }
  EXPECT_EQ(vt.at(80, 0).ch, U' ');
  EXPECT_FALSE(vt.cursor);  // (0..5, 29) is not on this terminal
  // Grown big enough: a full redraw, no notice.
  p.set_size(120, 40);
  Vt big(120, 40, false);
  out.clear();
  p.frame(s, out);
  big.run(out);
  expect_shows(big, s, 30);
  EXPECT_EQ(out.find("too small"), std::string::npos);
  // Only the height shrinks: the notice is back.
  p.set_size(120, 24);
  out.clear();
  p.frame(s, out);
  EXPECT_NE(out.find(" Terminal too small: 30 rows needed, this one has 24."), std::string::npos);
}

// The glyphs the games print: Chinese text and full-width punctuation always take two columns;
// the symbols of ambiguous width (●, ━, ↑, ◆) and ASCII are left to the terminal's setting.
TEST(Presenter, WideGlyphsAreTheGamesChineseTextAndFullWidthForms) {
  for (char32_t c : {U'食', U'头', U'狼', U'龍', U'！', U'：', U'（', U'，', U'、', U'一', U'　'})
    EXPECT_TRUE(con::always_wide(c)) << static_cast<uint32_t>(c);
  for (char32_t c : {U'a', U'*', U'●', U'━', U'↑', U'◆', U'┃', U'▲', U'é'})
    EXPECT_FALSE(con::always_wide(c)) << static_cast<uint32_t>(c);
}

// Terminals measure a glyph as the C library's wcwidth does (or with the same Unicode tables):
// every character it knows as printing is written as it stands, with a blank after it where it
// takes one column and none where it takes two. The Yijing hexagrams are wide to the C library
// alone; Unicode and the terminals draw them narrow.
TEST(Presenter, GlyphsTakeTheColumnsTheTerminalsGiveThem) {
  const std::string saved = std::setlocale(LC_CTYPE, nullptr);
  if (!std::setlocale(LC_CTYPE, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale to measure with";
  Screen s(4, 1);
  Presenter p;
  p.set_size(4, 1);
  int wrong = 0;
  for (char32_t c = 0xA0; c < 0x40000 && wrong < 10; ++c) {
    const int w = wcwidth(static_cast<wchar_t>(c));
    if (w < 1 || (c >= 0x4DC0 && c <= 0x4DFF)) continue;
    s.move_to(0, 0);
    s.put_glyph(c);
    std::string out, glyph;
    p.frame(s, out);
    con::append_utf8(glyph, c);
    const size_t at = out.find(glyph);
    const bool padded = at != std::string::npos && out.compare(at + glyph.size(), 1, " ") == 0;
    if (con::always_wide(c) != (w == 2) || at == std::string::npos || padded != (w == 1)) {
      ADD_FAILURE() << std::hex << "U+" << static_cast<uint32_t>(c) << " is " << w
                    << " wide: " << testing::PrintToString(out);
      ++wrong;
    }
  }
  std::setlocale(LC_CTYPE, saved.c_str());
}

// Every terminal cell outside the model's w x h is blank in the default colours.
void expect_outside_default(Vt& vt, int w, int h) {
  for (int y = 0; y < vt.h; ++y)
    for (int x = y < h ? w : 0; x < vt.w; ++x) {
      ASSERT_EQ(vt.at(x, y).ch, U' ') << x << "," << y;
      ASSERT_EQ(vt.at(x, y).bg, 49) << x << "," << y;
      ASSERT_EQ(vt.at(x, y).fg, 39) << x << "," << y;
    }
}

TEST(Presenter, OutsideTheModelTheTerminalKeepsItsDefaultColours) {
  Screen s(120, 30);
  Presenter p;
  p.set_size(120, 40);
  Vt vt(120, 40, false);
  auto show = [&] {
    std::string out;
    p.frame(s, out);
    vt.run(out);
  };
  s.recolor(0x80);  // "color 80": the whole console grey, not the rows below it
  s.move_to(87, 2);
  s.write("   贪吃蛇游戏");
  show();
  expect_shows(vt, s, 30);
  expect_outside_default(vt, 120, 30);
  s.set_attr(0x04);
  s.clear();  // "cls" blanks the console only
  show();
  expect_shows(vt, s, 30);
  expect_outside_default(vt, 120, 30);
  // "mode con cols=60 lines=37" and "color 3F": a 60x37 console, nothing aqua around it.
  s.resize(60, 37);
  s.recolor(0x3F);
  s.move_to(0, 20);
  s.write("====");
  show();
  expect_shows(vt, s, 37);
  expect_outside_default(vt, 60, 37);
}

TEST(Presenter, WithTheNoticeTurnedOffItsRowShowsTheModelOrTheDefaultColours) {
  // The notice on the terminal's last row, which the model's row 23 then takes back.
  Screen s(120, 30);
  s.recolor(0x30);
  s.move_to(0, 23);
  s.write("row 23");
  Presenter p;
  p.set_size(81, 24);
  Vt vt(81, 24, false);
  std::string out;
  p.frame(s, out);
  vt.run(out);
  EXPECT_EQ(vt.at(1, 23).ch, U'T');
  EXPECT_EQ(vt.at(1, 23).bg, 41);
  p.set_notice(false);
  out.clear();
  p.frame(s, out);
  vt.run(out);
  expect_shows(vt, s, 24);
  // Narrower but taller: the notice is below the model, and goes back to the terminal's own
  // colours.
  Presenter q;
  q.set_size(100, 40);
  Vt tall(100, 40, false);
  out.clear();
  q.frame(s, out);
  tall.run(out);
  EXPECT_EQ(tall.at(1, 30).ch, U'T');
  q.set_notice(false);
  out.clear();
  q.frame(s, out);
  tall.run(out);
  expect_shows(tall, s, 30);
  expect_outside_default(tall, 100, 30);
}

TEST(Presenter, GbkOutputUnderAGbLocale) {
  con::Encoder e;
  ASSERT_TRUE(e.set_charset("GBK"));
  std::string out;
  EXPECT_TRUE(e.put(U'贪', out));
  EXPECT_TRUE(e.put(U'●', out));
  EXPECT_EQ(out, "\xcc\xb0\xa1\xf1");
  EXPECT_FALSE(e.put(U'😀', out));
  Screen s(6, 1);
  s.write("😀贪");
  Presenter p(&e);
  p.set_size(6, 1);
  out.clear();
  p.frame(s, out);
  // A glyph the charset lacks is a '?' and a blank, so the rest stays in place.
  EXPECT_NE(out.find("? \xcc\xb0"), std::string::npos) << out;
  EXPECT_FALSE(e.set_charset("NO-SUCH-CHARSET"));
  EXPECT_TRUE(e.utf8());
}

}  // namespace
