// The screen: one 32-bit frame that the game draws into and a backend
// presents. The game thread holds the frame while its lock count is above
// zero; a presenter copies it out only when no lock is held and something
// changed, holding the mutex just for that copy.
#include <algorithm>
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

#include "platform/backend.h"
#include "platform/font.h"
#include "platform/platform.h"

namespace platform {

namespace {

constexpr std::int32_t LARGEST_SIDE = 32768;
constexpr std::uint32_t DEFAULT_FOREGROUND = 0xFFFFFF;
constexpr std::uint32_t DEFAULT_BACKGROUND = 0x000000;
constexpr std::int32_t CELL_WIDTH = 8;

// A whole screen is cleared every frame. The processor's string store
// writes whole cache lines without reading them first, as memset does; a
// plain loop of stores runs several times slower on a screen this size.
void fill(std::vector<std::uint32_t>& pixels, std::uint32_t colour) {
#if defined(__x86_64__)
  void* destination = pixels.data();
  std::size_t count = pixels.size();
  asm volatile("rep stosl" : "+D"(destination), "+c"(count) : "a"(colour) : "memory");
#else
  std::fill(pixels.begin(), pixels.end(), colour);
#endif
}

struct Screen {
  // Shared with the presenter, under `mutex`.
  std::mutex mutex;
  bool game_holds = false;  // the lock count is above zero
  bool dirty = false;       // changed since the presenter's last copy
  bool open = false;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;  // written only while game_holds

  // The game thread's own.
  int lock_count = 0;
  std::uint32_t foreground = DEFAULT_FOREGROUND;
  std::uint32_t background = DEFAULT_BACKGROUND;
  std::int32_t cell_height = 8;  // the font: 8, 14 or 16 rows
};

Screen& screen() {
  static Screen instance;
  return instance;
}

// Holds the screen lock for one drawing operation, nested in the caller's.
class HeldLock {
 public:
  HeldLock() { lock_screen(); }
  ~HeldLock() { unlock_screen(); }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
};

const std::uint8_t* glyph_rows(std::int32_t cell_height, unsigned char code) {
  switch (cell_height) {
    case 14:
      return font::glyphs_8x14[code];
    case 16:
      return font::glyphs_8x16[code];
    default:
      return font::glyphs_8x8[code];
  }
}

}  // namespace

void set_screen_mode(std::int32_t width, std::int32_t height, std::int32_t depth, std::int32_t pages,
                     std::int32_t flags, std::int32_t refresh, SourceLine where) {
  (void)refresh;  // the display's own rate serves
  if (width < 1 || height < 1 || width > LARGEST_SIDE || height > LARGEST_SIDE || depth != 32 || pages < 1) {
    raise_error(ERROR_ILLEGAL_FUNCTION_CALL, where);
  }
  Screen& s = screen();
  std::vector<std::uint32_t> pixels;
  try {
    pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  } catch (const std::bad_alloc&) {
    raise_error(ERROR_ILLEGAL_FUNCTION_CALL, where);
  }
  if (!backend::current().open_screen(width, height, (flags & 1) != 0)) {
    raise_error(ERROR_ILLEGAL_FUNCTION_CALL, where);
  }
  HeldLock held;
  s.pixels = std::move(pixels);
  s.width = width;
  s.height = height;
  s.open = true;
  s.cell_height = 8;
}

void set_text_grid(std::int32_t columns, std::int32_t rows) {
  Screen& s = screen();
  if (columns >= 1 && rows >= 1 && s.open) {
    const std::int32_t cell_w = s.width / columns;
    const std::int32_t cell_h = s.height / rows;
    if (cell_w == CELL_WIDTH && (cell_h == 8 || cell_h == 14 || cell_h == 16)) s.cell_height = cell_h;
  }
  clear_screen();
}

void set_window_title(std::string_view title) { backend::current().set_title(title.substr(0, 127)); }

void set_colour(std::uint32_t foreground, std::uint32_t background) {
  screen().foreground = foreground;
  screen().background = background;
}

void clear_screen() {
  Screen& s = screen();
  HeldLock held;
  fill(s.pixels, s.background);
}

void lock_screen() {
  Screen& s = screen();
  if (s.lock_count++ == 0) {
    std::lock_guard guard{s.mutex};
    s.game_holds = true;
  }
}

void unlock_screen() {
  Screen& s = screen();
  if (s.lock_count == 0) return;
  if (--s.lock_count == 0) {
    std::lock_guard guard{s.mutex};
    s.game_holds = false;
    s.dirty = true;
  }
}

void draw_text(double x, double y, std::string_view text, SourceLine where) {
  Screen& s = screen();
  if (!s.open) raise_error(ERROR_ILLEGAL_FUNCTION_CALL, where);
  if (text.empty()) return;
  const std::int64_t left = to_pixel(x);
  const std::int64_t top = to_pixel(y);
  const std::int64_t cell_h = s.cell_height;
  const std::int64_t row_first = std::max<std::int64_t>(0, -top);
  const std::int64_t row_end = std::min<std::int64_t>(cell_h, s.height - top);
  if (row_first >= row_end) return;
  HeldLock held;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::int64_t cell_x = left + static_cast<std::int64_t>(i) * CELL_WIDTH;
    if (cell_x >= s.width) break;
    if (cell_x + CELL_WIDTH <= 0) continue;
    const std::uint8_t* rows = glyph_rows(s.cell_height, static_cast<unsigned char>(text[i]));
    for (std::int64_t row = row_first; row < row_end; ++row) {
      const std::uint8_t bits = rows[row];
      if (bits == 0) continue;
      std::uint32_t* line = s.pixels.data() + static_cast<std::size_t>((top + row) * s.width);
      for (std::int64_t column = 0; column < CELL_WIDTH; ++column) {
        const std::int64_t px = cell_x + column;
        if ((bits & (0x80u >> column)) != 0 && px >= 0 && px < s.width) line[px] = s.foreground;
      }
    }
  }
}

ScreenPixels screen_pixels() {
  Screen& s = screen();
  return {s.pixels.empty() ? nullptr : s.pixels.data(), s.width, s.height};
}

namespace backend {

bool copy_frame_if_changed(std::vector<std::uint32_t>& out, ScreenSize& size) {
  Screen& s = screen();
  std::lock_guard guard{s.mutex};
  if (s.game_holds || !s.dirty || !s.open) return false;
  out.resize(s.pixels.size());
  std::copy(s.pixels.begin(), s.pixels.end(), out.begin());
  size = {s.width, s.height};
  s.dirty = false;
  return true;
}

ScreenSize frame_size() { return {screen().width, screen().height}; }

const std::uint32_t* frame_data() { return screen().pixels.empty() ? nullptr : screen().pixels.data(); }

bool screen_is_open() { return screen().open; }

void abandon_screen_lock() {
  Screen& s = screen();
  if (s.lock_count == 0) return;
  s.lock_count = 1;
  unlock_screen();
}

void reset_screen() {
  Screen& s = screen();
  std::lock_guard guard{s.mutex};
  s.game_holds = false;
  s.dirty = false;
  s.open = false;
  s.width = 0;
  s.height = 0;
  s.pixels.clear();
  s.lock_count = 0;
  s.foreground = DEFAULT_FOREGROUND;
  s.background = DEFAULT_BACKGROUND;
  s.cell_height = 8;
}

}  // namespace backend

}  // namespace platform
