// The classic map menu and the classic run.
#include "inc/classic/classic.h"

#include <array>

#include "inc/general/general.h"
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

}  // namespace

void MAP_MENU_CLASSIC() {
  platform::ProcedureScope scope{"inc/classic", "MAP_MENU_CLASSIC"};
  run_map_menu(CLASSIC_MAP_ROWS);
}

void PLAY_CLASSIC() {
  platform::ProcedureScope scope{"inc/classic", "PLAY_CLASSIC"};
}
