// The game-over screen and the new highscore holder's name entry.
#include <cstddef>
#include <string>

#include "inc/general/general.h"
#include "main/game_state.h"
#include "mapdata/mapdata.h"
#include "platform/platform.h"

namespace {

// The longest name the map file gives back whole; keys beyond it are ignored.
constexpr std::size_t NAME_LIMIT = 4096;

// The name entry's rules for one key.
void apply_entry_key(std::string& name, int key) {
  if (key >= 32 && key <= 255) {
    // A double quote would end the name early when the map file is read back.
    if (key != '"' && name.size() < NAME_LIMIT) name.push_back(static_cast<char>(key));
  } else if (key == platform::KEY_BACKSPACE) {
    if (!name.empty()) name.pop_back();
  }
}

}  // namespace

void GAME_END() {
  platform::ProcedureScope scope{"inc/general", "GAME_END"};
  platform::clear_screen();
  if (game.score > game.highscore) {
    game.highscore_name.clear();
    game.highscore = game.score;
    for (;;) {
      platform::clear_screen();
      // Each character moves the line half a cell left, so its middle stays put.
      const double x = game.screen_w / 2.0 - 100 - 4.0 * static_cast<double>(game.highscore_name.size());
      platform::draw_text(x, game.screen_h / 2.0, "You lost, please enter your name: " + game.highscore_name);
      game.entry_key = platform::wait_key();
      apply_entry_key(game.highscore_name, game.entry_key);
      if (game.entry_key == platform::KEY_ENTER) {
        mapdata::write_map_record();
        return;
      }
    }
  }
  platform::draw_text(game.screen_w / 2.0 - 300, game.screen_h / 2.0, "you lost.");
  platform::sleep_ms(-1);
}
