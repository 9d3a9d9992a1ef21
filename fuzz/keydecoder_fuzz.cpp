// The key decoder fed arbitrary bytes, in arbitrary pieces, at arbitrary (rising) times.
//
// Input: a byte whose low bits turn on the keyboard protocol and GBK text, then a list of
// operations. A byte op < 0xC0 feeds the next (op & 0x3F) + 1 bytes after a
// pause of one more byte's worth of milliseconds; a byte >= 0xC0 flushes after (op & 0x3F) * 4
// ms. A second decoder gets every piece cut again into smaller pieces at the same moment.
//
// Checked, as the decoder's contract (whatever sequences it learns):
//  - every event carries valid _getch codes: one ordinary code (never a bare 0 or 224
//    prefix), or a 0/224 prefix and a scan code; an arrow's virtual key matches its scan code;
//    releases and reports queue nothing; a signal key names SIGINT, SIGQUIT or SIGTSTP;
//  - no more keys come out than bytes went in;
//  - how bytes are cut into reads does not change the keys;
//  - nothing stays held back past its deadline, nor at the end of input;
//  - for text without escape sequences, every Enter comes out, and (UTF-8 text) the printable
//    ASCII comes out as typed, even next to bytes that are no UTF-8 (a pipe may carry any code
//    page).
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "console/input/keydecoder.hpp"
#include "harness.hpp"

namespace {

using con::KeyEvent;

// An arrow's scan codes, plain and with Ctrl.
bool arrow_scan(int vk, int scan, bool& is_arrow) {
  is_arrow = true;
  switch (vk) {
    case con::VK_UP:
      return scan == 72 || scan == 141;
    case con::VK_DOWN:
      return scan == 80 || scan == 145;
    case con::VK_LEFT:
      return scan == 75 || scan == 115;
    case con::VK_RIGHT:
      return scan == 77 || scan == 116;
    default:
      is_arrow = false;
      return true;
  }
}

void check_event(const KeyEvent& e) {
  FUZZ_CHECK(e.type == KeyEvent::Press || e.type == KeyEvent::Repeat || e.type == KeyEvent::Release,
             "event type %d", static_cast<int>(e.type));
  FUZZ_CHECK(e.ncodes <= 2, "%d codes in one event", e.ncodes);
  FUZZ_CHECK(e.vk >= 0 && e.vk <= 0xFF, "virtual key %d", e.vk);
  if (e.type == KeyEvent::Release) FUZZ_CHECK(e.ncodes == 0, "a release queues %d codes", e.ncodes);
  if (e.kind != KeyEvent::Key) FUZZ_CHECK(e.ncodes == 0, "a report queues %d codes", e.ncodes);
  if (e.kind == KeyEvent::Signal)
    FUZZ_CHECK(e.arg[0] == SIGINT || e.arg[0] == SIGQUIT || e.arg[0] == SIGTSTP, "signal key %d",
               e.arg[0]);
  if (e.ncodes == 1)
    FUZZ_CHECK(e.codes[0] != 0 && e.codes[0] != 224,
               "a lone prefix code %d: the next key would be taken for its scan code", e.codes[0]);
  if (e.ncodes == 2) {
    FUZZ_CHECK(e.codes[0] == 0 || e.codes[0] == 224, "extended key with prefix %d", e.codes[0]);
    FUZZ_CHECK(e.codes[1] != 0 && e.codes[1] != 224, "extended key with scan code %d", e.codes[1]);
  }
  bool is_arrow;
  if (e.ncodes > 0)
    FUZZ_CHECK(
        arrow_scan(e.vk, e.ncodes == 2 ? e.codes[1] : -1, is_arrow) && (!is_arrow || e.ncodes == 2),
        "vk %d queued as %d codes, scan %d", e.vk, e.ncodes, e.codes[1]);
}

bool same(const KeyEvent& a, const KeyEvent& b) {
  return a.type == b.type && a.vk == b.vk && a.ncodes == b.ncodes &&
         std::memcmp(a.codes, b.codes, a.ncodes) == 0;
}

void check_same(const std::vector<KeyEvent>& a, const std::vector<KeyEvent>& b) {
  FUZZ_CHECK(a.size() == b.size(), "%zu keys in one piece, %zu in smaller pieces", a.size(),
             b.size());
  for (size_t k = 0; k < a.size(); ++k)
    FUZZ_CHECK(same(a[k], b[k]), "key %zu differs when the bytes come in smaller pieces", k);
}

// Printable ASCII but '?', which also stands for characters the console cannot show.
bool plain_printable(int c) {
  return c >= 0x20 && c < 0x7F && c != '?';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  if (size > fuzz::kMaxInput) size = fuzz::kMaxInput;
  con::KeyDecoder whole, cut;
  const bool gbk = data[0] & 2;
  whole.set_protocol(data[0] & 1);
  cut.set_protocol(data[0] & 1);
  whole.set_gbk(gbk);
  cut.set_gbk(gbk);
  std::vector<KeyEvent> out_whole, out_cut;
  std::string fed;
  int64_t now = 1000;
  size_t i = 1;
  while (i < size) {
    const uint8_t op = data[i++];
    if (op >= 0xC0) {
      now += (op & 0x3F) * 4;
      const bool due = whole.pending() && now >= whole.deadline();
      whole.flush(now, false, out_whole);
      cut.flush(now, false, out_cut);
      if (due) FUZZ_CHECK(!whole.pending(), "bytes held back past their deadline");
      continue;
    }
    size_t n = (op & 0x3F) + 1u;
    if (i < size) now += data[i++];
    if (n > size - i) n = size - i;
    if (n == 0) break;
    const char* p = reinterpret_cast<const char*>(data + i);
    whole.feed(p, n, now, out_whole);
    // The same bytes cut in pieces of 1..4 bytes, as reads from a slow pipe give them.
    for (size_t k = 0; k < n;) {
      size_t piece = 1 + (static_cast<unsigned char>(p[k]) + k) % 4;
      if (piece > n - k) piece = n - k;
      cut.feed(p + k, piece, now, out_cut);
      k += piece;
    }
    fed.append(p, n);
    i += n;
    check_same(out_whole, out_cut);
  }
  whole.flush(now + 1000, true, out_whole);
  cut.flush(now + 1000, true, out_cut);
  FUZZ_CHECK(!whole.pending(), "bytes held back at the end of input");
  check_same(out_whole, out_cut);

  size_t keys = 0;
  for (const KeyEvent& e : out_whole) {
    check_event(e);
    if (e.ncodes) ++keys;
  }
  FUZZ_CHECK(keys <= fed.size(), "%zu keys from %zu bytes", keys, fed.size());

  // Escape sequences (ESC, or the 8-bit CSI and SS3) may hold any bytes; elsewhere an Enter
  // is a key of its own whatever stands around it, and so is printable ASCII in UTF-8 text
  // (in GBK it can be the second byte of a character).
  if (fed.find_first_of("\x1b\x9b\x8f") == std::string::npos) {
    size_t enters = 0, got_enters = 0;
    for (size_t k = 0; k < fed.size(); ++k)
      enters += fed[k] == '\r' || (fed[k] == '\n' && (k == 0 || fed[k - 1] != '\r'));
    for (const KeyEvent& e : out_whole) got_enters += e.ncodes == 1 && e.codes[0] == 13;
    FUZZ_CHECK(enters == got_enters, "%zu Enters typed, %zu decoded", enters, got_enters);
    if (!gbk) {
      std::string typed, got;
      for (char c : fed)
        if (plain_printable(static_cast<unsigned char>(c))) typed += c;
      for (const KeyEvent& e : out_whole)
        if (e.ncodes == 1 && plain_printable(e.codes[0])) got += static_cast<char>(e.codes[0]);
      FUZZ_CHECK(typed == got, "typed \"%s\", decoded \"%s\"", typed.c_str(), got.c_str());
    }
  }
  return 0;
}
