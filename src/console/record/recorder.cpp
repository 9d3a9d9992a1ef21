#include "console/record/recorder.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "console/console.hpp"

namespace con::record {

Recorder::Recorder(Backend& inner, Writer out, std::optional<unsigned> seed)
    : inner_(inner), out_(std::move(out)), seed_(seed) {}

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
  if (out_(pending_)) {
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
  const int64_t now = inner_.now_ms();
  // The screen as the player saw it: at every wait for a key, and now and then otherwise.
  if (screen_ && (until_key || now - t0_ - last_check_ms_ >= kCheckEveryMs)) {
    Line c;
    c.tag = Tag::Check;
    c.version = screen_->version();
    c.hash = screen_hash(*screen_);
    put(c, now);
    last_check_ms_ = now - t0_;
  }
  // Everything so far is on its way before the program waits.
  flush();
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
  // The keys that came are on their way before the program acts on them.
  flush();
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
    l.ncodes = static_cast<uint8_t>(n < kMaxCodes ? n : kMaxCodes);
    std::memcpy(l.codes, codes, l.ncodes);
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
  inner_.seeded(asked, used);
  Line l;
  l.tag = Tag::Seed;
  l.value = asked;
  l.used = used;
  put(l, inner_.now_ms());
}

void Recorder::line_read(std::string_view line) {
  inner_.line_read(line);
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

// --- FileWriter ------------------------------------------------------------------------------

FileWriter::~FileWriter() {
  if (f_) std::fclose(f_);
}

bool FileWriter::open(const char* path, std::string& error) {
  struct stat st {};
  if (::stat(path, &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      error = "not a regular file; a recording is written only to one";
      return false;
    }
    if (st.st_size > 0) {
      // Only an earlier recording is overwritten: a mistyped name must not cost a file.
      std::FILE* old = std::fopen(path, "rb");
      char head[32] = {};
      const size_t got = old ? std::fread(head, 1, kMagic.size(), old) : 0;
      if (old) std::fclose(old);
      if (got != kMagic.size() || std::string_view(head, got) != kMagic) {
        error = "exists and is not a recording; it is left as it is";
        return false;
      }
    }
  }
  f_ = std::fopen(path, "wb");
  if (!f_) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

bool FileWriter::write(std::string_view bytes) {
  if (!f_ || errno_) return false;
  if (std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size() || std::fflush(f_) != 0) {
    errno_ = errno ? errno : EIO;
    return false;
  }
  return true;
}

bool FileWriter::close(std::string& error) {
  if (f_ && std::fclose(f_) != 0 && !errno_) errno_ = errno ? errno : EIO;
  f_ = nullptr;
  if (errno_) error = std::strerror(errno_);
  return errno_ == 0;
}

}  // namespace con::record
