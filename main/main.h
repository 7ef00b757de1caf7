// main: start-up and the main menu.
#pragma once

// The program's own code: start-up, then the main menu loop, which never
// returns (Escape ends the program through end_program).
void TANDREL_MAIN();
