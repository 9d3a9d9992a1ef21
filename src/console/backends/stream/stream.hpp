// Stream mode: used when standard output is not a terminal. The program's text goes out in
// program order, in the locale's charset as in a terminal (GBK or GB18030 under such a locale,
// UTF-8 otherwise; a glyph the charset lacks is a '?'), and typed input is read in it; positioning,
// colours, "cls", "color" and "mode" write nothing; at the end a line feed closes a last line left
// open. Input is read from a file descriptor: number reads take its lines, key reads the bytes
// after them. At the end of input any read ends the program (Exit{0}), and so does a key poll once
// the game stands still or has run on for a while (see kRunOnMs in session.hpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/backend.hpp"
#include "console/backends/presenter.hpp"
#include "console/input/keydecoder.hpp"

namespace con {

class Stream : public Backend {
 public:
  // With a virtual clock, Sleep returns at once and time follows the sleeps (for tests).
  Stream(int in_fd, int out_fd, bool virtual_clock);

  BackendInfo describe() const override { return {"stream"}; }
  void finish(const Screen&) override;
  void text(std::string_view utf8) override;
  void present(const Screen&) override;
  int64_t now_ms() override;
  int64_t wall_seconds() override;
  void pump(KeyQueue& q, int64_t deadline_ms, bool until_key) override;
  bool key_down(int) override { return false; }

  // Milliseconds on a clock that never jumps.
  static int64_t monotonic_ms();

 private:
  // Per platform: write out what is buffered; read what is there (waiting up to timeout_ms,
  // -1 for as long as it takes) into q, false at end of input.
  void flush();
  bool read_some(int timeout_ms, KeyQueue& q);
  // Shared by both: how long a read may wait, and handing decoded keys to the queue (what is
  // held back is resolved at the end of input). Returns false at the end of input.
  int input_wait(int timeout_ms) const;
  bool deliver(std::vector<KeyEvent>& events, KeyQueue& q);
  // Reading for pump: until a key, or until the deadline.
  void gather(KeyQueue& q, int64_t deadline_ms, bool until_key);

  int in_fd_, out_fd_;
  bool virtual_clock_;
  int64_t virtual_now_ = 0;
  int64_t start_wall_ = 0;
  bool eof_ = false;
  bool out_broken_ = false;
  bool line_open_ = false;  // the last text written did not end its line
  std::string out_;
  Encoder encoder_;  // UTF-8 unless the locale is a GB one
  std::string cut_;  // the start of a glyph whose rest comes with the next text
  KeyDecoder decoder_;
};

}  // namespace con
