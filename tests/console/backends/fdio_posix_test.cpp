#include "console/backends/fdio_posix.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <thread>

namespace {

std::string drain(int fd) {
  std::string out;
  char b[4096];
  for (ssize_t n; (n = ::read(fd, b, sizeof b)) > 0;) out.append(b, static_cast<size_t>(n));
  return out;
}

TEST(WriteFully, EveryByteGoesOutEvenOneAtATime) {
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  EXPECT_EQ(con::write_fully(p[1], "x", 1), 1u);
  // More than a pipe holds, non-blocking: would-block writes wait and retry.
  ::fcntl(p[1], F_SETFL, ::fcntl(p[1], F_GETFL) | O_NONBLOCK);
  const std::string big(200000, 'y');
  std::string got;
  std::thread reader([&] { got = drain(p[0]); });
  EXPECT_EQ(con::write_fully(p[1], big.data(), big.size()), big.size());
  ::close(p[1]);
  reader.join();
  ::close(p[0]);
  EXPECT_EQ(got, "x" + big);
}

TEST(WriteFully, AClosedReaderEndsTheWriteWithWhatWentOut) {
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  ::close(p[0]);
  struct sigaction ign {
  }, old{};
  ign.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ign, &old);
  EXPECT_EQ(con::write_fully(p[1], "abc", 3), 0u);  // EPIPE: no retrying, no spinning
  ::sigaction(SIGPIPE, &old, nullptr);
  ::close(p[1]);
}

}  // namespace
