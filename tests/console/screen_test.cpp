#include "console/screen.hpp"

#include <gtest/gtest.h>

using con::Half;
using con::Screen;

TEST(Screen, StartsBlankGreyOnBlackWithCursorHome) {
  Screen s;
  EXPECT_EQ(s.width(), 120);
  EXPECT_EQ(s.height(), 30);
  EXPECT_EQ(s.at(119, 29).ch, U' ');
  EXPECT_EQ(s.at(0, 0).attr, 0x07);
  EXPECT_EQ(s.cursor_x(), 0);
  EXPECT_EQ(s.cursor_y(), 0);
  EXPECT_TRUE(s.cursor_visible());
}

TEST(Screen, WideGlyphsTakeTwoColumnsAndAsciiOne) {
  Screen s;
  s.move_to(10, 3);
  s.set_attr(0x1F);
  s.write("a贪b");
  EXPECT_EQ(s.at(10, 3).ch, U'a');
  EXPECT_EQ(s.at(11, 3).ch, U'贪');
  EXPECT_EQ(s.at(11, 3).half, Half::Lead);
  EXPECT_EQ(s.at(12, 3).half, Half::Trail);
  EXPECT_EQ(s.at(12, 3).attr, 0x1F);
  EXPECT_EQ(s.at(13, 3).ch, U'b');
  EXPECT_EQ(s.cursor_x(), 14);
  EXPECT_EQ(s.text_at(10, 3, 4), "a贪b");
}

TEST(Screen, OverwritingHalfAWideGlyphBlanksTheOtherHalf) {
  Screen s;
  s.move_to(0, 0);
  s.write("中文");
  s.move_to(1, 0);  // narrow over the trail of 中
  s.write("x");
  EXPECT_EQ(s.text_at(0, 0, 4), " x文");
  s.move_to(2, 0);  // narrow over the lead of 文
  s.write("y");
  EXPECT_EQ(s.at(3, 0).ch, U' ');
  EXPECT_EQ(s.at(3, 0).half, Half::Single);
  s.move_to(5, 0);
  s.write("宽");
  s.move_to(6, 0);  // wide shifted by one over a wide
  s.write("高");
  EXPECT_EQ(s.at(5, 0).ch, U' ');
  EXPECT_EQ(s.at(6, 0).ch, U'高');
  EXPECT_EQ(s.at(7, 0).half, Half::Trail);
}

TEST(Screen, WritingTheLastColumnWrapsAtOnceAndTheBottomScrolls) {
  Screen s(10, 3);
  s.move_to(9, 0);
  s.write("*");
  EXPECT_EQ(s.cursor_x(), 0);
  EXPECT_EQ(s.cursor_y(), 1);
  s.move_to(0, 0);
  s.write("top");
  s.move_to(9, 2);
  s.write("#");  // the bottom-right cell: the buffer scrolls at once
  EXPECT_EQ(s.cursor_x(), 0);
  EXPECT_EQ(s.cursor_y(), 2);
  EXPECT_EQ(s.at(9, 1).ch, U'#');
  EXPECT_EQ(s.row_text(2), "          ");
  EXPECT_NE(s.row_text(0).substr(0, 3), "top");
}

TEST(Screen, WideGlyphInTheLastColumnPadsAndStartsTheNextRow) {
  Screen s(10, 3);
  s.move_to(9, 0);
  s.write("食");
  EXPECT_EQ(s.at(9, 0).ch, U' ');
  EXPECT_EQ(s.at(0, 1).ch, U'食');
  EXPECT_EQ(s.cursor_x(), 2);
  EXPECT_EQ(s.cursor_y(), 1);
  // A buffer one column wide has no room for it at all: only the padding is written.
  Screen narrow(1, 3);
  narrow.write("食a");
  EXPECT_EQ(narrow.at(0, 0).ch, U' ');
  EXPECT_EQ(narrow.at(0, 1).ch, U'a');
}

TEST(Screen, ControlCharacters) {
  Screen s;
  s.move_to(5, 4);
  s.write("ab\ncd");
  EXPECT_EQ(s.text_at(0, 5, 2), "cd");  // LF also returns to column 0
  s.move_to(3, 7);
  s.set_attr(0x4C);
  s.write("\tX");  // blanks up to column 8, in the current attribute, over what was there
  EXPECT_EQ(s.at(8, 7).ch, U'X');
  EXPECT_EQ(s.at(5, 7).attr, 0x4C);
  s.move_to(8, 8);
  s.write("\tY");  // from a multiple of 8, a full stop of 8
  EXPECT_EQ(s.at(16, 8).ch, U'Y');
  s.write("\rZ");
  EXPECT_EQ(s.at(0, 8).ch, U'Z');
  EXPECT_EQ(s.at(119, 7).ch, U' ');
  s.write("\bW");
  EXPECT_EQ(s.at(0, 8).ch, U'W');
  s.write("\x7f\x01");  // DEL and other controls show as blanks
  EXPECT_EQ(s.text_at(1, 8, 2), "  ");
}

TEST(Screen, PositionOutsideTheBufferLeavesTheCursor) {
  Screen s;
  s.move_to(7, 7);
  s.move_to(120, 0);
  s.move_to(0, 30);
  s.move_to(-1, 3);
  EXPECT_EQ(s.cursor_x(), 7);
  EXPECT_EQ(s.cursor_y(), 7);
  s.move_to(119, 29);
  EXPECT_EQ(s.cursor_x(), 119);
}

TEST(Screen, ClearRecolorAndResize) {
  Screen s;
  s.write("hello");
  s.set_attr(0x80);
  s.clear();
  EXPECT_EQ(s.at(0, 0).ch, U' ');
  EXPECT_EQ(s.at(50, 20).attr, 0x80);
  s.write("x");
  s.recolor(0x30);
  EXPECT_EQ(s.at(0, 0).ch, U'x');  // characters stay, colours change everywhere
  EXPECT_EQ(s.at(119, 29).attr, 0x30);
  EXPECT_EQ(s.attr(), 0x30);
  EXPECT_EQ(s.fill_attr(), 0x30);
  s.resize(60, 37);
  EXPECT_EQ(s.width(), 60);
  EXPECT_EQ(s.height(), 37);
  EXPECT_EQ(s.at(59, 36).attr, 0x30);
}

TEST(Screen, Utf8RoundTripAndMalformedBytes) {
  std::string out;
  for (char32_t c : {U'a', U'é', U'━', U'𝄞', U'\u0905'}) con::append_utf8(out, c);
  size_t i = 0;
  EXPECT_EQ(con::decode_utf8(out, i), U'a');
  EXPECT_EQ(con::decode_utf8(out, i), U'é');
  EXPECT_EQ(con::decode_utf8(out, i), U'━');
  EXPECT_EQ(con::decode_utf8(out, i), U'𝄞');
  EXPECT_EQ(con::decode_utf8(out, i), U'\u0905');  // lead byte E0
  EXPECT_EQ(i, out.size());
  std::string edges;  // the last and first code point of each length
  for (char32_t c : {0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0x10000}) con::append_utf8(edges, c);
  EXPECT_EQ(edges, "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80");
  std::string stray = "\x85z";  // a continuation byte alone
  i = 0;
  EXPECT_EQ(con::decode_utf8(stray, i), U'?');
  EXPECT_EQ(con::decode_utf8(stray, i), U'z');
  std::string bad = "\xE4\x41";
  i = 0;
  EXPECT_EQ(con::decode_utf8(bad, i), U'?');
  EXPECT_EQ(con::decode_utf8(bad, i), U'A');
}
