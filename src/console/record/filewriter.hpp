// The file a recording is written to. It opens only a new file, an empty one or an earlier
// recording (which it overwrites), never anything else.
//
// On POSIX systems the file is mapped into memory and every write lands in it at once, with
// no system call: what was written survives a crash of the program as it stands. Room is set
// aside in steps (and really allocated, so a full disk is an error, never a fault); a file
// whose program died keeps NUL bytes after its last line, which a reader ignores. Elsewhere
// the writes go through stdio and are flushed one by one.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace con::record {

class FileWriter {
 public:
  FileWriter() = default;
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;
  ~FileWriter();

  bool open(const char* path, std::string& error);
  // False once anything failed; what was written before stays.
  bool write(std::string_view bytes);
  // Closes the file at its written length; false (with the reason) when anything written did
  // not reach it.
  bool close(std::string& error);

 private:
  // Whether `path` may be written: it does not exist, is empty or holds a recording.
  static bool may_overwrite(const char* path, std::string& error);
  bool grow(size_t need);

  int fd_ = -1;
  char* map_ = nullptr;
  size_t mapped_ = 0, used_ = 0;
  std::FILE* f_ = nullptr;
  int errno_ = 0;
};

}  // namespace con::record
