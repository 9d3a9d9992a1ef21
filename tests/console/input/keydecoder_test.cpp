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
  // Unknown sequences are swallowed whole, whatever their final byte (0x40 to 0x7E).
  EXPECT_EQ(codes(feed(d, "\x1b[200~x\x1b[?25h")), (V{'x'}));
  EXPECT_EQ(codes(feed(d, "\x1b[@y\x1b[2~z\x1b[1;5@")), (V{'y', 224, 82, 'z'}));
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
  EXPECT_EQ(codes(feed(d, "\xd0")), (V{'?'}));
  // Cut after its lead byte, behind another key: the rest waits for the trail.
  EXPECT_EQ(codes(feed(d, "3\x81")), (V{'3'}));
  EXPECT_EQ(codes(feed(d, "\x41")), (V{'?'}));
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
  // Nor does it mark any key as held.
  auto ev = feed(d, std::string("\0", 1));
  ASSERT_EQ(ev.size(), 1u);
  EXPECT_EQ(ev[0].vk, 0);
}

// Keys as a terminal sends them, the codes _getch gives for the same keys on the console, and
// the arrows among them.
struct Sent {
  const char* bytes;
  V codes;
  V vks = {};
};

void expect_each(bool protocol, const std::vector<Sent>& table) {
  for (const Sent& k : table) {
    KeyDecoder d;
    d.set_protocol(protocol);
    std::vector<KeyEvent> ev = feed(d, k.bytes);
    d.flush(0, true, ev);
    const std::string name = testing::PrintToString(std::string(k.bytes));
    EXPECT_EQ(codes(ev), k.codes) << name;
    V vks;
    for (const KeyEvent& e : ev)
      if (e.vk) vks.push_back(e.vk);
    EXPECT_EQ(vks, k.vks) << name;
  }
}

constexpr int kU = con::VK_UP, kD = con::VK_DOWN, kL = con::VK_LEFT, kR = con::VK_RIGHT;

// The forms xterm, VTE, rxvt, the Linux console and tmux send (normal and application cursor
// and keypad modes).
TEST(KeyDecoder, EveryLegacyFormGivesTheConsolesCodes) {
  expect_each(
      false,
      {
          // Arrows, plain, in application mode, with Ctrl; Shift changes nothing.
          {"\x1b[A\x1b[B\x1b[C\x1b[D", {224, 72, 224, 80, 224, 77, 224, 75}, {kU, kD, kR, kL}},
          {"\x1bOA\x1bOB\x1bOC\x1bOD", {224, 72, 224, 80, 224, 77, 224, 75}, {kU, kD, kR, kL}},
          {"\x1b[1;5A\x1b[1;5B\x1b[1;5C\x1b[1;5D\x1b[1;2B",
           {224, 141, 224, 145, 224, 116, 224, 115, 224, 80},
           {kU, kD, kR, kL, kD}},
          // The cursor pad: Home, End, Insert, Delete, Page Up, Page Down.
          {"\x1b[H\x1b[F\x1bOH\x1bOF", {224, 71, 224, 79, 224, 71, 224, 79}},
          {"\x1b[1~\x1b[7~\x1b[4~\x1b[8~", {224, 71, 224, 71, 224, 79, 224, 79}},
          {"\x1b[2~\x1b[3~\x1b[5~\x1b[6~", {224, 82, 224, 83, 224, 73, 224, 81}},
          // F1..F12 and Shift+Tab.
          {"\x1bOP\x1bOQ\x1bOR\x1bOS\x1b[P\x1b[Q\x1b[S",
           {0, 59, 0, 60, 0, 61, 0, 62, 0, 59, 0, 60, 0, 62}},
          {"\x1b[11~\x1b[12~\x1b[13~\x1b[14~\x1b[15~", {0, 59, 0, 60, 0, 61, 0, 62, 0, 63}},
          {"\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~", {0, 64, 0, 65, 0, 66, 0, 67, 0, 68}},
          {"\x1b[23~\x1b[24~\x1b[Z", {224, 133, 224, 134, 0, 15}},
          // The keypad in application mode.
          {"\x1bOM\x1bOp\x1bOq\x1bOu\x1bOy", {13, '0', '1', '5', '9'}},
          {"\x1bOj\x1bOk\x1bOl\x1bOm\x1bOn\x1bOo\x1bOX", {'*', '+', ',', '-', '.', '/', '='}},
          // Keys the console has no code for, and sequences that are no key: gone whole, the
          // key after them intact.
          {"\x1b[9~\x1b[10~\x1b[16~\x1b[22~\x1b[25~\x1b[E\x1bOa1", {'1'}},
          {"\x1b[>0;95;0c\x1b[=1u\x1b[<5u\x1b[12R\x1b[1;2;3R\x1b[1I2", {'2'}},
          // Escape before a key that is no sequence (Alt+x, or Escape typed just before it);
          // a control byte breaks a sequence off; input ending after ESC O.
          {"\x1bx\x1b\x1b[A", {27, 'x', 27, 224, 72}, {kU}},
          {"\x1b[1\x03"
           "A\x1bO",
           {3, 'A', 27, 'O'}},
          // Enter is CR, LF or CR LF, once; anything between a CR and an LF makes them two.
          {"\r\n\r\n\n\r\r", {13, 13, 13, 13, 13}},
          {"\ra\n\r\x1b[A\n", {13, 'a', 13, 13, 224, 72, 13}, {kU}},
          {"\x7f\x08\t\x01\x1a", {8, 8, 9, 1, 26}},
      });
}

// The keyboard protocol's forms, as kitty sends them with all keys as escape codes.
TEST(KeyDecoder, EveryProtocolFormGivesTheConsolesCodes) {
  expect_each(
      true, {
                // Ctrl with a letter, @ (also space and 2), [ and ]; Alt puts an Escape before the
                // key, but never a second one before Escape itself.
                {"\x1b[97;5u\x1b[98;5u\x1b[121;5u", {1, 2, 25}},
                {"\x1b[64;5u\x1b[32;5u\x1b[50;5u\x1b[91;5u\x1b[93;5u", {0, 3, 0, 3, 0, 3, 27, 29}},
                {"\x1b[97;3u\x1b[27;3u\x1b[13;3u\x1b[97;3;97:98u",
                 {27, 'a', 27, 27, 13, 27, 'a', 27, 'b'}},
                // Enter, Tab, Shift+Tab, Backspace both ways, Escape.
                {"\x1b[13u\x1b[9u\x1b[9;2u\x1b[127u\x1b[8u\x1b[27u", {13, 9, 0, 15, 8, 8, 27}},
                // Letters with Shift, Caps Lock or both, a digit with Caps Lock; the shifted key;
                // the last ASCII character, and characters beyond ASCII.
                {"\x1b[97u\x1b[97;2u\x1b[97;65u\x1b[97;66u\x1b[49;65u", {'a', 'A', 'A', 'a', '1'}},
                {"\x1b[49:33;2u\x1b[126;;126u\x1b[97:1092;2u\x1b[1092u\x1b[128u\x1b[57343u",
                 {'!', '~', '?', '?', '?', '?'}},
                // The keypad: digits, operators, and with Num Lock off the cursor pad.
                {"\x1b[57399u\x1b[57400u\x1b[57408u", {'0', '1', '9'}},
                {"\x1b[57409u\x1b[57410u\x1b[57411u\x1b[57412u\x1b[57413u\x1b[57414u\x1b[57415u"
                 "\x1b[57416u",
                 {'.', '/', '*', '-', '+', 13, '=', ','}},
                {"\x1b[57417u\x1b[57418u\x1b[57419u\x1b[57420u\x1b[57419;5u",
                 {224, 75, 224, 77, 224, 72, 224, 80, 224, 141},
                 {kL, kR, kU, kD, kU}},
                {"\x1b[57421u\x1b[57422u\x1b[57423u\x1b[57424u\x1b[57425u\x1b[57426u",
                 {224, 73, 224, 81, 224, 71, 224, 79, 224, 82, 224, 83}},
                // Keys that type nothing: Begin, Caps Lock, Shift, a media key, Escape's own code.
                {"\x1b[57427u\x1b[57358u\x1b[57441u\x1b[57428u\x1b[57344u", {}},
                // A repeat types again; a release types nothing, a signal key's release is nothing.
                {"\x1b[1;1:2B\x1b[1;1:3C\x1b[97;1:3u\x1b[99;5:3u", {224, 80}, {kD, kR}},
            });
  // Ctrl-C, Ctrl-\ and Ctrl-Z by their letters, or by the US key where the letter is not
  // ASCII; Alt changes nothing.
  KeyDecoder d;
  d.set_protocol(true);
  V sigs;
  for (const KeyEvent& e : feed(d, "\x1b[99;5u\x1b[92;5u\x1b[122;5u\x1b[1089::99;5u\x1b[99;7u"))
    sigs.push_back(e.kind == KeyEvent::Signal ? e.arg[0] : -1);
  EXPECT_EQ(sigs, (V{SIGINT, SIGQUIT, SIGTSTP, SIGINT, SIGINT}));
  V types;
  for (const KeyEvent& e : feed(d, "\x1b[A\x1b[1;1:1A\x1b[1;1:2A\x1b[1;1:3A\x1b[97;1:3u"))
    types.push_back(e.type);
  EXPECT_EQ(types, (V{KeyEvent::Press, KeyEvent::Press, KeyEvent::Repeat, KeyEvent::Release,
                      KeyEvent::Release}));
}

// The replies the start-up probe waits for, whatever the terminal puts in them.
TEST(KeyDecoder, RepliesCarryTheirNumbers) {
  KeyDecoder d;
  auto ev = feed(d, "\x1b[12;40R\x1b[?31u\x1b[?u\x1b[?1;2c\x1b[1;2R\x1b[99999999;3R");
  ASSERT_EQ(ev.size(), 6u);
  EXPECT_EQ(ev[0].kind, KeyEvent::CursorReport);
  EXPECT_EQ((V{ev[0].arg[0], ev[0].arg[1]}), (V{12, 40}));
  EXPECT_EQ(ev[1].kind, KeyEvent::KeyboardFlags);
  EXPECT_EQ(ev[1].arg[0], 31);
  EXPECT_EQ(ev[2].arg[0], 0);  // no flags pushed
  EXPECT_EQ(ev[3].kind, KeyEvent::Attributes);
  // Legacy Shift+F3 has the cursor report's form; it is read as one, so no reply is lost.
  EXPECT_EQ(ev[4].kind, KeyEvent::CursorReport);
  EXPECT_EQ((V{ev[4].arg[0], ev[4].arg[1]}), (V{1, 2}));
  EXPECT_GE(ev[5].arg[0], 1000000);  // a number too long is capped, never wraps
  EXPECT_EQ(ev[5].arg[1], 3);
  for (const KeyEvent& e : ev) EXPECT_EQ(e.ncodes, 0);
}

}  // namespace
