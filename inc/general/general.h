// inc/general: the procedures the menus and both runs share.
#pragma once

#include <limits>
#include <span>
#include <string_view>

#include "platform/platform.h"

// The game-over screen: "you lost.", or the new highscore holder's name
// entry and the rewritten map file. Called by a run when it ends.
void GAME_END();
// Shows "game paused." and holds the run until P is let go and another key comes.
void GAME_PAUSE();
// Waits until no mouse button is down and the key queue is empty, throwing queued keys away.
void M_WAIT();

// ---------------------------------------------------------------------------
// The menu screens' shared pieces. Positions are relative to the screen's
// centre (cx, cy) = (screen_w / 2, screen_h / 2), in real arithmetic. A
// failure in them is reported at the line of the calling screen's statement.

// One text row of a menu screen.
struct MenuRow {
  std::string_view text;  // code page 437
  double x;               // drawn at (cx + x, cy + y)
  double y;
  double band_width;  // click band (cx + x, cx + x + band_width) x (cy + y, cy + y + 20), bounds excluded; 0: no button
  bool (*action)();   // runs on a hit of the left button alone; returns true to leave the screen
};

inline constexpr double NO_RIGHT_BOUND = std::numeric_limits<double>::infinity();
inline bool leave_menu() { return true; }

// The rows both map menus begin and end with.
inline constexpr MenuRow MAP_TITLE_ROW{"Map:", -200, -300, 0, nullptr};
inline constexpr MenuRow BACK_ROW{
    "Zur\x81"
    "ck",
    -300, -350, NO_RIGHT_BOUND, leave_menu};

// Polls the mouse into mouse_x, mouse_y and mouse_buttons.
void poll_mouse_into_state();
// The banner step: banner_image_1 while banner_tick is 1..4, banner_image_2 for 5..8, then the tick wraps.
void draw_banner(platform::SourceLine where = platform::SourceLine::current());
// Draws the rows' texts in table order.
void draw_menu_rows(std::span<const MenuRow> rows, platform::SourceLine where = platform::SourceLine::current());
// Tests the rows against the last mouse poll in table order, running each
// hit's action at once; true as soon as an action leaves the screen.
bool test_menu_rows(std::span<const MenuRow> rows);
// A map menu's loop: one clear, then frames of banner and rows until a row leaves.
void run_map_menu(std::span<const MenuRow> rows, platform::SourceLine where = platform::SourceLine::current());
// A map row's first half: remembers the map, clears the screen and waits for released input.
void select_map(const char* folder);
