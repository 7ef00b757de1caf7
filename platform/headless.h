// The headless backend, for tests and tools: no display, a virtual clock
// and scripted input. A program that links tandrel_headless gets it.
//
// The virtual clock starts at 0. It advances by the step (10 us unless
// set) on every clock read and every input query (poll_mouse, read_key,
// key_held), and by the slept time on every sleep. Scripted events take
// effect when the clock reaches their time, in the order they were added
// when times are equal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace platform::headless {

// The status of a run whose script ran out.
inline constexpr int STATUS_SCRIPT_RAN_OUT = 125;

// A fresh platform: clock 0, no events, empty queue, nothing held, the
// mouse outside (-1), the random source at its start, no screen, no file
// faults, the default step. Screen modes larger than `desktop` are refused.
void reset(ScreenSize desktop = {1366, 768});

// The virtual clock, read without advancing it.
std::int64_t now_us();
double now_seconds();
// The clock's step per clock read and input query, in microseconds (>= 0).
void set_step_us(std::int64_t microseconds);
// Advances the clock by that much, delivering due events (as a sleep does).
void advance_us(std::int64_t microseconds);

// Scripted events at virtual times in seconds.
void at_mouse(double seconds, std::int32_t x, std::int32_t y, std::int32_t buttons);
void at_key(double seconds, int code);                     // a key code into the queue
void at_text(double seconds, std::string_view cp437);      // each byte as a key code
void at_hold(double seconds, int scan_code);               // the key goes down
void at_release(double seconds, int scan_code);            // the key comes up
void at_call(double seconds, std::function<void()> call);  // runs `call` then (e.g. a screenshot)
// The run ends as having run out of script once the clock passes this time.
void set_end_time(double seconds);
// Scripted events not yet delivered.
std::size_t pending_events();

// What a run came to.
struct RunResult {
  int status = 0;         // 0, the error number, end_program's status or STATUS_SCRIPT_RAN_OUT
  std::string report;     // the runtime error report, or "script ran out at <t> s\n"
  bool ran_out = false;   // the script ran out: a key was awaited with no event left, or the end time passed
  double ran_out_at = 0;  // the virtual time when it ran out
};
// Runs a game entry or any procedure on this thread, catching as run_program does.
RunResult run(const std::function<void()>& entry);

// The screen as the game left it.
bool screen_open();
ScreenSize screen_size();
bool full_screen();
std::string window_title();  // code page 437, as set
// 0 outside the screen.
std::uint32_t pixel(std::int32_t x, std::int32_t y);
std::span<const std::uint32_t> frame();
// Saves the frame as an RGB PNG; false when there is no screen or the file cannot be written.
bool save_png(const std::string& path);

// The next replace_file fails at creating its temporary file.
void fail_next_replace_at_create();
// The next replace_file fails when writing past that many bytes.
void fail_next_replace_after(std::size_t bytes);

}  // namespace platform::headless
