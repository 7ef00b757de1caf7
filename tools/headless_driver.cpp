// The headless driver (being written): runs the game on the headless backend.
#include "main/main.h"
#include "platform/platform.h"

int main() { return platform::run_program(TANDREL_MAIN); }
