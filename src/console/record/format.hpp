// The text format of a recorded run: a header, then one line per thing the program learnt from
// outside while it ran, in the order it learnt them. Everything else the program does follows
// from those, so a replay that hands them back in the same order plays the same run.
//
//   gamebox recording 1          format version
//   program 1.0.0                the version that recorded it
//   backend terminal             terminal, console, stream, browser or headless
//   size 120 40                  the terminal's columns and rows at the start ("none" without)
//   keyboard exact               exact or inferred held keys ("none" without a keyboard)
//   seed clock                   the --seed given, or "clock"
//   started 1700000000           calendar seconds at the start
//   events                       the header ends; one line per event follows
//
// Every event line is `TAG G T FIELDS...`: G counts the gatherings of input (each Sleep, each
// poll of _kbhit that found the queue empty, each wait for a key) since the line before, T the
// milliseconds on the program's clock since the line before. A line belongs to gathering
// number (sum of G): the keys that gathering queued, or a call the program made after it.
//
//   k G T CODES [p|r]    a key event queued while the program slept or polled: its _getch
//                        codes joined by commas ("119" is w, "224,77" is →, written "right";
//                        "up", "down" and "left" likewise), pressed or repeated where the
//                        keyboard says; without CODES the same codes as the key line before
//   w G T CODES [p|r]    the same, queued while the program waited for a key
//   u G T VK             a key let go (keyboards that report it); VK is a virtual-key code,
//                        the arrows by name
//   h G T VK 1|0         the held state of key VK read down (1) or up (0): written when the
//                        answer differs from the last one for that key (every key starts up)
//   time G T VALUE       what time() answered, in calendar seconds (0 to 2147483647)
//   srand G T ASKED USED a seeding of the generator: the seed passed, the seed it took
//   line G T LEN "TEXT"  a line typed for a number read: its length and its first bytes
//   check G T VER HASH   the screen before that gathering: its change count and a hash of it
//   closed G T           input ended
//   exit G T CODE        the console was told to end the program (a signal, the terminal
//                        gone)
//   end G T CODE VER HASH  the program ended with CODE, leaving this screen
//
// Within one gathering the lines come in this order: its check, what it queued (k, w, u,
// closed, exit), then the calls after it (h, time, srand, line, exit). A file without an end
// line is a run cut short (a crash, a kill); it replays up to where it stops.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "console/backend.hpp"
#include "console/screen.hpp"

namespace con::record {

constexpr int kFormat = 1;
constexpr std::string_view kMagic = "gamebox recording";
// Bounds on what a reader accepts: a line, the codes of one key event, the bytes of a typed
// line that are kept, the header's lines, and the whole file.
constexpr size_t kMaxLine = 256;
constexpr size_t kMaxCodes = 16;
constexpr size_t kMaxText = 32;
constexpr size_t kMaxHeaderLines = 32;
constexpr size_t kMaxBytes = 16u << 20;
// The recorder checks the screen at the first gathering at which both this much time on the
// program's clock and this many gatherings have passed since its last check; a replay of a run
// cut short stops where that check would have been.
constexpr int64_t kCheckEveryMs = 5000;
constexpr uint64_t kCheckEveryGatherings = 64;
// Sums of G and T beyond these are refused: no real run comes near them.
constexpr uint64_t kMaxGatherings = uint64_t{1} << 40;
constexpr int64_t kMaxMs = int64_t{1} << 50;

enum class Tag : uint8_t { Key, WaitKey, Up, Held, Time, Seed, Typed, Check, Closed, Exit, End };

struct Line {
  Tag tag = Tag::Key;
  uint64_t gatherings = 0;  // G (a delta as written; Cursor makes it the gathering's number)
  int64_t ms = 0;           // T (likewise: the time since the start)
  uint8_t codes[kMaxCodes] = {};
  uint8_t ncodes = 0;
  KeyAction action = KeyAction::Unknown;
  int vk = 0;
  bool down = false;
  // time: the answer; srand: the seed passed (and `used`); line: its length; exit, end: code.
  int64_t value = 0;
  uint32_t used = 0;
  uint64_t version = 0;  // check, end
  uint32_t hash = 0;
  char text[kMaxText] = {};  // line: its first min(value, kMaxText) bytes
  uint8_t text_len = 0;
};

struct Header {
  int format = kFormat;
  std::string program;
  std::string backend;
  int cols = 0, rows = 0;  // 0: none
  std::string keyboard;    // "" : none
  std::optional<unsigned> seed;
  int64_t started = 0;
};

// Appends the header, up to and with its "events" line.
void write_header(const Header& h, std::string& out);
// Appends one event line, with its newline. `l.gatherings` and `l.ms` are deltas.
void write_line(const Line& l, std::string& out);

// Reads one event line (without its newline). On failure `why` says what is wrong with it.
bool parse_line(std::string_view s, Line& out, std::string& why);
// Reads one header line into `h`; `done` is set by the "events" line. Unknown keys are skipped.
bool parse_header_line(std::string_view s, Header& h, bool& done, std::string& why);

// What a replay compares: a hash of every cell, the cursor, the attributes and the size.
uint32_t screen_hash(const Screen& s);

// A few words for a line, for messages: "key 224,77 (→) queued", "the time asked (1700000000)".
std::string event_text(const Line& l);

}  // namespace con::record
