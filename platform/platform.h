// The platform: screen, keyboard, mouse, time, randomness, files and the
// runtime error report. The only module that knows about the system; the
// game calls these operations and nothing else of it. Which backend serves
// them (SDL, or the scripted headless one) is chosen by what a program links.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// ---------------------------------------------------------------------------
// Where a checked operation was called from: the line of the game's
// statement, taken at the call site like a default argument. (clang 14 with
// libstdc++ 12 has no SourceLine, so this is our own.)
class SourceLine {
 public:
  static constexpr SourceLine current(int line = __builtin_LINE()) { return SourceLine(line); }
  constexpr int line() const { return line_; }

 private:
  constexpr explicit SourceLine(int line) : line_(line) {}
  int line_;
};

// ---------------------------------------------------------------------------
// Runtime errors: one road. A checked operation that fails raises a
// RuntimeError; the top of the game thread turns it into the report on
// standard error (after the screen is closed) and the exit status.

inline constexpr int ERROR_ILLEGAL_FUNCTION_CALL = 1;
inline constexpr int ERROR_FILE_NOT_FOUND = 2;
inline constexpr int ERROR_FILE_IO = 3;
inline constexpr int ERROR_OUT_OF_MEMORY = 4;
inline constexpr int ERROR_OUT_OF_BOUNDS = 6;

struct RuntimeError {
  int number = 0;         // error number, also the exit status
  int line = 0;           // source line of the failing statement, 0 when unknown
  std::string module;     // "main", "inc/general", "inc/classic", ...
  std::string procedure;  // "PLAY_CLASSIC"; empty for main's own code
  bool procedure_known = true;
};

// The exact text of the report: "\nAborting due to runtime error 2 (file not found) at line ...".
std::string error_report(const RuntimeError& error);

// Raises runtime error `number` for the statement at `where`, naming the
// procedure of the innermost ProcedureScope.
[[noreturn]] void raise_error(int number, SourceLine where = SourceLine::current());

// Names the game procedure that is running, for the reports of the checked
// operations it calls. Every game procedure opens one on entry.
class ProcedureScope {
 public:
  ProcedureScope(const char* module, const char* procedure);
  ~ProcedureScope();
  ProcedureScope(const ProcedureScope&) = delete;
  ProcedureScope& operator=(const ProcedureScope&) = delete;

 private:
  const char* outer_module_;
  const char* outer_procedure_;
};

// Thrown by end_program; caught at the top of the game thread.
struct ProgramEnd {
  int status = 0;
};

// Closes the screen, gives the desktop its mode back and ends the process with `status`.
[[noreturn]] void end_program(int status);

// Runs the game's entry on its own thread (SDL) or on the calling one
// (headless), turns a RuntimeError or ProgramEnd into the report and the
// status, closes the screen and returns the status for main() to return.
int run_program(void (*game_entry)());

// ---------------------------------------------------------------------------
// Numbers and positions.

// INT(v): rounds down. NaN gives 0; values beyond the 32-bit range saturate.
std::int32_t int_floor(double v);
// A real stored into an integer field: nearest, ties to even; saturating, NaN gives 0.
std::int32_t round_half_even(double v);
// A drawing position as a whole pixel: a positive value loses its fraction,
// zero or below rounds to nearest with halves away from zero; saturating.
std::int32_t to_pixel(double v);
// A number as the texts show it: decimal, no blanks, "-" when negative.
std::string decimal(std::int64_t v);

// ---------------------------------------------------------------------------
// Checked tables, indexed from 1. Creating one with fewer than one entry is
// error 1, running out of memory error 4, an index outside it error 6.

inline constexpr std::size_t TABLE_BYTES_LIMIT = std::size_t{1} << 30;

template <class T>
class Table {
 public:
  explicit Table(std::int32_t count, SourceLine where = SourceLine::current()) {
    if (count < 1) raise_error(ERROR_ILLEGAL_FUNCTION_CALL, where);
    if (static_cast<std::size_t>(count) > TABLE_BYTES_LIMIT / sizeof(T)) raise_error(ERROR_OUT_OF_MEMORY, where);
    try {
      entries_.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
      raise_error(ERROR_OUT_OF_MEMORY, where);
    }
  }
  T& operator()(std::int32_t index, SourceLine where = SourceLine::current()) {
    if (index < 1 || index > size()) raise_error(ERROR_OUT_OF_BOUNDS, where);
    return entries_[static_cast<std::size_t>(index - 1)];
  }
  const T& operator()(std::int32_t index, SourceLine where = SourceLine::current()) const {
    if (index < 1 || index > size()) raise_error(ERROR_OUT_OF_BOUNDS, where);
    return entries_[static_cast<std::size_t>(index - 1)];
  }
  std::int32_t size() const { return static_cast<std::int32_t>(entries_.size()); }

 private:
  std::vector<T> entries_;
};

// ---------------------------------------------------------------------------
// The screen: one 32-bit page (0xAARRGGBB, rows top first, no padding) that
// the game draws into and the platform presents about every 10 ms while
// the lock count is zero.

struct ScreenSize {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// The desktop's current display mode, asked before any screen mode is set.
ScreenSize desktop_size();
// Full screen at that size, else a window of that size; error 1 when neither can be had.
void set_screen_mode(std::int32_t width, std::int32_t height, std::int32_t depth, std::int32_t pages,
                     std::int32_t flags, std::int32_t refresh, SourceLine where = SourceLine::current());
// Chooses the built-in font whose cell is width/columns x height/rows (8x8, 8x14, 8x16) and clears the screen.
void set_text_grid(std::int32_t columns, std::int32_t rows);
// At most 127 characters are used.
void set_window_title(std::string_view title);
// Colours 0xRRGGBB; both stay in force for later texts and clears.
void set_colour(std::uint32_t foreground, std::uint32_t background);
// Fills the whole screen with the background colour.
void clear_screen();
// A nested lock count: nothing is presented while it is above zero; the
// unlock that brings it to zero marks the whole screen changed.
void lock_screen();
void unlock_screen();
// Draws code page 437 text in the built-in font and the foreground colour,
// setting only the glyphs' pixels; positions follow to_pixel.
void draw_text(double x, double y, std::string_view text, SourceLine where = SourceLine::current());

// The page itself, for the picture drawing of mapdata. Write to it only
// between lock_screen and unlock_screen.
struct ScreenPixels {
  std::uint32_t* pixels = nullptr;
  std::int32_t width = 0;
  std::int32_t height = 0;
};
ScreenPixels screen_pixels();

// ---------------------------------------------------------------------------
// Input and time.

struct MouseState {
  std::int32_t x = -1;
  std::int32_t y = -1;
  std::int32_t buttons = -1;  // 1 left, 2 right, 4 middle; all fields -1 outside the window
};
MouseState poll_mouse();

// Key codes as the queue holds them.
inline constexpr int KEY_BACKSPACE = 8;
inline constexpr int KEY_ENTER = 13;
inline constexpr int KEY_ESCAPE = 27;
inline constexpr int KEY_SPACE = 32;
inline constexpr int KEY_CLOSE_WINDOW = 27647;  // extended code 107 (Alt+F4)
// A key without a character: its extended PC key code * 256 + 255.
constexpr int extended_key(int pc_code) { return pc_code * 256 + 255; }

// PC keyboard scan codes (set 1) for key_held.
inline constexpr int SCAN_W = 17;
inline constexpr int SCAN_P = 25;
inline constexpr int SCAN_S = 31;
inline constexpr int SCAN_SPACE = 57;
inline constexpr int SCAN_UP = 72;
inline constexpr int SCAN_DOWN = 80;

// The next queued key without waiting: "", one character below 256, or "\xFF" + extended code.
std::string read_key();
// Waits for the next key and returns its code.
int wait_key();
// Whether the key with that scan code is down now; consumes nothing.
bool key_held(int scan_code);
// -1: until the key event; 0: returns; 1..99: exactly; 100+: in 50 ms slices cut short by the key event.
void sleep_ms(int ms);
// Seconds, steadily increasing, resolution well below 1 ms.
double clock_seconds();

// The one pseudo-random source: uniform in [0, 1), the same sequence at
// every program start until it is first reseeded from the clock.
double random_real();
void reseed_random_from_clock();

// ---------------------------------------------------------------------------
// Files. Paths are the game's, relative to the working folder, with "\" or
// "/" as the folder separator.

class InputFile {
 public:
  // An open file, or nothing when it is missing or cannot be read.
  static std::optional<InputFile> open(std::string_view path);
  std::uint64_t size() const { return size_; }
  // Reads up to out.size() bytes at `offset`; returns how many were read (fewer at the end).
  std::size_t read_at(std::uint64_t offset, std::span<std::byte> out) const;
  // Reads in sequence from where the last sequential read stopped.
  std::size_t read(std::span<std::byte> out);

  InputFile(InputFile&&) noexcept;
  InputFile& operator=(InputFile&&) noexcept;
  ~InputFile();

 private:
  InputFile(int descriptor, std::uint64_t size) : descriptor_(descriptor), size_(size) {}
  int descriptor_ = -1;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
};

enum class ReplaceResult {
  replaced,       // the file now holds exactly the new bytes
  cannot_create,  // no temporary file could be made beside it; the file is untouched
  write_failed,   // a write, flush or the rename failed; the file is untouched
};
// Replaces the file's whole contents so that no failure or crash can leave
// it half written: a temporary file beside it, every write checked, flushed
// to disk, then renamed over it.
ReplaceResult replace_file(std::string_view path, std::string_view bytes);

}  // namespace platform
