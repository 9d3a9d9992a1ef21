#include "console/record/recording.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace con::record {
namespace {

// Where a line's kind stands within its gathering: the check before it, what it queued, the
// calls after it, and the end.
enum Phase { kNone = -1, kCheck = 0, kQueued = 1, kCalls = 2, kEnd = 3 };

int phase_of(Tag t, int current) {
  switch (t) {
    case Tag::Check:
      return kCheck;
    case Tag::Key:
    case Tag::WaitKey:
    case Tag::Up:
    case Tag::Closed:
      return kQueued;
    case Tag::Exit:
      // Told to end while gathering, or while the program read a key's held state.
      return current <= kQueued ? kQueued : kCalls;
    case Tag::Held:
    case Tag::Time:
    case Tag::Seed:
    case Tag::Typed:
      return kCalls;
    case Tag::End:
      return kEnd;
  }
  return kNone;
}

std::string at_line(size_t n, const std::string& why) {
  return "line " + std::to_string(n) + ": " + why;
}

// The next line of `bytes` from `pos`, without its newline (and a carriage return before it,
// as an editor on Windows may leave). False at the end.
bool take_line(const std::string& bytes, size_t& pos, std::string_view& line) {
  if (pos >= bytes.size()) return false;
  size_t nl = bytes.find('\n', pos);
  if (nl == std::string::npos) nl = bytes.size();
  line = std::string_view(bytes).substr(pos, nl - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos = nl + 1;
  return true;
}

// A recorder whose program died leaves the room it had set aside as NUL bytes after the last
// line (and, had it died within a write, a piece of a line before them): both go.
void drop_padding(std::string& bytes) {
  const size_t text_end = bytes.find_last_not_of('\0');
  if (text_end == std::string::npos) {
    bytes.clear();
  } else if (text_end + 1 < bytes.size()) {
    const size_t last_nl = bytes.rfind('\n', text_end);
    bytes.resize(last_nl == std::string::npos ? 0 : last_nl + 1);
  }
}

// The first line: "gamebox recording" and the format this version reads.
bool check_magic(std::string_view line, std::string& error) {
  const std::string_view magic = kMagic;
  if (line.substr(0, magic.size()) != magic || line.size() == magic.size() ||
      line[magic.size()] != ' ') {
    error = "not a gamebox recording (its first line is not \"gamebox recording 1\")";
    return false;
  }
  const std::string_view v = line.substr(magic.size() + 1);
  if (v != std::to_string(kFormat)) {
    const bool number = v.size() <= 9 && v.find_first_not_of("0123456789") == v.npos;
    error = (number ? "format " + std::string(v) : std::string("an unknown format")) +
            ", not one this version reads (it reads " + std::to_string(kFormat) + ")";
    return false;
  }
  return true;
}

// Every line after the first: short, and printable ASCII only.
bool check_text(std::string_view line, std::string& why) {
  if (line.size() > kMaxLine) {
    why = "longer than " + std::to_string(kMaxLine) + " bytes";
    return false;
  }
  for (char c : line) {
    if (c < ' ' || c > '~') {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02x", static_cast<unsigned char>(c));
      why = std::string("a byte no recording holds (") + hex + ")";
      return false;
    }
  }
  return true;
}

// Line `n` of the header; `done` once it is the "events" line that ends it.
bool header_line(size_t n, std::string_view line, Header& h, bool& done, std::string& why) {
  if (n > kMaxHeaderLines) {
    why = "the header goes on past " + std::to_string(kMaxHeaderLines) +
          " lines without its 'events' line";
    return false;
  }
  if (!parse_header_line(line, h, done, why)) return false;
  if (done && (h.program.empty() || h.backend.empty())) {
    why = "the header lacks its 'program' or 'backend' line";
    return false;
  }
  return true;
}

// The order the event lines of a run come in, checked line by line: within bounds, each
// gathering's lines in their phases, keys of one kind per gathering, input ending once, and
// nothing but the end after an exit.
class EventOrder {
 public:
  bool take(const Line& l, std::string& why) {
    gathering_ += l.gatherings;
    ms_ += l.ms;
    if (gathering_ > kMaxGatherings || ms_ > kMaxMs) {
      why = "the gatherings or the time run past what any run reaches";
      return false;
    }
    if (l.gatherings > 0) {
      phase_ = kNone;
      keys_ = Tag::End;
    }
    const int p = phase_of(l.tag, phase_);
    if (exited_ && l.tag != Tag::End) {
      why = "after an exit only the end line may come";
      return false;
    }
    if (gathering_ == 0 && (p == kCheck || p == kQueued)) {
      why = "input before the program's first gathering";
      return false;
    }
    if (p < phase_ || (p == kCheck && phase_ == kCheck)) {
      why =
          "out of order within its gathering (its check comes first, then what it queued, then "
          "the calls after it)";
      return false;
    }
    if (l.tag == Tag::Key || l.tag == Tag::WaitKey) {
      if (l.ncodes == 0 && !any_key_) {
        why = "a key without codes repeats the key before it, and there is none";
        return false;
      }
      any_key_ = true;
      if (keys_ != Tag::End && keys_ != l.tag) {
        why = "one gathering queues keys both while waiting and while not";
        return false;
      }
      keys_ = l.tag;
    }
    if (l.tag == Tag::Closed) {
      if (closed_) {
        why = "input ends twice";
        return false;
      }
      closed_ = true;
    }
    if (l.tag == Tag::Exit) exited_ = true;
    phase_ = p;
    return true;
  }

 private:
  uint64_t gathering_ = 0;
  int64_t ms_ = 0;
  int phase_ = kNone;
  Tag keys_ = Tag::End;  // the kind of keys this gathering queued (k or w), End for none yet
  bool exited_ = false, closed_ = false, any_key_ = false;
};

}  // namespace

bool Recording::load(std::string bytes, std::string& error) {
  bytes_ = std::move(bytes);
  header_ = Header{};
  complete_ = false;
  events_ = 0;
  if (bytes_.empty()) {
    error = "empty: not a recording";
    return false;
  }
  if (bytes_.size() > kMaxBytes) {
    error = "too large: a recording is at most " + std::to_string(kMaxBytes >> 20) + " MiB";
    return false;
  }
  drop_padding(bytes_);
  if (bytes_.empty()) {
    error = "empty: not a recording";
    return false;
  }

  size_t pos = 0, n = 0;
  std::string_view line;
  std::string why;
  bool in_header = true;
  EventOrder order;
  while (take_line(bytes_, pos, line)) {
    ++n;
    if (n == 1 && !check_magic(line, error)) return false;
    if (pos > bytes_.size()) {
      error = at_line(n, "the file is truncated: its last line is cut off");
      return false;
    }
    if (n == 1) continue;
    if (!check_text(line, why)) {
      error = at_line(n, why);
      return false;
    }
    if (in_header) {
      bool done = false;
      if (!header_line(n, line, header_, done, why)) {
        error = at_line(n, why);
        return false;
      }
      if (done) {
        in_header = false;
        body_ = pos;
        body_line_ = n + 1;
      }
      continue;
    }
    Line l;
    if (complete_) {
      error = at_line(n, "nothing may follow the end line");
      return false;
    }
    if (!parse_line(line, l, why) || !order.take(l, why)) {
      error = at_line(n, why);
      return false;
    }
    if (l.tag == Tag::End) complete_ = true;
    ++events_;
  }
  if (in_header) {
    error = "the file is truncated: it ends within its header, before the 'events' line";
    return false;
  }
  return true;
}

Recording::Cursor::Cursor(const Recording& r)
    : bytes_(&r.bytes_), pos_(r.body_), line_(r.body_line_ - 1) {}

bool Recording::Cursor::next(Line& l) {
  std::string_view s;
  if (!take_line(*bytes_, pos_, s)) return false;
  ++line_;
  std::string why;
  if (!parse_line(s, l, why)) return false;  // cannot happen: load() read every line
  if (l.tag == Tag::Key || l.tag == Tag::WaitKey) {
    if (l.ncodes == 0) {
      l.ncodes = last_key_.ncodes;
      std::memcpy(l.codes, last_key_.codes, sizeof l.codes);
    } else {
      last_key_ = l;
    }
  }
  gathering_ += l.gatherings;
  ms_ += l.ms;
  l.gatherings = gathering_;
  l.ms = ms_;
  return true;
}

bool read_file(const char* path, std::string& bytes, std::string& error) {
  bytes.clear();
  std::FILE* f = std::fopen(path, "rb");
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  char buf[1 << 16];
  bool ok = true;
  for (;;) {
    const size_t got = std::fread(buf, 1, sizeof buf, f);
    if (got > 0) {
      if (bytes.size() + got > kMaxBytes) {
        error = "too large: a recording is at most " + std::to_string(kMaxBytes >> 20) + " MiB";
        ok = false;
        break;
      }
      bytes.append(buf, got);
    }
    if (got < sizeof buf) {
      if (std::ferror(f)) {
        error = std::strerror(errno);
        ok = false;
      }
      break;
    }
  }
  std::fclose(f);
  return ok;
}

}  // namespace con::record
