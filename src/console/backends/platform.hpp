// Picks the backend for a real run: the terminal when standard input and output are both
// terminals, stream mode otherwise.
#pragma once

#include <memory>

#include "console/backend.hpp"

namespace con {

std::unique_ptr<Backend> make_platform_backend();

}  // namespace con
