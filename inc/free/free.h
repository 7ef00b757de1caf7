// inc/free: the free map menu and the free run.
#pragma once

// The free map menu: "Sky" and "Zurück"; returns on "Zurück".
void MAP_MENU_FREE();
// One free run on map_name, from reading its map file to the game-over screen.
void PLAY_FREE();
