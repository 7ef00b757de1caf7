// The free map menu and the free run: the runner rises and sinks with W/S or
// the arrow keys, and every obstacle floats at its own height.
#include "inc/free/free.h"

#include <array>

#include "inc/classic/classic.h"
#include "inc/general/general.h"
#include "main/game_state.h"
#include "platform/platform.h"

namespace {

bool play_sky() {
  select_map("sky");
  PLAY_FREE();
  return false;
}

constexpr std::array FREE_MAP_ROWS{
    MAP_TITLE_ROW,
    MenuRow{"Sky", -200, -280, 200, play_sky},
    BACK_ROW,
};

std::int32_t random_height() { return platform::int_floor(platform::random_real() * game.height_range) + 1; }
std::int32_t random_kind() { return platform::int_floor(platform::random_real() * game.obstacle_image_count) + 1; }

class FreeRules final : public RunRules {
 public:
  FreeRules(ObstacleRow& row, platform::Table<std::int32_t>& height) : row_(row), height_(height) {}

  void recycle_front_obstacle() override { recycle_free_row(row_, height_); }

  void test_collisions() override {
    for (std::int32_t k = 1; k <= 2; ++k) {
      if (free_runner_hit_by(row_.x(k), height_(k))) {
        game.lives -= 1;
        row_.x(k) = 0;
      }
    }
  }

  void draw_runner_and_obstacles() override {
    mapdata::draw_picture(200, base_y() - game.runner_height, game.runner_image, mapdata::DrawMode::keyed);
    for (game.draw_index = 1; game.draw_index <= game.obstacle_count; ++game.draw_index) {
      draw_obstacle(row_, game.draw_index, base_y() - height_(game.draw_index));
    }
    game.draw_index = 0;
  }

  void poll_held_keys() override {
    if (platform::key_held(platform::SCAN_P)) GAME_PAUSE();
    if ((platform::key_held(platform::SCAN_W) || platform::key_held(platform::SCAN_UP)) &&
        game.runner_height < std::int64_t{game.height_range} - 2) {
      game.runner_height += 2;
    }
    if ((platform::key_held(platform::SCAN_S) || platform::key_held(platform::SCAN_DOWN)) && game.runner_height > 2) {
      game.runner_height -= 2;
    }
  }

 private:
  ObstacleRow& row_;
  platform::Table<std::int32_t>& height_;
};

}  // namespace

bool free_runner_hit_by(std::int32_t obstacle_x, std::int32_t obstacle_height) {
  const std::int64_t height = obstacle_height;
  return in_collision_window(obstacle_x) && height - 32 < game.runner_height && game.runner_height < height + 16;
}

void recycle_free_row(ObstacleRow& row, platform::Table<std::int32_t>& height) {
  const std::int32_t last = game.obstacle_count;
  for (game.obstacle_index = 1; game.obstacle_index < last; ++game.obstacle_index) {
    platform::reseed_random_from_clock();
    row.x(game.obstacle_index) = row.x(game.obstacle_index + 1);
    row.kind(game.obstacle_index) = row.kind(game.obstacle_index + 1);
    height(game.obstacle_index) = height(game.obstacle_index + 1);
  }
  game.obstacle_index = 1;
  const std::int64_t right_edge = std::int64_t{game.screen_w} + game.scroll_x;
  row.x(last) = platform::round_half_even(static_cast<double>(right_edge) +
                                          platform::int_floor(platform::random_real() * 250) + 1);
  row.kind(last) = random_kind();
  height(last) = random_height();
  while (row.x(last) < std::int64_t{row.x(last - 1)} + 50 || row.x(last) < right_edge) {
    row.x(last) = platform::round_half_even(static_cast<double>(row.x(last - 1)) +
                                            platform::int_floor(platform::random_real() * 200) + 1);
    row.kind(last) = random_kind();
  }
}

std::unique_ptr<RunRules> free_rules(ObstacleRow& row, platform::Table<std::int32_t>& height) {
  return std::make_unique<FreeRules>(row, height);
}

void MAP_MENU_FREE() {
  platform::ProcedureScope scope{"inc/free", "MAP_MENU_FREE"};
  run_map_menu(FREE_MAP_ROWS);
}

void PLAY_FREE() {
  platform::ProcedureScope scope{"inc/free", "PLAY_FREE"};
  const RunPictures pictures;

  begin_run_setup();
  reset_run_counters();
  mapdata::read_map_record(mapdata::RecordLayout::free);

  ObstacleRow row(game.obstacle_image_count, game.obstacle_count);
  platform::Table<std::int32_t> height(game.obstacle_count);
  game.runner_image = mapdata::load_picture(map_path("char.bmp"));
  load_background();
  load_obstacle_images(row);

  refuse_row_of_one();
  for (game.obstacle_index = 1; game.obstacle_index <= game.obstacle_count; ++game.obstacle_index) {
    place_first_row_obstacle(row, game.obstacle_index);
    height(game.obstacle_index) = random_height();
  }

  FreeRules rules(row, height);
  run_frames(rules, row);
}
