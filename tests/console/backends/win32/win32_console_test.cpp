// The platform-free parts of the Windows console backend: key events to _getch codes, and the
// runs that bring the console to the screen model.
#include "console/backends/win32/win32_console.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/screen.hpp"

using con::Screen;
using con::win32::Frame;
using con::win32::getch_codes;
using Runs = std::vector<con::win32::Run>;

namespace {

std::vector<int> codes(uint16_t vk, char16_t ch, uint32_t state = 0) {
  con::win32::KeyCodes k = getch_codes(vk, ch, state);
  return std::vector<int>(k.codes, k.codes + k.n);
}

constexpr uint32_t kEnh = con::win32::kEnhanced;
using V = std::vector<int>;

// A console that takes each run as WriteConsoleW would: glyphs from the run's column on, ASCII
// one column wide and everything else two. Each cell keeps what it shows (a wide glyph's right
// half shows nothing).
struct FakeConsole {
  int w, h;
  std::vector<std::u16string> glyph;
  std::vector<uint8_t> attr;
  FakeConsole(int w_, int h_)
      : w(w_), h(h_), glyph(size_t(w_ * h_), u"#"), attr(size_t(w_ * h_), 0) {}

  void apply(const Runs& runs) {
    for (const con::win32::Run& r : runs) {
      int x = r.x, cols = 0;
      for (size_t i = 0; i < r.text.size(); ++i) {
        std::u16string g(1, r.text[i]);
        if (r.text[i] >= 0xD800 && r.text[i] < 0xDC00) g += r.text[++i];
        const int width = g.size() == 1 && g[0] < 0x80 ? 1 : 2;
        ASSERT_LE(x + width, w) << "a run runs past the row";
        glyph[size_t(r.y * w + x)] = g;
        attr[size_t(r.y * w + x)] = r.attr;
        if (width == 2) {
          glyph[size_t(r.y * w + x + 1)] = u"";
          attr[size_t(r.y * w + x + 1)] = r.attr;
        }
        x += width;
        cols += width;
      }
      EXPECT_EQ(cols, r.cols);
    }
  }

  // The model as this console should show it.
  void expect_shows(const Screen& s) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const con::Cell& c = s.at(x, y);
        std::u16string want;
        if (c.half == con::Half::Trail) {
          want = u"";
        } else if (c.ch < 0x10000) {
          want = std::u16string(1, static_cast<char16_t>(c.ch));
        } else {
          want = {static_cast<char16_t>(0xD800 + ((c.ch - 0x10000) >> 10)),
                  static_cast<char16_t>(0xDC00 + ((c.ch - 0x10000) & 0x3FF))};
        }
        ASSERT_EQ(glyph[size_t(y * w + x)], want) << "cell " << x << "," << y;
        ASSERT_EQ(attr[size_t(y * w + x)], c.attr) << "cell " << x << "," << y;
      }
    }
  }
};

}  // namespace

TEST(Win32Keys, CharactersGiveTheirCodes) {
  EXPECT_EQ(codes('w', u'w'), V{119});
  EXPECT_EQ(codes('W', u'W', con::win32::kShift), V{87});
  EXPECT_EQ(codes(0x0D, u'\r'), V{13});
  EXPECT_EQ(codes(0x1B, 0x1B), V{27});
  EXPECT_EQ(codes(0x20, u' '), V{32});
  EXPECT_EQ(codes('C', 3, con::win32::kLeftCtrl), V{3});
  // Beyond ASCII the caller converts to the input code page.
  EXPECT_EQ(codes(0, u'中'), V{});
  // A modifier alone types nothing.
  EXPECT_EQ(codes(0x10, 0, con::win32::kShift), V{});
  EXPECT_EQ(codes(0x11, 0, con::win32::kLeftCtrl), V{});
}

// The C runtime's codes for the cursor block: 224 and the scan code from the block itself,
// 0 and the scan code from the numeric keypad with NumLock off; Shift changes nothing, Ctrl and
// Alt change the second code (Alt with prefix 0 from either).
TEST(Win32Keys, CursorBlockGives224AndScanCode) {
  struct Key {
    uint16_t vk;
    int plain, ctrl, alt;
  };
  for (Key k : {Key{0x24, 71, 119, 151}, Key{0x26, 72, 141, 152}, Key{0x21, 73, 132, 153},
                Key{0x25, 75, 115, 155}, Key{0x27, 77, 116, 157}, Key{0x23, 79, 117, 159},
                Key{0x28, 80, 145, 160}, Key{0x22, 81, 118, 161}, Key{0x2D, 82, 146, 162},
                Key{0x2E, 83, 147, 163}}) {
    EXPECT_EQ(codes(k.vk, 0, kEnh), (V{224, k.plain})) << k.vk;
    EXPECT_EQ(codes(k.vk, 0), (V{0, k.plain})) << k.vk;
    EXPECT_EQ(codes(k.vk, 0, kEnh | con::win32::kShift), (V{224, k.plain})) << k.vk;
    EXPECT_EQ(codes(k.vk, 0, kEnh | con::win32::kRightCtrl), (V{224, k.ctrl})) << k.vk;
    EXPECT_EQ(codes(k.vk, 0, con::win32::kLeftCtrl), (V{0, k.ctrl})) << k.vk;
    EXPECT_EQ(codes(k.vk, 0, kEnh | con::win32::kLeftAlt), (V{0, k.alt})) << k.vk;
    EXPECT_EQ(codes(k.vk, 0, con::win32::kRightAlt), (V{0, k.alt})) << k.vk;
  }
}

// F1..F10 give 0 and 59..68, F11 and F12 224 and 133, 134; Shift, Ctrl and Alt each have a row
// of their own; the keys around them type nothing.
TEST(Win32Keys, FunctionKeys) {
  for (int f = 0; f < 10; ++f) {
    const uint16_t vk = static_cast<uint16_t>(0x70 + f);
    EXPECT_EQ(codes(vk, 0), (V{0, 59 + f})) << f;
    EXPECT_EQ(codes(vk, 0, con::win32::kShift), (V{0, 84 + f})) << f;
    EXPECT_EQ(codes(vk, 0, con::win32::kRightCtrl), (V{0, 94 + f})) << f;
    EXPECT_EQ(codes(vk, 0, con::win32::kLeftAlt), (V{0, 104 + f})) << f;
  }
  for (int f = 0; f < 2; ++f) {
    const uint16_t vk = static_cast<uint16_t>(0x7A + f);
    EXPECT_EQ(codes(vk, 0), (V{224, 133 + f})) << f;
    EXPECT_EQ(codes(vk, 0, con::win32::kShift), (V{224, 135 + f})) << f;
    EXPECT_EQ(codes(vk, 0, con::win32::kLeftCtrl), (V{224, 137 + f})) << f;
    EXPECT_EQ(codes(vk, 0, con::win32::kRightAlt), (V{224, 139 + f})) << f;
  }
  for (uint16_t vk : {0x6F, 0x7C, 0x20, 0x2F}) EXPECT_EQ(codes(vk, 0), V{}) << vk;
}

TEST(Win32Frame, FirstFrameCoversEveryCellThenOnlyChanges) {
  Screen s(10, 3);
  s.set_attr(0x1F);
  s.move_to(2, 1);
  s.write("ab");
  Frame f;
  Runs runs;
  f.diff(s, runs);
  ASSERT_EQ(runs.size(), 5u);  // row 1 splits where the attribute changes
  EXPECT_EQ(runs[0].y, 0);
  EXPECT_EQ(runs[0].cols, 10);
  EXPECT_EQ(runs[0].attr, 0x07);
  EXPECT_EQ(runs[1].text, u"  ");
  EXPECT_EQ(runs[2].x, 2);
  EXPECT_EQ(runs[2].text, u"ab");
  EXPECT_EQ(runs[2].attr, 0x1F);
  EXPECT_EQ(runs[3].x, 4);
  EXPECT_EQ(runs[3].cols, 6);
  EXPECT_EQ(runs[4].y, 2);

  runs.clear();
  f.diff(s, runs);
  EXPECT_TRUE(runs.empty()) << "an unchanged model writes nothing";

  s.move_to(7, 2);
  s.write("Z");
  f.diff(s, runs);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].x, 7);
  EXPECT_EQ(runs[0].y, 2);
  EXPECT_EQ(runs[0].text, u"Z");
  EXPECT_EQ(runs[0].attr, 0x1F);
}

TEST(Win32Frame, ShortCleanGapsJoinLongOnesAndAttributesSplit) {
  Screen s(20, 1);
  Frame f;
  Runs runs;
  f.diff(s, runs);
  runs.clear();

  s.move_to(1, 0);
  s.write("a");
  s.move_to(6, 0);  // four clean cells between: one run
  s.write("b");
  s.move_to(12, 0);  // five clean cells between: a run of its own
  s.write("c");
  f.diff(s, runs);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].x, 1);
  EXPECT_EQ(runs[0].text, u"a    b");
  EXPECT_EQ(runs[1].x, 12);
  EXPECT_EQ(runs[1].text, u"c");

  runs.clear();
  s.move_to(2, 0);
  s.set_attr(0x4C);
  s.write("x");
  s.set_attr(0x07);
  s.move_to(3, 0);
  s.write("y");
  f.diff(s, runs);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].attr, 0x4C);
  EXPECT_EQ(runs[1].attr, 0x07);
  EXPECT_EQ(runs[1].x, 3);

  // A clean cell of another attribute between two changes is not swallowed.
  runs.clear();
  s.move_to(1, 0);
  s.write("A");
  s.move_to(3, 0);
  s.write("B");
  f.diff(s, runs);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].text, u"A");
  EXPECT_EQ(runs[1].text, u"B");
}

TEST(Win32Frame, WideGlyphsAreWrittenWholeFromTheirLeftHalf) {
  Screen s(12, 2);
  Frame f;
  Runs runs;
  f.diff(s, runs);
  runs.clear();

  s.move_to(3, 0);
  s.write("中");
  f.diff(s, runs);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].x, 3);
  EXPECT_EQ(runs[0].text, u"中");
  EXPECT_EQ(runs[0].cols, 2);

  // Over the right half: the left half goes blank, and the run starts there.
  runs.clear();
  s.move_to(4, 0);
  s.write("A");
  f.diff(s, runs);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].x, 3);
  EXPECT_EQ(runs[0].text, u" A");

  // Beyond the basic plane: a surrogate pair, two columns.
  runs.clear();
  s.move_to(0, 1);
  s.write("\xF0\x9F\x98\x80");
  f.diff(s, runs);
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].text, (std::u16string{0xD83D, 0xDE00}));
  EXPECT_EQ(runs[0].cols, 2);
}

TEST(Win32Frame, ResizeAndInvalidateRepaintEverything) {
  Screen s(8, 2);
  Frame f;
  Runs runs;
  f.diff(s, runs);
  runs.clear();
  f.invalidate();
  f.diff(s, runs);
  EXPECT_EQ(runs.size(), 2u);

  runs.clear();
  s.resize(5, 4);
  f.diff(s, runs);
  ASSERT_EQ(runs.size(), 4u);
  for (const con::win32::Run& r : runs) EXPECT_EQ(r.cols, 5);
}

// Whatever the program draws, the console ends up showing the model: glyphs, halves and
// attributes, with no run past the end of a row.
TEST(Win32Frame, RunsKeepTheConsoleEqualToTheModel) {
  const char* texts[] = {"*",  "1.贪吃蛇  2.跑酷", "■",  "●┃▲", "ab",
                         "  ", "你的最终得分是：", "x中"};
  const uint8_t kAttrs[] = {0x07, 0x1F, 0x4C};
  Screen s(23, 7);
  Frame f;
  FakeConsole console(23, 7);
  uint32_t r = 12345;
  auto next = [&r](uint32_t n) {
    r = r * 214013u + 2531011u;
    return (r >> 16) % n;
  };
  for (int step = 0; step < 400; ++step) {
    switch (next(10)) {
      case 0:
        s.clear();
        break;
      case 1:
        s.recolor(static_cast<uint8_t>(next(256)));
        break;
      default:
        s.move_to(static_cast<int>(next(23)), static_cast<int>(next(7)));
        s.set_attr(kAttrs[next(3)]);  // few attributes, so runs meet gaps of another one
        s.write(texts[next(8)]);
    }
    if (next(3) == 0) continue;  // several changes in one frame, too
    Runs runs;
    f.diff(s, runs);
    console.apply(runs);
    console.expect_shows(s);
    if (::testing::Test::HasFatalFailure()) return;
  }
}
