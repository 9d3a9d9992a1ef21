// A recording read back: the whole file checked before anything is replayed, so a file that
// is not a whole, well-formed recording is refused before the console is touched.
#pragma once

#include <cstddef>
#include <string>

#include "console/record/format.hpp"

namespace con::record {

class Recording {
 public:
  // Takes the bytes of a recording and checks every line. False, with `error` saying where
  // and what ("line 12: ..."), when they are not a recording this version can replay.
  bool load(std::string bytes, std::string& error);

  const Header& header() const { return header_; }
  // It ends with its end line; without one the run was cut short (a crash, a kill).
  bool complete() const { return complete_; }
  size_t events() const { return events_; }

  // The event lines in order, with their gathering numbers and times made absolute.
  class Cursor {
   public:
    explicit Cursor(const Recording& r);
    bool next(Line& l);
    // The file's line number of the line `next` returned last.
    size_t line_number() const { return line_; }

   private:
    const std::string* bytes_;
    size_t pos_;
    size_t line_;
    uint64_t gathering_ = 0;
    int64_t ms_ = 0;
    Line last_key_;  // for a key line without codes: the same again
  };

 private:
  std::string bytes_;
  size_t body_ = 0;       // offset of the first event line
  size_t body_line_ = 0;  // its line number
  Header header_;
  bool complete_ = false;
  size_t events_ = 0;
};

// Reads a file of at most kMaxBytes. False, with `error` set, when it cannot be read or is
// larger.
bool read_file(const char* path, std::string& bytes, std::string& error);

}  // namespace con::record
