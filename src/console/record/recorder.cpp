#include "console/record/recorder.hpp"

#include <cstring>

#include "console/console.hpp"

namespace con::record {

Recorder::Recorder(Backend& inner, Writer out, std::optional<unsigned> seed)
    : Relay(inner), out_(std::move(out)), seed_(seed) {}

void Recorder::start(Screen& s) {
  inner_.start(s);
  screen_ = &s;
  t0_ = inner_.now_ms();
  const BackendInfo info = inner_.describe();
  Header h;
  h.program = GAMEBOX_VERSION;
  h.backend = info.name;
  h.cols = info.cols;
  h.rows = info.rows;
  h.keyboard = info.keyboard;
  h.seed = seed_;
  h.started = inner_.wall_seconds();
  write_header(h, pending_);
  flush();
}

void Recorder::finish(const Screen& s) {
  flush();
  inner_.finish(s);
}

void Recorder::put(Line& l, int64_t at_ms) {
  if (failed_ || ended_) return;
  const int64_t ms = at_ms - t0_;
  l.gatherings = gathering_ - last_gathering_;
  // The clock never runs back; if a backend's did, the line keeps the last time.
  l.ms = ms > last_ms_ ? ms - last_ms_ : 0;
  last_gathering_ = gathering_;
  last_ms_ += l.ms;
  write_line(l, pending_);
}

void Recorder::flush() {
  if (pending_.empty() || failed_) return;
  if (bytes_ + pending_.size() > kMaxBytes) {
    // A replay would refuse a longer file: it ends here, and the program says so.
    too_long_ = true;
    failed_ = true;
  } else if (out_(pending_)) {
    bytes_ += pending_.size();
  } else {
    failed_ = true;
  }
  pending_.clear();
}

void Recorder::exit_line(int code) {
  Line l;
  l.tag = Tag::Exit;
  l.value = code & 0xFF;
  put(l, inner_.now_ms());
  flush();
}

void Recorder::pump(KeyQueue& q, int64_t deadline_ms, bool until_key) {
  ++gathering_;
  waiting_ = until_key;
  // The screen now and then, as the player saw it (the clock is read only once enough
  // gatherings have passed).
  int64_t now = 0;
  if (screen_ &&
      (check_every_frame ? screen_->version() != last_check_version_ &&
                               (until_key || deadline_ms > inner_.now_ms())
                         : gathering_ - last_check_gathering_ >= kCheckEveryGatherings &&
                               (now = inner_.now_ms()) - t0_ - last_check_ms_ >= kCheckEveryMs)) {
    if (check_every_frame) now = inner_.now_ms();
    Line c;
    c.tag = Tag::Check;
    c.version = screen_->version();
    c.hash = screen_hash(*screen_);
    put(c, now);
    last_check_ms_ = now - t0_;
    last_check_gathering_ = gathering_;
    last_check_version_ = c.version;
  }
  // Everything so far is on its way before the program waits.
  if (!pending_.empty()) flush();
  KeyListener* const before = q.listener;
  const bool was_closed = q.closed;
  q.listener = this;
  try {
    inner_.pump(q, deadline_ms, until_key);
  } catch (const Exit& e) {
    q.listener = before;
    exit_line(e.code);
    throw;
  }
  q.listener = before;
  if (q.closed && !was_closed) {
    Line l;
    l.tag = Tag::Closed;
    put(l, inner_.now_ms());
  }
  // And what came in, before the program acts on it.
  if (!pending_.empty()) flush();
}

void Recorder::key_event(const uint8_t* codes, size_t n, KeyAction action, int vk) {
  Line l;
  if (action == KeyAction::Release) {
    if (vk <= 0 || vk > 255) return;
    l.tag = Tag::Up;
    l.vk = vk;
  } else {
    l.tag = waiting_ ? Tag::WaitKey : Tag::Key;
    l.action = action;
    const uint8_t m = static_cast<uint8_t>(n < kMaxCodes ? n : kMaxCodes);
    // A key again (a held key's repeats) is written without its codes.
    bool same = m == last_ncodes_;
    for (size_t k = 0; same && k < m; ++k) same = codes[k] == last_codes_[k];
    if (!same) {
      l.ncodes = m;
      std::memcpy(l.codes, codes, m);
      last_ncodes_ = m;
      std::memcpy(last_codes_, codes, m);
    }
  }
  put(l, inner_.now_ms());
}

bool Recorder::key_down(int vk) {
  // The games ask for virtual-key codes, 1 to 254; nothing else is ever down.
  if (vk < 0 || vk > 255) return false;
  bool down = false;
  try {
    down = inner_.key_down(vk);
  } catch (const Exit& e) {
    exit_line(e.code);
    throw;
  }
  if (down != held_[vk]) {
    held_[vk] = down;
    Line l;
    l.tag = Tag::Held;
    l.vk = vk;
    l.down = down;
    put(l, inner_.now_ms());
  }
  return down;
}

int64_t Recorder::wall_seconds() {
  const int64_t v = inner_.wall_seconds();
  Line l;
  l.tag = Tag::Time;
  l.value = v;
  put(l, inner_.now_ms());
  return v;
}

void Recorder::seeded(unsigned asked, unsigned used) {
  Line l;
  l.tag = Tag::Seed;
  l.value = asked;
  l.used = used;
  put(l, inner_.now_ms());
}

void Recorder::line_read(std::string_view line) {
  Line l;
  l.tag = Tag::Typed;
  l.value = static_cast<int64_t>(line.size() < UINT32_MAX ? line.size() : UINT32_MAX);
  l.text_len = static_cast<uint8_t>(line.size() < kMaxText ? line.size() : kMaxText);
  std::memcpy(l.text, line.data(), l.text_len);
  put(l, inner_.now_ms());
}

void Recorder::ending(int code) {
  if (ended_) return;
  Line l;
  l.tag = Tag::End;
  l.value = code & 0xFF;
  if (screen_) {
    l.version = screen_->version();
    l.hash = screen_hash(*screen_);
  }
  put(l, inner_.now_ms());
  ended_ = true;
  flush();
}

}  // namespace con::record
