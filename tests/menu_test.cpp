// Start-up and the three menu screens, driven through the real program on the headless backend.
#include <gtest/gtest.h>

#include <regex>
#include <vector>

#include "main/main.h"
#include "tests/game_fixture.h"

namespace {

using platform::headless::at_key;
using platform::headless::at_mouse;

struct StartUpCase {
  std::int32_t width, height;
};

class StartUp : public testing::TestWithParam<StartUpCase> {};

TEST_P(StartUp, TakesTheDesktopFullScreenWithTitleAndEightBySixteenText) {
  const StartUpCase c = GetParam();
  fixture::WorkingFolder folder;
  fixture::fresh_program(c.width, c.height);
  bool menu_shown = false;
  platform::headless::at_call(
      0.05, [&] { menu_shown = fixture::text_shown_at(c.width / 2.0 - 200, c.height / 2.0 - 280, "Klassisch"); });
  at_key(0.3, platform::KEY_ESCAPE);
  const auto result = platform::headless::run(TANDREL_MAIN);

  EXPECT_EQ(result.status, 0) << result.report;
  EXPECT_EQ(result.report, "");
  EXPECT_EQ(game.screen_w, c.width);
  EXPECT_EQ(game.screen_h, c.height);
  EXPECT_EQ(platform::headless::screen_size().width, c.width);
  EXPECT_EQ(platform::headless::screen_size().height, c.height);
  EXPECT_TRUE(platform::headless::full_screen());
  EXPECT_EQ(platform::headless::window_title(), "Tandrel");
  EXPECT_TRUE(menu_shown) << "the menu's texts in the 8x16 font";
}

INSTANTIATE_TEST_SUITE_P(Desktops, StartUp, testing::Values(StartUpCase{1366, 768}, StartUpCase{800, 600}),
                         [](const auto& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

TEST(StartUp, MissingFirstBannerEndsBeforeAnyMenuWithError2) {
  fixture::WorkingFolder folder;
  fixture::write_bmp("header2.bmp", 300, 60, 0xFF0000);
  platform::headless::reset({1366, 768});
  game = GameState{};
  const auto result = platform::headless::run(TANDREL_MAIN);

  EXPECT_EQ(result.status, 2);
  EXPECT_TRUE(std::regex_match(
      result.report,
      std::regex("\nAborting due to runtime error 2 \\(file not found\\) at line [0-9]+ of main::\\(\\)\n\n")))
      << result.report;
  EXPECT_EQ(platform::headless::window_title(), "") << "the title comes after both banners";
}

// The main menu of a 1366x768 screen: cx 683, cy 384. "Klassisch" is hit in
// 483 < x < 683, 104 < y < 124 and "Free (Beta)" in 483 < x < 683, 124 < y < 144,
// by the left button alone.
struct ClickCase {
  std::int32_t x, y, buttons;
  const char* mode;  // mode_name after the click
};

class MainMenuClick : public testing::TestWithParam<ClickCase> {};

TEST_P(MainMenuClick, HitsOnlyStrictlyInsideABandWithTheLeftButtonAlone) {
  const ClickCase c = GetParam();
  fixture::WorkingFolder folder;
  fixture::fresh_program();
  at_mouse(0.15, c.x, c.y, c.buttons);
  at_mouse(0.35, c.x, c.y, 0);
  std::string mode_after_click;
  platform::headless::at_call(0.6, [&] { mode_after_click = game.mode_name; });
  platform::headless::set_end_time(0.7);
  platform::headless::run(TANDREL_MAIN);
  EXPECT_EQ(mode_after_click, c.mode);
}

INSTANTIATE_TEST_SUITE_P(
    Bands, MainMenuClick,
    testing::Values(ClickCase{500, 110, 1, "clasic"}, ClickCase{484, 105, 1, "clasic"},
                    ClickCase{682, 123, 1, "clasic"}, ClickCase{483, 110, 1, ""}, ClickCase{683, 110, 1, ""},
                    ClickCase{500, 104, 1, ""}, ClickCase{500, 124, 1, ""}, ClickCase{500, 125, 1, "Free"},
                    ClickCase{500, 143, 1, "Free"}, ClickCase{500, 144, 1, ""}, ClickCase{500, 110, 2, ""},
                    ClickCase{500, 110, 3, ""}, ClickCase{500, 110, 5, ""}, ClickCase{-1, -1, -1, ""}),
    [](const auto& info) {
      const ClickCase& c = info.param;
      const auto number = [](std::int32_t v) { return (v < 0 ? "minus" : "") + std::to_string(v < 0 ? -v : v); };
      return "x" + number(c.x) + "_y" + number(c.y) + "_buttons" + number(c.buttons);
    });

// Opens the classic map menu, then clicks the back row far to the right.
TEST(MapMenu, BackRowHasNoRightBoundAndTheMainMenuGoesOnToEscape) {
  fixture::WorkingFolder folder;
  fixture::fresh_program();
  fixture::click(0.15, 500, 110);
  bool map_menu_shown = false;
  platform::headless::at_call(0.55, [&] { map_menu_shown = fixture::text_shown_at(483, 104, "W\x81ste"); });
  // "Zurück": cx - 300 < x, cy - 350 < y < cy - 330.
  at_mouse(0.7, 1365, 40, 1);
  at_key(1.0, platform::KEY_ESCAPE);
  const auto result = platform::headless::run(TANDREL_MAIN);
  EXPECT_TRUE(map_menu_shown);
  EXPECT_EQ(result.status, 0) << result.report;
}

// The map menus read no keys: a key typed there waits in the queue, and the
// main menu reads the queued keys one per frame after the back row.
TEST(MapMenu, KeysWaitForTheMainMenuWhichReadsOnePerFrame) {
  fixture::WorkingFolder folder;
  fixture::fresh_program();
  fixture::click(0.15, 500, 110);
  platform::headless::at_text(0.5, "ab\x1b");
  fixture::click(1.5, 700, 40, 0.15);
  const auto result = platform::headless::run(TANDREL_MAIN);
  EXPECT_EQ(result.status, 0) << result.report;
  // Three frames of the main menu after the back row, each shortened by nothing (the key event is long lowered).
  EXPECT_GT(platform::headless::now_seconds(), 1.5 + 0.25);
}

// The banner counter runs on across the screens: four frames of the first
// banner, four of the second, never reset when a map menu opens.
TEST(Banner, BlinksEveryFourFramesAcrossScreens) {
  fixture::WorkingFolder folder;
  fixture::fresh_program();
  std::vector<std::int32_t> ticks;
  std::vector<bool> first_banner_shown;
  for (int frame = 0; frame < 24; ++frame) {
    platform::headless::at_call(0.05 + 0.1 * frame, [&] {
      ticks.push_back(game.banner_tick);
      first_banner_shown.push_back((platform::headless::pixel(683 - 150 + 5, 15) & 0xFFFFFF) == 0x2040FF);
    });
  }
  fixture::click(0.82, 500, 110, 0.13);  // into the classic map menu in the ninth frame
  platform::headless::set_end_time(2.45);
  platform::headless::run(TANDREL_MAIN);

  ASSERT_EQ(ticks.size(), 24u);
  EXPECT_EQ(ticks[0], 1) << "the first frame after start-up shows the first banner";
  for (std::size_t i = 0; i < ticks.size(); ++i) {
    EXPECT_EQ(ticks[i], static_cast<std::int32_t>((i + 1) % 8)) << "frame " << i;
    EXPECT_EQ(first_banner_shown[i], ticks[i] >= 1 && ticks[i] <= 4) << "frame " << i;
  }
  EXPECT_EQ(game.mode_name, "clasic");
}

}  // namespace
