// Recording a run: a backend that passes everything on to the real one and writes down, as
// they happen, what the program learns from it (format.hpp). What is written goes out at every
// gathering of input that has something new, and right after a gathering that queued keys,
// so a run cut short by a crash keeps every input the program had acted on.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "console/backend.hpp"
#include "console/record/format.hpp"

namespace con::record {

class Recorder : public Backend, private KeyListener {
 public:
  // Writes and flushes what it is given; false when that failed (the recording then stops).
  using Writer = std::function<bool(std::string_view)>;

  // `seed` is the --seed in force, for the header.
  Recorder(Backend& inner, Writer out, std::optional<unsigned> seed);

  // The program is over with `code`: writes the end line with the final screen. Call it
  // before detaching the console.
  void ending(int code);
  // Writing failed at some point; what came before it is in the file.
  bool failed() const { return failed_; }
  uint64_t bytes() const { return bytes_; }

  BackendInfo describe() const override { return inner_.describe(); }
  void start(Screen& s) override;
  void finish(const Screen& s) override;
  void text(std::string_view t) override { inner_.text(t); }
  void present(const Screen& s) override { inner_.present(s); }
  int64_t now_ms() override { return inner_.now_ms(); }
  int64_t wall_seconds() override;
  void pump(KeyQueue& q, int64_t deadline_ms, bool until_key) override;
  bool key_down(int vk) override;
  void seeded(unsigned asked, unsigned used) override;
  void line_read(std::string_view line) override;

 private:
  void key_event(const uint8_t* codes, size_t n, KeyAction action, int vk) override;
  // Appends `l` (its gathering and time absolute) as a line with deltas.
  void put(Line& l, int64_t at_ms);
  void flush();
  void exit_line(int code);

  Backend& inner_;
  Writer out_;
  std::optional<unsigned> seed_;
  const Screen* screen_ = nullptr;
  std::string pending_;
  bool failed_ = false;
  bool ended_ = false;
  uint64_t bytes_ = 0;
  int64_t t0_ = 0;               // the inner clock at the start
  uint64_t gathering_ = 0;       // gatherings so far
  uint64_t last_gathering_ = 0;  // of the last line written
  int64_t last_ms_ = 0;          // likewise, since the start
  int64_t last_check_ms_ = 0;
  bool waiting_ = false;  // the gathering under way waits for a key
  bool held_[256] = {};   // the last answer for each key
};

// Opens FILE for a recording: a new file, an empty one or an earlier recording (which is
// overwritten), never anything else. Writes through stdio and flushes on every call.
class FileWriter {
 public:
  ~FileWriter();
  bool open(const char* path, std::string& error);
  bool write(std::string_view bytes);
  // Closes the file; false (with the reason) when anything written did not reach it.
  bool close(std::string& error);

 private:
  std::FILE* f_ = nullptr;
  int errno_ = 0;
};

}  // namespace con::record
