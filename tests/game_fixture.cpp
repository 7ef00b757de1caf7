#include "tests/game_fixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <regex>

#include "platform/font.h"

namespace fixture {

namespace {

void put_u16(std::string& out, unsigned value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void put_u32(std::string& out, std::uint32_t value) {
  put_u16(out, value & 0xFFFF);
  put_u16(out, value >> 16);
}

}  // namespace

WorkingFolder::WorkingFolder() : previous_(std::filesystem::current_path()) {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() / ("tandrel-test-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
  std::filesystem::current_path(path_);
}

WorkingFolder::~WorkingFolder() {
  std::filesystem::current_path(previous_);
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void write_bmp(const std::filesystem::path& path, int width, int height, const std::vector<std::uint32_t>& pixels) {
  const int row_bytes = (width * 3 + 3) / 4 * 4;
  std::string bytes = "BM";
  put_u32(bytes, static_cast<std::uint32_t>(54 + row_bytes * height));
  put_u32(bytes, 0);
  put_u32(bytes, 54);
  put_u32(bytes, 40);
  put_u32(bytes, static_cast<std::uint32_t>(width));
  put_u32(bytes, static_cast<std::uint32_t>(height));
  put_u16(bytes, 1);
  put_u16(bytes, 24);
  for (int i = 0; i < 6; ++i) put_u32(bytes, 0);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t colour = pixels[static_cast<std::size_t>(y * width + x)];
      bytes += static_cast<char>(colour & 0xFF);
      bytes += static_cast<char>((colour >> 8) & 0xFF);
      bytes += static_cast<char>((colour >> 16) & 0xFF);
    }
    bytes.append(static_cast<std::size_t>(row_bytes - width * 3), '\0');
  }
  write_file(path, bytes);
}

void write_bmp(const std::filesystem::path& path, int width, int height, std::uint32_t colour) {
  write_bmp(path, width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width * height), colour));
}

void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path().empty() ? "." : path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {

void make_map(const std::string& name, const std::string& record, int image_count, int bg_width,
              const std::vector<std::string>& runner_files) {
  const std::filesystem::path folder = std::filesystem::path("maps") / name;
  write_file(folder / "map.def", record);
  write_bmp(folder / runner_files[0], 20, 20, RUNNER_COLOUR);
  if (runner_files.size() > 1) write_bmp(folder / runner_files[1], 20, 20, JUMP_COLOUR);
  write_bmp(folder / "bg.bmp", bg_width, 100, BACKGROUND_COLOUR);
  for (int k = 1; k <= image_count; ++k) {
    write_bmp(folder / ("hindernis_" + std::to_string(k) + ".bmp"), 10, 10, OBSTACLE_COLOUR);
  }
}

}  // namespace

void make_classic_map(const std::string& name, const std::string& record, int image_count, int bg_width) {
  make_map(name, record, image_count, bg_width, {"runner.bmp", "runnerjump.bmp"});
}

void make_free_map(const std::string& name, const std::string& record, int image_count, int bg_width) {
  make_map(name, record, image_count, bg_width, {"char.bmp"});
}

void make_banners() {
  write_bmp("header1.bmp", 300, 60, 0x2040FF);
  write_bmp("header2.bmp", 300, 60, 0xFF4020);
}

void click(double at, std::int32_t x, std::int32_t y, double hold) {
  platform::headless::at_mouse(at, x, y, 1);
  platform::headless::at_mouse(at + hold, x, y, 0);
}

void fresh_program(std::int32_t width, std::int32_t height) {
  make_banners();
  platform::headless::reset({width, height});
  game = GameState{};
}

void fresh_game(std::int32_t width, std::int32_t height) {
  platform::headless::reset({width, height});
  game = GameState{};
  game.screen_w = width;
  game.screen_h = height;
  platform::set_screen_mode(width, height, 32, 1, 1, 0);
  platform::set_text_grid(width / 8, height / 16);
}

}  // namespace fixture

namespace fixture {

bool text_shown_at(double x, double y, const std::string& text, std::uint32_t colour) {
  const std::int32_t left = platform::to_pixel(x);
  const std::int32_t top = platform::to_pixel(y);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto& glyph = platform::font::glyphs_8x16[static_cast<unsigned char>(text[i])];
    for (int row = 0; row < 16; ++row) {
      for (int column = 0; column < 8; ++column) {
        const bool ink = (glyph[row] >> (7 - column)) & 1;
        const std::uint32_t shown =
            platform::headless::pixel(left + static_cast<std::int32_t>(i) * 8 + column, top + row) & 0xFFFFFF;
        if (ink != (shown == colour)) return false;
      }
    }
  }
  return true;
}

namespace {

constexpr double SAMPLE_PERIOD = 50e-6;

void sample_frames(double at, double until, std::int32_t last_scroll_x, std::function<void()> per_frame) {
  platform::headless::at_call(at, [=] {
    std::int32_t seen = last_scroll_x;
    if (game.scroll_x != seen) {
      seen = game.scroll_x;
      per_frame();
    }
    const double next = std::max(at, platform::headless::now_seconds()) + SAMPLE_PERIOD;
    if (next < until) sample_frames(next, until, seen, per_frame);
  });
}

}  // namespace

void after_each_frame(double until, std::function<void()> per_frame) {
  sample_frames(platform::headless::now_seconds() + SAMPLE_PERIOD, until, game.scroll_x, std::move(per_frame));
}

void jump_every_obstacle(double until, const bool* playing) {
  auto space_held = std::make_shared<bool>(false);
  after_each_frame(until, [=] {
    const double now = platform::headless::now_seconds();
    if (*space_held) {
      platform::headless::at_release(now, platform::SCAN_SPACE);
      *space_held = false;
    }
    if (game.jump_tick != 0 || (playing != nullptr && !*playing)) return;
    // The last frame shown: an obstacle 228 to 250 px from the left edge is
    // jumped now, so that the runner is 10 px up before it reaches the window.
    const std::int32_t row = platform::to_pixel(game.screen_h - 150 + game.ground_offset) + 5;
    const auto obstacle_at = [&](std::int32_t x) {
      return (platform::headless::pixel(x, row) & 0xFFFFFF) == OBSTACLE_COLOUR;
    };
    for (std::int32_t x = 228; x <= 250; ++x) {
      if (obstacle_at(x) && !obstacle_at(x - 1)) {
        platform::headless::at_hold(now, platform::SCAN_SPACE);
        *space_held = true;
        return;
      }
    }
  });
}

namespace {

void watch_for_game_over(double at, double until, const std::string& name, const NameAtGameOver& entry) {
  platform::headless::at_call(at, [=] {
    if (game.lives < 1) {
      entry->typed = true;
      entry->score = game.score;
      platform::headless::at_text(platform::headless::now_seconds() + 0.5, name);
    } else if (at < until) {
      watch_for_game_over(at + 0.01, until, name, entry);
    }
  });
}

}  // namespace

NameAtGameOver type_name_at_game_over(const std::string& name, double from, double until) {
  auto entry = std::make_shared<NameEntry>();
  watch_for_game_over(from, until, name, entry);
  return entry;
}

std::string reported_statement(const std::string& report, const std::string& source_file) {
  std::smatch match;
  if (!std::regex_search(report, match, std::regex(" at line ([0-9]+) "))) return {};
  const int wanted = std::stoi(match[1]);
  std::ifstream source(std::filesystem::path(TANDREL_SOURCE_DIR) / source_file);
  std::string line;
  for (int number = 1; std::getline(source, line); ++number) {
    if (number == wanted) return line;
  }
  return {};
}

}  // namespace fixture
