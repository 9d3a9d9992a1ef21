#include "console/record/replayer.hpp"

#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstring>

#include "console/console.hpp"

namespace con::record {
namespace {

std::string seconds(int64_t ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%" PRId64 ".%03d s", ms / 1000, static_cast<int>(ms % 1000));
  return buf;
}

}  // namespace

Replayer::Replayer(const Recording& rec, Backend& view, Options options)
    : Relay(view), rec_(rec), cursor_(rec), opt_(std::move(options)) {
  if (!(opt_.speed > 0)) opt_.speed = 1;
  advance();
}

void Replayer::advance() {
  has_next_ = cursor_.next(next_);
  next_line_ = cursor_.line_number();
}

bool Replayer::at_this(Tag t) const {
  return has_next_ && next_.tag == t && next_.gatherings == gathering_;
}

void Replayer::start(Screen& s) {
  view().start(s);
  screen_ = &s;
  real_base_ = view().now_ms();
}

void Replayer::diverge(const std::string& what) {
  outcome_ = Outcome::Diverged;
  char where[96];
  if (has_next_) {
    std::snprintf(where, sizeof where, "line %zu (gathering %" PRIu64 ", %s): ", next_line_,
                  gathering_, seconds(next_.ms).c_str());
  } else {
    std::snprintf(where, sizeof where,
                  "after the last line (gathering %" PRIu64 ", %s): ", gathering_,
                  seconds(clock_).c_str());
  }
  message_ = where + what;
  if (rec_.header().program != GAMEBOX_VERSION)
    message_ += " (recorded by gamebox " + rec_.header().program + ", this is gamebox " +
                GAMEBOX_VERSION + ")";
  throw Exit{kDiverged};
}

void Replayer::cut_short() {
  outcome_ = Outcome::CutShort;
  message_ = "the recording stops after line " + std::to_string(cursor_.line_number()) +
             " (gathering " + std::to_string(gathering_) + ", " + seconds(clock_) +
             ") without an end: the recorded run was cut short there";
  throw Exit{0};
}

void Replayer::stop(int code) {
  outcome_ = Outcome::Stopped;
  throw Exit{code};
}

bool Replayer::check_screen(uint64_t version, uint32_t hash) const {
  return screen_ && screen_->version() == version && screen_hash(*screen_) == hash;
}

void Replayer::pump(KeyQueue& q, int64_t deadline_ms, bool until_key) {
  ++gathering_;
  if (opt_.max_gatherings && gathering_ > opt_.max_gatherings) {
    outcome_ = Outcome::Limit;
    throw Exit{0};
  }
  // Whatever the recorded run did before this gathering, this one must have done too.
  if (has_next_ && next_.gatherings < gathering_) {
    if (next_.tag == Tag::End)
      diverge("the recorded run ended here (code " + std::to_string(next_.value) +
              "), but this run goes on to gather input");
    diverge("the recorded run had " + event_text(next_) +
            " before this gathering; this run went on without it");
  }
  const int64_t before = clock_;
  if (!until_key && deadline_ms > clock_) clock_ = deadline_ms;

  if (at_this(Tag::Check)) {
    if (!check_screen(next_.version, next_.hash))
      diverge("the screen differs from the recorded one here");
    last_check_ms_ = next_.ms;
    last_check_gathering_ = gathering_;
    clock_ = std::max(clock_, next_.ms);
    advance();
  }
  if (!has_next_ && !rec_.complete() &&
      (until_key || (before >= last_check_ms_ + kCheckEveryMs &&
                     gathering_ - last_check_gathering_ >= kCheckEveryGatherings))) {
    // The recorded run got no further: it would have checked the screen by now (this clock
    // never runs ahead of the recorded one, which also counted the time the program ran).
    pace(clock_);
    cut_short();
  }

  bool queued = false;
  while (has_next_ && next_.gatherings == gathering_) {
    const Line& l = next_;
    if (l.tag == Tag::Key || l.tag == Tag::WaitKey) {
      if ((l.tag == Tag::WaitKey) != until_key)
        diverge(until_key ? "the recorded run slept or polled here; this run waits for a key"
                          : "the recorded run waited for a key here; this run sleeps or polls");
    } else if (l.tag != Tag::Up && l.tag != Tag::Closed && l.tag != Tag::Exit) {
      break;
    }
    clock_ = std::max(clock_, l.ms);
    pace(clock_);
    switch (l.tag) {
      case Tag::Key:
      case Tag::WaitKey:
        q.push_event(l.codes, l.ncodes, l.action);
        queued = true;
        break;
      case Tag::Closed:
        q.closed = true;
        break;
      case Tag::Exit: {
        const int code = static_cast<int>(l.value);
        advance();
        throw Exit{code};
      }
      default:
        break;
    }
    advance();
  }
  if (until_key && !queued && !q.closed) {
    if (!has_next_ && !rec_.complete()) cut_short();
    diverge(has_next_
                ? "this run waits for a key, but the recording has " + event_text(next_) + " next"
                : "this run waits for a key after the recording's last line");
  }
  pace(clock_);
  if (opt_.on_sleep && !until_key && deadline_ms > before) opt_.on_sleep();
}

bool Replayer::key_down(int vk) {
  if (vk < 0 || vk > 255) return false;
  if (at_this(Tag::Exit)) {
    const int code = static_cast<int>(next_.value);
    advance();
    throw Exit{code};
  }
  if (at_this(Tag::Held) && next_.vk == vk) {
    held_[vk] = next_.down;
    advance();
  }
  return held_[vk];
}

int64_t Replayer::wall_seconds() {
  if (!has_next_ && !rec_.complete()) cut_short();
  if (!at_this(Tag::Time))
    diverge(has_next_
                ? "this run asks the time, but the recording has " + event_text(next_) + " next"
                : "this run asks the time after the recording's last line");
  const int64_t v = next_.value;
  advance();
  return v;
}

void Replayer::seeded(unsigned asked, unsigned used) {
  if (!has_next_ && !rec_.complete()) cut_short();
  if (!at_this(Tag::Seed))
    diverge("this run seeds the generator, but the recording has " +
            (has_next_ ? event_text(next_) : std::string("nothing more")) + " next");
  if (static_cast<int64_t>(asked) != next_.value || used != next_.used)
    diverge(event_text(next_) + " in the recorded run; this run seeds it with " +
            std::to_string(used) + " (srand(" + std::to_string(asked) + "))");
  advance();
}

void Replayer::line_read(std::string_view line) {
  const size_t kept = std::min(line.size(), kMaxText);
  if (!has_next_ && !rec_.complete()) cut_short();
  if (!at_this(Tag::Typed))
    diverge("this run reads a line for a number, but the recording has " +
            (has_next_ ? event_text(next_) : std::string("nothing more")) + " next");
  if (static_cast<uint64_t>(next_.value) != line.size() || next_.text_len != kept ||
      std::memcmp(next_.text, line.data(), kept) != 0) {
    Line here;
    here.tag = Tag::Typed;
    here.value = static_cast<int64_t>(line.size());
    here.text_len = static_cast<uint8_t>(kept);
    std::memcpy(here.text, line.data(), kept);
    diverge(event_text(next_) + " in the recorded run; in this run " + event_text(here));
  }
  advance();
}

void Replayer::ending(int code) {
  if (outcome_ != Outcome::Running) return;
  try {
    compare_end(code);
  } catch (const Exit&) {
    // diverge() has said why; the program is over anyway.
  }
}

void Replayer::compare_end(int code) {
  if (has_next_ && next_.tag != Tag::End)
    diverge("this run ended (code " + std::to_string(code) + "), but the recorded run has " +
            event_text(next_) + " next");
  if (!has_next_) {
    if (rec_.complete()) diverge("this run ended, but the recorded run had ended before");
    outcome_ = Outcome::CutShort;
    message_ = "the recording stops after line " + std::to_string(cursor_.line_number()) +
               " without an end, and this run ended there (code " + std::to_string(code) + ")";
    return;
  }
  if (next_.gatherings != gathering_)
    diverge("the recorded run ended after gathering " + std::to_string(next_.gatherings) +
            "; this run ended after gathering " + std::to_string(gathering_));
  if (next_.value != (code & 0xFF))
    diverge("the recorded run ended with code " + std::to_string(next_.value) +
            "; this run with code " + std::to_string(code & 0xFF));
  if (!check_screen(next_.version, next_.hash))
    diverge("the program ended as recorded, but its last screen differs from the recorded one");
  outcome_ = Outcome::Finished;
  advance();
}

// --- Watching --------------------------------------------------------------------------------

void Replayer::pace(int64_t at) {
  if (!opt_.paced) return;
  for (;;) {
    watch();
    const int64_t now = view().now_ms();
    const double ahead = static_cast<double>(at) / opt_.speed;
    const int64_t target = real_base_ + static_cast<int64_t>(ahead);
    if (now >= target) return;
    // Short steps, so that a key typed during a long wait is seen at once.
    try {
      view().pump(watch_, std::min(target, now + 50), false);
    } catch (const Exit& e) {
      stop(e.code);
    }
  }
}

void Replayer::watch() {
  while (!watch_.empty()) {
    const int c = watch_.pop();
    const bool extended = watch_.continues();
    while (watch_.continues()) watch_.pop();
    if (extended) continue;
    if (c == 'q' || c == 'Q') stop(0);
    if (c == ' ') pause();
  }
}

void Replayer::pause() {
  const int64_t paused_at = view().now_ms();
  for (;;) {
    try {
      view().pump(watch_, INT64_MAX, true);
    } catch (const Exit& e) {
      stop(e.code);
    }
    if (watch_.closed) stop(0);
    bool resume = false;
    while (!watch_.empty() && !resume) {
      const int c = watch_.pop();
      const bool extended = watch_.continues();
      while (watch_.continues()) watch_.pop();
      if (extended) continue;
      if (c == 'q' || c == 'Q') stop(0);
      resume = c == ' ';
    }
    if (resume) break;
  }
  // The pause does not count: the recorded pace goes on from where it stood.
  real_base_ += view().now_ms() - paused_at;
}

}  // namespace con::record
