#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "console/record/filewriter.hpp"

namespace con::record {
namespace {

// Room is set aside this much at a time at first, and up to kMaxStep at a time later.
constexpr size_t kFirstStep = 64 << 10;
constexpr size_t kMaxStep = 1 << 20;

}  // namespace

FileWriter::~FileWriter() {
  std::string ignored;
  close(ignored);
}

bool FileWriter::open(const char* path, std::string& error) {
  if (!may_overwrite(path, error)) return false;
  fd_ = ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

bool FileWriter::grow(size_t need) {
  size_t size = mapped_ ? mapped_ : kFirstStep;
  while (size < need) size += size < kMaxStep ? size : kMaxStep;
  // Really allocated, so that the disk being full shows here and not as a fault later.
  const int r = ::posix_fallocate(fd_, 0, static_cast<off_t>(size));
  if (r != 0) {
    errno_ = r;
    return false;
  }
  // Its pages are faulted in now, once, rather than one by one during play.
#ifdef MAP_POPULATE
  const int populate = MAP_POPULATE;
#else
  const int populate = 0;
#endif
  void* m = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | populate, fd_, 0);
  if (m == MAP_FAILED) {
    errno_ = errno;
    return false;
  }
  if (map_) ::munmap(map_, mapped_);
  map_ = static_cast<char*>(m);
  // Writing the new room once takes the faults of its first writes now.
  std::memset(map_ + mapped_, 0, size - mapped_);
  mapped_ = size;
  return true;
}

bool FileWriter::write(std::string_view bytes) {
  if (fd_ < 0 || errno_) return false;
  if (used_ + bytes.size() > mapped_ && !grow(used_ + bytes.size())) return false;
  std::memcpy(map_ + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
  return true;
}

bool FileWriter::close(std::string& error) {
  if (fd_ < 0) return errno_ == 0;
  if (map_) {
    if (::munmap(map_, mapped_) != 0 && !errno_) errno_ = errno;
    map_ = nullptr;
  }
  // The room set aside and not used goes again.
  if (::ftruncate(fd_, static_cast<off_t>(used_)) != 0 && !errno_) errno_ = errno;
  if (::close(fd_) != 0 && !errno_) errno_ = errno;
  fd_ = -1;
  if (errno_) error = std::strerror(errno_);
  return errno_ == 0;
}

}  // namespace con::record
