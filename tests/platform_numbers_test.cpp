// Reals into integers and pixels, and integers into texts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/platform.h"

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();
constexpr std::int32_t MAX = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t MIN = std::numeric_limits<std::int32_t>::min();

struct Case {
  double value;
  std::int32_t floor, half_even, pixel;
};

TEST(PlatformNumbers, RoundingTable) {
  const Case cases[] = {
      {0.0, 0, 0, 0},
      {-0.0, 0, 0, 0},
      {10.9, 10, 11, 10},
      {-0.3, -1, 0, 0},
      {-0.5, -1, 0, -1},
      {-1.5, -2, -2, -2},
      {0.5, 0, 0, 0},
      {1.5, 1, 2, 1},
      {2.5, 2, 2, 2},
      {-2.5, -3, -2, -3},
      {3.5, 3, 4, 3},
      {-0.7, -1, -1, -1},
      {0.49999999999999994, 0, 0, 0},
      {2147483647.4, MAX, MAX, MAX},
      {-2147483648.6, MIN, MIN, MIN},
      {1e300, MAX, MAX, MAX},
      {-1e300, MIN, MIN, MIN},
      {INF, MAX, MAX, MAX},
      {-INF, MIN, MIN, MIN},
      {NaN, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(platform::int_floor(c.value), c.floor);
    EXPECT_EQ(platform::round_half_even(c.value), c.half_even);
    EXPECT_EQ(platform::to_pixel(c.value), c.pixel);
  }
}

TEST(PlatformNumbers, Decimal) {
  EXPECT_EQ(platform::decimal(0), "0");
  EXPECT_EQ(platform::decimal(-42), "-42");
  EXPECT_EQ(platform::decimal(1234567), "1234567");
  EXPECT_EQ(platform::decimal(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

}  // namespace
