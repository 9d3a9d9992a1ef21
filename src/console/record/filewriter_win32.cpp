#include <cerrno>
#include <cstring>

#include "console/record/filewriter.hpp"

namespace con::record {

FileWriter::~FileWriter() {
  if (f_) std::fclose(f_);
}

bool FileWriter::open(const char* path, std::string& error) {
  if (!may_overwrite(path, error)) return false;
  f_ = std::fopen(path, "wb");
  if (!f_) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

bool FileWriter::grow(size_t) {
  return true;
}

bool FileWriter::write(std::string_view bytes) {
  if (!f_ || errno_) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size() || std::fflush(f_) != 0) {
    errno_ = errno ? errno : EIO;
    return false;
  }
  used_ += bytes.size();
  return true;
}

bool FileWriter::close(std::string& error) {
  if (f_ && std::fclose(f_) != 0 && !errno_) errno_ = errno ? errno : EIO;
  f_ = nullptr;
  if (errno_) error = std::strerror(errno_);
  return errno_ == 0;
}

}  // namespace con::record
