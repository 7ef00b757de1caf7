// inc/classic: the classic map menu and the classic run, with the parts of
// a run that the free run shares.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "mapdata/mapdata.h"
#include "platform/platform.h"

// The classic map menu: "Wüste", "Stadt" and "Zurück"; returns on "Zurück".
void MAP_MENU_CLASSIC();
// One classic run on map_name, from reading its map file to the game-over screen.
void PLAY_CLASSIC();
// Whether a classic obstacle at world x hits the runner: inside the window and the runner below 10 px.
bool classic_runner_hit_by(std::int32_t obstacle_x);

// ---------------------------------------------------------------------------
// What the free run shares with the classic run. A failure in these pieces
// is reported at the line of the run procedure's statement that called them.

// The obstacle tables a run owns, indexed from 1.
struct ObstacleRow {
  platform::Table<mapdata::Picture> images;  // entry k from "hindernis_k.bmp"
  platform::Table<std::int32_t> x;           // world x of each obstacle's left edge; 0: removed
  platform::Table<std::int32_t> kind;        // each obstacle's picture number

  ObstacleRow(std::int32_t image_count, std::int32_t obstacle_count,
              platform::SourceLine where = platform::SourceLine::current())
      : images(image_count, where), x(obstacle_count, where), kind(obstacle_count, where) {}
};

// Releases the run's pictures held in GameState when the run returns.
struct RunPictures {
  RunPictures() = default;
  RunPictures(const RunPictures&) = delete;
  RunPictures& operator=(const RunPictures&) = delete;
  ~RunPictures();
};

// "maps\" + map_name + "\" + file.
std::string map_path(std::string_view file);
// The set-up's first steps: no ground offset yet, and map_file for map_name.
void begin_run_setup();
// The run counters at a run's start: speed 30, scroll_x 1, level 1, no score, 3 lives, the runner on the ground.
void reset_run_counters();
// A row of one obstacle has no spacing (the layout would divide by zero) and
// no obstacle 2 for the first frame: it is refused as that frame would refuse it.
void refuse_row_of_one(platform::SourceLine where = platform::SourceLine::current());
// Loads the background picture and keeps its size in bg_w and bg_h.
void load_background(platform::SourceLine where = platform::SourceLine::current());
// Loads hindernis_1.bmp to hindernis_N.bmp into the row's pictures.
void load_obstacle_images(ObstacleRow& row, platform::SourceLine where = platform::SourceLine::current());
// Places obstacle i of the first row: two draws, for its x and its picture.
void place_first_row_obstacle(ObstacleRow& row, std::int32_t i,
                              platform::SourceLine where = platform::SourceLine::current());
// The base line: where the runner's and the obstacles' top edges stand.
double base_y();
// Whether an obstacle at world x is within the runner's collision window.
bool in_collision_window(std::int32_t obstacle_x);
// Draws obstacle i of the row, keyed, at its screen x and the given y.
void draw_obstacle(ObstacleRow& row, std::int32_t i, double y,
                   platform::SourceLine where = platform::SourceLine::current());

// A level comes once the score passes 5 x level squared, with the message; from level 6 a last life gets company.
void check_level();
// The frame wait shrinks with the level, down to 1 from level 9 on.
void update_speed();

// The steps in which the classic and the free run differ; the frame loop
// around them is the same for both.
class RunRules {
 public:
  virtual ~RunRules() = default;
  virtual void recycle_front_obstacle() = 0;  // when obstacle 1 has been removed
  virtual void test_collisions() = 0;         // obstacles 1 and 2 against the runner
  virtual void after_background() {}          // between the background and its wrap
  virtual void draw_runner_and_obstacles() = 0;
  virtual void poll_held_keys() = 0;  // after the frame has been shown
};

// One frame's picture, composed under the screen lock and shown at its unlock.
void compose_frame(RunRules& rules, platform::SourceLine where = platform::SourceLine::current());
// The frame loop of a run, until Escape or the last life ends it.
void run_frames(RunRules& rules, ObstacleRow& row, platform::SourceLine where = platform::SourceLine::current());
// The classic run's own steps, over its row (also for measuring a frame).
std::unique_ptr<RunRules> classic_rules(ObstacleRow& row);
