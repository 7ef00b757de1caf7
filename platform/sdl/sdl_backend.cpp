// The SDL backend (being written): runs the game without a display for now.
#include <cstdio>

#include "platform/backend.h"
#include "platform/platform.h"

namespace platform {

int run_program(void (*game_entry)()) {
  const backend::Outcome outcome = backend::run_guarded(game_entry);
  std::fputs(outcome.report.c_str(), stderr);
  return outcome.status;
}

}  // namespace platform
