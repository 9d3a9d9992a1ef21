#include "console/record/filewriter.hpp"

#include <sys/stat.h>

#include <cstring>

#include "console/record/format.hpp"

namespace con::record {

bool FileWriter::may_overwrite(const char* path, std::string& error) {
  struct stat st {};
  if (::stat(path, &st) != 0) return true;  // a new file
  if (!S_ISREG(st.st_mode)) {
    error = "not a regular file; a recording is written only to one";
    return false;
  }
  if (st.st_size == 0) return true;
  // Only an earlier recording is overwritten: a mistyped name must not cost a file.
  std::FILE* old = std::fopen(path, "rb");
  char head[32] = {};
  const size_t got = old ? std::fread(head, 1, kMagic.size(), old) : 0;
  if (old) std::fclose(old);
  if (got != kMagic.size() || std::string_view(head, got) != kMagic) {
    error = "exists and is not a recording; it is left as it is";
    return false;
  }
  return true;
}

}  // namespace con::record
