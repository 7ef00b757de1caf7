// The classic map menu and the classic run: the runner jumps with the space bar.
#include "inc/classic/classic.h"

#include <array>

#include "inc/general/general.h"
#include "main/game_state.h"
#include "platform/platform.h"

namespace {

bool play_desert() {
  select_map("desert");
  PLAY_CLASSIC();
  return false;
}

bool play_city() {
  select_map("city");
  PLAY_CLASSIC();
  return false;
}

constexpr std::array CLASSIC_MAP_ROWS{
    MAP_TITLE_ROW,
    MenuRow{"W\x81ste", -200, -280, 200, play_desert},
    MenuRow{"Stadt", -200, -260, 200, play_city},
    BACK_ROW,
};

// Every classic frame works on obstacles 1 to 5 only.
constexpr std::int32_t ROW_LENGTH = 5;

class ClassicRules final : public RunRules {
 public:
  explicit ClassicRules(ObstacleRow& row) : row_(row) {}

  // Obstacle 1 leaves the row; a new obstacle 5 comes in beyond the right edge,
  // at least 200 px behind obstacle 4.
  void recycle_front_obstacle() override {
    platform::reseed_random_from_clock();
    for (std::int32_t i = 1; i < ROW_LENGTH; ++i) {
      row_.x(i) = row_.x(i + 1);
      row_.kind(i) = row_.kind(i + 1);
    }
    const std::int64_t right_edge = std::int64_t{game.screen_w} + game.scroll_x;
    const double r1 = platform::random_real();
    const double r2 = platform::random_real();
    row_.x(ROW_LENGTH) =
        platform::round_half_even(platform::int_floor(r1 * 1000) + static_cast<double>(right_edge) + 1);
    row_.kind(ROW_LENGTH) = random_kind(r2);
    while (row_.x(ROW_LENGTH) < std::int64_t{row_.x(ROW_LENGTH - 1)} + 200 || row_.x(ROW_LENGTH) < right_edge) {
      const double r3 = platform::random_real();
      const double r4 = platform::random_real();
      row_.x(ROW_LENGTH) =
          platform::round_half_even(platform::int_floor(r3 * 200) + static_cast<double>(row_.x(ROW_LENGTH - 1)) + 250);
      row_.kind(ROW_LENGTH) = random_kind(r4);
    }
  }

  // A hit costs a life and removes the obstacle.
  void test_collisions() override {
    for (std::int32_t i = 1; i <= 2; ++i) {
      if (classic_runner_hit_by(row_.x(i))) {
        game.lives -= 1;
        row_.x(i) = 0;
      }
    }
  }

  void after_background() override {
    if (game.jump_tick > 0) update_jump();
  }

  void draw_runner_and_obstacles() override {
    const mapdata::Picture& runner = game.jump_tick > 0 ? game.runner_jump_image : game.runner_image;
    mapdata::draw_picture(200, base_y() - game.runner_height, runner, mapdata::DrawMode::keyed);
    for (game.draw_index = 1; game.draw_index <= ROW_LENGTH; ++game.draw_index) {
      draw_obstacle(row_, game.draw_index, base_y());
    }
    game.draw_index = 0;
  }

  void poll_held_keys() override {
    if (platform::key_held(platform::SCAN_SPACE) && game.jump_tick == 0) {
      game.jump_tick = 1;
      game.runner_height = 0;
    }
    if (platform::key_held(platform::SCAN_P)) GAME_PAUSE();
  }

 private:
  static std::int32_t random_kind(double r) { return platform::int_floor(r * game.obstacle_image_count) + 1; }

  // The jump rises fast, hangs in the middle (its phase advances only every
  // third frame there) and falls ever faster.
  static void update_jump() {
    if (game.jump_tick < 10 || game.jump_tick > 24 || game.point_tick % 3 == 0) game.jump_tick += 1;
    if (game.jump_tick < 14) game.jump_lift = game.jump_lift + 2.0 / game.jump_tick + 1;
    if (game.jump_tick > 18) game.jump_lift = game.jump_lift - (game.jump_tick - 18) / 2.0 + 1;
    if (game.jump_tick > 28) {
      game.jump_tick = 0;
      game.runner_height = 0;
      game.jump_lift = 0.0;
    }
    game.runner_height = platform::int_floor(2 * game.jump_lift);
  }

  ObstacleRow& row_;
};

}  // namespace

bool classic_runner_hit_by(std::int32_t obstacle_x) {
  return in_collision_window(obstacle_x) && game.runner_height < 10;
}

std::unique_ptr<RunRules> classic_rules(ObstacleRow& row) { return std::make_unique<ClassicRules>(row); }

void MAP_MENU_CLASSIC() {
  platform::ProcedureScope scope{"inc/classic", "MAP_MENU_CLASSIC"};
  run_map_menu(CLASSIC_MAP_ROWS);
}

void PLAY_CLASSIC() {
  platform::ProcedureScope scope{"inc/classic", "PLAY_CLASSIC"};
  const RunPictures pictures;

  begin_run_setup();
  mapdata::read_map_record(mapdata::RecordLayout::classic);
  ObstacleRow row(game.obstacle_image_count, game.obstacle_count);
  game.runner_image = mapdata::load_picture(map_path("runner.bmp"));
  game.runner_jump_image = mapdata::load_picture(map_path("runnerjump.bmp"));
  load_background();
  load_obstacle_images(row);

  reset_run_counters();
  game.jump_tick = 0;
  game.jump_lift = 0.0;

  refuse_row_of_one();
  for (game.obstacle_index = 1; game.obstacle_index <= game.obstacle_count; ++game.obstacle_index) {
    place_first_row_obstacle(row, game.obstacle_index);
  }

  ClassicRules rules(row);
  run_frames(rules, row);
  game.map_name.clear();
}
