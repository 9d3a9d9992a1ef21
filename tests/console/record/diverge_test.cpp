// Replays that must not match: an edited recording, another program, a run cut short, and the
// recorder's promise that what the program acted on is already in the file.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "console/console.hpp"
#include "console/record/harness.hpp"
#include "killer/play.hpp"

namespace {

using con::record::Replayer;
using namespace record_test;

// A snake game: arrows and letters, then Escape; "0" ends the program afterwards.
std::string snake_recording(Recorded* out = nullptr) {
  Capture h;
  h.line("1");
  h.line("1", 50);
  std::mt19937 rng(3);
  int64_t t = 1500;
  for (int k = 0; k < 12; ++k) {
    t += 700;
    h.arrow(std::array<int, 4>{72, 75, 80, 77}[k % 4], t);
  }
  h.key(27, t + 500);
  auto left = std::make_shared<int>(4);
  h.on_wait = [left](con::Headless& hh) {
    if ((*left)-- > 0) hh.line("0", hh.now());
  };
  std::string file;
  Recorded r = record(h, file, whole_program, 3);
  if (out) *out = r;
  return file;
}

std::string parkour_recording(Recorded* out = nullptr) {
  Capture h;
  h.line("2");
  for (int64_t t = 2000; t < 20000; t += 900) {
    h.hold(con::VK_UP, t, t + 100, false);
    h.hold(con::VK_RIGHT, t + 300, t + 700);
  }
  h.stop_at_ms = 22000;
  std::string file;
  Recorded r = record(h, file, whole_program, 5);
  if (out) *out = r;
  return file;
}

void expect_prefix(const std::vector<uint64_t>& part, const std::vector<uint64_t>& whole) {
  ASSERT_LE(part.size(), whole.size());
  for (size_t k = 0; k < part.size(); ++k) ASSERT_EQ(part[k], whole[k]) << "frame " << k;
}

TEST(Diverge, AnEditedKeyIsCaughtAfterItNamingTheLine) {
  Recorded rec;
  std::vector<std::string> lines = lines_of(snake_recording(&rec));
  const size_t n = find_line(lines, "k ", find_line(lines, "srand "));
  ASSERT_GT(n, 0u);
  ASSERT_NE(lines[n - 1].find(" up"), std::string::npos) << lines[n - 1];
  lines[n - 1].replace(lines[n - 1].find(" up"), 3, " down");
  const Replayed rep = replay(join(lines), whole_program);
  EXPECT_EQ(rep.outcome, Replayer::Outcome::Diverged);
  EXPECT_EQ(rep.code, Replayer::kDiverged);
  EXPECT_GT(named_line(rep.message), n) << rep.message;
  EXPECT_NE(rep.message.find("the screen differs"), std::string::npos) << rep.message;
  EXPECT_LT(rep.frames.size(), rec.frames.size());
}

TEST(Diverge, AnEditedTimeIsCaughtAtTheSeedingItFeeds) {
  Capture h;
  h.line("3");
  h.type("11");
  std::string file;
  record(h, file, whole_program);  // seeded from the clock
  std::vector<std::string> lines = lines_of(file);
  const size_t t = find_line(lines, "time ");
  ASSERT_GT(t, 0u);
  char& last = lines[t - 1].back();
  last = last == '9' ? '8' : '9';  // a few seconds off
  const Replayed rep = replay(join(lines), whole_program);
  EXPECT_EQ(rep.outcome, Replayer::Outcome::Diverged);
  EXPECT_EQ(named_line(rep.message), find_line(lines, "srand ", t)) << rep.message;
  EXPECT_EQ(
      rep.message,
      "line 15 (gathering 1, 0.000 s): srand(1700000000) seeded the generator with "
      "1700000000 in the recorded run; this run seeds it with 1700000009 (srand(1700000009))");
}

TEST(Diverge, ALostHeldStateIsCaught) {
  std::vector<std::string> lines = lines_of(parkour_recording());
  const size_t n = find_line(lines, "h ");
  ASSERT_GT(n, 0u);
  lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(n - 1));
  const Replayed rep = replay(join(lines), whole_program);
  EXPECT_EQ(rep.outcome, Replayer::Outcome::Diverged);
  EXPECT_GE(named_line(rep.message), n) << rep.message;
}

TEST(Diverge, AnotherProgramIsCaughtAtItsFirstDifference) {
  const std::string file = snake_recording();
  const std::vector<std::string> lines = lines_of(file);
  // It draws one more character: the first check sees it.
  Replayed rep = replay(file, [] {
    con::print("x");
    return whole_program();
  });
  EXPECT_EQ(rep.outcome, Replayer::Outcome::Diverged);
  EXPECT_EQ(named_line(rep.message), find_line(lines, "check ")) << rep.message;
  EXPECT_NE(rep.message.find("the screen differs"), std::string::npos);

  // It asks the time before anything else.
  rep = replay(file, [] {
    con::time();
    return whole_program();
  });
  EXPECT_EQ(rep.outcome, Replayer::Outcome::Diverged);
  EXPECT_EQ(named_line(rep.message), 9u) << rep.message;
  EXPECT_NE(rep.message.find("this run asks the time"), std::string::npos) << rep.message;

  // It ends at once.
  rep = replay(file, [] { return 0; });
  EXPECT_EQ(rep.outcome, Replayer::Outcome::Diverged);
  EXPECT_NE(rep.message.find("this run ended (code 0), but the recorded run has"),
            std::string::npos)
      << rep.message;
}

// A short program recorded (with the keys a at 5 ms, b and Enter at 30), the recording perhaps cut
// short as a crash leaves it, then replayed by another program: how the replay ends and what
// its message says. A run cut short is no excuse for a different run: while the recording
// still has lines, a replay that departs from them diverges.
struct Departure {
  int (*recorded)();
  const char* cut;  // "": the whole recording; else it stops before the first line so starting
  bool through;     // or just after that line
  int (*replayed)();
  Replayer::Outcome outcome;
  const char* says;
  const char* program = nullptr;  // the version the recording's header names instead
};

TEST(Diverge, DeparturesAreCaughtAndSaidWhatTheyAre) {
  using O = Replayer::Outcome;
  int (*const done)() = [] { return con::Sleep(10), con::print("done"), 0; };
  int (*const read_line)() = [] {
    int v = 0;
    return con::read_int(v), v;
  };
  int (*const key_time_key)() = [] {
    return con::Sleep(10), con::_getch(), con::time(), con::_getch(), 0;
  };
  const Departure cases[] = {
      {[] { return con::_getch() == 'a' ? 0 : 1; }, "", false,
       [] {
         while (!con::_kbhit()) con::Sleep(10);
         return 0;
       },
       O::Diverged,
       "line 9 (gathering 1, 0.005 s): the recorded run waited for a key here; this run sleeps or "
       "polls"},
      {[] { return con::Sleep(10), con::_kbhit() ? 0 : 1; }, "", false,
       [] { return con::_getch() == 'a' ? 0 : 1; }, O::Diverged,
       "line 9 (gathering 1, 0.010 s): the recorded run slept or polled here; this run waits for a "
       "key"},
      {done, "", false, [] { return con::Sleep(10), con::print("done"), con::Sleep(10), 0; },
       O::Diverged,
       "line 10 (gathering 2, 0.010 s): the recorded run ended here (code 0), but this run goes on "
       "to gather input"},
      {done, "", false, [] { return con::Sleep(10), con::print("done"), 1; }, O::Diverged,
       "line 10 (gathering 1, 0.010 s): the recorded run ended with code 0; this run with code 1"},
      {done, "", false, [] { return con::Sleep(10), con::print("gone"), 0; }, O::Diverged,
       "line 10 (gathering 1, 0.010 s): the program ended as recorded, but its last screen differs "
       "from the recorded one"},
      {done, "", false, [] { return con::Sleep(10), con::print("done"), 1; }, O::Diverged,
       "line 10 (gathering 1, 0.010 s): the recorded run ended with code 0; this run with code 1 "
       "(recorded by gamebox 0.9, this is gamebox " GAMEBOX_VERSION ")",
       "0.9"},
      {done, "", false, done, O::Finished, ""},
      // Killed after the time was written: this run waits for a key where it has the time.
      {key_time_key, "time ", true, [] { return con::Sleep(10), con::_getch(), con::_getch(), 0; },
       O::Diverged,
       "line 10 (gathering 2, 0.010 s): the recorded run had time() answered 1700000000 before "
       "this gathering; this run went on without it"},
      // The crash came before the time was written, or before the line typed; or before the
      // end, where this run waits for a key instead of the key the recording has next.
      {key_time_key, "time ", false, key_time_key, O::CutShort,
       "the recording stops after line 9 (gathering 1, 0.010 s) without an end: the recorded run "
       "was cut short there"},
      {read_line, "line ", false, read_line, O::CutShort,
       "the recording stops after line 11 (gathering 2, 0.030 s) without an end: the recorded run "
       "was cut short there"},
      {[] { return con::Sleep(1), con::Sleep(10), 0; }, "end ", false, [] { return con::_getch(); },
       O::Diverged,
       "line 9 (gathering 1, 0.011 s): this run waits for a key, but the recording has the key 97 "
       "(a) came while the program slept or polled next"},
  };
  for (const Departure& d : cases) {
    Capture h;
    h.key('a', 5);
    h.line("b", 30);
    std::string file;
    record(h, file, d.recorded);
    std::vector<std::string> lines = lines_of(file);
    if (*d.cut) lines.resize(find_line(lines, d.cut) - (d.through ? 0 : 1));
    if (d.program) lines[find_line(lines, "program ") - 1] = std::string("program ") + d.program;
    const Replayed rep = replay(join(lines), d.replayed);
    EXPECT_EQ(rep.outcome, d.outcome) << d.says << ": " << rep.message;
    EXPECT_EQ(rep.message, d.says);
  }
}

TEST(Diverge, ATypedLineIsChecked) {
  Capture h;
  h.line("42");
  std::string file;
  auto read = [] {
    int v = 0;
    con::read_int(v);
    return 0;
  };
  record(h, file, read);
  std::vector<std::string> lines = lines_of(file);
  const size_t n = find_line(lines, "line ");
  ASSERT_GT(n, 0u);
  EXPECT_EQ(lines[n - 1], "line 0 0 2 \"42\"");
  lines[n - 1] = "line 0 0 2 \"41\"";
  const Replayed rep = replay(join(lines), read);
  EXPECT_EQ(named_line(rep.message), n) << rep.message;
  EXPECT_NE(rep.message.find("in this run the line \"42\" was read"), std::string::npos)
      << rep.message;
}

TEST(Diverge, ARunCutShortReplaysUpToWhereItStopsAndNoFurther) {
  Recorded rec;
  const std::vector<std::string> lines = lines_of(parkour_recording(&rec));
  // As if the program had crashed midway: what had been written, up to a whole line, stays.
  const std::vector<std::string> kept(
      lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(lines.size() / 2));
  const Replayed rep = replay(join(kept), whole_program);
  EXPECT_EQ(rep.outcome, Replayer::Outcome::CutShort) << rep.message;
  EXPECT_EQ(rep.code, 0);
  EXPECT_NE(rep.message.find("the recorded run was cut short there"), std::string::npos)
      << rep.message;
  // It got at least as far as the last line kept, and stopped within one check's time of it.
  con::record::Recording r;
  std::string error;
  ASSERT_TRUE(r.load(join(kept), error));
  con::record::Recording::Cursor c(r);
  con::record::Line l;
  uint64_t last_g = 0;
  while (c.next(l)) last_g = l.gatherings;
  EXPECT_GE(rep.gatherings, last_g);
  ASSERT_LT(last_g, rec.frames_before.size());
  const size_t same = rec.frames_before[last_g];
  ASSERT_GE(rep.frames.size(), same);
  expect_prefix(std::vector<uint64_t>(rep.frames.begin(), rep.frames.begin() + same), rec.frames);
  // Without input after its last line the game would play on for ever; it stops within one
  // check's time of it (a 55 ms tick: under 40 frames).
  EXPECT_LT(rep.frames.size(), rec.frames_before[last_g] + 100);
}

TEST(Diverge, WhatTheProgramActedOnIsAlreadyWritten) {
  // After each key the program takes, the file so far (as a crash would leave it) holds it.
  Capture h;
  for (int k = 0; k < 20; ++k) h.key('a' + k, 100 * k);
  std::string written;
  con::record::Recorder rec(
      h,
      [&written](std::string_view b) {
        written.append(b);
        return true;
      },
      std::nullopt);
  con::attach(rec);
  int taken = 0;
  try {
    for (;;) {
      const int c = con::_getch();
      ++taken;
      // Its line, and one for every key taken before it.
      size_t keys = 0;
      for (size_t p = written.find("\nw "); p != std::string::npos; p = written.find("\nw ", p + 1))
        ++keys;
      ASSERT_GE(keys, static_cast<size_t>(taken)) << "key " << c << " not written yet";
      std::string line = " ";
      line += std::to_string(c);
      line += '\n';
      ASSERT_NE(written.find(line), std::string::npos) << c;
      if (taken % 3 == 0) con::Sleep(50);
    }
  } catch (const con::Exit&) {
  }
  rec.ending(0);
  con::detach();
  EXPECT_EQ(taken, 20);
}

TEST(Diverge, AFailedWriteStopsTheRecordingAndIsReported) {
  Capture h;
  h.line("1");
  int calls = 0;
  con::record::Recorder rec(
      h, [&calls](std::string_view) { return ++calls < 3; }, std::nullopt);
  con::attach(rec);
  try {
    for (int k = 0; k < 10; ++k) con::Sleep(3000);
    con::_getch();
  } catch (const con::Exit&) {
  }
  rec.ending(0);
  con::detach();
  EXPECT_TRUE(rec.failed());
  EXPECT_EQ(calls, 3);
}

TEST(Diverge, ARecordingOverwritesOnlyAnEmptyFileOrAnEarlierRecording) {
  const std::string dir = ::testing::TempDir();
  const std::string path = dir + "/gamebox_record_test.txt";
  { std::ofstream(path) << "my notes\n"; }
  con::record::FileWriter w;
  std::string error;
  EXPECT_FALSE(w.open(path.c_str(), error));
  EXPECT_NE(error.find("is not a recording"), std::string::npos) << error;
  std::ifstream in(path);
  std::stringstream kept;
  kept << in.rdbuf();
  EXPECT_EQ(kept.str(), "my notes\n");

  EXPECT_FALSE(w.open(dir.c_str(), error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;

  { std::ofstream(path) << "gamebox recording 1\nold\n"; }
  ASSERT_TRUE(w.open(path.c_str(), error)) << error;
  EXPECT_TRUE(w.write("gamebox recording 1\n"));
  EXPECT_TRUE(w.close(error)) << error;
  std::ifstream again(path);
  std::stringstream now;
  now << again.rdbuf();
  EXPECT_EQ(now.str(), "gamebox recording 1\n");
  std::remove(path.c_str());
#ifndef _WIN32
  // A new recording is the player's to share: readable by all, writable by its owner.
  const mode_t before = umask(022);
  ASSERT_TRUE(w.open(path.c_str(), error)) << error;
  EXPECT_TRUE(w.close(error)) << error;
  umask(before);
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  std::remove(path.c_str());
#endif
}

}  // namespace

namespace {

std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Diverge, WhatIsWrittenIsInTheFileAtOnceAndAReaderDropsTheRoomLeft) {
  const std::string path = ::testing::TempDir() + "/gamebox_record_mapped.rec";
  std::remove(path.c_str());
  con::record::FileWriter w;
  std::string error;
  ASSERT_TRUE(w.open(path.c_str(), error)) << error;
  const std::string head = "gamebox recording 1\nprogram 1\nbackend headless\nseed clock\nevents\n";
  ASSERT_TRUE(w.write(head));
  ASSERT_TRUE(w.write("check 1 0 5 0000000a\nk 0 0 13\n"));
  // Not closed, as after a crash: the lines are there, then the room set aside.
  std::string seen = file_bytes(path);
  ASSERT_GE(seen.size(), head.size());
  EXPECT_EQ(seen.substr(0, head.size()), head);
  con::record::Recording r;
  ASSERT_TRUE(r.load(seen, error)) << error;
  EXPECT_FALSE(r.complete());
  EXPECT_EQ(r.events(), 2u);
  // A piece of a line before the NUL bytes (a crash within a write) goes too.
  ASSERT_TRUE(w.write("k 0 0 1"));
  ASSERT_TRUE(r.load(file_bytes(path), error)) << error;
  EXPECT_EQ(r.events(), 2u);
  // Closed, the file is as long as what was written.
  ASSERT_TRUE(w.write("3\nend 0 0 0 5 0000000a\n"));
  ASSERT_TRUE(w.close(error)) << error;
  seen = file_bytes(path);
  EXPECT_EQ(seen, head + "check 1 0 5 0000000a\nk 0 0 13\nk 0 0 13\nend 0 0 0 5 0000000a\n");
  ASSERT_TRUE(r.load(seen, error)) << error;
  EXPECT_TRUE(r.complete());
  // More than the first room: it grows.
  con::record::FileWriter big;
  ASSERT_TRUE(big.open(path.c_str(), error)) << error;
  std::string all = head;
  ASSERT_TRUE(big.write(head));
  for (int k = 0; k < 20000; ++k) {
    const std::string l = "time " + std::to_string(k % 2) + " 0 " + std::to_string(k) + "\n";
    all += l;
    ASSERT_TRUE(big.write(l));
  }
  ASSERT_TRUE(big.close(error)) << error;
  EXPECT_EQ(file_bytes(path), all);
  std::remove(path.c_str());
}

TEST(Diverge, ARecordingStopsAtTheLargestAReplayReads) {
  Capture h;
  uint64_t written = 0;
  con::record::Recorder rec(
      h,
      [&written](std::string_view b) {
        written += b.size();
        return true;
      },
      std::nullopt);
  con::attach(rec);
  for (int k = 0; k < 1200000 && !rec.failed(); ++k) {
    con::time();
    if (k % 64 == 0) con::Sleep(1);
  }
  rec.ending(0);
  con::detach();
  EXPECT_TRUE(rec.too_long());
  EXPECT_TRUE(rec.failed());
  EXPECT_LE(written, con::record::kMaxBytes);
  EXPECT_GT(written, con::record::kMaxBytes - 4096);
}

}  // namespace
