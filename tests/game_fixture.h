// Shared test fixtures for whole-game tests on the headless backend: a fresh
// platform and GameState, a temporary working folder, and small BMP and map
// files written on the spot.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main/game_state.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace fixture {

// A temporary working folder for the test's lifetime.
class WorkingFolder {
 public:
  WorkingFolder();
  ~WorkingFolder();
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::filesystem::path previous_;
};

// Writes a 24-bit BMP of width x height in one colour (0xRRGGBB).
void write_bmp(const std::filesystem::path& path, int width, int height, std::uint32_t colour);
// Writes a 24-bit BMP from pixels (0xRRGGBB, rows top first).
void write_bmp(const std::filesystem::path& path, int width, int height, const std::vector<std::uint32_t>& pixels);
void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);

// Colours of the pictures make_classic_map and make_free_map write.
inline constexpr std::uint32_t RUNNER_COLOUR = 0x00FF00;
inline constexpr std::uint32_t JUMP_COLOUR = 0x00FFFF;
inline constexpr std::uint32_t BACKGROUND_COLOUR = 0x804020;
inline constexpr std::uint32_t OBSTACLE_COLOUR = 0xFF0000;

// maps/<name>/ with map.def holding `record` and plain pictures: a 20x20
// runner (and jump runner or free char), a bg of bg_width x 100, and
// image_count 10x10 obstacles.
void make_classic_map(const std::string& name, const std::string& record, int image_count = 1, int bg_width = 2560);
void make_free_map(const std::string& name, const std::string& record, int image_count = 1, int bg_width = 2560);
// The two banner pictures in the working folder.
void make_banners();

// A fresh platform and game for the whole program (TANDREL_MAIN) on a
// desktop of that size, with the banners in the working folder.
void fresh_program(std::int32_t width = 1366, std::int32_t height = 768);

// A fresh platform and game of that screen size, set up as start-up does
// (screen mode and 8x16 text) but without banners or menus.
void fresh_game(std::int32_t width = 1366, std::int32_t height = 768);

// A left click at (x, y): the button goes down at `at` and up `hold` seconds
// later, long enough for a menu that polls the mouse every 100 ms.
void click(double at, std::int32_t x, std::int32_t y, double hold = 0.25);

// Calls `per_frame` once in each run frame's wait (noticing that scroll_x
// has moved on), until the virtual clock reaches `until`: the k-th call sees
// frames 1 to k-1 finished and frame k's steps up to its hit tests done.
void after_each_frame(double until, std::function<void()> per_frame);

// A classic player that jumps every obstacle of make_classic_map's pictures
// in time, from now until `until`, while `*playing` is true.
void jump_every_obstacle(double until, const bool* playing = nullptr);

// Watches from `from` (when a run has started) until `until` for the loss of
// the last life, then types `name` (ending with "\r") into the name entry,
// remembering the run's score.
struct NameEntry {
  bool typed = false;
  std::int32_t score = -1;
};
using NameAtGameOver = std::shared_ptr<NameEntry>;
NameAtGameOver type_name_at_game_over(const std::string& name, double from, double until);

// The statement a runtime error report points at: the report's line of the
// given source file (relative to the source folder); empty when the report has none.
std::string reported_statement(const std::string& report, const std::string& source_file);

// Whether the screen shows exactly `text` in the 8x16 font at (x, y): every glyph pixel of the colour, every other
// pixel of its cells not.
bool text_shown_at(double x, double y, const std::string& text, std::uint32_t colour = 0xFFFFFF);

}  // namespace fixture
