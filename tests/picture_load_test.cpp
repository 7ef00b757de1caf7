// load_picture: every bit depth and header the game reads, files written by
// ImageMagick, and the files it must refuse or cannot make an image of.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "mapdata/mapdata.h"
#include "picture_files.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

using mapdata::DrawMode;
using mapdata::Picture;
using picture_files::Bmp;
using picture_files::bytes_of;
using picture_files::error_of;
using picture_files::TempFolder;

std::vector<std::uint8_t> u8(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

std::vector<std::uint8_t> le32s(std::initializer_list<std::uint32_t> values) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t v : values) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  }
  return out;
}

struct DecodeCase {
  const char* name;
  Bmp bmp;
  std::vector<std::uint32_t> expected;  // top row first
};

TEST(PictureLoad, DecodesEveryDepthAndHeader) {
  std::vector<std::uint32_t> palette256(256);
  for (std::uint32_t i = 0; i < 256; ++i) palette256[i] = (i * 0x010203u) & 0xFFFFFF;
  std::vector<std::uint32_t> palette16(16);
  for (std::uint32_t i = 0; i < 16; ++i) palette16[i] = i * 0x100F01u;

  const DecodeCase cases[] = {
      // 3 pixels of 24 bits: rows of 9 bytes filled to 12; the filling is ignored.
      {"24-bit, 3 wide",
       {.width = 3, .height = 2, .bits = 24, .rows = u8({0xCC, 0xBB, 0xAA, 0xFF, 0xEE, 0xDD, 0x03, 0x02,
                                                         0x01, 0xEE, 0xEE, 0xEE, 0x33, 0x22, 0x11, 0x66,
                                                         0x55, 0x44, 0x99, 0x88, 0x77, 0xEE, 0xEE, 0xEE})},
       {0xFF112233, 0xFF445566, 0xFF778899, 0xFFAABBCC, 0xFFDDEEFF, 0xFF010203}},
      {"1-bit palette, most significant bit first",
       {.width = 10, .height = 1, .bits = 1, .palette = {0x0000FF, 0xFFFF00}, .rows = u8({0xB3, 0x80, 0x7F, 0x7F})},
       {0xFFFFFF00, 0xFF0000FF, 0xFFFFFF00, 0xFFFFFF00, 0xFF0000FF, 0xFF0000FF, 0xFFFFFF00, 0xFFFFFF00, 0xFFFFFF00,
        0xFF0000FF}},
      {"4-bit palette",
       {.width = 3, .height = 1, .bits = 4, .palette = palette16, .rows = u8({0x5A, 0x30, 0, 0})},
       {0xFF000000 | palette16[5], 0xFF000000 | palette16[10], 0xFF000000 | palette16[3]}},
      {"8-bit palette, bottom row first",
       {.width = 2, .height = 2, .bits = 8, .palette = palette256, .rows = u8({7, 200, 0, 0, 255, 1, 0, 0})},
       {0xFF000000 | palette256[255], 0xFF000000 | palette256[1], 0xFF000000 | palette256[7],
        0xFF000000 | palette256[200]}},
      {"16-bit, default 5-5-5 masks, top bit ignored",
       {.width = 3, .height = 1, .bits = 16, .rows = u8({0xFF, 0x7F, 0x10, 0x42, 0x00, 0x80, 0, 0})},
       {0xFFFFFFFF, 0xFF848484, 0xFF000000}},
      {"16-bit 5-6-5 masks after a 40-byte header",
       {.width = 3,
        .height = 1,
        .bits = 16,
        .compression = 3,
        .masks = {0xF800, 0x07E0, 0x001F},
        .rows = u8({0x00, 0xF8, 0xE0, 0x07, 0x10, 0x04, 0, 0})},
       {0xFFFF0000, 0xFF00FF00, 0xFF008284}},
      {"32-bit without bit fields: alpha from the top byte",
       {.width = 1, .height = 1, .bits = 32, .rows = le32s({0x80123456})},
       {0x80123456}},
      {"32-bit bit fields after a 40-byte header: no alpha mask, alpha 0",
       {.width = 1,
        .height = 1,
        .bits = 32,
        .compression = 3,
        .masks = {0xFF0000, 0xFF00, 0xFF},
        .rows = le32s({0x80123456})},
       {0x00123456}},
      {"32-bit, 56-byte header with four masks",
       {.width = 1,
        .height = 1,
        .info_size = 56,
        .bits = 32,
        .compression = 3,
        .masks = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},
        .rows = le32s({0x11223344})},
       {0x11443322}},
      {"32-bit, 124-byte header, red in the top byte",
       {.width = 1,
        .height = 1,
        .info_size = 124,
        .bits = 32,
        .compression = 3,
        .masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF},
        .rows = le32s({0x11223344})},
       {0x44112233}},
      {"24-bit, 108-byte header, planes 0",
       {.width = 1, .height = 1, .info_size = 108, .planes = 0, .bits = 24, .rows = u8({1, 2, 3, 0})},
       {0xFF030201}},
      // Zero mask: 0. Mask with a gap: read over its span, top 8 bits kept.
      // 2-bit and 4-bit masks: their bits repeated to fill 8.
      {"32-bit odd masks",
       {.width = 1,
        .height = 1,
        .info_size = 56,
        .bits = 32,
        .compression = 3,
        .masks = {0, 0x0000F00F, 0x00000003, 0x00F00000},
        .rows = le32s({0x00A0F00E})},
       {0xAA00F0AA}},
      {"16-bit with an alpha mask: alpha still 0xFF",
       {.width = 1,
        .height = 1,
        .info_size = 56,
        .bits = 16,
        .compression = 3,
        .masks = {0x0F00, 0x00F0, 0x000F, 0xF000},
        .rows = u8({0x4C, 0x08, 0, 0})},
       {0xFF8844CC}},
  };

  TempFolder folder;
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Picture picture = mapdata::load_picture(folder.write("case.bmp", bytes_of(c.bmp)));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, c.bmp.width);
    EXPECT_EQ(picture->height, c.bmp.height);
    EXPECT_EQ(picture->pixels, c.expected);
  }
}

// A valid 2 x 2 file of 24 bits, then one field spoilt per case.
TEST(PictureLoad, RefusesFilesThatAreNoUsableBmp) {
  const Bmp base{.width = 2, .height = 2, .bits = 24, .rows = std::vector<std::uint8_t>(16, 0x40)};
  using Bytes = std::vector<std::uint8_t>;
  struct Case {
    const char* name;
    std::function<void(Bytes&)> spoil;
  };
  const auto set32 = [](std::size_t at, std::uint32_t v) { return [=](Bytes& b) { picture_files::put32(b, at, v); }; };
  const auto set16 = [](std::size_t at, std::uint32_t v) { return [=](Bytes& b) { picture_files::put16(b, at, v); }; };
  const Case cases[] = {
      {"empty file", [](Bytes& b) { b.clear(); }},
      {"only the signature", [](Bytes& b) { b.resize(2); }},
      {"cut inside the header", [](Bytes& b) { b.resize(40); }},
      {"signature", [](Bytes& b) { b[1] = 'A'; }},
      {"12-byte core header", set32(14, 12)},
      {"64-byte header", set32(14, 64)},
      {"planes 2", set16(26, 2)},
      {"2 bits per pixel", set16(28, 2)},
      {"48 bits per pixel", set16(28, 48)},
      {"0 bits per pixel", set16(28, 0)},
      {"run-length 8", set32(30, 1)},
      {"run-length 4", set32(30, 2)},
      {"compression 4", set32(30, 4)},
      {"width 0", set32(18, 0)},
      {"negative width", set32(18, 0xFFFFFFFF)},
      {"0 rows", set32(22, 0)},
      {"cut in the last row", [](Bytes& b) { b.pop_back(); }},
      {"cut after the first row", [](Bytes& b) { b.resize(b.size() - 8); }},
      {"pixel offset beyond the end", set32(10, 71)},
      {"pixel offset 4 GiB", set32(10, 0xFFFFFFFF)},
      {"huge width and height",
       [](Bytes& b) {
         picture_files::put32(b, 18, 0x7FFFFFFF);
         picture_files::put32(b, 22, 0x7FFFFFFF);
       }},
      {"most negative height", set32(22, 0x80000000)},
      {"bit fields whose masks the file ends in",
       [](Bytes& b) {
         picture_files::put32(b, 10, 14);  // rows inside the header, so that only the masks are missing
         picture_files::put32(b, 30, 3);
         b.resize(60);
       }},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bytes = bytes_of(base);
    c.spoil(bytes);
    const std::string path = folder.write("bad.bmp", bytes);
    EXPECT_EQ(error_of([&] { mapdata::load_picture(path); }), platform::ERROR_FILE_IO);
  }

  // A palette that the file ends inside.
  Bmp cut_palette{.width = 1, .height = 1, .bits = 8, .palette = std::vector<std::uint32_t>(100, 0)};
  const std::string path = folder.write("palette.bmp", bytes_of(cut_palette));
  EXPECT_EQ(error_of([&] { mapdata::load_picture(path); }), platform::ERROR_FILE_IO);

  // Run-length rows as ImageMagick writes them are refused too.
  if (std::filesystem::exists("/usr/bin/convert")) {
    const std::string rle = folder.file("rle.bmp");
    ASSERT_EQ(
        std::system(
            ("/usr/bin/convert -size 20x20 gradient:red-blue -type palette -compress RLE BMP3:'" + rle + "'").c_str()),
        0);
    EXPECT_EQ(error_of([&] { mapdata::load_picture(rle); }), platform::ERROR_FILE_IO);
  }
}

TEST(PictureLoad, MissingFileIsFileNotFound) {
  TempFolder folder;
  EXPECT_EQ(error_of([&] { mapdata::load_picture(folder.file("nothing.bmp")); }), platform::ERROR_FILE_NOT_FOUND);
}

// Files that pass every check but whose size gives no image: the load
// reports nothing, the first draw is an illegal function call.
TEST(PictureLoad, SizesThatCannotBeMadeGiveNoImage) {
  platform::headless::reset({64, 48});
  platform::set_screen_mode(64, 48, 32, 1, 1, 0);
  TempFolder folder;

  const Bmp top_down{.width = 2, .height = -2, .bits = 24, .rows = std::vector<std::uint8_t>(16, 0x40)};
  const Picture from_top_down = mapdata::load_picture(folder.write("top_down.bmp", bytes_of(top_down)));
  EXPECT_FALSE(from_top_down);
  EXPECT_EQ(error_of([&] { mapdata::draw_picture(0, 0, from_top_down, DrawMode::keyed); }),
            platform::ERROR_ILLEGAL_FUNCTION_CALL);

  // 100000 x 30000 at one bit per pixel: a whole (sparse) file of 375 MB,
  // but 12 GB of pixels. Nothing of that size may be allocated.
  const Bmp huge_header{.width = 100000, .height = 30000, .bits = 1, .palette = {0, 0xFFFFFF}};
  const std::string huge = folder.write("huge.bmp", bytes_of(huge_header));
  std::filesystem::resize_file(huge, std::filesystem::file_size(huge) + std::uint64_t{12500} * 30000);
  const Picture from_huge = mapdata::load_picture(huge);
  EXPECT_FALSE(from_huge);
  EXPECT_EQ(error_of([&] { mapdata::draw_picture(0, 0, from_huge, DrawMode::opaque); }),
            platform::ERROR_ILLEGAL_FUNCTION_CALL);
}

// ---------------------------------------------------------------------------
// Files written by ImageMagick, read back by ImageMagick as the reference.

constexpr const char* convert_tool = "/usr/bin/convert";

struct Variant {
  const char* options;  // between the source and the output file
  const char* format;   // output prefix, "BMP3:" or ""
  int bits;
  std::uint32_t info_size;
  std::uint32_t compression;
};

std::uint32_t u32_of(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[at + static_cast<std::size_t>(i)]);
  return v;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(PictureLoad, ReadsWhatImageMagickWrites) {
  if (!std::filesystem::exists(convert_tool))
    GTEST_SKIP() << "ImageMagick's convert is not installed at /usr/bin/convert";
  TempFolder folder;

  // 7 x 5 (odd, so every depth pads its rows) random colours with alpha and the key colour.
  const int w = 7, h = 5;
  std::mt19937 random(1234);
  std::string pam = "P7\nWIDTH 7\nHEIGHT 5\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  for (int i = 0; i < w * h; ++i) {
    const std::uint32_t v = i % 6 == 0 ? 0xFF00FFu : static_cast<std::uint32_t>(random());
    pam += static_cast<char>(v >> 16);
    pam += static_cast<char>(v >> 8);
    pam += static_cast<char>(v);
    pam += static_cast<char>(i % 4 == 0 ? 255 : random() & 0xFF);
  }
  const std::string source = folder.write("source.pam", std::vector<std::uint8_t>(pam.begin(), pam.end()));

  const Variant variants[] = {
      {"-alpha off", "BMP3:", 24, 40, 0},
      {"-alpha off", "", 24, 124, 0},
      {"-alpha off -type palette -compress none", "BMP3:", 8, 40, 0},
      {"-alpha off -type palette -compress none", "", 8, 124, 0},
      {"-alpha off -colors 12 -compress none", "BMP3:", 4, 40, 0},
      {"-alpha off -monochrome -compress none", "BMP3:", 1, 40, 0},
      {"-alpha off -define bmp:subtype=RGB565", "", 16, 124, 3},
      {"-alpha off -define bmp:subtype=RGB555", "", 16, 124, 3},
      {"-define bmp:subtype=ARGB8888", "", 32, 124, 3},
      {"-define bmp3:alpha=true", "BMP3:", 32, 40, 0},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(std::string(v.options) + " " + v.format);
    const std::string bmp = folder.file("out.bmp");
    const std::string reference = folder.file("out.rgba");
    const std::string make =
        std::string(convert_tool) + " '" + source + "' " + v.options + " " + v.format + "'" + bmp + "'";
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
    ASSERT_EQ(std::system((std::string(convert_tool) + " '" + bmp + "' -depth 8 rgba:'" + reference + "'").c_str()), 0);

    // The file is the variant meant.
    const std::string file = slurp(bmp);
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(static_cast<std::uint8_t>(file[28]), v.bits);
    EXPECT_EQ(u32_of(file, 14), v.info_size);
    EXPECT_EQ(u32_of(file, 30), v.compression);

    const Picture picture = mapdata::load_picture(bmp);
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->width, w);
    ASSERT_EQ(picture->height, h);
    const std::string rgba = slurp(reference);
    ASSERT_EQ(rgba.size(), static_cast<std::size_t>(w * h * 4));
    for (int i = 0; i < w * h; ++i) {
      const std::uint32_t got = picture->pixels[static_cast<std::size_t>(i)];
      const int shifts[] = {16, 8, 0, 24};  // the reference's R, G, B, A
      for (int c = 0; c < 4; ++c) {
        const int want = static_cast<std::uint8_t>(rgba[static_cast<std::size_t>(4 * i + c)]);
        const int have = static_cast<int>((got >> shifts[c]) & 0xFF);
        EXPECT_EQ(have, want) << "pixel " << i << " channel " << c;
      }
    }
  }
}

}  // namespace
