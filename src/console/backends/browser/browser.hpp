// The browser backend: the console in a web page, drawn by xterm.js.
//
// The program runs on the page's main thread and its blocking waits (Sleep, _getch, number
// reads, "pause") give the page back its event loop: built with ASYNCIFY, a wait unwinds the
// program's stack, lets the page run, and rewinds it when the time is up or a key came. The
// page (web/page.js) does the rest, through the functions of library_browser.js: it turns the
// DOM's keydown and keyup into the kitty keyboard protocol's sequences (press, repeat and
// release), which the same decoder as in a terminal reads with the protocol on, so held keys
// are exact; it writes the presenter's bytes to the terminal; it sizes the terminal to the
// console ("mode con") and scales the font to the window. Every glyph beyond ASCII is two
// columns wide there (the page registers that width table), so the presenter draws with
// ambiguous glyphs wide, as the Windows console shows them.
#pragma once

#include <cstdint>
#include <string>

#include "console/backend.hpp"
#include "console/backends/presenter.hpp"
#include "console/input/keyinput.hpp"

namespace con {

class Browser final : public Backend {
 public:
  Browser();

  BackendInfo describe() const override {
    return {"browser", presenter_.cols(), presenter_.rows(), "exact", true};
  }
  void start(Screen& s) override;
  void finish(const Screen& s) override;
  void present(const Screen& s) override;
  int64_t now_ms() override;
  int64_t wall_seconds() override;
  void pump(KeyQueue& q, int64_t deadline_ms, bool until_key) override;
  bool key_down(int vk) override;

 private:
  // Takes the key sequences the page queued, each with the time its DOM event came.
  void take_input();

  Presenter presenter_;
  KeyInput input_;
  std::string out_;
};

}  // namespace con
