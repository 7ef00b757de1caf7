// The benchmarks' shared ending: every benchmark file registers its
// benchmarks and the goals they are held to; after the run a table gives
// each ratio of a baseline's time to ours, from the times of this same run.
#pragma once

#include <string>

struct Goal {
  std::string label;
  std::string ours;      // benchmark name of our operation
  std::string baseline;  // benchmark name of what it is measured against
  double at_least;       // baseline time / our time must reach this
};

void add_goal(Goal goal);

// Each benchmark file's registration, called by main.
void register_picture_benchmarks();
void register_frame_benchmarks();
