// The free run on the headless backend: first row, movement, hits, refill,
// pause, a whole run to a new highscore, and failures.
#include "inc/free/free.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <vector>

#include "main/main.h"
#include "tests/game_fixture.h"

namespace {

using platform::headless::at_hold;
using platform::headless::at_key;
using platform::headless::at_release;

// A free map "sky": one obstacle picture, `count` obstacles, this height range.
void make_sky(std::int32_t height_range, std::int32_t count = 2, std::int32_t highscore = 1000) {
  fixture::make_free_map("sky", "8421504," + std::to_string(highscore) + ",\"Max\",0,1," +
                                    std::to_string(height_range) + "," + std::to_string(count) + "\r\n");
  game.map_name = "sky";
  game.mode_name = "Free";
}

TEST(FreeFirstRow, WithTwoObstaclesBothStartBeyondTheRightEdge) {
  fixture::fresh_game(1366, 768);
  game.obstacle_count = 2;
  game.obstacle_image_count = 1;
  ObstacleRow row(1, 2);
  place_first_row_obstacle(row, 1);
  place_first_row_obstacle(row, 2);
  EXPECT_GE(row.x(1), 1366 + 100);
  EXPECT_LE(row.x(1), 1366 + 399);
  EXPECT_GE(row.x(2), 2 * 1366 + 100);
  EXPECT_LE(row.x(2), 2 * 1366 + 399);
}

TEST(FreeHit, WindowAndHeightBoundsAreStrict) {
  struct Case {
    std::int32_t screen_x, runner_height, obstacle_height;
    bool hit;
  };
  const Case cases[] = {{200, 69, 100, true},   {200, 68, 100, false},  {200, 115, 100, true},
                        {200, 116, 100, false}, {181, 100, 100, true},  {219, 100, 100, true},
                        {180, 100, 100, false}, {220, 100, 100, false}, {200, 0, 1, true}};
  for (const Case c : cases) {
    game.scroll_x = 501;
    game.runner_height = c.runner_height;
    EXPECT_EQ(free_runner_hit_by(game.scroll_x + c.screen_x, c.obstacle_height), c.hit)
        << c.screen_x << ", runner " << c.runner_height << ", obstacle " << c.obstacle_height;
  }
}

struct KeyChange {
  double at;
  int scan_code;
  bool down = true;
};

// The runner's heights frame by frame while keys are held (sampled in each frame's wait).
std::vector<std::int32_t> heights_while(std::int32_t height_range, const std::vector<KeyChange>& keys, double until) {
  fixture::fresh_game();
  fixture::WorkingFolder folder;
  make_sky(height_range, 2);
  for (const KeyChange& key : keys) {
    if (key.down) {
      at_hold(key.at, key.scan_code);
    } else {
      at_release(key.at, key.scan_code);
    }
  }
  std::vector<std::int32_t> heights;
  fixture::after_each_frame(until, [&] { heights.push_back(game.runner_height); });
  at_key(until, platform::KEY_ESCAPE);
  at_key(until + 0.1, 'x');
  const auto result = platform::headless::run(PLAY_FREE);
  EXPECT_EQ(result.status, 0) << result.report;
  EXPECT_EQ(game.map_name, "sky") << "the free run keeps its map";
  return heights;
}

TEST(FreeMovement, RisesToTheLargestEvenHeightBelowTheRangeAndSinksNoLowerThan2) {
  struct Case {
    std::int32_t height_range, top;
  };
  for (const Case c : {Case{300, 298}, Case{301, 300}, Case{3, 2}, Case{2, 0}, Case{0, 0}}) {
    const auto up = heights_while(c.height_range, {{0, platform::SCAN_W}}, 4.0);
    EXPECT_EQ(*std::max_element(up.begin(), up.end()), c.top) << "range " << c.height_range;
    EXPECT_EQ(up.back(), c.top);
  }
  // Up with the arrow, then down with S: never below 2 once risen.
  const auto down =
      heights_while(300, {{0, platform::SCAN_UP}, {0.3, platform::SCAN_UP, false}, {0.3, platform::SCAN_S}}, 1.0);
  EXPECT_EQ(down.back(), 2);
}

TEST(FreeMovement, RisingAndSinkingKeysTogetherHoldTheHeight) {
  const auto from_ground = heights_while(300, {{0, platform::SCAN_W}, {0, platform::SCAN_DOWN}}, 0.5);
  EXPECT_EQ(from_ground.back(), 2) << "a runner at 0 moves to 2";
  const auto from_top = heights_while(300, {{0, platform::SCAN_W}, {4.0, platform::SCAN_S}}, 4.5);
  EXPECT_EQ(from_top.back(), 296) << "a runner at the top moves 2 lower";
}

TEST(FreeRefill, PlacesTheNewLastObstacleJustBeyondTheEdgeAndAtLeast50PxBehindTheOneBefore) {
  fixture::fresh_game(1366, 768);
  game.obstacle_count = 3;
  game.obstacle_image_count = 4;
  game.height_range = 300;
  game.scroll_x = 1001;
  const std::int64_t right_edge = 1366 + 1001;
  for (int attempt = 0; attempt < 200; ++attempt) {
    ObstacleRow row(4, 3);
    platform::Table<std::int32_t> height(3);
    const bool behind = attempt % 2 == 1;  // the previous last obstacle is still beyond the edge
    row.x(1) = 0;
    row.x(2) = 1500;
    row.x(3) = behind ? static_cast<std::int32_t>(right_edge + 100) : 2000;
    height(3) = 77;
    recycle_free_row(row, height);
    EXPECT_EQ(row.x(1), 1500);
    EXPECT_EQ(height(2), 77) << "the row moves up by one";
    const std::int32_t previous = row.x(2);
    if (behind) {
      EXPECT_GE(row.x(3), previous + 50);
      EXPECT_LE(row.x(3), previous + 200);
    } else {
      EXPECT_GE(row.x(3), right_edge + 1);
      EXPECT_LE(row.x(3), right_edge + 250);
    }
    EXPECT_GE(height(3), 1);
    EXPECT_LE(height(3), 300);
    EXPECT_GE(row.kind(3), 1);
    EXPECT_LE(row.kind(3), 4);
  }
}

// P held when a pause ends pauses the very next frame again.
TEST(FreePause, PausesAgainInTheFrameRightAfterAPauseWhilePIsHeld) {
  fixture::fresh_game();
  fixture::WorkingFolder folder;
  make_sky(300);
  at_hold(0.1, platform::SCAN_P);
  at_release(0.2, platform::SCAN_P);
  at_hold(1.9, platform::SCAN_P);  // held again before the key that ends the first pause
  at_key(2.0, 'a');
  at_release(2.5, platform::SCAN_P);
  at_key(4.0, 'b');
  std::vector<double> frame_times;
  fixture::after_each_frame(5.0, [&] { frame_times.push_back(platform::headless::now_seconds()); });
  at_key(5.0, platform::KEY_ESCAPE);
  at_key(5.1, 'x');
  platform::headless::run(PLAY_FREE);
  std::vector<double> long_gaps;
  for (std::size_t i = 1; i < frame_times.size(); ++i) {
    if (frame_times[i] - frame_times[i - 1] > 0.5) long_gaps.push_back(frame_times[i]);
  }
  ASSERT_EQ(long_gaps.size(), 2u);
  EXPECT_NEAR(long_gaps[0], 2.0, 0.1);
  EXPECT_NEAR(long_gaps[1], 4.0, 0.1);
}

struct FailureCase {
  const char* what;
  const char* record;
  const char* removed;
  int status;
  const char* text;
  const char* statement;  // what the reported line of the procedure's own file holds
};

class FreeFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(FreeFailure, EndsWithTheReportNamingPlayFree) {
  const FailureCase c = GetParam();
  fixture::fresh_game();
  fixture::WorkingFolder folder;
  fixture::make_free_map("sky", c.record, 2);
  game.map_name = "sky";
  if (*c.removed != '\0') std::filesystem::remove(std::filesystem::path("maps/sky") / c.removed);
  const auto result = platform::headless::run(PLAY_FREE);
  EXPECT_EQ(result.status, c.status);
  const std::regex report("\nAborting due to runtime error " + std::to_string(c.status) + " \\(" + c.text +
                          "\\) at line [0-9]+ of inc/free::PLAY_FREE\\(\\)\n\n");
  EXPECT_TRUE(std::regex_match(result.report, report)) << result.report;
  EXPECT_NE(fixture::reported_statement(result.report, "inc/free/free.cpp").find(c.statement), std::string::npos)
      << result.report;
  EXPECT_FALSE(platform::headless::pixel(0, 0) & 0xFFFFFF) << "no frame was shown";
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FreeFailure,
    testing::Values(
        FailureCase{"missing_map_file", "", "map.def", 2, "file not found", "read_map_record"},
        FailureCase{"missing_character", "0,0,\"\",0,2,300,3", "char.bmp", 2, "file not found", "char.bmp"},
        FailureCase{"missing_obstacle", "0,0,\"\",0,2,300,3", "hindernis_2.bmp", 2, "file not found",
                    "load_obstacle_images"},
        FailureCase{"six_values_leave_no_obstacles", "0,0,\"\",0,2,3", "", 1, "illegal function call",
                    "ObstacleRow row"},
        FailureCase{"no_obstacle_pictures", "0,0,\"\",0,0,300,3", "", 1, "illegal function call", "ObstacleRow row"},
        FailureCase{"one_obstacle", "0,0,\"\",0,2,300,1", "", 6, "out of bounds array access", "refuse_row_of_one"}),
    [](const auto& info) { return std::string(info.param.what); });

// The whole way: "Free (Beta)", "Sky", a run lost at once (every obstacle at
// height 1 meets the runner on the ground), the name, seven values written.
TEST(FreeRun, FromTheMenuToANewHighscoreInTheMapFile) {
  fixture::WorkingFolder folder;
  fixture::fresh_program();
  fixture::make_free_map("sky", "8421504,0,\"Old\",-2.5,1,1,3\r\n");
  fixture::click(0.15, 500, 130);  // "Free (Beta)"
  fixture::click(0.65, 500, 110);  // "Sky"
  const fixture::NameAtGameOver entry = fixture::type_name_at_game_over("Zo\x81\r", 1.0, 60);
  platform::headless::set_end_time(62);
  const auto result = platform::headless::run(TANDREL_MAIN);
  ASSERT_TRUE(entry->typed) << result.report;
  ASSERT_GT(entry->score, 0);
  EXPECT_EQ(fixture::read_file("maps/sky/map.def"),
            "8421504," + std::to_string(entry->score) + ",\"Zo\x81\",-2.5,1,1,3\r\n");
}

}  // namespace

namespace {

// The frame loop is shared with the classic run, but its report points at
// the free run's own statement.
TEST(FreeFailure, ABackgroundStoredTopDownEndsTheFirstFrameWithError1AtTheFrameLoop) {
  fixture::fresh_game();
  fixture::WorkingFolder folder;
  make_sky(300);
  std::string background = fixture::read_file("maps/sky/bg.bmp");
  const std::int32_t top_down = -100;
  for (int i = 0; i < 4; ++i)
    background[22 + i] = static_cast<char>((static_cast<std::uint32_t>(top_down) >> (8 * i)) & 0xFF);
  fixture::write_file("maps/sky/bg.bmp", background);
  const auto result = platform::headless::run(PLAY_FREE);
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(
      std::regex_match(result.report, std::regex("\nAborting due to runtime error 1 \\(illegal function call\\) "
                                                 "at line [0-9]+ of inc/free::PLAY_FREE\\(\\)\n\n")))
      << result.report;
  EXPECT_NE(fixture::reported_statement(result.report, "inc/free/free.cpp").find("run_frames"), std::string::npos)
      << result.report;
}

}  // namespace
