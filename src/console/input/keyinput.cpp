#include "console/input/keyinput.hpp"

namespace con {
namespace {

// A key's codes into the queue. Only the keyboard protocol tells a press from a repeat, and
// only it reports releases (which queue nothing; a listener still hears of an arrow's).
void queue_key(const KeyEvent& e, bool exact, KeyQueue& q) {
  KeyAction a = KeyAction::Unknown;
  if (exact) {
    a = e.type == KeyEvent::Release  ? KeyAction::Release
        : e.type == KeyEvent::Repeat ? KeyAction::Repeat
                                     : KeyAction::Press;
  }
  if (e.ncodes) {
    q.push_event(e.codes, e.ncodes, a, e.vk);
  } else if (a == KeyAction::Release && e.vk) {
    q.released(e.vk);
  }
}

}  // namespace

void KeyInput::take(int64_t t) {
  for (const KeyEvent& e : scratch_) events_.push_back({e, t});
  scratch_.clear();
}

void KeyInput::feed(const char* data, size_t n, int64_t t) {
  decoder_.feed(data, n, t, scratch_);
  take(t);
}

void KeyInput::flush(int64_t now, bool at_eof) {
  if (!decoder_.pending()) return;
  decoder_.flush(now, at_eof, scratch_);
  take(now);
}

void KeyInput::set_protocol(bool on) {
  decoder_.set_protocol(on);
  held_.set_exact(on);
}

std::vector<KeyEvent> KeyInput::take_replies() {
  std::vector<KeyEvent> replies;
  for (auto it = events_.begin(); it != events_.end();) {
    const KeyEvent::Kind k = it->e.kind;
    if (k == KeyEvent::CursorReport || k == KeyEvent::Attributes || k == KeyEvent::KeyboardFlags) {
      replies.push_back(it->e);
      it = events_.erase(it);
    } else {
      ++it;
    }
  }
  return replies;
}

int KeyInput::dispatch(KeyQueue& q) {
  while (!events_.empty()) {
    const Timed ev = events_.front();
    events_.pop_front();
    const KeyEvent& e = ev.e;
    switch (e.kind) {
      case KeyEvent::Key:
        queue_key(e, held_.exact(), q);
        if (e.type == KeyEvent::Press) held_.press(e.vk, ev.t);
        if (e.type == KeyEvent::Repeat) held_.repeat(e.vk, ev.t);
        if (e.type == KeyEvent::Release) held_.release(e.vk, ev.t);
        break;
      case KeyEvent::Signal:
        // Under the keyboard protocol these keys come as keys; their release means nothing.
        if (e.type != KeyEvent::Release) return e.arg[0];
        break;
      case KeyEvent::FocusOut:
        held_.clear();  // releases made in another window are never reported
        break;
      default:
        break;  // focus in, late replies to the start-up queries
    }
  }
  return 0;
}

}  // namespace con
