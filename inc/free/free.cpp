// The free map menu and the free run.
#include "inc/free/free.h"

#include <array>

#include "inc/general/general.h"
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

}  // namespace

void MAP_MENU_FREE() {
  platform::ProcedureScope scope{"inc/free", "MAP_MENU_FREE"};
  run_map_menu(FREE_MAP_ROWS);
}

void PLAY_FREE() {
  platform::ProcedureScope scope{"inc/free", "PLAY_FREE"};
}
