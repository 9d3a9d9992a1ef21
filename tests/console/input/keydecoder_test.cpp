#include "console/input/keydecoder.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include "console/console.hpp"

namespace {

using con::KeyDecoder;
using con::KeyEvent;

// The _getch codes of all events, in order.
std::vector<int> codes(const std::vector<KeyEvent>& events) {
  std::vector<int> out;
  for (const KeyEvent& e : events)
    for (int k = 0; k < e.ncodes; ++k) out.push_back(e.codes[k]);
  return out;
}

std::vector<KeyEvent> feed(KeyDecoder& d, const std::string& bytes, int64_t t = 0) {
  std::vector<KeyEvent> out;
  d.feed(bytes.data(), bytes.size(), t, out);
  return out;
}

using V = std::vector<int>;

TEST(KeyDecoder, LegacyKeysBecomeGetchCodes) {
  KeyDecoder d;
  // CSI and SS3 arrows, Enter as CR, LF and CR LF, Backspace as DEL and BS, Tab, a digit.
  auto ev = feed(d, "\x1b[A\x1b[B\x1bOC\x1bOD\r\n\n\x7f\x08\t5w");
  EXPECT_EQ(codes(ev), (V{224, 72, 224, 80, 224, 77, 224, 75, 13, 13, 8, 8, 9, '5', 'w'}));
  EXPECT_EQ(ev[0].vk, con::VK_UP);
  EXPECT_EQ(ev[1].vk, con::VK_DOWN);
  EXPECT_EQ(ev[2].vk, con::VK_RIGHT);
  EXPECT_EQ(ev[3].vk, con::VK_LEFT);
  EXPECT_FALSE(d.pending());
  // Cursor pad and function keys in their xterm forms; an arrow with Shift is still the arrow,
  // with Ctrl it is the console's Ctrl+arrow code.
  EXPECT_EQ(codes(feed(d, "\x1b[H\x1b[4~\x1b[5~\x1b[3~\x1bOP\x1b[15~\x1b[24~\x1b[1;2A\x1b[1;5D")),
            (V{224, 71, 224, 79, 224, 73, 224, 83, 0, 59, 0, 63, 224, 134, 224, 72, 224, 115}));
  // Unknown sequences are swallowed whole.
  EXPECT_EQ(codes(feed(d, "\x1b[200~x\x1b[?25h")), (V{'x'}));
}

TEST(KeyDecoder, SequencesSplitAcrossReadsWaitForTheirRest) {
  KeyDecoder d;
  EXPECT_TRUE(feed(d, "\x1b", 0).empty());
  EXPECT_TRUE(d.pending());
  EXPECT_TRUE(feed(d, "[", 5).empty());
  EXPECT_TRUE(feed(d, "1;1", 10).empty());
  EXPECT_EQ(codes(feed(d, "A", 20)), (V{224, 72}));
  EXPECT_FALSE(d.pending());
  // A UTF-8 character cut in two is still one key.
  EXPECT_TRUE(feed(d, "\xe4\xb8", 30).empty());
  EXPECT_EQ(codes(feed(d,
                       "\xad"
                       "1",
                       31)),
            (V{'?', '1'}));
  // SS3 cut after the O.
  EXPECT_TRUE(feed(d, "\x1bO", 40).empty());
  EXPECT_EQ(codes(feed(d, "B", 41)), (V{224, 80}));
}

TEST(KeyDecoder, LoneEscapeIsTheEscapeKeyOnlyAfterItsTimeout) {
  KeyDecoder d;
  EXPECT_TRUE(feed(d, "\x1b", 100).empty());
  std::vector<KeyEvent> out;
  d.flush(100 + KeyDecoder::kEscTimeoutMs - 1, false, out);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(d.deadline(), 100 + KeyDecoder::kEscTimeoutMs);
  d.flush(100 + KeyDecoder::kEscTimeoutMs, false, out);
  EXPECT_EQ(codes(out), (V{27}));
  EXPECT_FALSE(d.pending());

  // Escape followed by another Escape or a plain key: each stands alone.
  EXPECT_EQ(codes(feed(d, "\x1b\x1bx")), (V{27, 27, 'x'}));
  // A cut-off sequence that never completes keeps its Escape; input ending resolves it.
  EXPECT_TRUE(feed(d, "\x1b[1;", 0).empty());
  out.clear();
  d.flush(0, true, out);
  EXPECT_EQ(codes(out), (V{27}));
  // A later byte restarts the wait.
  EXPECT_TRUE(feed(d, "\x1b", 200).empty());
  EXPECT_TRUE(feed(d, "[", 240).empty());
  out.clear();
  d.flush(260, false, out);
  EXPECT_TRUE(out.empty());
}

TEST(KeyDecoder, KeyboardProtocolEventsAndSignals) {
  KeyDecoder d;
  d.set_protocol(true);
  // Up: press, repeat, release (with Num Lock's bit set on the release).
  auto ev = feed(d, "\x1b[A\x1b[1;1:2A\x1b[1;129:3A");
  ASSERT_EQ(ev.size(), 3u);
  EXPECT_EQ(ev[0].type, KeyEvent::Press);
  EXPECT_EQ(ev[1].type, KeyEvent::Repeat);
  EXPECT_EQ(ev[2].type, KeyEvent::Release);
  for (const KeyEvent& e : ev) EXPECT_EQ(e.vk, con::VK_UP);
  EXPECT_EQ(codes(ev), (V{224, 72, 224, 72}));  // a release queues nothing
  // An explicit press, Escape as CSI 27u, text key release, Enter and keypad digits.
  ev = feed(d, "\x1b[1;1:1D\x1b[27u\x1b[97;1:3u\r\x1b[57400u\x1b[57414u\x1b[97;2u");
  EXPECT_EQ(codes(ev), (V{224, 75, 27, 13, '1', 13, 'A'}));
  // Ctrl-C, Ctrl-\ and Ctrl-Z arrive as keys and stand for their signals; Ctrl-A is code 1.
  ev = feed(d, "\x1b[99;5u\x1b[92;5u\x1b[122;5u\x1b[99;5:3u\x1b[97;5u");
  ASSERT_EQ(ev.size(), 4u);
  EXPECT_EQ(ev[0].kind, KeyEvent::Signal);
  EXPECT_EQ(ev[0].arg[0], SIGINT);
  EXPECT_EQ(ev[1].arg[0], SIGQUIT);
  EXPECT_EQ(ev[2].arg[0], SIGTSTP);
  EXPECT_EQ(codes(ev), (V{1}));
  // Under the protocol a lone ESC byte waits longer for its rest.
  feed(d, "\x1b", 1000);
  EXPECT_EQ(d.deadline(), 1000 + KeyDecoder::kProtocolEscTimeoutMs);
}

// What kitty 0.26.5 sends with flags 31 (all keys as escape codes, alternate keys, associated
// text), as recorded with tools/keylog: every key gives the codes legacy input gives.
TEST(KeyDecoder, AllKeysAsEscapeCodesGiveTheLegacyCodes) {
  KeyDecoder d;
  d.set_protocol(true);
  // a, Shift+a (Shift's own press and release type nothing), 1, Shift+1, space.
  EXPECT_EQ(codes(feed(d,
                       "\x1b[97;;97u\x1b[97;1:3u\x1b[57441u\x1b[97:65;2;65u\x1b[57441;2:3u"
                       "\x1b[97;1:3u\x1b[49;;49u\x1b[49:33;2;33u\x1b[32;;32u")),
            (V{'a', 'A', '1', '!', ' '}));
  // Enter, Tab, Backspace and Escape, each with its release: one code each.
  auto ev = feed(d,
                 "\x1b[13u\x1b[13;1:3u\x1b[9u\x1b[9;1:3u\x1b[127u\x1b[127;1:3u\x1b[27u"
                 "\x1b[27;1:3u");
  EXPECT_EQ(codes(ev), (V{13, 9, 8, 27}));
  ASSERT_EQ(ev.size(), 8u);
  EXPECT_EQ(ev[1].type, KeyEvent::Release);
  // Repeats type again, as on the console.
  EXPECT_EQ(codes(feed(d, "\x1b[97;1:2;97u\x1b[97;1:2;97u\x1b[13;1:2u\x1b[1;1:2A")),
            (V{'a', 'a', 13, 224, 72}));
  // Caps Lock (and Num Lock) on: the text says what the key types.
  EXPECT_EQ(codes(feed(d,
                       "\x1b[57358;129u\x1b[97;193;65u\x1b[49;193;49u\x1b[57400;129;49u"
                       "\x1b[57414u")),
            (V{'A', '1', '1', 13}));
  // Other layouts: German y (z's place), AZERTY's 1 (Shift on the & key), and q.
  EXPECT_EQ(codes(feed(d, "\x1b[121::122;;121u\x1b[38:49:49;2;49u\x1b[113::97;;113u")),
            (V{'y', '1', 'q'}));
  // Ctrl and Alt: control codes, Ctrl+[ is Escape, Ctrl+space is Ctrl-@, Alt puts an Escape
  // first, Shift+Tab is the console's 0 15.
  EXPECT_EQ(codes(feed(d, "\x1b[97;5u\x1b[91;5u\x1b[32;5u\x1b[97;3u\x1b[9;2u\x1b[13;5u")),
            (V{1, 27, 0, 3, 27, 'a', 0, 15, 13}));
  // Without associated text (a terminal that grants less): Shift, the shifted key and Caps
  // Lock still give the right character; text beyond ASCII is one '?'.
  EXPECT_EQ(
      codes(feed(d, "\x1b[97;2u\x1b[97;65u\x1b[97;66u\x1b[49:33;2u\x1b[1092u\x1b[1092;;1092u")),
      (V{'A', 'A', 'a', '!', '?', '?'}));
  // Ctrl+Z on a German keyboard is Ctrl+Z by its letter; Ctrl+C where the letter is not
  // ASCII goes by its place on a US keyboard.
  ev = feed(d, "\x1b[122::121;5u\x1b[1089::99;5u\x1b[1089::99;5:3u");
  ASSERT_EQ(ev.size(), 2u);
  EXPECT_EQ(ev[0].kind, KeyEvent::Signal);
  EXPECT_EQ(ev[0].arg[0], SIGTSTP);
  EXPECT_EQ(ev[1].arg[0], SIGINT);
  // Function and cursor keys with their releases.
  EXPECT_EQ(
      codes(feed(d, "\x1b[P\x1b[1;1:3P\x1b[15~\x1b[15;1:3~\x1b[H\x1b[1;1:3H\x1b[3~\x1b[1;5A")),
      (V{0, 59, 0, 63, 224, 71, 224, 83, 224, 141}));
}

TEST(KeyDecoder, RepliesAndFocusArePickedOutOfTypedInput) {
  KeyDecoder d;
  auto ev = feed(d,
                 "1\x1b[2;5R"
                 "2\x1b[?0u\x1b[I"
                 "3\x1b[?62;22c\x1b[O4");
  EXPECT_EQ(codes(ev), (V{'1', '2', '3', '4'}));
  std::vector<KeyEvent::Kind> kinds;
  for (const KeyEvent& e : ev)
    if (e.kind != KeyEvent::Key) kinds.push_back(e.kind);
  EXPECT_EQ(kinds, (std::vector<KeyEvent::Kind>{KeyEvent::CursorReport, KeyEvent::KeyboardFlags,
                                                KeyEvent::FocusIn, KeyEvent::Attributes,
                                                KeyEvent::FocusOut}));
  EXPECT_EQ(ev[1].arg[0], 2);
  EXPECT_EQ(ev[1].arg[1], 5);
}

TEST(KeyDecoder, TextIsOneKeyPerCharacterInItsCharset) {
  KeyDecoder d;
  // UTF-8: 贪 is three bytes, é two; a stray continuation byte is one key.
  EXPECT_EQ(codes(feed(d,
                       "\xe8\xb4\xaa"
                       "a\xc3\xa9\x80"
                       "b")),
            (V{'?', 'a', '?', '?', 'b'}));
  // GBK: 贪 is cc b0, 中 d6 d0; a trail byte never leaks as a key of its own, even one in the ASCII
  // range, as 丂 (81 40) has.
  d.set_gbk(true);
  EXPECT_EQ(codes(feed(d,
                       "\xcc\xb0"
                       "1\x81\x40"
                       "2")),
            (V{'?', '1', '?', '2'}));
  EXPECT_TRUE(feed(d, "\xd6").empty());
  EXPECT_EQ(codes(feed(d,
                       "\xd0"
                       "x")),
            (V{'?', 'x'}));
  // GB18030 four-byte form.
  EXPECT_EQ(codes(feed(d,
                       "\x81\x30\x81\x30"
                       "y")),
            (V{'?', 'y'}));
  // A lead byte that starts neither form stands alone: the Enter and digits after it survive.
  EXPECT_EQ(codes(feed(d,
                       "\x81"
                       "1\r")),
            (V{'?', '1', 13}));
  EXPECT_EQ(codes(feed(d, "\x82\r7")), (V{'?', 13, '7'}));
}

TEST(KeyDecoder, NulIsCtrlAtNeverALonePrefix) {
  KeyDecoder d;
  // A bare 0 would read as the first half of an extended key and take the next key with it.
  EXPECT_EQ(codes(feed(d, std::string("\0"
                                      "5\r",
                                      3))),
            (V{0, 3, '5', 13}));
}

}  // namespace
