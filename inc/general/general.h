// inc/general: the procedures the menus and both runs share.
#pragma once

#include <string_view>

// The game-over screen: "you lost.", or the new highscore holder's name
// entry and the rewritten map file. Called by a run when it ends.
void GAME_END();
// Shows "game paused." and holds the run until P is let go and another key comes.
void GAME_PAUSE();
// Waits until no mouse button is down and the key queue is empty, throwing queued keys away.
void M_WAIT();

// The menu screens' shared pieces.

// One text row of a menu screen, placed relative to the screen's centre.
struct MenuRow {
  std::string_view text;  // code page 437
  double x_offset;        // from cx; the text is drawn at (cx + x_offset, cy + y_offset)
  double y_offset;
};
// The banner step: draws banner_image_1 for banner_tick 1..4, banner_image_2 for 5..8, and wraps the tick.
void draw_banner();
// Whether the last mouse poll is the left button alone strictly inside the band
// (cx + left, cx + right) x (cy + top, cy + bottom); `right` may be +infinity.
bool menu_row_hit(double left, double right, double top, double bottom);
