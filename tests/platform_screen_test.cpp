// The screen on the headless backend: the mode, the text grid and its
// font, text drawing, the lock and the frame that a presenter sees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/backend.h"
#include "platform/font.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

namespace headless = platform::headless;

void open_screen(std::int32_t width, std::int32_t height) {
  headless::reset({width, height});
  platform::set_screen_mode(width, height, 32, 1, 1, 0);
}

// The cell height that text is drawn with: the height of a drawn full block (219).
int drawn_cell_height() {
  platform::set_colour(0xFFFFFF, 0);
  platform::clear_screen();
  platform::draw_text(0, 0, "\xDB");
  int rows = 0;
  while (headless::pixel(0, rows) == 0xFFFFFF) ++rows;
  return rows;
}

TEST(PlatformScreen, TextGridChoosesTheFont) {
  struct Case {
    std::int32_t width, height, columns, rows, cell_height;
  };
  const Case cases[] = {
      {1366, 768, 170, 48, 16},  // the game's own grid on its desktops
      {800, 600, 100, 37, 16},  {64, 256, 8, 16, 16},  {320, 140, 40, 10, 14},
      {320, 200, 40, 25, 8},    {320, 120, 40, 10, 8},  // a 12-row cell has no font: the 8x8 one stays
      {60, 100, 8, 6, 8},                               // a 7-pixel cell is too narrow: the 8x8 font stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    open_screen(c.width, c.height);
    platform::set_text_grid(c.columns, c.rows);
    EXPECT_EQ(drawn_cell_height(), c.cell_height);
  }
}

TEST(PlatformScreen, ModeErrorsAndTheWindowItGets) {
  struct Case {
    std::int32_t width, height, depth;
    int status;
  };
  const Case cases[] = {{1024, 768, 32, 0}, {1024, 768, 16, 1}, {1025, 768, 32, 1}, {0, 768, 32, 1}};
  for (const Case& c : cases) {
    headless::reset({1024, 768});
    const auto result = headless::run([&] { platform::set_screen_mode(c.width, c.height, c.depth, 1, 1, 0); });
    EXPECT_EQ(result.status, c.status) << c.width << "x" << c.height << "x" << c.depth;
    EXPECT_EQ(headless::screen_open(), c.status == 0);
  }
  headless::reset({1024, 768});
  platform::set_screen_mode(1024, 768, 32, 1, 1, 0);
  EXPECT_TRUE(headless::full_screen());
  EXPECT_EQ(headless::screen_size().width, 1024);
  platform::set_window_title(std::string(200, 'x'));
  EXPECT_EQ(headless::window_title().size(), 127u);
}

TEST(PlatformScreen, DrawTextSetsOnlyGlyphPixels) {
  open_screen(64, 32);
  platform::set_text_grid(8, 2);  // 8x16
  platform::set_colour(0x123456, 0x0000FF);
  platform::clear_screen();
  platform::draw_text(8.9, 3.2, "A\x81");  // positions lose their fractions
  int glyph_pixels = 0;
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 64; ++x) {
      std::uint32_t expected = 0x0000FF;
      const int column = x - 8;
      const int row = y - 3;
      if (column >= 0 && column < 16 && row >= 0 && row < 16) {
        const auto bits = platform::font::glyphs_8x16[column < 8 ? 'A' : 0x81][row];
        if ((bits & (0x80 >> (column % 8))) != 0) expected = 0x123456;
      }
      if (expected == 0x123456) ++glyph_pixels;
      ASSERT_EQ(headless::pixel(x, y), expected) << x << "," << y;
    }
  }
  EXPECT_GT(glyph_pixels, 20);
}

TEST(PlatformScreen, DrawTextClipsAtEveryEdge) {
  open_screen(16, 16);
  platform::set_text_grid(2, 1);
  platform::set_colour(0xFFFFFF, 0);
  for (const auto& [x, y] : {std::pair{-4.0, -0.5}, {12.0, 10.0}, {-100.0, 0.0}, {1e12, 1e12}, {-1e12, 3.0}}) {
    platform::clear_screen();
    platform::draw_text(x, y, "\xDB\xDB\xDB");
    const int left = platform::to_pixel(x);
    const int top = platform::to_pixel(y);
    for (int py = 0; py < 16; ++py) {
      for (int px = 0; px < 16; ++px) {
        const bool inside = px >= left && px < left + 24 && py >= top && py < top + 16;
        ASSERT_EQ(headless::pixel(px, py), inside ? 0xFFFFFFu : 0u) << x << "," << y << " at " << px << "," << py;
      }
    }
  }
  platform::draw_text(0, 0, "");  // an empty text draws nothing and is no error
}

TEST(PlatformScreen, DrawTextWithoutAScreenIsError1) {
  headless::reset();
  const auto result = headless::run([] { platform::draw_text(0, 0, "x"); });
  EXPECT_EQ(result.status, 1);
}

TEST(PlatformScreen, PresenterSeesOnlyUnlockedChangedFrames) {
  open_screen(4, 2);
  std::vector<std::uint32_t> copy;
  platform::ScreenSize size;
  platform::set_colour(0, 0x0000AA);
  platform::clear_screen();  // an unlocked clear takes the lock itself
  ASSERT_TRUE(platform::backend::copy_frame_if_changed(copy, size));
  EXPECT_EQ(copy, std::vector<std::uint32_t>(8, 0x0000AA));
  EXPECT_FALSE(platform::backend::copy_frame_if_changed(copy, size));  // nothing changed since

  platform::lock_screen();
  platform::lock_screen();
  platform::set_colour(0, 0x00BB00);
  platform::clear_screen();
  platform::unlock_screen();
  EXPECT_FALSE(platform::backend::copy_frame_if_changed(copy, size));  // still held once
  platform::unlock_screen();
  ASSERT_TRUE(platform::backend::copy_frame_if_changed(copy, size));
  EXPECT_EQ(copy, std::vector<std::uint32_t>(8, 0x00BB00));
  platform::unlock_screen();  // an unlock too many is harmless
  EXPECT_FALSE(platform::backend::copy_frame_if_changed(copy, size));
}

TEST(PlatformScreen, SavedPngShowsTheFrame) {
  const std::filesystem::path convert = "/usr/bin/convert";
  if (!std::filesystem::exists(convert)) GTEST_SKIP() << "ImageMagick is not installed";
  open_screen(300, 70);  // more than one stored deflate block
  platform::set_colour(0x00FF00, 0x102030);
  platform::clear_screen();
  platform::lock_screen();
  platform::screen_pixels().pixels[1 * 300 + 2] = 0xFFAB1234;
  platform::unlock_screen();
  const auto png = std::filesystem::temp_directory_path() / ("platform_screen_" + std::to_string(::getpid()) + ".png");
  ASSERT_TRUE(headless::save_png(png.string()));
  const std::string command =
      convert.string() + " " + png.string() + " -format '%[pixel:p{2,1}] %[pixel:p{299,69}] %w %h' info:";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[256] = {};
  const std::string output{buffer, std::fread(buffer, 1, sizeof buffer - 1, pipe)};
  ::pclose(pipe);
  std::filesystem::remove(png);
  EXPECT_EQ(output, "srgb(171,18,52) srgb(16,32,48) 300 70");
}

}  // namespace
