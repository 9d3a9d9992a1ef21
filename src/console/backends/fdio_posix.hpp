// Writing to a descriptor that may be slow, interrupted, or gone.
#pragma once

#include <cstddef>

namespace con {

// Writes all `len` bytes, retrying interrupted and would-block writes. Returns how many bytes
// went out; fewer than `len` means the other end is gone (hung up, closed, an I/O error).
size_t write_fully(int fd, const char* data, size_t len);

}  // namespace con
