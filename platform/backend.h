// The seam between the platform's core (platform/*.cpp: screen, keys,
// mouse, sleeping, files, errors) and the backend that a program links (SDL
// or headless). The core asks the backend for time, sleeping and the
// window; the backend feeds the core with keys, held keys and the mouse, and
// presents the core's frame. No backend type leaks through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace platform::backend {

// What the core needs from a backend. All of it is called on the game's thread.
class Backend {
 public:
  virtual ~Backend() = default;
  // The clock in seconds (a virtual clock may advance on every read).
  virtual double now() = 0;
  // Sleeps that many microseconds (really, or on a virtual clock).
  virtual void sleep_us(std::int64_t microseconds) = 0;
  // Called before every poll_mouse, read_key and key_held.
  virtual void input_query() {}
  // Called each time a wait for a key (sleep_ms(-1), wait_key) finds none.
  virtual void waiting_for_key() {}
  virtual ScreenSize desktop_size() = 0;
  // Opens (or reopens) the screen at that size; false when it cannot be had.
  virtual bool open_screen(std::int32_t width, std::int32_t height, bool full_screen) = 0;
  virtual void close_screen() = 0;
  virtual void set_title(std::string_view cp437_title) = 0;
};

// The backend in use; without one installed, a plain one with the real
// clock and no display serves.
void install(Backend* backend);
Backend& current();

// ---------------------------------------------------------------------------
// Input from the backend (any thread).

void push_key(int code);                      // a key entering the queue; raises the key event
void set_key_held(int scan_code, bool down);  // PC set-1 scan code, 0..255
void release_all_keys();
void set_mouse(MouseState mouse);

// ---------------------------------------------------------------------------
// The frame, for presenting and inspecting.

// Presenter side (any thread): copies the frame into `out` when it changed
// since the last copy and no lock is held; holds the screen's mutex only
// for the copy.
bool copy_frame_if_changed(std::vector<std::uint32_t>& out, ScreenSize& size);
// Game thread: the frame as it stands (empty before a screen mode is set).
ScreenSize frame_size();
const std::uint32_t* frame_data();
bool screen_is_open();
// Forgets a lock that a run left held when an error ended it.
void abandon_screen_lock();

// ---------------------------------------------------------------------------
// Runs and their end.

struct Outcome {
  int status = 0;      // 0, the error number or end_program's status
  std::string report;  // the runtime error report, empty otherwise
};
// Runs `entry`, turning a RuntimeError or ProgramEnd into the outcome.
Outcome run_guarded(const std::function<void()>& entry);

// Everything back to a fresh process's state: no screen, default colours
// and font, empty key queue, nothing held, the mouse outside, the random
// source at its start, no file faults.
void reset_core();

// ---------------------------------------------------------------------------
// Text and files.

// The code page 437 code of a Unicode character, or -1 when it has none.
int cp437_from_unicode(char32_t c);
// A code page 437 text as UTF-8.
std::string utf8_from_cp437(std::string_view text);
// A UTF-8 text as code page 437; characters without a code are left out.
std::string cp437_from_utf8(std::string_view text);

// Faults for the next replace_file (tests of safe saving).
void fail_next_replace_at_create();
void fail_next_replace_after(std::size_t bytes);

}  // namespace platform::backend
