#include "console/backends/fdio_posix.hpp"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace con {

size_t write_fully(int fd, const char* data, size_t len) {
  size_t done = 0;
  while (done < len) {
    ssize_t n = ::write(fd, data + done, len - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      pollfd p{fd, POLLOUT, 0};
      ::poll(&p, 1, 100);
    } else {
      break;
    }
  }
  return done;
}

}  // namespace con
