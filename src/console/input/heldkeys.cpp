#include "console/input/heldkeys.hpp"

#include "console/console.hpp"

namespace con {

int HeldKeys::index(int vk) {
  if (vk < VK_LEFT || vk > VK_DOWN) return -1;
  return vk - VK_LEFT;
}

int64_t HeldKeys::window_end(const Key& k) const {
  if (k.repeats == 0) return k.first + delay_ + kDelayMarginMs;
  return k.last + 2 * interval_ + kIntervalMarginMs;
}

// Each sample moves the learned value most of the way, so a different keyboard is followed
// within a hold or two while a single jittery sample does little harm. A delay revealed by a
// hold that was first taken for taps is certain and taken as it is.
void HeldKeys::learn_delay(int64_t gap, bool certain) {
  if (gap < kMinDelayMs || gap > kMaxDelayMs) return;
  delay_ = certain ? gap : (delay_ + 3 * gap) / 4;
}

void HeldKeys::learn_interval(int64_t gap) {
  if (gap < kMinIntervalMs || gap > kMaxIntervalMs) return;
  interval_ = (interval_ + gap) / 2;
}

void HeldKeys::event(Key& k, int64_t t) {
  if (!k.active || t >= window_end(k) || k.interrupted >= 0) {
    // A new hold (after an interrupted one: the key was let go and pressed again).
    // If the last query still saw the old one down, it owes the game a release.
    k.release_pending = k.reported_down;
    k.active = true;
    k.interrupted = -1;
    k.first = k.last = t;
    k.repeats = 0;
    k.tap_gap = -1;
    return;
  }
  int64_t gap = t - k.last;
  if (k.repeats == 0) {
    if (gap < kMinTapGapMs) {
      // Too fast for a hand: auto-repeat, so the event that began this hold was the first
      // repeat of an earlier press, and its gap is this keyboard's delay.
      if (k.tap_gap >= 0) learn_delay(k.tap_gap, true);
      learn_interval(gap);
      k.tap_gap = -1;
      k.repeats = 1;
    } else if (gap * 100 >= delay_ * kRepeatDelayShare) {
      // The first auto-repeat; its gap is learned once the next repeat confirms the hold.
      k.tap_gap = gap;
      k.repeats = 1;
    } else {
      // Sooner than auto-repeat: a second tap, with a release in between.
      k.release_pending = k.reported_down;
      k.first = t;
      k.tap_gap = gap;
    }
  } else {
    if (k.repeats == 1 && k.tap_gap >= 0) learn_delay(k.tap_gap, false);
    k.tap_gap = -1;
    learn_interval(gap);
    ++k.repeats;
  }
  k.last = t;
}

// Another key's press (i: which arrow, -1 for any other key) stops the repeats of every arrow
// held before it. A repeating one is kept down as an interrupted hold; the opposite arrow's
// press ends its counterpart whatever its state.
void HeldKeys::other_key(int i, int64_t t) {
  for (int j = 0; j < 4; ++j) {
    Key& k = keys_[j];
    if (j == i || !k.active) continue;
    if (i >= 0 && j == (i ^ 2)) {
      k.active = false;
      k.interrupted = -1;
    } else if (k.interrupted < 0 && k.repeats > 0 && t < window_end(k)) {
      k.interrupted = t;
    }
  }
}

void HeldKeys::press(int vk, int64_t t) {
  int i = index(vk);
  if (!exact_) {
    other_key(i, t);
    if (i >= 0) event(keys_[i], t);
    return;
  }
  if (i < 0) return;
  Key& k = keys_[i];
  // Released after the last query saw it down, and pressed again: owe that query a release.
  if (!k.held && k.reported_down) k.release_pending = true;
  k.held = true;
}

void HeldKeys::repeat(int vk, int64_t t) {
  if (!exact_) return press(vk, t);
  int i = index(vk);
  if (i >= 0) keys_[i].held = true;
}

void HeldKeys::release(int vk, int64_t) {
  int i = index(vk);
  if (i < 0) return;
  Key& k = keys_[i];
  if (!exact_) {
    k.active = false;
    k.interrupted = -1;
    return;
  }
  // A press no query has seen yet still reads as down once.
  if (k.held && (!k.reported_down || k.release_pending)) k.unseen = true;
  k.held = false;
}

void HeldKeys::clear() {
  for (Key& k : keys_) {
    bool reported = k.reported_down;
    k = Key{};
    k.reported_down = reported;
  }
}

bool HeldKeys::down(int vk, int64_t now) {
  int i = index(vk);
  if (i < 0) return false;
  Key& k = keys_[i];
  bool ans;
  if (k.release_pending) {
    k.release_pending = false;
    ans = false;
  } else if (exact_) {
    ans = k.held || k.unseen;
    k.unseen = false;
  } else if (k.interrupted >= 0) {
    ans = now < k.interrupted + kInterruptedHoldMs;
    if (!ans) {
      k.active = false;
      k.interrupted = -1;
    }
  } else {
    ans = k.active && now < window_end(k);
  }
  k.reported_down = ans;
  return ans;
}

}  // namespace con
