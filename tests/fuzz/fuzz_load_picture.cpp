// Fuzzes the picture loader: any bytes as a BMP file, loaded and, when an
// image comes of it, drawn in both modes at a few positions that clip it.
// The only failure allowed is the loader's "file I/O error".
//
// Seeds in corpus_picture/, written by ImageMagick from a 3 x 2 picture
// (seed.ppm: red, green, magenta / yellow, magenta, 16 32 48):
//   convert seed.ppm BMP3:rgb24.bmp
//   convert seed.ppm -type palette -compress none BMP3:palette4.bmp
//   convert seed.ppm -monochrome -compress none BMP3:mono1.bmp
//   convert -size 5x5 gradient:red-blue -type palette -compress none BMP3:gradient4.bmp
//   convert seed.ppm -define bmp:subtype=RGB565 rgb565.bmp
//   convert seed.ppm -alpha set -define bmp:subtype=ARGB8888 argb32.bmp
//   convert -size 5x5 gradient:red-blue -type palette -compress RLE BMP3:rle8.bmp
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "mapdata/mapdata.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

const std::string& input_path() {
  static const std::string path = "/tmp/fuzz_load_picture_" + std::to_string(::getpid()) + ".bmp";
  return path;
}

void open_screen() {
  static const bool opened = [] {
    platform::headless::reset({64, 48});
    platform::set_screen_mode(64, 48, 32, 1, 1, 0);
    return true;
  }();
  (void)opened;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  open_screen();
  std::FILE* file = std::fopen(input_path().c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  platform::ProcedureScope scope("mapdata", "FUZZ");
  try {
    const mapdata::Picture picture = mapdata::load_picture(input_path());
    if (!picture) return 0;
    const std::size_t count = static_cast<std::size_t>(picture->width) * static_cast<std::size_t>(picture->height);
    if (picture->pixels.size() != count) __builtin_trap();
    for (const auto mode : {mapdata::DrawMode::opaque, mapdata::DrawMode::keyed}) {
      for (const double x : {0.0, -3.5, 60.0}) mapdata::draw_picture(x, 45.0 - x, picture, mode);
    }
  } catch (const platform::RuntimeError& error) {
    if (error.number != platform::ERROR_FILE_IO) __builtin_trap();
  }
  return 0;
}
