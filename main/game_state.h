// GameState: the one record of shared state that every procedure works on.
// Every field starts at zero, the empty text or no image.
#pragma once

#include <cstdint>
#include <string>

#include "mapdata/mapdata.h"

struct GameState : mapdata::MapRecord {  // the map's values, as read from map_file
  std::int32_t screen_w = 0;             // screen size in pixels, the desktop's resolution
  std::int32_t screen_h = 0;

  mapdata::Picture banner_image_1;  // the two alternating banner frames of the menus
  mapdata::Picture banner_image_2;
  std::int32_t banner_tick = 0;  // menu frames of the banner blink, shared by all menus

  std::int32_t mouse_x = 0;  // the last mouse poll
  std::int32_t mouse_y = 0;
  std::int32_t mouse_buttons = 0;  // 1 left, 2 right, 4 middle; -1 outside the window

  std::string mode_name;  // "clasic" or "Free": the layout GAME_END writes
  std::string map_name;   // the map's folder: "desert", "city" or "sky"
  std::string map_file;   // "maps\" + map_name + "\map.def"

  std::int32_t speed = 0;  // frame wait in units of 1/1500 s
  std::int32_t score = 0;  // points of the run
  std::int32_t level = 0;
  std::int32_t lives = 0;

  std::string level_message;        // the last level-up text; outlives the run
  double level_message_time = 0.0;  // clock time of the last level-up; outlives the run

  std::int32_t point_tick = 0;    // frames towards the next point, 0..50; outlives the run
  double frame_start_time = 0.0;  // when the current frame's wait began

  std::int32_t scroll_x = 0;       // world x of the screen's left edge
  std::int32_t runner_height = 0;  // the runner's height above its ground position

  std::int32_t jump_tick = 0;  // classic jump phase: 0 on the ground, then 1..28
  double jump_lift = 0.0;      // classic jump accumulator

  std::int32_t bg_tile_x = 0;  // x of the next background tile in a frame's background pass
  std::int32_t bg_scroll = 0;  // background scroll offset
  std::int32_t bg_w = 0;       // size of the background picture
  std::int32_t bg_h = 0;

  mapdata::Picture runner_image;  // the current run's pictures, owned by the run
  mapdata::Picture runner_jump_image;
  mapdata::Picture background_image;

  std::int32_t draw_index = 0;      // the obstacle being drawn; 0 outside the obstacle pass
  std::int32_t obstacle_index = 0;  // loop counter of the run procedures

  std::int32_t entry_key = 0;  // the key last read by the highscore name entry
};

extern GameState game;
