// The terminal backend (POSIX): the console in a real terminal.
//
// start() puts the terminal in raw mode (Ctrl-C, Ctrl-\ and Ctrl-Z still send their signals;
// XON/XOFF off), pushes the shell's screen into the scrollback, probes the width of ambiguous
// glyphs and the kitty keyboard protocol, and turns on focus reports. The model is presented by
// difference in one write per frame. Input is read while the program sleeps, so every key event
// carries its arrival time. finish() leaves the last screen visible and restores everything
// else; so do SIGINT, SIGTERM, SIGHUP and SIGQUIT (the next console call throws
// Exit{128 + signal}) and, as an emergency, the crash signals. Ctrl-Z suspends with the
// terminal restored and redraws on return; a resize redraws in full.
//
// Environment:
//   GAMEBOX_AMBIGUOUS_WIDTH=1|2   how wide the terminal draws ambiguous glyphs, for terminals
//                                 that answer the probe wrongly (also "narrow" or "wide")
//   GAMEBOX_KEYBOARD=legacy       never use the kitty keyboard protocol
#pragma once

#include <termios.h>

#include <cstdint>
#include <string>
#include <vector>

#include "console/backend.hpp"
#include "console/backends/presenter.hpp"
#include "console/input/keyinput.hpp"

namespace con {

class Terminal : public Backend {
 public:
  // How long start() waits for the terminal's answers to its queries.
  static constexpr int kProbeTimeoutMs = 400;
  // The glyph whose width the probe measures: ambiguous, and present in GBK.
  static constexpr char32_t kProbeGlyph = U'●';

  // `in_fd` and `out_fd` are the terminal (usually both the same tty).
  Terminal(int in_fd, int out_fd);
  ~Terminal() override;

  BackendInfo describe() const override {
    return {"terminal", presenter_.cols(), presenter_.rows(), protocol_ ? "exact" : "inferred",
            true};
  }
  void start(Screen& s) override;
  void finish(const Screen& s) override;
  void present(const Screen& s) override;
  int64_t now_ms() override;
  int64_t wall_seconds() override;
  void pump(KeyQueue& q, int64_t deadline_ms, bool until_key) override;
  bool key_down(int vk) override;

  // What start() found out, and how often it woke up to wait (for the benchmark).
  bool keyboard_protocol() const { return protocol_; }
  bool ambiguous_wide() const { return amb_wide_; }
  uint64_t wakeups() const { return wakeups_; }

 private:
  void probe();
  bool await_replies(std::vector<KeyEvent>& replies);
  void enter_raw();
  // The terminal modes of a run (autowrap off, focus reports, keyboard protocol), and the
  // emergency restore that undoes them.
  void enter_modes();
  void arm_emergency();
  // Everything but the screen back as it was (suspend and finish): the last screen stays,
  // without the notice, and the cursor waits on a clean line below what the program wrote.
  void leave();
  void write_all(const std::string& bytes);
  // Reads what the terminal sent (waiting up to timeout_ms, -1 for ever); false once it is gone.
  bool read_input(int timeout_ms);
  // Hands the decoded events to the key queue and the held-key state.
  void dispatch(KeyQueue& q);
  void handle_signals();
  void suspend();
  void redraw();
  void update_size();

  int in_fd_, out_fd_;
  const Screen* screen_ = nullptr;
  struct termios saved_ {};
  bool have_saved_ = false;
  bool started_ = false, finished_ = false;
  bool gone_ = false;
  bool protocol_ = false;
  bool amb_wide_ = false;
  bool reply_outstanding_ = false;
  Encoder encoder_;
  Presenter presenter_{&encoder_};
  KeyInput input_;
  std::string out_;
  uint64_t wakeups_ = 0;
};

}  // namespace con
