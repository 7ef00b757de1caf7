// The game's process entry: the platform runs the game on its own thread.
#include "main/main.h"
#include "platform/platform.h"

int main() { return platform::run_program(TANDREL_MAIN); }
