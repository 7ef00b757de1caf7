// inc/classic: the classic map menu and the classic run.
#pragma once

// The classic map menu: "Wüste", "Stadt" and "Zurück"; returns on "Zurück".
void MAP_MENU_CLASSIC();
// One classic run on map_name, from reading its map file to the game-over screen.
void PLAY_CLASSIC();
