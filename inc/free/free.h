// inc/free: the free map menu and the free run.
#pragma once

#include <cstdint>
#include <memory>

#include "inc/classic/classic.h"

// The free map menu: "Sky" and "Zurück"; returns on "Zurück".
void MAP_MENU_FREE();
// One free run on map_name, from reading its map file to the game-over screen.
void PLAY_FREE();
// Whether a free obstacle at world x and this height hits the runner: inside the window,
// its top edge less than 32 px above or 16 px below the runner's.
bool free_runner_hit_by(std::int32_t obstacle_x, std::int32_t obstacle_height);
// Recycles the front obstacle of a free row: the row moves up by one and a new
// last obstacle comes in 1 to 250 px beyond the right edge, and at least 50 px
// behind the one before it.
void recycle_free_row(ObstacleRow& row, platform::Table<std::int32_t>& height);
// The free run's own steps, over its row and heights (also for measuring a frame).
std::unique_ptr<RunRules> free_rules(ObstacleRow& row, platform::Table<std::int32_t>& height);
