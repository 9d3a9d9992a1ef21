// gamebox: a launcher menu and three terminal games.
#include <string>
#include <string_view>

#include "console/record/filewriter.hpp"
#include "console/record/recording.hpp"
#include "launcher/command_line.hpp"

namespace {

// Recordings are files.
class Files final : public launcher::Storage {
 public:
  bool open(const char* path, std::string& error) override { return file_.open(path, error); }
  bool write(std::string_view bytes) override { return file_.write(bytes); }
  bool close(std::string& error) override { return file_.close(error); }
  bool read(const char* path, std::string& bytes, std::string& error) override {
    return con::record::read_file(path, bytes, error);
  }

 private:
  con::record::FileWriter file_;
};

}  // namespace

int main(int argc, char** argv) {
  launcher::Options o;
  const int done = launcher::parse_options(argc, argv, o);
  if (done >= 0) return done;
  Files files;
  return launcher::run_with(o, files);
}
