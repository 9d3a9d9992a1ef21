#include "console/backends/browser/browser.hpp"
#include "console/backends/platform.hpp"
#include "console/backends/stream/stream.hpp"

// -1 in a page; under Node (library_node.js), 1 when GAMEBOX_CLOCK=virtual is set there, else 0.
extern "C" int gamebox_node_clock();

namespace con {

std::unique_ptr<Backend> make_platform_backend() {
  // In a page, the page's terminal; under Node, stream mode on its standard input and output
  // (GAMEBOX_CLOCK=virtual makes Sleep instant, for scripted runs).
  const int node_clock = gamebox_node_clock();
  if (node_clock < 0) return std::make_unique<Browser>();
  return std::make_unique<Stream>(0, 1, node_clock == 1);
}

}  // namespace con
