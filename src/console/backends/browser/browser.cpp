#include "console/backends/browser/browser.hpp"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <algorithm>

// What the page provides (library_browser.js).
extern "C" {
// Bytes for the terminal.
void gamebox_page_write(const char* data, size_t len);
// The console's size: the terminal takes it and the font is scaled to fit the window.
void gamebox_page_resize(int cols, int rows);
// The next key sequence the page queued: its bytes into buf (at most cap), its DOM event's
// time into *at; 0 when none is left.
int gamebox_page_take(char* buf, int cap, double* at);
// Gives the page its event loop for `ms` milliseconds (for ever when negative), or until a
// key comes if `until_key`. The program's stack is unwound meanwhile (ASYNCIFY).
void gamebox_page_wait(double ms, int until_key);
// The program has ended: the last screen stays, and the page says how to start again.
void gamebox_page_finish();
}

namespace con {

Browser::Browser() {
  // The page asks for the keyboard protocol's every key, with press, repeat and release.
  input_.set_protocol(true);
  presenter_.set_ambiguous_wide(true);
}

int64_t Browser::now_ms() {
  return static_cast<int64_t>(emscripten_get_now());
}

int64_t Browser::wall_seconds() {
  return static_cast<int64_t>(emscripten_date_now() / 1000);
}

void Browser::start(Screen& s) {
  present(s);
}

void Browser::finish(const Screen& s) {
  present(s);
  gamebox_page_finish();
}

void Browser::present(const Screen& s) {
  if (s.width() != presenter_.cols() || s.height() != presenter_.rows()) {
    gamebox_page_resize(s.width(), s.height());
    presenter_.set_size(s.width(), s.height());
  }
  out_.clear();
  presenter_.frame(s, out_);
  if (!out_.empty()) gamebox_page_write(out_.data(), out_.size());
}

void Browser::take_input() {
  char buf[64];
  double at = 0;
  while (int n = gamebox_page_take(buf, sizeof buf, &at))
    input_.feed(buf, static_cast<size_t>(n), static_cast<int64_t>(at));
}

void Browser::pump(KeyQueue& q, int64_t deadline_ms, bool until_key) {
  for (;;) {
    take_input();
    const int64_t now = now_ms();
    if (input_.pending() && now >= input_.deadline()) input_.flush(now, false);
    // The page sends no key that stands for a signal (it leaves Ctrl to the browser).
    while (input_.dispatch(q)) {
    }
    if (until_key ? !q.empty() : now >= deadline_ms) return;
    double wait = until_key ? -1 : static_cast<double>(deadline_ms - now);
    if (input_.pending()) {
      const double esc = static_cast<double>(std::max<int64_t>(input_.deadline() - now, 0));
      wait = wait < 0 ? esc : std::min(wait, esc);
    }
    gamebox_page_wait(wait, until_key);
  }
}

bool Browser::key_down(int vk) {
  return input_.key_down(vk, now_ms());
}

}  // namespace con
