// The program's options and the three ways it runs (plain, recorded, replayed), shared by the
// native entry (main.cpp) and the WebAssembly one (main_web.cpp). They differ only in where a
// recording goes and where a replay's file comes from: files natively, the page's memory in a
// browser.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace launcher {

struct Options {
  std::optional<unsigned> seed;
  const char* record_path = nullptr;
  const char* replay_path = nullptr;
  std::optional<double> speed;
};

// Reads the command line into `o`. Returns -1 when the program is to run, else the exit code
// it ends with at once (after --help, --version or a usage error, which it prints).
int parse_options(int argc, char** argv, Options& o);

// Where recordings are written and read.
class Storage {
 public:
  virtual ~Storage() = default;
  // The recording's file: opened before the run, written as it goes (false once anything
  // failed), closed after it (false, with the reason, when anything written did not reach it).
  virtual bool open(const char* path, std::string& error) = 0;
  virtual bool write(std::string_view bytes) = 0;
  virtual bool close(std::string& error) = 0;
  // The bytes of the file a replay plays; false, with the reason, when it cannot be read or is
  // larger than a recording can be.
  virtual bool read(const char* path, std::string& bytes, std::string& error) = 0;
};

// Runs the program as the options say, on the platform's backend. Returns its exit code.
int run_with(const Options& o, Storage& storage);

}  // namespace launcher
