// Linked into parkour_boss_bench's WebAssembly build: the page's backend comes along, so the
// build's ASYNCIFY instrumentation is the page's own (the whole program is analysed), though
// the benchmark never attaches it.
#include <memory>

#include "console/backends/platform.hpp"

__attribute__((used))
std::unique_ptr<con::Backend> (*gamebox_keep_backend)() = &con::make_platform_backend;
