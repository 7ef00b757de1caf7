// Reals into integers and pixels, and integers into texts. Every function
// is defined for every double: NaN gives 0, the rest saturates at the
// 32-bit range.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "platform/platform.h"

namespace platform {

namespace {

constexpr double INT32_LOW = static_cast<double>(std::numeric_limits<std::int32_t>::min());
constexpr double INT32_HIGH = static_cast<double>(std::numeric_limits<std::int32_t>::max());

// A whole-numbered double into the 32-bit range.
std::int32_t saturate(double whole) {
  if (std::isnan(whole)) return 0;
  if (whole <= INT32_LOW) return std::numeric_limits<std::int32_t>::min();
  if (whole >= INT32_HIGH) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(whole);
}

}  // namespace

std::int32_t int_floor(double v) { return saturate(std::floor(v)); }

std::int32_t round_half_even(double v) {
  if (std::isnan(v) || std::isinf(v)) return saturate(v);
  const double low = std::floor(v);
  const double fraction = v - low;  // exact for doubles of this size
  double result = low;
  if (fraction > 0.5) {
    result = low + 1.0;
  } else if (fraction == 0.5) {
    result = std::fmod(low, 2.0) == 0.0 ? low : low + 1.0;
  }
  return saturate(result);
}

std::int32_t to_pixel(double v) {
  if (v > 0.0) return saturate(std::trunc(v));
  return saturate(std::round(v));  // halves away from zero
}

std::string decimal(std::int64_t v) { return std::to_string(v); }

}  // namespace platform
