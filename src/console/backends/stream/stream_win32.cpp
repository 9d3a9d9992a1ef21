// Stream mode on Windows: the same byte stream as elsewhere, through Win32 handles. Input may be
// a pipe, a file or (when only the output is redirected) the console's key events; output is
// UTF-8 bytes, or UTF-16 text when it is a console after all.
#include <io.h>

#include <chrono>
#include <climits>
#include <ctime>
#include <string>
#include <vector>

#include "console/backends/stream/stream.hpp"
#include "console/backends/win32/win32_api.hpp"
#include "console/backends/win32/win32_console.hpp"
#include "console/console.hpp"

namespace con {
namespace {

HANDLE handle_of(int fd) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

bool is_console(HANDLE h) {
  DWORD mode = 0;
  return GetConsoleMode(h, &mode) != FALSE;
}

// Waits up to timeout_ms (-1: for ever) until `h` has something to read; false on timeout.
// `eof` is set when the other end is gone.
bool wait_readable(HANDLE h, int timeout_ms, bool& eof) {
  const DWORD type = GetFileType(h);
  if (type == FILE_TYPE_PIPE) {
    // Pipes cannot be waited on: look, and nap briefly between looks.
    const int64_t end = timeout_ms < 0 ? INT64_MAX : Stream::monotonic_ms() + timeout_ms;
    for (;;) {
      DWORD avail = 0;
      if (!PeekNamedPipe(h, nullptr, 0, nullptr, &avail, nullptr)) {
        // A pipe that cannot be looked into (wine's pipes from the host) is read blocking.
        if (GetLastError() != ERROR_BROKEN_PIPE) return true;
        eof = true;
        return false;
      }
      if (avail > 0) return true;
      const int64_t left = end - Stream::monotonic_ms();
      if (left <= 0) return false;
      ::Sleep(static_cast<DWORD>(left < 5 ? left : 5));
    }
  }
  if (is_console(h)) {
    return WaitForSingleObject(h, timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms)) ==
           WAIT_OBJECT_0;
  }
  return true;  // files and devices answer a read at once
}

}  // namespace

Stream::Stream(int in_fd, int out_fd, bool virtual_clock)
    : in_fd_(in_fd), out_fd_(out_fd), virtual_clock_(virtual_clock) {
  start_wall_ = static_cast<int64_t>(std::time(nullptr));
}

void Stream::flush() {
  if (out_.empty() || out_broken_) {
    out_.clear();
    return;
  }
  HANDLE h = handle_of(out_fd_);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) {
    out_broken_ = true;
  } else if (is_console(h)) {
    std::wstring w(static_cast<size_t>(MultiByteToWideChar(
                       CP_UTF8, 0, out_.data(), static_cast<int>(out_.size()), nullptr, 0)),
                   L'\0');
    MultiByteToWideChar(CP_UTF8, 0, out_.data(), static_cast<int>(out_.size()), w.data(),
                        static_cast<int>(w.size()));
    DWORD n = 0;
    if (!WriteConsoleW(h, w.data(), static_cast<DWORD>(w.size()), &n, nullptr)) out_broken_ = true;
  } else {
    size_t done = 0;
    while (done < out_.size()) {
      DWORD n = 0;
      const DWORD chunk =
          static_cast<DWORD>(out_.size() - done < (1u << 20) ? out_.size() - done : (1u << 20));
      if (!WriteFile(h, out_.data() + done, chunk, &n, nullptr) || n == 0) {
        out_broken_ = true;  // the reader went away: the program ends quietly
        break;
      }
      done += n;
    }
  }
  out_.clear();
}

bool Stream::read_some(int timeout_ms, KeyQueue& q) {
  if (eof_) return false;
  timeout_ms = input_wait(timeout_ms);
  std::vector<KeyEvent> events;
  HANDLE h = handle_of(in_fd_);
  if (h == INVALID_HANDLE_VALUE || h == nullptr) {
    eof_ = true;
  } else if (!wait_readable(h, timeout_ms, eof_)) {
    if (!eof_ && decoder_.pending()) decoder_.flush(decoder_.deadline(), false, events);
  } else if (is_console(h)) {
    // Key events, translated as the console backend does; no byte decoding needed.
    INPUT_RECORD recs[64];
    DWORD m = 0;
    if (!ReadConsoleInputW(h, recs, 64, &m)) eof_ = true;
    for (DWORD k = 0; k < m; ++k) {
      if (recs[k].EventType != KEY_EVENT || !recs[k].Event.KeyEvent.bKeyDown) continue;
      const KEY_EVENT_RECORD& e = recs[k].Event.KeyEvent;
      win32::KeyCodes c =
          win32::getch_codes(e.wVirtualKeyCode, e.uChar.UnicodeChar, e.dwControlKeyState);
      if (c.n) q.push_event(c.codes, c.n);
    }
  } else {
    char buf[4096];
    DWORD n = 0;
    if (ReadFile(h, buf, static_cast<DWORD>(sizeof buf), &n, nullptr) && n > 0) {
      decoder_.feed(buf, n, now_ms(), events);
    } else {
      eof_ = true;  // end of file, or the writer closed the pipe
    }
  }
  return deliver(events, q);
}

}  // namespace con
