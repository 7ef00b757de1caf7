// draw_picture: the two modes' pixel rules, clipping at every edge, and the
// vector and run-skipping paths held to the plain rule's pixels.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "mapdata/mapdata.h"
#include "mapdata/picture_blit.h"
#include "picture_files.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

using mapdata::DrawMode;
using mapdata::Image;
using mapdata::Picture;
using picture_files::error_of;
using picture_files::TempFolder;

constexpr std::int32_t screen_w = 40;
constexpr std::int32_t screen_h = 30;

// An image made in memory: no runs, drawn pixel by pixel.
Picture built(std::int32_t w, std::int32_t h, std::vector<std::uint32_t> pixels) {
  auto image = std::make_unique<Image>();
  image->width = w;
  image->height = h;
  image->pixels = std::move(pixels);
  return image;
}

// The same pixels through a 32-bit file and load_picture, which finds the runs.
Picture loaded(const TempFolder& folder, std::int32_t w, std::int32_t h, const std::vector<std::uint32_t>& pixels) {
  picture_files::Bmp bmp{.width = w, .height = h, .bits = 32};
  for (std::int32_t row = h; row-- > 0;) {
    for (std::int32_t x = 0; x < w; ++x) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(row * w + x)];
      for (int i = 0; i < 4; ++i) bmp.rows.push_back(static_cast<std::uint8_t>(p >> (8 * i)));
    }
  }
  Picture picture = mapdata::load_picture(folder.write("drawn.bmp", picture_files::bytes_of(bmp)));
  EXPECT_EQ(picture->pixels, pixels);
  return picture;
}

std::vector<std::uint32_t> frame() {
  const auto pixels = platform::headless::frame();
  return {pixels.begin(), pixels.end()};
}

// The pixel rules, one pixel at a time, as the reference.
void reference_draw(std::vector<std::uint32_t>& screen, const Image& image, std::int64_t left, std::int64_t top,
                    DrawMode mode) {
  for (std::int64_t y = 0; y < image.height; ++y) {
    for (std::int64_t x = 0; x < image.width; ++x) {
      const std::int64_t sx = left + x, sy = top + y;
      if (sx < 0 || sy < 0 || sx >= screen_w || sy >= screen_h) continue;
      const std::uint32_t p = image.pixels[static_cast<std::size_t>(y * image.width + x)];
      std::uint32_t& out = screen[static_cast<std::size_t>(sy * screen_w + sx)];
      if (mode == DrawMode::opaque)
        out = p;
      else if ((p & 0xFFFFFF) != mapdata::key_colour)
        out = p & 0xFFFFFF;
    }
  }
}

// Random colours in blobs of key colour, as sprites have them; `noise` makes
// single key pixels everywhere instead.
std::vector<std::uint32_t> sprite_pixels(std::int32_t w, std::int32_t h, unsigned seed, bool noise = false) {
  std::mt19937 random(seed);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w * h));
  for (std::int32_t y = 0; y < h; ++y) {
    bool keyed = random() & 1;
    for (std::int32_t x = 0; x < w; ++x) {
      if (noise ? (random() & 1) : (random() % 10 == 0)) keyed = !keyed;
      const std::uint32_t alpha = (random() & 0xFF) << 24;
      pixels[static_cast<std::size_t>(y * w + x)] = alpha | (keyed ? mapdata::key_colour : random() & 0xFFFFFF);
    }
  }
  return pixels;
}

class PictureDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::reset({screen_w, screen_h});
    platform::set_screen_mode(screen_w, screen_h, 32, 1, 1, 0);
    platform::set_colour(0xFFFFFF, 0x123456);
    platform::clear_screen();
  }
  TempFolder folder_;
};

TEST_F(PictureDraw, KeyColourWithAnyAlphaIsSkippedAndEveryOtherPixelDrawnWithAlpha0) {
  const std::vector<std::uint32_t> row = {0x00FF00FF, 0xFFFF00FF, 0x12FF00FF, 0xFFFE00FF,
                                          0xFFFF01FF, 0xFFFF00FE, 0x80123456, 0x00000000};
  const std::uint32_t background = platform::headless::pixel(0, 0);
  const std::vector<std::uint32_t> keyed = {background, background, background, 0x00FE00FF,
                                            0x00FF01FF, 0x00FF00FE, 0x00123456, 0x00000000};
  const Picture pictures[] = {built(8, 1, row), loaded(folder_, 8, 1, row)};
  for (const Picture& picture : pictures) {
    SCOPED_TRACE(picture->runs.empty() ? "pixel by pixel" : "by runs");
    platform::clear_screen();
    mapdata::draw_picture(0, 0, picture, DrawMode::keyed);
    mapdata::draw_picture(0, 1, picture, DrawMode::opaque);
    for (std::int32_t x = 0; x < 8; ++x) {
      EXPECT_EQ(platform::headless::pixel(x, 0), keyed[static_cast<std::size_t>(x)]) << "keyed, x " << x;
      EXPECT_EQ(platform::headless::pixel(x, 1), row[static_cast<std::size_t>(x)]) << "opaque, x " << x;
    }
  }
}

TEST_F(PictureDraw, ClipsAtEveryEdge) {
  const std::int32_t w = 30, h = 8;
  const auto pixels = sprite_pixels(w, h, 7);
  const Picture pictures[] = {built(w, h, pixels), loaded(folder_, w, h, pixels)};
  ASSERT_FALSE(pictures[1]->runs.empty());

  struct Case {
    double x, y;
    std::int64_t left, top;  // the position as whole pixels
  };
  constexpr std::int64_t max = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t min = std::numeric_limits<std::int32_t>::min();
  const Case cases[] = {
      {0, 0, 0, 0},
      {-20, 3, -20, 3},
      {25, 26, 25, 26},
      {-5, -3, -5, -3},
      {10.9, 2.2, 10, 2},
      {-0.5, -0.3, -1, 0},
      {-1.5, 29.99, -2, 29},
      {-29, -7, -29, -7},
      // Wholly outside: nothing drawn, no error.
      {40, 0, 40, 0},
      {-30, 0, -30, 0},
      {0, 30, 0, 30},
      {0, -8, 0, -8},
      {1e12, 5, max, 5},
      {-1e12, -1e12, min, min},
      {5, 3e9, 5, max},
  };
  for (const Picture& picture : pictures) {
    for (const DrawMode mode : {DrawMode::opaque, DrawMode::keyed}) {
      for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << (picture->runs.empty() ? "pixel by pixel" : "by runs") << ", "
                     << (mode == DrawMode::keyed ? "keyed" : "opaque") << " at " << c.x << ", " << c.y);
        platform::clear_screen();
        std::vector<std::uint32_t> expected = frame();
        reference_draw(expected, *picture, c.left, c.top, mode);
        mapdata::draw_picture(c.x, c.y, picture, mode);
        EXPECT_EQ(frame(), expected);
      }
    }
  }

  // At x = -20 the screen's first column is the picture's 21st.
  platform::clear_screen();
  mapdata::draw_picture(-20, 0, pictures[0], DrawMode::opaque);
  for (std::int32_t x = 0; x < 10; ++x)
    EXPECT_EQ(platform::headless::pixel(x, 0), pixels[static_cast<std::size_t>(20 + x)]);
}

TEST_F(PictureDraw, NoImageIsAnIllegalFunctionCall) {
  const Picture none;
  EXPECT_EQ(error_of([&] { mapdata::draw_picture(0, 0, none, DrawMode::keyed); }),
            platform::ERROR_ILLEGAL_FUNCTION_CALL);
  EXPECT_EQ(error_of([&] { mapdata::draw_picture(0, 0, none, DrawMode::opaque); }),
            platform::ERROR_ILLEGAL_FUNCTION_CALL);
  // An image whose pixels do not fill its size is treated as none.
  const Picture short_of_pixels = built(4, 4, std::vector<std::uint32_t>(15));
  EXPECT_EQ(error_of([&] { mapdata::draw_picture(0, 0, short_of_pixels, DrawMode::opaque); }),
            platform::ERROR_ILLEGAL_FUNCTION_CALL);
}

// Every vector set gives exactly the scalar set's pixels, for every length
// and alignment.
TEST(PictureKernels, EveryVectorSetMatchesTheScalarOne) {
  const auto sets = mapdata::blit::available_kernels();
  ASSERT_GE(sets.size(), 1u);
  ASSERT_STREQ(sets[0].name, "scalar");
  std::mt19937 random(99);
  std::vector<std::uint32_t> source(80 + 3), screen(80 + 3);
  for (auto& p : source) {
    p = (random() & 0xFF000000) | (random() % 3 == 0 ? mapdata::key_colour : random() & 0xFFFFFF);
  }
  for (auto& p : screen) p = random();
  for (const auto& set : sets.subspan(1)) {
    SCOPED_TRACE(set.name);
    for (std::size_t count = 0; count <= 80; ++count) {
      for (std::size_t shift = 0; shift < 3; ++shift) {
        std::vector<std::uint32_t> want = screen, got = screen;
        sets[0].keyed(want.data() + shift, source.data() + 3 - shift, count);
        set.keyed(got.data() + shift, source.data() + 3 - shift, count);
        ASSERT_EQ(got, want) << "keyed, " << count << " pixels";
        want = screen;
        got = screen;
        sets[0].clear_alpha(want.data() + shift, source.data() + 3 - shift, count);
        set.clear_alpha(got.data() + shift, source.data() + 3 - shift, count);
        ASSERT_EQ(got, want) << "clear alpha, " << count << " pixels";
      }
      // Opaque copies of `count` pixels in rows of every alignment.
      for (std::size_t shift = 0; shift < 3; ++shift) {
        for (const std::size_t rows : {1u, 3u}) {
          std::vector<std::uint32_t> want(screen.size() * 3), got(want.size());
          const std::size_t stride = screen.size();
          sets[0].opaque(want.data() + shift, stride, source.data() + 3 - shift, 0, count, rows);
          set.opaque(got.data() + shift, stride, source.data() + 3 - shift, 0, count, rows);
          ASSERT_EQ(got, want) << "opaque, " << rows << " rows of " << count << " pixels";
        }
      }
      // The source's first `count` pixels packed as a picture of one row
      // (and again as its second), under every clip.
      std::vector<mapdata::PixelRun> runs;
      for (std::size_t x = 0; (x = sets[0].find(source.data(), x, count, false)) < count;) {
        const std::size_t end = sets[0].find(source.data(), x, count, true);
        runs.push_back({static_cast<std::int32_t>(x), static_cast<std::int32_t>(end)});
        x = end;
      }
      if (count == 0) continue;
      std::vector<std::uint32_t> two_rows(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(count));
      two_rows.insert(two_rows.end(), two_rows.begin(), two_rows.end());
      std::vector<mapdata::PixelRun> both = runs;
      both.insert(both.end(), runs.begin(), runs.end());
      const auto run_count = static_cast<std::uint32_t>(runs.size());
      const std::vector<std::uint32_t> run_start = {0, run_count, 2 * run_count};
      const mapdata::PackedRuns packed(static_cast<std::int32_t>(count), 2, two_rows, run_start, both);
      ASSERT_FALSE(packed.empty());
      for (const std::size_t row : {0u, 1u}) {
        for (std::int64_t begin = 0; begin <= static_cast<std::int64_t>(count); begin += 3) {
          for (std::int64_t end = begin; end <= static_cast<std::int64_t>(count); end += 5) {
            const auto at = static_cast<std::size_t>(begin);
            std::vector<std::uint32_t> want = screen;
            sets[0].keyed(want.data() + at, source.data() + at, static_cast<std::size_t>(end - begin));
            for (const auto* drawing : {&sets[0], &set}) {
              std::vector<std::uint32_t> got = screen;
              drawing->packed(got.data() + at, 0, packed, row, 1, begin, end);
              ASSERT_EQ(got, want) << drawing->name << ", row " << row << " of runs of " << count
                                   << " pixels clipped to " << begin << ".." << end;
            }
          }
        }
      }
      for (std::size_t from = 0; from <= count; ++from) {
        for (const bool key : {false, true}) {
          ASSERT_EQ(set.find(source.data(), from, count, key), sets[0].find(source.data(), from, count, key))
              << "find from " << from << " of " << count;
        }
      }
    }
  }
}

// Keyed drawing by runs gives the pixel rule's screen at every clip offset,
// and so does an image too noisy for runs.
TEST_F(PictureDraw, RunsGiveThePixelRulesScreenAtEveryOffset) {
  struct Case {
    std::int32_t w, h;
    bool noise;
    bool has_runs;
  };
  for (const Case c : {Case{37, 9, false, true}, Case{41, 5, true, false}}) {
    const auto pixels = sprite_pixels(c.w, c.h, 3, c.noise);
    const Picture by_runs = loaded(folder_, c.w, c.h, pixels);
    ASSERT_EQ(by_runs->run_start.empty(), !c.has_runs);
    const Picture by_pixels = built(c.w, c.h, pixels);
    for (std::int32_t y : {-c.h, -3, 0, 4, screen_h - 2, screen_h}) {
      for (std::int32_t x = -c.w - 1; x <= screen_w + 1; ++x) {
        platform::clear_screen();
        mapdata::draw_picture(x, y, by_pixels, DrawMode::keyed);
        const std::vector<std::uint32_t> want = frame();
        platform::clear_screen();
        mapdata::draw_picture(x, y, by_runs, DrawMode::keyed);
        ASSERT_EQ(frame(), want) << "at " << x << ", " << y;
      }
    }
  }
}

// The packed form takes only run tables that fit the picture; any other is
// refused whole, and such a picture is drawn pixel by pixel.
TEST(PackedRuns, TablesThatDoNotFitThePictureAreRefused) {
  using mapdata::PixelRun;
  const std::vector<std::uint32_t> pixels = {1, 2, 3, 4, 5, 6, 7, 8};  // 4 x 2
  struct Case {
    const char* name;
    std::int32_t width, height;
    std::vector<std::uint32_t> run_start;
    std::vector<PixelRun> runs;
    bool fits;
  };
  const Case cases[] = {
      {"fitting", 4, 2, {0, 2, 3}, {{0, 1}, {2, 4}, {1, 3}}, true},
      {"no runs", 4, 2, {0, 0, 0}, {}, true},
      {"run beyond the width", 4, 2, {0, 1, 1}, {{2, 5}}, false},
      {"run before column 0", 4, 2, {0, 1, 1}, {{-1, 2}}, false},
      {"empty run", 4, 2, {0, 1, 1}, {{2, 2}}, false},
      {"runs out of order", 4, 2, {0, 2, 2}, {{2, 4}, {0, 1}}, false},
      {"overlapping runs", 4, 2, {0, 2, 2}, {{0, 3}, {2, 4}}, false},
      {"row table too short", 4, 2, {0, 1}, {{0, 1}}, false},
      {"row table past the runs", 4, 2, {0, 1, 2}, {{0, 1}}, false},
      {"row table going back", 4, 2, {0, 2, 1}, {{0, 1}, {2, 3}}, false},
      {"more rows than pixels", 4, 3, {0, 0, 0, 0}, {}, false},
      {"no width", 0, 2, {0, 0, 0}, {}, false},
  };
  for (const Case& c : cases) {
    const mapdata::PackedRuns packed(c.width, c.height, pixels, c.run_start, c.runs);
    EXPECT_EQ(packed.empty(), !c.fits) << c.name;
  }
  const mapdata::PackedRuns packed(4, 2, pixels, cases[0].run_start, cases[0].runs);
  EXPECT_EQ(std::vector<std::uint32_t>(packed.pixels(), packed.pixels() + 5),
            (std::vector<std::uint32_t>{1, 3, 4, 6, 7}));
}

TEST_F(PictureDraw, PackedRunsOfAnotherSizeAreNotUsed) {
  const auto pixels = sprite_pixels(20, 6, 5);
  Picture picture = loaded(folder_, 20, 6, pixels);
  ASSERT_FALSE(picture->packed.empty());
  picture->height = 5;  // the packed runs are of 6 rows
  std::vector<std::uint32_t> want = frame();
  reference_draw(want, *picture, 3, 2, DrawMode::keyed);
  mapdata::draw_picture(3, 2, picture, DrawMode::keyed);
  EXPECT_EQ(frame(), want);
}

}  // namespace
