// Picture loading and drawing against SDL's own as the baseline, in the same
// run: keyed drawing against SDL's colour-keyed blit (plain and RLE
// accelerated), opaque drawing against memcpy of the same rows, and
// load_picture against SDL_LoadBMP + SDL_ConvertSurfaceFormat. At the end a
// table gives each ratio and the goal it is held to.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/ratios.h"
#include "mapdata/mapdata.h"
#include "mapdata/picture_blit.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

constexpr std::int32_t screen_w = 1920;
constexpr std::int32_t screen_h = 1080;
constexpr std::uint32_t key_pixel = 0xFF000000u | mapdata::key_colour;

struct Source {
  const char* name;
  std::int32_t w, h;
  std::int32_t x, y;  // where it is drawn
  std::vector<std::uint32_t> pixels;
};

std::uint32_t textured(std::mt19937& random, std::uint32_t base) {
  const std::uint32_t noise = random() & 0x1F1F1F;
  return 0xFF000000u | ((base & 0xE0E0E0) + noise);
}

// A round sprite: a textured disc on key colour.
Source disc_sprite() {
  Source s{"64x64", 64, 64, 300, 500, {}};
  std::mt19937 random(1);
  for (int y = 0; y < s.h; ++y) {
    for (int x = 0; x < s.w; ++x) {
      const int dx = x - 32, dy = y - 32;
      s.pixels.push_back(dx * dx + dy * dy < 28 * 28 ? textured(random, 0x40A060) : key_pixel);
    }
  }
  return s;
}

// A figure: head, body, arms and legs with gaps between them, on key colour.
Source figure_sprite() {
  Source s{"256x256", 256, 256, 600, 400, {}};
  std::mt19937 random(2);
  const auto inside = [](int x, int y) {
    const int hx = x - 128, hy = y - 40;
    if (hx * hx + hy * hy < 32 * 32) return true;                                             // head
    if (x >= 88 && x < 168 && y >= 76 && y < 170) return true;                                // body
    if (((x >= 50 && x < 80) || (x >= 176 && x < 206)) && y >= 80 && y < 160) return true;    // arms
    if (((x >= 92 && x < 122) || (x >= 134 && x < 164)) && y >= 170 && y < 250) return true;  // legs
    return false;
  };
  for (int y = 0; y < s.h; ++y) {
    for (int x = 0; x < s.w; ++x) s.pixels.push_back(inside(x, y) ? textured(random, 0xC08040) : key_pixel);
  }
  return s;
}

// A background strip: a city's skyline of buildings of random height and
// width against a sky of key colour.
Source skyline_strip() {
  Source s{"1920x150", 1920, 150, 0, 900, std::vector<std::uint32_t>(1920 * 150, key_pixel)};
  std::mt19937 random(3);
  for (int x = 0; x < s.w;) {
    const int width = 20 + static_cast<int>(random() % 100);
    const int height = 30 + static_cast<int>(random() % 115);
    const std::uint32_t base = 0x303040 + (random() % 4) * 0x101010;
    for (int bx = x; bx < x + width && bx < s.w; ++bx) {
      for (int y = s.h - height; y < s.h; ++y)
        s.pixels[static_cast<std::size_t>(y * s.w + bx)] = textured(random, base);
    }
    x += width + static_cast<int>(random() % 12);  // now and then a gap down to the ground
  }
  return s;
}

// The benchmark's BMP files, removed when the program ends.
class TempFolder {
 public:
  TempFolder() : path_(std::filesystem::temp_directory_path() / ("tandrel_bench_" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

const std::filesystem::path& temp_folder() {
  static const TempFolder folder;
  return folder.path();
}

void put(std::string& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(v >> (8 * i)));
}

// A BMP of `bits` (8, 24 or 32) from pixels, top row first; 8 bits keep the top 3-3-2 bits.
std::string write_bmp(const std::string& name, std::int32_t w, std::int32_t h, const std::vector<std::uint32_t>& pixels,
                      int bits) {
  const std::uint32_t palette_bytes = bits == 8 ? 1024 : 0;
  const std::uint32_t row_bytes = (static_cast<std::uint32_t>(w) * static_cast<std::uint32_t>(bits) + 31) / 32 * 4;
  std::string out = "BM";
  put(out, 54 + palette_bytes + row_bytes * static_cast<std::uint32_t>(h), 4);
  put(out, 0, 4);
  put(out, 54 + palette_bytes, 4);
  put(out, 40, 4);
  put(out, static_cast<std::uint32_t>(w), 4);
  put(out, static_cast<std::uint32_t>(h), 4);
  put(out, 1, 2);
  put(out, static_cast<std::uint32_t>(bits), 2);
  out.append(24, '\0');
  if (bits == 8) {
    for (std::uint32_t i = 0; i < 256; ++i) put(out, (i & 0xE0) << 16 | (i & 0x1C) << 11 | (i & 0x03) << 6, 4);
  }
  for (std::int32_t y = h; y-- > 0;) {
    const std::size_t start = out.size();
    for (std::int32_t x = 0; x < w; ++x) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(y * w + x)];
      if (bits == 8)
        put(out, (p >> 16 & 0xE0) | (p >> 11 & 0x1C) | (p >> 6 & 0x03), 1);
      else
        put(out, p, bits / 8);
    }
    out.resize(start + row_bytes, '\0');
  }
  const std::string path = (temp_folder() / name).string();
  std::ofstream(path, std::ios::binary).write(out.data(), static_cast<std::streamsize>(out.size()));
  return path;
}

const std::vector<Source>& sources() {
  static const std::vector<Source> all = {disc_sprite(), figure_sprite(), skyline_strip()};
  return all;
}

// The game's screen, on the headless backend.
void open_screen() {
  static const bool opened = [] {
    platform::headless::reset({screen_w, screen_h});
    platform::set_screen_mode(screen_w, screen_h, 32, 1, 1, 0);
    return true;
  }();
  (void)opened;
}

using SurfacePtr = std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)>;

SurfacePtr surface_of(const Source& s) {
  SurfacePtr surface(SDL_CreateRGBSurfaceWithFormat(0, s.w, s.h, 32, SDL_PIXELFORMAT_ARGB8888), SDL_FreeSurface);
  for (int y = 0; y < s.h; ++y) {
    std::memcpy(static_cast<std::uint8_t*>(surface->pixels) + y * surface->pitch,
                &s.pixels[static_cast<std::size_t>(y * s.w)], static_cast<std::size_t>(s.w) * 4);
  }
  SDL_SetSurfaceBlendMode(surface.get(), SDL_BLENDMODE_NONE);
  return surface;
}

SurfacePtr sdl_screen() {
  return SurfacePtr(SDL_CreateRGBSurfaceWithFormat(0, screen_w, screen_h, 32, SDL_PIXELFORMAT_ARGB8888),
                    SDL_FreeSurface);
}

// ---------------------------------------------------------------------------
// Drawing.

void draw_tandrel(benchmark::State& state, const Source& s, mapdata::DrawMode mode) {
  open_screen();
  const mapdata::Picture picture =
      mapdata::load_picture(write_bmp(std::string("draw_") + s.name + ".bmp", s.w, s.h, s.pixels, 32));
  // As in the game, the draws happen inside the frame's own screen lock.
  platform::lock_screen();
  for (auto _ : state) {
    mapdata::draw_picture(s.x, s.y, picture, mode);
    benchmark::ClobberMemory();
  }
  platform::unlock_screen();
  state.SetBytesProcessed(state.iterations() * s.w * s.h * 4);
  state.SetLabel(mode == mapdata::DrawMode::keyed ? mapdata::blit::best_kernels().name : "");
}

void draw_sdl(benchmark::State& state, const Source& s, bool rle) {
  SurfacePtr source = surface_of(s);
  SurfacePtr screen = sdl_screen();
  SDL_SetColorKey(source.get(), SDL_TRUE | (rle ? SDL_RLEACCEL : 0), mapdata::key_colour);
  SDL_Rect where{s.x, s.y, s.w, s.h};
  SDL_BlitSurface(source.get(), nullptr, screen.get(), &where);  // makes the RLE data
  for (auto _ : state) {
    where = {s.x, s.y, s.w, s.h};
    SDL_BlitSurface(source.get(), nullptr, screen.get(), &where);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * s.w * s.h * 4);
}

void draw_memcpy(benchmark::State& state, const Source& s) {
  std::vector<std::uint32_t> screen(static_cast<std::size_t>(screen_w) * screen_h);
  for (auto _ : state) {
    for (int y = 0; y < s.h; ++y) {
      std::memcpy(&screen[static_cast<std::size_t>((s.y + y) * screen_w + s.x)],
                  &s.pixels[static_cast<std::size_t>(y * s.w)], static_cast<std::size_t>(s.w) * 4);
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * s.w * s.h * 4);
}

// ---------------------------------------------------------------------------
// Loading 1920 x 1080 files.

std::vector<std::uint32_t> photo_pixels() {
  std::vector<std::uint32_t> pixels;
  std::mt19937 random(4);
  for (int y = 0; y < screen_h; ++y) {
    for (int x = 0; x < screen_w; ++x) {
      pixels.push_back(0xFF000000u | static_cast<std::uint32_t>(x * 255 / screen_w) << 16 |
                       static_cast<std::uint32_t>(y * 255 / screen_h) << 8 | (random() & 0xFF));
    }
  }
  return pixels;
}

std::string load_file(int bits) {
  static std::map<int, std::string> paths;
  auto& path = paths[bits];
  if (path.empty()) path = write_bmp("load_" + std::to_string(bits) + ".bmp", screen_w, screen_h, photo_pixels(), bits);
  return path;
}

void load_tandrel(benchmark::State& state, int bits) {
  const std::string path = load_file(bits);
  for (auto _ : state) {
    mapdata::Picture picture = mapdata::load_picture(path);
    benchmark::DoNotOptimize(picture->pixels.data());
  }
}

void load_sdl(benchmark::State& state, int bits) {
  const std::string path = load_file(bits);
  for (auto _ : state) {
    SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
    benchmark::DoNotOptimize(converted->pixels);
    SDL_FreeSurface(converted);
    SDL_FreeSurface(loaded);
  }
}

}  // namespace

void register_picture_benchmarks() {
  for (const Source& s : sources()) {
    const std::string n = s.name;
    benchmark::RegisterBenchmark(("keyed/" + n + "/tandrel").c_str(), draw_tandrel, s, mapdata::DrawMode::keyed);
    benchmark::RegisterBenchmark(("keyed/" + n + "/sdl_colourkey").c_str(), draw_sdl, s, false);
    benchmark::RegisterBenchmark(("keyed/" + n + "/sdl_rle").c_str(), draw_sdl, s, true);
    benchmark::RegisterBenchmark(("opaque/" + n + "/tandrel").c_str(), draw_tandrel, s, mapdata::DrawMode::opaque);
    benchmark::RegisterBenchmark(("memcpy/" + n).c_str(), draw_memcpy, s);
    add_goal({"keyed " + n + " vs SDL colour key", "keyed/" + n + "/tandrel", "keyed/" + n + "/sdl_colourkey", 3.0});
    add_goal({"keyed " + n + " vs SDL RLE colour key", "keyed/" + n + "/tandrel", "keyed/" + n + "/sdl_rle", 1.0});
    add_goal({"opaque " + n + " vs memcpy (within 10%)", "opaque/" + n + "/tandrel", "memcpy/" + n, 1 / 1.1});
  }
  for (int bits : {8, 24, 32}) {
    const std::string n = std::to_string(bits) + "bit";
    benchmark::RegisterBenchmark(("load/" + n + "/tandrel").c_str(), load_tandrel, bits)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("load/" + n + "/sdl").c_str(), load_sdl, bits)->Unit(benchmark::kMillisecond);
    add_goal({"load 1920x1080 " + n + " vs SDL load+convert", "load/" + n + "/tandrel", "load/" + n + "/sdl", 2.0});
  }
}
