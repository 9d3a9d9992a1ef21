// The benchmarks' rows of the README's performance table: each benchmark prints its own after
// its figures, and `make bench` (bench/run.sh) gathers them under the table's head.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace bench {

// printf into a string.
inline std::string format(const char* f, ...) __attribute__((format(printf, 1, 2)));
inline std::string format(const char* f, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, f);
  std::vsnprintf(buf, sizeof buf, f, ap);
  va_end(ap);
  return buf;
}

// 17406 as "17,406".
inline std::string thousands(unsigned long long v) {
  const std::string digits = std::to_string(v);
  std::string out;
  for (size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) out += ',';
    out += digits[k];
  }
  return out;
}

// One row: what was measured (the benchmark's name first), the figure, the target or "".
inline void row(const std::string& what, const std::string& figure, const std::string& target) {
  std::printf("table: | %s | %s | %s |\n", what.c_str(), figure.c_str(), target.c_str());
}

}  // namespace bench
