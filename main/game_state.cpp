#include "main/game_state.h"

GameState game;
