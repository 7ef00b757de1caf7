// One whole run frame (clear, background, status lines, runner, obstacles,
// level message) with the shipped maps, against the floor any frame must
// pay (a memset of the screen and a memcpy of the background band) and
// against the same frame composed with SDL surfaces, in the same run.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/ratios.h"
#include "inc/classic/classic.h"
#include "inc/free/free.h"
#include "main/game_state.h"
#include "platform/headless.h"

namespace {

struct ScreenCase {
  const char* name;
  std::int32_t width, height;
};
constexpr ScreenCase SCREENS[] = {{"1920x1080", 1920, 1080}, {"3840x2160", 3840, 2160}};

// A run set up as its procedure does, with the obstacles spread 300 px apart
// from x 400 so that a handful stand on the screen and the rest beyond it.
class Frame {
 public:
  Frame(const ScreenCase& screen, const char* map, std::int32_t obstacle_count = 0) {
    platform::headless::reset({screen.width, screen.height});
    game = GameState{};
    game.screen_w = screen.width;
    game.screen_h = screen.height;
    platform::set_screen_mode(screen.width, screen.height, 32, 1, 1, 0);
    platform::set_text_grid(screen.width / 8, screen.height / 16);
    if (chdir(TANDREL_SOURCE_DIR "/data") != 0) std::abort();
    game.map_name = map;
    game.map_file = map_path("map.def");
    const bool free = std::string(map) == "sky";
    mapdata::read_map_record(free ? mapdata::RecordLayout::free : mapdata::RecordLayout::classic);
    if (obstacle_count > 0) game.obstacle_count = obstacle_count;
    row_ = std::make_unique<ObstacleRow>(game.obstacle_image_count, game.obstacle_count);
    heights_ = std::make_unique<platform::Table<std::int32_t>>(game.obstacle_count);
    game.runner_image = mapdata::load_picture(map_path(free ? "char.bmp" : "runner.bmp"));
    if (!free) game.runner_jump_image = mapdata::load_picture(map_path("runnerjump.bmp"));
    load_background();
    load_obstacle_images(*row_);
    game.speed = 27;
    game.scroll_x = 1;
    game.level = 1;
    game.lives = 3;
    game.bg_scroll = 2;
    game.highscore_name = "Bench";
    for (std::int32_t i = 1; i <= game.obstacle_count; ++i) {
      row_->x(i) = 400 + 300 * (i - 1);
      row_->kind(i) = (i - 1) % game.obstacle_image_count + 1;
      (*heights_)(i) = free ? 1 + (i * 37) % std::max(game.height_range, 1) : 0;
    }
    rules_ = free ? free_rules(*row_, *heights_) : classic_rules(*row_);
  }

  void compose() {
    game.bg_scroll = 2;
    compose_frame(*rules_);
  }

  // The same pictures at the same places, drawn with SDL surfaces.
  class WithSdl {
   public:
    explicit WithSdl(Frame& frame) : frame_(frame) {
      screen_ = SDL_CreateRGBSurfaceWithFormat(0, game.screen_w, game.screen_h, 32, SDL_PIXELFORMAT_ARGB8888);
      background_ = surface(*game.background_image, false);
      runner_ = surface(*game.runner_image, true);
      for (std::int32_t k = 1; k <= game.obstacle_image_count; ++k)
        obstacles_.push_back(surface(*frame.row_->images(k), true));
    }
    ~WithSdl() {
      for (SDL_Surface* s : obstacles_) SDL_FreeSurface(s);
      SDL_FreeSurface(runner_);
      SDL_FreeSurface(background_);
      SDL_FreeSurface(screen_);
    }
    WithSdl(const WithSdl&) = delete;
    WithSdl& operator=(const WithSdl&) = delete;

    void compose() {
      SDL_FillRect(screen_, nullptr, static_cast<Uint32>(game.background_colour));
      for (std::int32_t x = 1; x <= game.bg_w + game.screen_w - 1; x += game.bg_w) {
        blit(background_, x - 2, game.screen_h - game.bg_h);
      }
      const double base = base_y();
      blit(runner_, 200, static_cast<int>(base) - game.runner_height);
      const bool free = game.map_name == "sky";
      const std::int32_t drawn = free ? game.obstacle_count : 5;
      for (std::int32_t i = 1; i <= drawn; ++i) {
        const int y = static_cast<int>(base) - (free ? (*frame_.heights_)(i) : 0);
        blit(obstacles_[static_cast<std::size_t>(frame_.row_->kind(i) - 1)], frame_.row_->x(i) - game.scroll_x, y);
      }
    }

   private:
    static SDL_Surface* surface(const mapdata::Image& image, bool keyed) {
      SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, image.width, image.height, 32, SDL_PIXELFORMAT_ARGB8888);
      for (int y = 0; y < image.height; ++y) {
        std::memcpy(static_cast<char*>(s->pixels) + y * s->pitch,
                    &image.pixels[static_cast<std::size_t>(y) * image.width],
                    static_cast<std::size_t>(image.width) * 4);
      }
      SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
      if (keyed) SDL_SetColorKey(s, SDL_TRUE, 0xFFFF00FF);
      return s;
    }
    void blit(SDL_Surface* source, int x, int y) {
      SDL_Rect where{x, y, source->w, source->h};
      SDL_BlitSurface(source, nullptr, screen_, &where);
    }

    Frame& frame_;
    SDL_Surface* screen_ = nullptr;
    SDL_Surface* background_ = nullptr;
    SDL_Surface* runner_ = nullptr;
    std::vector<SDL_Surface*> obstacles_;
  };

 private:
  std::unique_ptr<ObstacleRow> row_;
  std::unique_ptr<platform::Table<std::int32_t>> heights_;
  std::unique_ptr<RunRules> rules_;
};

void frame_ours(benchmark::State& state, ScreenCase screen, const char* map, std::int32_t count) {
  Frame frame(screen, map, count);
  for (auto _ : state) frame.compose();
  benchmark::DoNotOptimize(platform::headless::frame().data());
}

void frame_sdl(benchmark::State& state, ScreenCase screen, const char* map) {
  Frame frame(screen, map);
  Frame::WithSdl sdl(frame);
  for (auto _ : state) sdl.compose();
}

// What every frame must touch: the whole screen once, the background band once more.
void frame_floor(benchmark::State& state, ScreenCase screen, const char* map) {
  Frame frame(screen, map);
  const std::size_t screen_bytes = static_cast<std::size_t>(screen.width) * screen.height * 4;
  const std::size_t band_bytes = static_cast<std::size_t>(screen.width) * std::min(game.bg_h, screen.height) * 4;
  std::vector<char> target(screen_bytes), band(band_bytes, 1);
  for (auto _ : state) {
    std::memset(target.data(), static_cast<int>(state.iterations() & 0xFF), screen_bytes);
    std::memcpy(target.data() + (screen_bytes - band_bytes), band.data(), band_bytes);
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}

}  // namespace

void register_frame_benchmarks() {
  for (const ScreenCase& screen : SCREENS) {
    for (const char* map : {"desert", "sky"}) {
      const std::string name = std::string(map == std::string("desert") ? "classic" : "free") + "/" + screen.name;
      benchmark::RegisterBenchmark(("frame/" + name + "/tandrel").c_str(), frame_ours, screen, map, 0)
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark(("frame/" + name + "/sdl").c_str(), frame_sdl, screen, map)
          ->Unit(benchmark::kMicrosecond);
      benchmark::RegisterBenchmark(("frame/" + name + "/floor").c_str(), frame_floor, screen, map)
          ->Unit(benchmark::kMicrosecond);
      add_goal(
          {"frame " + name + " vs floor (<= 1.2x)", "frame/" + name + "/tandrel", "frame/" + name + "/floor", 1 / 1.2});
      add_goal({"frame " + name + " vs SDL surfaces", "frame/" + name + "/tandrel", "frame/" + name + "/sdl", 1.5});
    }
    // The free run draws every obstacle of its row; those beyond the screen cost next to nothing.
    for (std::int32_t count : {10, 100, 1000}) {
      const std::string name = "free/" + std::string(screen.name) + "/" + std::to_string(count) + " obstacles";
      benchmark::RegisterBenchmark(("frame/" + name).c_str(), frame_ours, screen, "sky", count)
          ->Unit(benchmark::kMicrosecond);
      add_goal({"frame " + name + " vs floor (<= 1.2x)", "frame/" + name,
                "frame/free/" + std::string(screen.name) + "/floor", 1 / 1.2});
    }
  }
}
