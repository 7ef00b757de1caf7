// The pause, the wait for released input, and the pieces every menu screen shares.
#include "inc/general/general.h"

#include "main/game_state.h"
#include "mapdata/mapdata.h"
#include "platform/platform.h"

namespace {

double centre_x() { return game.screen_w / 2.0; }
double centre_y() { return game.screen_h / 2.0; }

constexpr double ROW_BAND_HEIGHT = 20;

}  // namespace

void poll_mouse_into_state() {
  const platform::MouseState mouse = platform::poll_mouse();
  game.mouse_x = mouse.x;
  game.mouse_y = mouse.y;
  game.mouse_buttons = mouse.buttons;
}

void GAME_PAUSE() {
  platform::ProcedureScope scope{"inc/general", "GAME_PAUSE"};
  platform::draw_text(game.screen_w / 2.0 - 100, game.screen_h / 3.0 * 2, "game paused.");
  // Hold until P is let go, then a second's grace, then wait for a further key.
  platform::sleep_ms(1);
  while (platform::key_held(platform::SCAN_P)) platform::sleep_ms(1);
  platform::sleep_ms(1000);
  platform::sleep_ms(-1);
}

void M_WAIT() {
  platform::ProcedureScope scope{"inc/general", "M_WAIT"};
  for (;;) {
    poll_mouse_into_state();
    const bool key_was_queued = !platform::read_key().empty();
    if (game.mouse_buttons <= 0 && !key_was_queued) return;
  }
}

void draw_banner(platform::SourceLine where) {
  if (game.banner_tick < 5) {
    mapdata::draw_picture(centre_x() - 150, 10, game.banner_image_1, mapdata::DrawMode::keyed, where);
  }
  if (game.banner_tick > 4) {
    mapdata::draw_picture(centre_x() - 150, 10, game.banner_image_2, mapdata::DrawMode::keyed, where);
  }
  if (game.banner_tick > 7) game.banner_tick = 0;
}

void draw_menu_rows(std::span<const MenuRow> rows, platform::SourceLine where) {
  for (const MenuRow& row : rows) platform::draw_text(centre_x() + row.x, centre_y() + row.y, row.text, where);
}

bool test_menu_rows(std::span<const MenuRow> rows) {
  for (const MenuRow& row : rows) {
    if (row.action == nullptr) continue;
    const double left = centre_x() + row.x;
    const double top = centre_y() + row.y;
    // Each test sees the mouse fields as the previous hit's nested screen left them.
    const bool hit = game.mouse_buttons == 1 && left < game.mouse_x && game.mouse_x < left + row.band_width &&
                     top < game.mouse_y && game.mouse_y < top + ROW_BAND_HEIGHT;
    if (hit && row.action()) return true;
  }
  return false;
}

void run_map_menu(std::span<const MenuRow> rows, platform::SourceLine where) {
  platform::clear_screen();
  for (;;) {
    game.banner_tick += 1;
    platform::lock_screen();
    platform::set_colour(0xFFFFFF, 0);
    platform::clear_screen();
    draw_banner(where);
    draw_menu_rows(rows, where);
    platform::unlock_screen();
    platform::sleep_ms(100);
    poll_mouse_into_state();
    if (test_menu_rows(rows)) return;
  }
}

void select_map(const char* folder) {
  game.map_name = folder;
  platform::clear_screen();
  M_WAIT();
}
