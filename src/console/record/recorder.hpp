// Recording a run: a backend that passes everything on to the real one and writes down, as
// they happen, what the program learns from it and from the console (format.hpp). What is
// written goes out at the start and at the end of every gathering of input, so a run cut short
// by a crash keeps every key the program had taken and every answer it had got up to its last
// gathering.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "console/backend.hpp"
#include "console/record/format.hpp"
#include "console/session.hpp"

namespace con::record {

class Recorder : public Relay, public Observer, private KeyListener {
 public:
  // Writes and flushes what it is given; false when that failed (the recording then stops).
  using Writer = std::function<bool(std::string_view)>;

  // `seed` is the --seed in force, for the header. Attach it as the console's observer too
  // (run_attached(rec, program, &rec)), so that it hears of srand and typed lines.
  Recorder(Backend& inner, Writer out, std::optional<unsigned> seed);

  // Writing failed at some point; what came before it is in the file.
  bool failed() const { return failed_; }
  // It stopped because it reached the largest recording a replay reads.
  bool too_long() const { return too_long_; }
  uint64_t bytes() const { return bytes_; }
  // Checks the screen at every frame, not now and then: at every sleep or wait for a key that
  // finds it changed. For runs kept as test data, where any difference a player could see
  // must stop the replay.
  bool check_every_frame = false;

  // Backend
  void start(Screen& s) override;
  void finish(const Screen& s) override;
  int64_t wall_seconds() override;
  void pump(KeyQueue& q, int64_t deadline_ms, bool until_key) override;
  bool key_down(int vk) override;

  // Observer. ending() writes the end line with the final screen: it comes before the console
  // is detached.
  void seeded(unsigned asked, unsigned used) override;
  void line_read(std::string_view line) override;
  void ending(int code) override;

 private:
  void key_event(const uint8_t* codes, size_t n, KeyAction action, int vk) override;
  // Appends `l` (its gathering and time absolute) as a line with deltas.
  void put(Line& l, int64_t at_ms);
  void flush();
  void exit_line(int code);

  Writer out_;
  std::optional<unsigned> seed_;
  const Screen* screen_ = nullptr;
  std::string pending_;
  bool failed_ = false;
  bool too_long_ = false;
  bool ended_ = false;
  uint64_t bytes_ = 0;
  int64_t t0_ = 0;               // the inner clock at the start
  uint64_t gathering_ = 0;       // gatherings so far
  uint64_t last_gathering_ = 0;  // of the last line written
  int64_t last_ms_ = 0;          // likewise, since the start
  int64_t last_check_ms_ = 0;
  uint64_t last_check_gathering_ = 0;
  uint64_t last_check_version_ = 0;
  bool waiting_ = false;                // the gathering under way waits for a key
  bool held_[256] = {};                 // the last answer for each key
  uint8_t last_codes_[kMaxCodes] = {};  // of the last key line
  uint8_t last_ncodes_ = 0;
};

}  // namespace con::record
