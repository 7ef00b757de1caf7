// draw_picture: puts an Image on the screen, clipped, in one of the two
// drawing modes. Allocates nothing.
#include <algorithm>
#include <cstdint>

#include "mapdata/mapdata.h"
#include "mapdata/picture_blit.h"
#include "platform/platform.h"

namespace mapdata {
namespace {

// Holds the screen lock for the time of one copy, inside any lock the caller holds.
class ScreenLock {
 public:
  ScreenLock() { platform::lock_screen(); }
  ~ScreenLock() { platform::unlock_screen(); }
  ScreenLock(const ScreenLock&) = delete;
  ScreenLock& operator=(const ScreenLock&) = delete;
};

bool holds_image(const Picture& picture) {
  if (!picture || picture->width < 1 || picture->height < 1) return false;
  const auto count = static_cast<std::uint64_t>(picture->width) * static_cast<std::uint64_t>(picture->height);
  return picture->pixels.size() >= count;
}

bool has_runs(const Image& image) {
  return !image.packed.empty() && image.packed.width() == image.width && image.packed.height() == image.height;
}

// The platform's rounding of a position (to_pixel), with the usual case of
// a position between 0 and the largest whole pixel worked out here: there it
// only loses its fraction.
inline std::int64_t whole_pixels(double v) {
  if (v >= 0.0 && v < 2147483648.0) return static_cast<std::int64_t>(v);
  return platform::to_pixel(v);
}

}  // namespace

void draw_picture(double x, double y, const Picture& picture, DrawMode mode, platform::SourceLine where) {
  if (!holds_image(picture)) platform::raise_error(platform::ERROR_ILLEGAL_FUNCTION_CALL, where);
  const Image& image = *picture;
  const std::int64_t left = whole_pixels(x);
  const std::int64_t top = whole_pixels(y);

  // The screen's size is the game thread's own; the lock is needed only for writing.
  const platform::ScreenPixels screen = platform::screen_pixels();
  if (screen.pixels == nullptr) return;

  // The visible part, in screen columns and rows; 64-bit so that no sum overflows.
  const std::int64_t x0 = std::max<std::int64_t>(left, 0);
  const std::int64_t x1 = std::min<std::int64_t>(left + image.width, screen.width);
  const std::int64_t y0 = std::max<std::int64_t>(top, 0);
  const std::int64_t y1 = std::min<std::int64_t>(top + image.height, screen.height);
  if (x0 >= x1 || y0 >= y1) return;  // wholly off the screen: next to nothing

  const auto visible = static_cast<std::size_t>(x1 - x0);
  const auto source_x = static_cast<std::size_t>(x0 - left);
  const auto image_width = static_cast<std::size_t>(image.width);
  const auto screen_width = static_cast<std::size_t>(screen.width);
  const std::uint32_t* source = image.pixels.data() + static_cast<std::size_t>(y0 - top) * image_width + source_x;
  std::uint32_t* target = screen.pixels + static_cast<std::size_t>(y0) * screen_width + static_cast<std::size_t>(x0);
  const auto rows = static_cast<std::size_t>(y1 - y0);

  const ScreenLock lock;
  const blit::Kernels& kernels = blit::best_kernels();
  if (mode == DrawMode::opaque) {
    kernels.opaque(target, screen_width, source, image_width, visible, rows);
    return;
  }
  if (!has_runs(image)) {
    for (std::size_t r = 0; r < rows; ++r, source += image_width, target += screen_width) {
      kernels.keyed(target, source, visible);
    }
    return;
  }
  // Only the runs without key colour are copied, from their packed,
  // alpha-cleared pixels; the key-coloured stretches are never looked at.
  const auto clip_begin = static_cast<std::int64_t>(source_x);
  kernels.packed(target, screen_width, image.packed, static_cast<std::size_t>(y0 - top), rows, clip_begin,
                 clip_begin + static_cast<std::int64_t>(visible));
}

}  // namespace mapdata
