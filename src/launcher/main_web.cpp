// gamebox in a WebAssembly build: in a page (the browser backend), or under Node in stream
// mode. The options are the command line's; the page passes ?seed=N on as --seed N, records
// every run it plays (--record, into its memory, to save as a file) and plays a recording it
// was given (--replay, a file it holds).
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "console/record/format.hpp"
#include "launcher/command_line.hpp"

// What the page provides (library_browser.js); under Node there is no page.
extern "C" {
// 1 when a page keeps the recording, 0 when there is none.
int gamebox_page_record_open();
// Appends bytes to the recording; 1 when they were kept.
int gamebox_page_record(const char* data, size_t len);
// The size of the file the page holds under `name`, -1 when it holds none.
double gamebox_page_file_size(const char* name);
// Copies the file's first `len` bytes to `buf`.
void gamebox_page_file_read(const char* name, char* buf, size_t len);
}

namespace {

// Recordings live in the page: the page keeps what is recorded and saves it as a download; a
// replay's file is one the page fetched or was given.
class Page final : public launcher::Storage {
 public:
  bool open(const char*, std::string& error) override {
    if (gamebox_page_record_open()) return true;
    error = "a recording is kept only in a page";
    return false;
  }
  bool write(std::string_view bytes) override {
    return gamebox_page_record(bytes.data(), bytes.size()) != 0;
  }
  bool close(std::string&) override { return true; }
  bool read(const char* path, std::string& bytes, std::string& error) override {
    const double size = gamebox_page_file_size(path);
    if (size < 0) {
      error = std::strerror(ENOENT);
      return false;
    }
    // The page hands over a byte more than a recording may have when the file is larger: the
    // check of the recording refuses it.
    bytes.resize(
        static_cast<size_t>(std::min(size, static_cast<double>(con::record::kMaxBytes + 1))));
    gamebox_page_file_read(path, bytes.data(), bytes.size());
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  launcher::Options o;
  const int done = launcher::parse_options(argc, argv, o);
  if (done >= 0) return done;
  Page page;
  return launcher::run_with(o, page);
}
