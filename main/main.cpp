// Start-up and the main menu.
#include "main/main.h"

#include <array>

#include "inc/classic/classic.h"
#include "inc/free/free.h"
#include "inc/general/general.h"
#include "main/game_state.h"
#include "mapdata/mapdata.h"
#include "platform/platform.h"

namespace {

bool open_classic_maps() {
  game.mode_name = "clasic";
  M_WAIT();
  MAP_MENU_CLASSIC();
  return false;
}

bool open_free_maps() {
  game.mode_name = "Free";
  M_WAIT();
  MAP_MENU_FREE();
  return false;
}

constexpr std::array MAIN_MENU_ROWS{
    MenuRow{"Modus:", -200, -300, 0, nullptr},
    MenuRow{"Klassisch", -200, -280, 200, open_classic_maps},
    MenuRow{"Free (Beta)", -200, -260, 200, open_free_maps},
};

void start_up() {
  const platform::ScreenSize desktop = platform::desktop_size();
  game.screen_w = desktop.width;
  game.screen_h = desktop.height;
  platform::set_screen_mode(game.screen_w, game.screen_h, 32, 1, 1, 0);
  platform::set_text_grid(game.screen_w / 8, game.screen_h / 16);
  game.banner_image_1 = mapdata::load_picture("header1.bmp");
  game.banner_image_2 = mapdata::load_picture("header2.bmp");
  platform::set_window_title("Tandrel");
}

[[noreturn]] void main_menu() {
  for (;;) {
    platform::set_colour(0xFFFFFF, 0);
    platform::clear_screen();
    game.banner_tick += 1;
    platform::lock_screen();
    platform::clear_screen();
    draw_banner();
    draw_menu_rows(MAIN_MENU_ROWS);
    platform::unlock_screen();
    poll_mouse_into_state();
    test_menu_rows(MAIN_MENU_ROWS);
    platform::sleep_ms(100);
    if (platform::read_key() == "\x1b") platform::end_program(0);
  }
}

}  // namespace

void TANDREL_MAIN() {
  platform::ProcedureScope scope{"main", ""};
  start_up();
  main_menu();
}
