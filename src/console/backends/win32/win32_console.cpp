#include "console/backends/win32/win32_console.hpp"

#include <atomic>
#include <chrono>
#include <climits>
#include <ctime>

#include "console/backends/win32/win32_api.hpp"
#include "console/console.hpp"
#include "console/keys.hpp"

namespace con {
namespace {

// What Windows reports for a program ended by Ctrl-C.
constexpr int kCtrlCExit = static_cast<int>(0xC000013AU);

// The one console backend of the process, for the control handler's thread.
std::atomic<Win32Console*> g_console{nullptr};
std::atomic<bool> g_quit{false};
HANDLE g_wake = nullptr;  // set when a Ctrl-C comes, to end a wait for input
HANDLE g_done = nullptr;  // set when finish() has restored the console

// A crash leaves the console as the player had it; the crash itself goes on as usual.
LONG WINAPI on_crash(EXCEPTION_POINTERS*) {
  if (Win32Console* c = g_console.load()) c->restore();
  return EXCEPTION_CONTINUE_SEARCH;
}

BOOL WINAPI on_control(DWORD type) {
  Win32Console* c = g_console.load();
  if (!c) return FALSE;
  if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
    // The program ends through its own path (Exit unwinds to main, which restores the
    // console); should it not get there soon, restore here and end the process.
    g_quit = true;
    SetEvent(g_wake);
    if (WaitForSingleObject(g_done, 3000) == WAIT_TIMEOUT) {
      c->restore();
      ExitProcess(static_cast<UINT>(kCtrlCExit));
    }
    return TRUE;
  }
  // The window is closing or the session ends: the process goes when this returns.
  c->restore();
  return FALSE;
}

int64_t monotonic_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

Win32Console::Win32Console(void* in, void* out) : in_(in), out_(out) {
  held_.set_exact(true);
}

Win32Console::~Win32Console() {
  if (started_ && !finished_) restore();
  if (g_console.load() == this) g_console = nullptr;
}

void Win32Console::start(Screen& s) {
  if (started_) return;
  started_ = true;
  DWORD mode = 0;
  if (GetConsoleMode(in_, &mode)) {
    in_mode_ = mode;
    have_in_mode_ = true;
  }
  if (GetConsoleMode(out_, &mode)) {
    out_mode_ = mode;
    have_out_mode_ = true;
  }
  in_cp_ = GetConsoleCP();
  out_cp_ = GetConsoleOutputCP();
  CONSOLE_CURSOR_INFO ci{};
  if (GetConsoleCursorInfo(out_, &ci)) {
    cursor_size_ = ci.dwSize;
    cursor_visible_ = ci.bVisible != FALSE;
  }
  CONSOLE_SCREEN_BUFFER_INFO bi{};
  const bool have_info = GetConsoleScreenBufferInfo(out_, &bi) != FALSE;
  if (have_info) attr_ = bi.wAttributes;

  if (!g_wake) g_wake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!g_done) g_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  g_quit = false;
  ResetEvent(g_wake);
  ResetEvent(g_done);
  g_console = this;
  SetConsoleCtrlHandler(on_control, TRUE);
  SetUnhandledExceptionFilter(on_crash);

  // The program's text is GBK; the console shows it (and measures Chinese text two columns
  // wide) in code page 936.
  SetConsoleOutputCP(936);
  SetConsoleCP(936);
  // Keys one by one without echo; Ctrl-C still reaches the control handler. Quick edit and
  // insert mode stay as the player has them.
  SetConsoleMode(
      in_, ENABLE_PROCESSED_INPUT | ENABLE_WINDOW_INPUT |
               (in_mode_ & (ENABLE_EXTENDED_FLAGS | ENABLE_QUICK_EDIT_MODE | ENABLE_INSERT_MODE)));
  // No wrap: a run that ends in the last column must not scroll the buffer.
  if (have_out_mode_) SetConsoleMode(out_, ENABLE_PROCESSED_OUTPUT);

  // The model takes the rows from the one after the shell's last output, so what the shell
  // showed stays above in the buffer; if the buffer is too short, it scrolls up to make room.
  if (have_info) {
    const int w = s.width(), h = s.height();
    int bw = bi.dwSize.X, bh = bi.dwSize.Y;
    if (bw < w || bh < h) {
      bw = bw < w ? w : bw;
      bh = bh < h ? h : bh;
      SetConsoleScreenBufferSize(out_, COORD{static_cast<SHORT>(bw), static_cast<SHORT>(bh)});
    }
    int top = bi.dwCursorPosition.Y + (bi.dwCursorPosition.X > 0 ? 1 : 0);
    if (top + h > bh) {
      const int up = top + h - bh;
      SMALL_RECT all{0, 0, static_cast<SHORT>(bw - 1), static_cast<SHORT>(bh - 1)};
      CHAR_INFO fill{};
      fill.Char.UnicodeChar = L' ';
      fill.Attributes = bi.wAttributes;
      ScrollConsoleScreenBufferW(out_, &all, nullptr, COORD{0, static_cast<SHORT>(-up)}, &fill);
      top = bh - h;
    }
    origin_ = top < 0 ? 0 : top;
    // Show the model's rows, and all its columns if the screen allows.
    const COORD largest = GetLargestConsoleWindowSize(out_);
    int ww = bi.srWindow.Right - bi.srWindow.Left + 1,
        wh = bi.srWindow.Bottom - bi.srWindow.Top + 1;
    if (ww < w && largest.X > ww) ww = largest.X < w ? largest.X : w;
    if (wh < h && largest.Y > wh) wh = largest.Y < h ? largest.Y : h;
    int wtop = origin_ + h - wh;
    if (wtop < 0) wtop = 0;
    SMALL_RECT win{0, static_cast<SHORT>(wtop), static_cast<SHORT>(ww - 1),
                   static_cast<SHORT>(wtop + wh - 1)};
    SetConsoleWindowInfo(out_, TRUE, &win);
  }
  size_w_ = s.width();
  size_h_ = s.height();

  // Some consoles (wine's) start reading the keyboard only at the first read request: post an
  // event and read it back, so polling sees keys from the start. Keys typed ahead stay queued.
  INPUT_RECORD rec{};
  rec.EventType = FOCUS_EVENT;
  rec.Event.FocusEvent.bSetFocus = TRUE;
  DWORD n = 0;
  if (WriteConsoleInputW(in_, &rec, 1, &n) && n == 1) {
    INPUT_RECORD got[64];
    DWORD m = 0;
    if (ReadConsoleInputW(in_, got, 64, &m)) {
      for (DWORD k = 0; k < m; ++k) {
        if (got[k].EventType != KEY_EVENT) continue;
        const KEY_EVENT_RECORD& e = got[k].Event.KeyEvent;
        if (!e.bKeyDown) continue;
        win32::KeyCodes c =
            win32::getch_codes(e.wVirtualKeyCode, e.uChar.UnicodeChar, e.dwControlKeyState);
        if (c.n) pending_.push_back(c);
      }
    }
  }
  frame_.invalidate();
}

void Win32Console::apply_size(int w, int h) {
  // As "mode con": window and buffer become exactly w x h. The window shrinks first, so the
  // buffer may shrink under it.
  CONSOLE_SCREEN_BUFFER_INFO bi{};
  if (GetConsoleScreenBufferInfo(out_, &bi)) {
    const int ww = bi.srWindow.Right - bi.srWindow.Left + 1;
    const int wh = bi.srWindow.Bottom - bi.srWindow.Top + 1;
    SMALL_RECT small{0, 0, static_cast<SHORT>((ww < w ? ww : w) - 1),
                     static_cast<SHORT>((wh < h ? wh : h) - 1)};
    SetConsoleWindowInfo(out_, TRUE, &small);
  }
  SetConsoleScreenBufferSize(out_, COORD{static_cast<SHORT>(w), static_cast<SHORT>(h)});
  const COORD largest = GetLargestConsoleWindowSize(out_);
  const int ww = largest.X > 0 && largest.X < w ? largest.X : w;
  const int wh = largest.Y > 0 && largest.Y < h ? largest.Y : h;
  SMALL_RECT win{0, 0, static_cast<SHORT>(ww - 1), static_cast<SHORT>(wh - 1)};
  SetConsoleWindowInfo(out_, TRUE, &win);
  origin_ = 0;
  size_w_ = w;
  size_h_ = h;
  frame_.invalidate();
  shown_cx_ = shown_cy_ = -1;
}

void Win32Console::present(const Screen& s) {
  if (!started_ || finished_) return;
  if (s.width() != size_w_ || s.height() != size_h_) apply_size(s.width(), s.height());
  runs_.clear();
  frame_.diff(s, runs_);
  if (!runs_.empty()) {
    // The cursor would flicker along the runs.
    CONSOLE_CURSOR_INFO hidden{static_cast<DWORD>(cursor_size_), FALSE};
    if (shown_visible_ != 0) SetConsoleCursorInfo(out_, &hidden);
    for (const win32::Run& r : runs_) {
      SetConsoleCursorPosition(out_,
                               COORD{static_cast<SHORT>(r.x), static_cast<SHORT>(origin_ + r.y)});
      if (r.attr != shown_attr_) {
        SetConsoleTextAttribute(out_, r.attr);
        shown_attr_ = r.attr;
      }
      DWORD n = 0;
      WriteConsoleW(out_, reinterpret_cast<const wchar_t*>(r.text.data()),
                    static_cast<DWORD>(r.text.size()), &n, nullptr);
    }
    shown_cx_ = shown_cy_ = -1;
    shown_visible_ = 0;
  }
  if (s.attr() != shown_attr_) {
    SetConsoleTextAttribute(out_, s.attr());
    shown_attr_ = s.attr();
  }
  if (s.cursor_x() != shown_cx_ || s.cursor_y() != shown_cy_) {
    SetConsoleCursorPosition(
        out_, COORD{static_cast<SHORT>(s.cursor_x()), static_cast<SHORT>(origin_ + s.cursor_y())});
    shown_cx_ = s.cursor_x();
    shown_cy_ = s.cursor_y();
  }
  const int visible = s.cursor_visible() ? 1 : 0;
  if (visible != shown_visible_) {
    CONSOLE_CURSOR_INFO ci{static_cast<DWORD>(cursor_size_), visible ? TRUE : FALSE};
    SetConsoleCursorInfo(out_, &ci);
    shown_visible_ = visible;
  }
}

void Win32Console::restore() {
  if (have_in_mode_) SetConsoleMode(in_, in_mode_);
  if (have_out_mode_) SetConsoleMode(out_, out_mode_);
  if (out_cp_) SetConsoleOutputCP(out_cp_);
  if (in_cp_) SetConsoleCP(in_cp_);
  SetConsoleTextAttribute(out_, attr_);
  CONSOLE_CURSOR_INFO ci{static_cast<DWORD>(cursor_size_), cursor_visible_ ? TRUE : FALSE};
  SetConsoleCursorInfo(out_, &ci);
}

void Win32Console::finish(const Screen& s) {
  if (!started_ || finished_) return;
  present(s);
  finished_ = true;
  // The last screen stays; the shell goes on where the program's cursor was, on a line of its
  // own.
  if (s.cursor_x() > 0) {
    DWORD n = 0;
    SetConsoleTextAttribute(out_, attr_);
    WriteConsoleW(out_, L"\r\n", 2, &n, nullptr);
  }
  restore();
  // The handler stays registered, but idle: taking it out could wait for a call of it that is
  // running now (a Ctrl-C that is waiting for this very finish).
  g_console = nullptr;
  if (g_done) SetEvent(g_done);
}

int64_t Win32Console::now_ms() {
  return monotonic_ms();
}

int64_t Win32Console::wall_seconds() {
  return static_cast<int64_t>(std::time(nullptr));
}

void Win32Console::check_quit() {
  if (g_quit) throw Exit{kCtrlCExit};
}

void Win32Console::drain() {
  for (;;) {
    DWORD count = 0;
    if (!GetNumberOfConsoleInputEvents(in_, &count) || count == 0) return;
    INPUT_RECORD recs[64];
    DWORD m = 0;
    if (!ReadConsoleInputW(in_, recs, 64, &m) || m == 0) return;
    for (DWORD k = 0; k < m; ++k) {
      const INPUT_RECORD& r = recs[k];
      if (r.EventType == WINDOW_BUFFER_SIZE_EVENT) {
        // The console may have reflowed or cut the buffer: draw everything again.
        frame_.invalidate();
        shown_cx_ = shown_cy_ = shown_attr_ = shown_visible_ = -1;
        continue;
      }
      if (r.EventType == FOCUS_EVENT && !r.Event.FocusEvent.bSetFocus) {
        // Releases while the window has no focus never arrive.
        held_.clear();
        continue;
      }
      if (r.EventType != KEY_EVENT) continue;
      const KEY_EVENT_RECORD& e = r.Event.KeyEvent;
      if (arrow_of_vk(e.wVirtualKeyCode)) {
        if (e.bKeyDown) {
          held_.press(e.wVirtualKeyCode, now_ms());
        } else {
          held_.release(e.wVirtualKeyCode, now_ms());
        }
      }
      if (!e.bKeyDown) continue;
      win32::KeyCodes c =
          win32::getch_codes(e.wVirtualKeyCode, e.uChar.UnicodeChar, e.dwControlKeyState);
      if (c.n == 0 && e.uChar.UnicodeChar >= 0x80) {
        // A character beyond ASCII: its bytes in the input code page, as _getch gives them.
        char mb[8];
        const wchar_t wc = static_cast<wchar_t>(e.uChar.UnicodeChar);
        const int len = WideCharToMultiByte(GetConsoleCP(), 0, &wc, 1, mb,
                                            static_cast<int>(sizeof mb), nullptr, nullptr);
        if (len == 1 || len == 2) {
          c.codes[0] = static_cast<uint8_t>(mb[0]);
          c.codes[1] = static_cast<uint8_t>(mb[len - 1]);
          c.n = static_cast<uint8_t>(len);
        }
      }
      const int repeat = e.wRepeatCount > 0 ? e.wRepeatCount : 1;
      for (int k2 = 0; c.n && k2 < repeat && pending_.size() < KeyQueue::kCapacity; ++k2)
        pending_.push_back(c);
    }
  }
}

void Win32Console::pump(KeyQueue& q, int64_t deadline_ms, bool until_key) {
  check_quit();
  for (;;) {
    drain();
    for (const win32::KeyCodes& c : pending_) q.push_event(c.codes, c.n);
    pending_.clear();
    if (until_key && !q.empty()) return;
    DWORD wait = INFINITE;
    if (!until_key) {
      const int64_t left = deadline_ms - now_ms();
      if (left <= 0) return;
      wait = static_cast<DWORD>(left < 0x7FFFFFFF ? left : 0x7FFFFFFF);
    }
    const HANDLE hs[2] = {static_cast<HANDLE>(in_), g_wake};
    const DWORD r = WaitForMultipleObjects(2, hs, FALSE, wait);
    check_quit();
    if (r == WAIT_FAILED) {
      // No console to wait on any more: input has ended.
      q.closed = true;
      if (until_key) return;
      ::Sleep(wait == INFINITE ? 10 : wait);
      return;
    }
  }
}

bool Win32Console::key_down(int vk) {
  check_quit();
  drain();
  return arrow_of_vk(vk) && held_.down(vk, now_ms());
}

}  // namespace con
