// Number reads (con::read_int, con::read_ll) over arbitrary typed keys.
//
// Input: one byte that picks, read by read, int or long long; then the keys, typed at once.
// A model of the typed lines (Enter ends one, backspace edits, an extended key types nothing,
// a tab is white space, other control keys are not echoed) is read alongside with strtoll:
//  - a read that succeeds gives the value of the decimal number that stands next in the text;
//  - a read that fails leaves the variable alone, and fails exactly where the text holds no
//    number or one that does not fit;
//  - the program ends (con::Exit) exactly when no whole line is left;
//  - no read spins: there are never more reads than keys.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness.hpp"

namespace {

// The lines as the console's line editor makes them from the codes.
std::vector<std::string> typed_lines(const std::vector<uint8_t>& codes) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t k = 0; k < codes.size(); ++k) {
    const uint8_t c = codes[k];
    if ((c == 0 || c == 224) && k + 1 < codes.size()) {
      ++k;  // an extended key: its scan code goes with it, and it types nothing
    } else if (c == 13 || c == 10) {
      lines.push_back(line);
      line.clear();
    } else if (c == 8 || c == 127) {
      if (!line.empty()) line.pop_back();
    } else if (c >= 0x20 || c == '\t') {
      line += static_cast<char>(c);  // a tab is typed white space; other control keys are not
    }
  }
  return lines;  // an unfinished last line is never handed over
}

struct Model {
  std::vector<std::string> lines;
  size_t line = 0, pos = 0;
  bool started = false;

  enum Result { Ok, Fail, End };
  // The next read of a number in [lo, hi].
  Result read(long long lo, long long hi, long long& value) {
    for (;;) {
      if (started && line < lines.size()) {
        const std::string& l = lines[line];
        while (pos < l.size() && (l[pos] == ' ' || l[pos] == '\t')) ++pos;
        if (pos < l.size()) break;
      }
      if (started) ++line;
      started = true;
      pos = 0;
      if (line >= lines.size()) return End;
    }
    const std::string& l = lines[line];
    size_t p = pos;
    if (l[p] == '+' || l[p] == '-') ++p;
    size_t digits = p;
    while (digits < l.size() && l[digits] >= '0' && l[digits] <= '9') ++digits;
    if (digits == p) {
      pos = l.size();  // no number: the rest of the line goes
      return Fail;
    }
    std::string token = l.substr(pos, digits - pos);
    errno = 0;
    long long v = std::strtoll(token.c_str(), nullptr, 10);
    if (errno == ERANGE || v < lo || v > hi) {
      pos = l.size();
      return Fail;
    }
    pos = digits;
    value = v;
    return Ok;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  if (size > fuzz::kMaxInput) size = fuzz::kMaxInput;
  uint32_t pick = data[0] * 2654435761u + 1;
  std::vector<uint8_t> codes(data + 1, data + size);

  Model model{typed_lines(codes)};
  con::Headless h;
  // A 0 or 224 with a byte after it is an extended key of two codes, as the keyboard gives it.
  for (size_t k = 0; k < codes.size(); ++k) {
    if ((codes[k] == 0 || codes[k] == 224) && k + 1 < codes.size()) {
      h.arrow(codes[++k], 0);
    } else {
      h.key(codes[k], 0);
    }
  }

  size_t reads = 0;
  bool expect_end = false;
  con::run_headless(h, [&] {
    for (;;) {
      FUZZ_CHECK(++reads <= codes.size() + 1, "%zu reads from %zu keys", reads, codes.size());
      pick = pick * 1103515245u + 12345u;
      const bool as_int = (pick >> 16) & 1;
      long long want = 0;
      const long long lo = as_int ? INT_MIN : LLONG_MIN, hi = as_int ? INT_MAX : LLONG_MAX;
      const Model::Result r = model.read(lo, hi, want);
      expect_end = r == Model::End;
      bool ok;
      long long got;
      if (as_int) {
        int v = 0x5EED;
        ok = con::read_int(v);
        got = v;
      } else {
        long long v = 0x5EED5EED5EEDLL;
        ok = con::read_ll(v);
        got = v;
      }
      FUZZ_CHECK(!expect_end, "a read returned (%d) after the last typed line", ok);
      if (r == Model::Ok) {
        FUZZ_CHECK(ok && got == want, "read %s gave %d, %lld; the text holds %lld",
                   as_int ? "int" : "ll", ok, got, want);
      } else {
        FUZZ_CHECK(!ok, "read %s succeeded with %lld where the text holds no number that fits",
                   as_int ? "int" : "ll", got);
        FUZZ_CHECK(got == (as_int ? 0x5EED : 0x5EED5EED5EEDLL),
                   "a failed read changed the value "
                   "to %lld",
                   got);
      }
    }
    return 0;
  });
  FUZZ_CHECK(expect_end, "the program ended while typed lines were left");
  return 0;
}
