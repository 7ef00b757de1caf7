// The frame loop and the set-up pieces that the classic and the free run share.
#include <string>

#include "inc/classic/classic.h"
#include "inc/general/general.h"
#include "main/game_state.h"
#include "platform/platform.h"

namespace {

constexpr std::uint32_t WHITE = 0xFFFFFF;

// The frame waits speed / 1500 s from its own start, polling the clock without sleeping.
void wait_out_frame_delay() {
  game.frame_start_time = platform::clock_seconds();
  const double end = game.frame_start_time + game.speed / 1500.0;
  while (platform::clock_seconds() <= end) {
  }
}

void draw_background(platform::SourceLine where) {
  game.bg_tile_x = 1;
  const std::int64_t last_tile_x = std::int64_t{game.bg_w} + game.screen_w - 1;
  while (game.bg_tile_x <= last_tile_x) {
    mapdata::draw_picture(game.bg_tile_x - game.bg_scroll, game.screen_h - game.bg_h, game.background_image,
                          mapdata::DrawMode::opaque, where);
    game.bg_tile_x += game.bg_w;
  }
}

// 2560 px is the background's wrap length, whatever the screen or picture size.
void wrap_background() {
  if (game.bg_scroll > std::int64_t{game.bg_tile_x} - 2560) game.bg_scroll = 1;
}

void draw_status_lines(platform::SourceLine where) {
  using platform::decimal;
  platform::draw_text(10, 10,
                      "Level: " + decimal(game.level) + "  Punkte: " + decimal(game.score) +
                          "  Speed: " + decimal(game.speed) + " Leben: " + decimal(game.lives),
                      where);
  const std::string highscore_line = "Highscore: " + decimal(game.highscore) + " by " + game.highscore_name;
  platform::draw_text(game.screen_w - 14.0 * static_cast<double>(highscore_line.size()), 10, highscore_line, where);
}

// The level message shows for 5 s after the level-up; its x follows the screen's height.
void draw_level_message(platform::SourceLine where) {
  if (platform::clock_seconds() - 5 < game.level_message_time) {
    platform::draw_text((game.screen_h / 2.0 - static_cast<double>(game.level_message.size())) * 1.5, 525,
                        game.level_message, where);
  }
}

// A point every 51 frames.
void count_points() {
  game.point_tick += 1;
  if (game.point_tick > 50) {
    game.score += 1;
    game.point_tick = 0;
  }
}

}  // namespace

void check_level() {
  if (game.score > game.level * (game.level / 2.0) * 10) {
    game.level += 1;
    if (game.level > 5 && game.lives < 2) game.lives += 1;
    game.level_message = "Sie haben Level " + platform::decimal(game.level) + " erreicht!";
    game.level_message_time = platform::clock_seconds();
  }
}

void update_speed() {
  if (game.speed > 3) game.speed = 30 - 3 * game.level;
  if (game.speed < 4 && game.speed > 1 && game.level > 33 - 3 * game.level) game.speed -= 1;
}

RunPictures::~RunPictures() {
  game.runner_image.reset();
  game.runner_jump_image.reset();
  game.background_image.reset();
}

std::string map_path(std::string_view file) {
  std::string path = "maps\\" + game.map_name + "\\";
  path += file;
  return path;
}

void begin_run_setup() {
  game.ground_offset = 0.0;
  game.obstacle_index = 0;
  game.map_file = map_path("map.def");
}

void reset_run_counters() {
  game.speed = 30;
  game.scroll_x = 1;
  game.runner_height = 0;
  game.level = 1;
  game.score = 0;
  game.lives = 3;
  game.bg_tile_x = 0;
  game.bg_scroll = 0;
}

void refuse_row_of_one(platform::SourceLine where) {
  if (game.obstacle_count == 1) platform::raise_error(platform::ERROR_OUT_OF_BOUNDS, where);
}

void load_background(platform::SourceLine where) {
  game.background_image = mapdata::load_picture(map_path("bg.bmp"), where);
  game.bg_w = game.background_image ? game.background_image->width : 0;
  game.bg_h = game.background_image ? game.background_image->height : 0;
}

void load_obstacle_images(ObstacleRow& row, platform::SourceLine where) {
  while (game.obstacle_index != game.obstacle_image_count) {
    game.obstacle_index += 1;
    row.images(game.obstacle_index, where) =
        mapdata::load_picture(map_path("hindernis_" + platform::decimal(game.obstacle_index) + ".bmp"), where);
  }
}

void place_first_row_obstacle(ObstacleRow& row, std::int32_t i, platform::SourceLine where) {
  const double r1 = platform::random_real();
  const double r2 = platform::random_real();
  const double spacing = game.screen_w / (game.obstacle_count - 1.0);
  row.x(i, where) = platform::round_half_even(platform::int_floor(r1 * 300) + spacing * i + 100);
  row.kind(i, where) = platform::int_floor(r2 * game.obstacle_image_count) + 1;
}

double base_y() { return game.screen_h - 150 + game.ground_offset; }

bool in_collision_window(std::int32_t obstacle_x) {
  return std::int64_t{game.scroll_x} + 180 < obstacle_x && obstacle_x < std::int64_t{game.scroll_x} + 220;
}

void draw_obstacle(ObstacleRow& row, std::int32_t i, double y, platform::SourceLine where) {
  mapdata::draw_picture(static_cast<double>(row.x(i, where)) - game.scroll_x, y, row.images(row.kind(i, where), where),
                        mapdata::DrawMode::keyed, where);
}

void compose_frame(RunRules& rules, platform::SourceLine where) {
  platform::lock_screen();
  platform::clear_screen();
  platform::set_colour(WHITE, static_cast<std::uint32_t>(game.background_colour));
  draw_background(where);
  rules.after_background();
  wrap_background();
  draw_status_lines(where);
  rules.draw_runner_and_obstacles();
  draw_level_message(where);
  platform::unlock_screen();
}

void run_frames(RunRules& rules, ObstacleRow& row, platform::SourceLine where) {
  for (;;) {
    if (row.x(1, where) == 0) rules.recycle_front_obstacle();
    // One key a frame; only Escape acts.
    if (platform::read_key() == "\x1b") {
      GAME_END();
      M_WAIT();
      return;
    }
    if (row.x(1, where) < std::int64_t{game.scroll_x} - 100) row.x(1, where) = 0;
    rules.test_collisions();
    if (game.lives < 1) {
      GAME_END();
      return;
    }
    game.bg_scroll += 2;
    wait_out_frame_delay();

    compose_frame(rules, where);

    rules.poll_held_keys();
    check_level();
    update_speed();
    count_points();
    platform::sleep_ms(1);
    game.scroll_x += 2;
  }
}
