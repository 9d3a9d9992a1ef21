// The recording's lines written and read back, and every kind of bad file refused with the
// line it went wrong on.
#include "console/record/format.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "console/record/recording.hpp"

namespace {

using namespace con::record;

const std::string kHeader =
    "gamebox recording 1\nprogram 1.0.0\nbackend headless\nsize none\nkeyboard none\n"
    "seed 7\nstarted 1700000000\nevents\n";

std::string refusal(const std::string& file) {
  Recording r;
  std::string error;
  if (r.load(file, error)) return "";
  EXPECT_FALSE(error.empty());
  return error;
}

TEST(RecordFormat, EveryKindOfLineReadsBackAsWritten) {
  std::vector<Line> lines(11);
  lines[0].tag = Tag::Key;
  lines[0].ncodes = 2;
  lines[0].codes[0] = 224;
  lines[0].codes[1] = 77;
  lines[0].action = con::KeyAction::Repeat;
  lines[1].tag = Tag::WaitKey;
  lines[1].ncodes = 1;
  lines[1].codes[0] = 0;
  lines[1].action = con::KeyAction::Press;
  lines[2].tag = Tag::Up;
  lines[2].vk = 39;
  lines[3].tag = Tag::Held;
  lines[3].vk = 255;
  lines[3].down = true;
  lines[4].tag = Tag::Time;
  lines[4].value = 2147483647;
  lines[5].tag = Tag::Seed;
  lines[5].value = 4294967295;
  lines[5].used = 0;
  lines[6].tag = Tag::Typed;
  lines[6].value = 40;  // longer than what is kept
  const char typed[] = "\t12 \"x\\\x01\x7f\xe4\xb8\x80 and some more text..";
  lines[6].text_len = kMaxText;
  std::memcpy(lines[6].text, typed, kMaxText);
  lines[7].tag = Tag::Check;
  lines[7].version = UINT64_MAX;
  lines[7].hash = 0xdeadbeef;
  lines[8].tag = Tag::Closed;
  lines[9].tag = Tag::Exit;
  lines[9].value = 130;
  lines[10].tag = Tag::End;
  lines[10].value = 255;
  lines[10].version = 12;
  lines[10].hash = 7;
  for (size_t k = 0; k < lines.size(); ++k) {
    Line& l = lines[k];
    l.gatherings = k * 1000;
    l.ms = static_cast<int64_t>(k) * 123456789;
    std::string text;
    write_line(l, text);
    ASSERT_EQ(text.back(), '\n');
    text.pop_back();
    EXPECT_LE(text.size(), kMaxLine) << text;
    for (char c : text) EXPECT_TRUE(c >= ' ' && c <= '~') << text;
    Line back;
    std::string why;
    ASSERT_TRUE(parse_line(text, back, why)) << text << ": " << why;
    std::string again;
    write_line(back, again);
    EXPECT_EQ(again, text + "\n");
    EXPECT_EQ(back.tag, l.tag);
    EXPECT_EQ(back.gatherings, l.gatherings);
    EXPECT_EQ(back.ms, l.ms);
    EXPECT_EQ(back.value, l.value) << text;
    EXPECT_EQ(std::string(back.text, back.text_len), std::string(l.text, l.text_len)) << text;
  }
}

TEST(RecordFormat, LinesThatAreNotEventsSayWhy) {
  const std::pair<std::string, std::vector<const char*>> bad[] = {
      {"not an event", {"", "x 0 0"}},
      {"more fields than its kind has", {"k 0 0 p q", "closed 0 0 1"}},
      // Not codes, not a code, an empty code, not press or repeat, too many, a space at the end.
      {"a key takes its codes (0 to 255, at most 16, joined by commas, or up, down, left, right), "
       "then p or r",
       {"k 0 0 upp", "k 0 0 256", "k 0 0 1,,2", "k 0 0 1,2 q",
        "k 0 0 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17", "k 0 0 13 "}},
      // Negative, two spaces, more gatherings than any run has, a time too long.
      {"its gatherings and milliseconds are not two whole numbers in range",
       {"k -1 0 13", "k 0  0 13", "k 1099511627777 0 13", "k 0 99999999999999999999 13"}},
      {"a held state needs a key code from 0 to 255 (or an arrow's name), 1 or 0",
       {"h 0 0 38", "h 0 0 38 2", "h 0 0 300 1"}},
      {"a release needs a key code from 0 to 255 (or up, down, left, right)", {"u 0 0"}},
      // A negative time: the program would subtract such times and overflow. More digits than
      // any number has.
      {"a time needs a whole number from 0 to 2147483647",
       {"time 0 0 12x", "time 0 0 -5", "time 0 0 2147483648", "time 0 0 000000000000000000001"}},
      {"a seeding needs two seeds from 0 to 4294967295", {"srand 0 0 1", "srand 0 0 4294967296 1"}},
      // Length and text disagree, a cut escape, an unknown escape, no quotes.
      {"a typed line needs its length and its first bytes in quotes",
       {"line 0 0 2 \"1\"", "line 0 0 1 \"\\x4\"", "line 0 0 1 \"\\q1\"", "line 0 0 1 1"}},
      {"a check needs a change count and eight hex digits",
       {"check 0 0 12 abc", "check 0 0 12 ABCDEF01"}},
      {"an exit needs a code from 0 to 255", {"exit 0 0 256"}},
      {"an end needs an exit code, a change count and eight hex digits", {"end 0 0 0 1"}},
  };
  for (const auto& [says, lines] : bad) {
    for (const char* s : lines) {
      Line l;
      std::string why;
      EXPECT_FALSE(parse_line(s, l, why)) << s;
      EXPECT_EQ(why, says) << s;
    }
  }
}

TEST(RecordFormat, ArrowsGoByNameAndARepeatWithoutItsCodes) {
  Line l;
  l.tag = Tag::Key;
  l.ncodes = 2;
  l.codes[0] = 224;
  l.codes[1] = 75;
  std::string text;
  write_line(l, text);
  EXPECT_EQ(text, "k 0 0 left\n");
  l.codes[0] = 0;  // the number pad's arrows keep their numbers
  text.clear();
  write_line(l, text);
  EXPECT_EQ(text, "k 0 0 0,75\n");
  l.tag = Tag::Held;
  l.vk = con::VK_DOWN;
  l.down = true;
  text.clear();
  write_line(l, text);
  EXPECT_EQ(text, "h 0 0 down 1\n");
  std::string why;
  ASSERT_TRUE(parse_line("h 3 4 39 0", l, why)) << why;
  EXPECT_EQ(l.vk, con::VK_RIGHT);
  ASSERT_TRUE(parse_line("k 0 0 r", l, why)) << why;
  EXPECT_EQ(l.ncodes, 0);
  EXPECT_EQ(l.action, con::KeyAction::Repeat);

  // A key line without codes takes those of the key line before it.
  Recording r;
  std::string error;
  ASSERT_TRUE(r.load(kHeader + "check 1 0 5 0000000a\nk 0 0 right p\nk 1 500 r\nk 1 40\n"
                               "h 0 0 right 1\nw 1 10 13\nw 0 0\n",
                     error))
      << error;
  Recording::Cursor c(r);
  std::vector<std::string> keys;
  while (c.next(l)) {
    if (l.tag != Tag::Key && l.tag != Tag::WaitKey) continue;
    std::string k;
    for (size_t i = 0; i < l.ncodes; ++i) k += std::to_string(l.codes[i]) + " ";
    keys.push_back(k);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"224 77 ", "224 77 ", "224 77 ", "13 ", "13 "}));
  EXPECT_NE(refusal(kHeader + "check 1 0 5 0000000a\nk 0 0 r\n").find("line 10: a key without"),
            std::string::npos);
}

// What a divergence message says of an event: a key's codes and, where it has one, its name.
TEST(RecordFormat, EventsAreToldWithTheirKeysNamed) {
  auto key = [](Tag tag, std::vector<uint8_t> codes) {
    Line l;
    l.tag = tag;
    l.ncodes = static_cast<uint8_t>(codes.size());
    std::memcpy(l.codes, codes.data(), codes.size());
    return event_text(l);
  };
  const std::string slept = " came while the program slept or polled";
  EXPECT_EQ(key(Tag::Key, {27}), "the key 27 (Escape)" + slept);
  EXPECT_EQ(key(Tag::Key, {13}), "the key 13 (Enter)" + slept);
  EXPECT_EQ(key(Tag::Key, {32}), "the key 32 (space)" + slept);
  EXPECT_EQ(key(Tag::Key, {8}), "the key 8 (Backspace)" + slept);
  EXPECT_EQ(key(Tag::Key, {'w'}), "the key 119 (w)" + slept);
  EXPECT_EQ(key(Tag::Key, {0, 3}), "the key 0,3" + slept);
  EXPECT_EQ(key(Tag::WaitKey, {224, 72}),
            "the key 224,72 (↑) came while the program waited for a key");
  Line l;
  l.tag = Tag::Up;
  l.vk = 39;
  EXPECT_EQ(event_text(l), "key 39 (→) was let go");
  l.tag = Tag::Held;
  l.vk = 65;
  l.down = true;
  EXPECT_EQ(event_text(l), "the held state of key 65 read down");
}

TEST(RecordFormat, AWholeRecordingLoadsWithItsHeader) {
  Recording r;
  std::string error, head = kHeader;
  head.replace(head.find("size none\nkeyboard none"), 23, "size 120 40\nkeyboard exact");
  ASSERT_TRUE(r.load(head + "check 1 0 5 0000000a\nw 0 10 49\nw 0 0 13\nline 0 0 1 \"1\"\n"
                            "time 0 0 1700000000\nsrand 0 0 1700000000 7\n"
                            "k 5 500 224,72 p\nh 0 0 38 1\nend 3 100 0 9 00000001\n",
                     error))
      << error;
  EXPECT_TRUE(r.complete());
  EXPECT_EQ(r.header().program, "1.0.0");
  EXPECT_EQ(r.header().backend, "headless");
  EXPECT_EQ(r.header().keyboard, "exact");
  EXPECT_EQ((std::vector<int64_t>{r.header().cols, r.header().rows, r.header().started}),
            (std::vector<int64_t>{120, 40, 1700000000}));
  ASSERT_TRUE(r.header().seed.has_value());
  EXPECT_EQ(*r.header().seed, 7u);
  EXPECT_EQ(r.events(), 9u);
  std::string written;  // and written again as it was read
  write_header(r.header(), written);
  EXPECT_EQ(written, head);
  // The cursor makes gatherings and times absolute and knows the file's line numbers.
  Recording::Cursor c(r);
  Line l;
  std::vector<std::pair<uint64_t, int64_t>> at;
  while (c.next(l)) at.push_back({l.gatherings, l.ms});
  EXPECT_EQ(c.line_number(), 17u);
  ASSERT_EQ(at.size(), 9u);
  EXPECT_EQ(at[1], (std::pair<uint64_t, int64_t>{1, 10}));
  EXPECT_EQ(at[6], (std::pair<uint64_t, int64_t>{6, 510}));
  EXPECT_EQ(at[8], (std::pair<uint64_t, int64_t>{9, 610}));
}

TEST(RecordFormat, ARunCutShortAndWindowsLineEndsStillLoad) {
  Recording r;
  std::string error;
  ASSERT_TRUE(r.load(kHeader + "check 1 0 5 0000000a\nk 0 0 13\n", error)) << error;
  EXPECT_FALSE(r.complete());
  std::string crlf = kHeader + "check 1 0 5 0000000a\r\nend 0 0 0 5 0000000a\r\n";
  ASSERT_TRUE(r.load(crlf, error)) << error;
  EXPECT_TRUE(r.complete());
  // A newer version's header key is skipped; the clock seed is no seed.
  ASSERT_TRUE(
      r.load("gamebox recording 1\nprogram 2\nbackend stream\nseed clock\nlater x y z\n"
             "events\n",
             error))
      << error;
  EXPECT_FALSE(r.header().seed.has_value());
}

TEST(RecordFormat, BadFilesAreRefusedNamingTheLine) {
  struct Case {
    std::string file, expect;
  };
  const std::string body = kHeader + "check 1 0 5 0000000a\n";
  const std::vector<Case> cases = {
      {"", "empty: not a recording"},
      {"hello\n", "not a gamebox recording (its first line is not \"gamebox recording 1\")"},
      {std::string("\x7f"
                   "ELF\x02\x01\x01",
                   7),
       "not a gamebox recording (its first line is not \"gamebox recording 1\")"},
      {"gamebox recording 2\nevents\n", "format 2, not one this version reads (it reads 1)"},
      {"gamebox recording \x1b[2J\nevents\n",
       "an unknown format, not one this version reads (it reads 1)"},
      {"gamebox recording 1\nprogram 1\nbackend x",
       "line 3: the file is truncated: its last line is cut off"},
      {"gamebox recording 1\nprogram 1\nbackend x\n",
       "the file is truncated: it ends within its header, before the 'events' line"},
      {"gamebox recording 1\nevents\n", "line 2: the header lacks its 'program' or 'backend' line"},
      {"gamebox recording 1\nprogram 1\nbackend x\nsize 0 -1\nevents\n",
       "line 4: a header line whose value is not what 'size' takes"},
      {"gamebox recording 1\nprogram 1\nbackend x\nseed -3\nevents\n",
       "line 4: a header line whose value is not what 'seed' takes"},
      {"gamebox recording 1\nprogram a b\nevents\n",
       "line 2: a header line whose value is not what 'program' takes"},
      {body + "w 0 0 13", "line 10: the file is truncated: its last line is cut off"},
      {body + "k 0 0 13\nw 0 0 13\n",
       "line 11: one gathering queues keys both while waiting and while not"},
      {body + "h 0 0 38 1\nk 0 0 13\n",
       "line 11: out of order within its gathering (its check comes first, then what it queued, "
       "then the calls after it)"},
      {body + "check 0 0 5 0000000a\n",
       "line 10: out of order within its gathering (its check comes first, then what it queued, "
       "then the calls after it)"},
      {kHeader + "k 0 0 13\n", "line 9: input before the program's first gathering"},
      {body + "closed 0 0\nclosed 1 0\n", "line 11: input ends twice"},
      {body + "exit 0 0 130\nk 1 0 13\n", "line 11: after an exit only the end line may come"},
      {body + "end 0 0 0 5 0000000a\nk 1 0 13\n", "line 11: nothing may follow the end line"},
      {body + "k 0 0 13\x1b[31m\n", "line 10: a byte no recording holds (0x1b)"},
      {body + "line 0 0 1 \"\xe4\"\n", "line 10: a byte no recording holds (0xe4)"},
      {body + std::string(300, 'k') + "\n", "line 10: longer than 256 bytes"},
      {body + "k 1099511627775 0 13\nk 2 0 13\n",
       "line 11: the gatherings or the time run past what any run reaches"},
      {body + "bogus 0 0\n", "line 10: not an event"},
      {body + "line 0 0 1 \"\n",
       "line 10: a typed line needs its length and its first bytes in quotes"},
      {"gamebox recording 1\nprogram 1\nevents now\n", "line 3: 'events' takes nothing after it"},
  };
  for (const Case& c : cases) {
    const std::string why = refusal(c.file);
    EXPECT_EQ(why, c.expect) << "file: " << c.file.substr(0, 80);
  }
  // A header's words are at most 32 bytes.
  auto with_program = [](size_t len) {
    std::string h = kHeader;
    h.replace(h.find("1.0.0"), 5, std::string(len, 'v'));
    return h + "check 1 0 5 0000000a\n";
  };
  EXPECT_EQ(refusal(with_program(32)), "");
  EXPECT_NE(refusal(with_program(33)).find("line 2: a header line"), std::string::npos);
  // Over the size limit (the reader of a whole file refuses it before reading on).
  std::string big = body;
  while (big.size() <= kMaxBytes) big += "k 0 0 13\n";
  EXPECT_NE(refusal(big).find("too large"), std::string::npos);
}

TEST(RecordFormat, TheScreenHashSeesEveryCellTheCursorAndTheColours) {
  con::Screen a, b;
  EXPECT_EQ(screen_hash(a), screen_hash(b));
  b.move_to(119, 29);
  b.write("x");
  const uint32_t one = screen_hash(b);
  EXPECT_NE(one, screen_hash(a));
  con::Screen c;
  c.move_to(119, 29);
  c.set_attr(0x1F);
  c.write("x");
  EXPECT_NE(screen_hash(c), one);  // the same glyph in another colour
  con::Screen d;
  d.move_to(119, 29);
  d.write("x");
  d.move_to(0, 0);
  EXPECT_NE(screen_hash(d), one);  // the cursor elsewhere
  con::Screen e(60, 37);
  EXPECT_NE(screen_hash(e), screen_hash(a));
}

}  // namespace
