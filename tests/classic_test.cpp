// The classic run on the headless backend: its first row, jump, hits, levels,
// speed, drawing, background wrap, whole runs and failures.
#include "inc/classic/classic.h"

#include <gtest/gtest.h>

#include <regex>
#include <vector>

#include "main/main.h"
#include "tests/game_fixture.h"

namespace {

using platform::headless::at_hold;
using platform::headless::at_key;
using platform::headless::at_release;
using platform::headless::at_text;

// A classic map "desert" with one 10x10 obstacle picture, five obstacles and this highscore.
void make_desert(std::int32_t highscore = 1000, const std::string& name = "Max") {
  fixture::make_classic_map("desert", "4210752," + std::to_string(highscore) + ",\"" + name + "\",0,1,5\r\n");
  game.map_name = "desert";
  game.mode_name = "clasic";
}

// Ends a run with Escape at `at`, then answers the game-over screen's wait.
void escape_at(double at) {
  at_key(at, platform::KEY_ESCAPE);
  at_key(at + 0.1, 'x');
}

TEST(ClassicFirstRow, StandsOnTheSpacingPushedRightByUpTo299AndIsTheSameEveryStart) {
  struct Case {
    std::int32_t screen_w;
  };
  for (const Case c : {Case{640}, Case{1366}}) {
    std::vector<std::int32_t> rows[2];
    for (auto& row_x : rows) {
      fixture::fresh_game(c.screen_w, 768);
      game.obstacle_count = 5;
      game.obstacle_image_count = 3;
      ObstacleRow row(3, 5);
      for (std::int32_t i = 1; i <= 5; ++i) {
        place_first_row_obstacle(row, i);
        row_x.push_back(row.x(i));
        const double spacing = c.screen_w / 4.0;
        EXPECT_GE(row.x(i), spacing * i + 100 - 0.5) << c.screen_w << " obstacle " << i;
        EXPECT_LE(row.x(i), spacing * i + 399 + 0.5) << c.screen_w << " obstacle " << i;
        EXPECT_GE(row.kind(i), 1);
        EXPECT_LE(row.kind(i), 3);
      }
    }
    EXPECT_EQ(rows[0], rows[1]) << "the same first row at every program start";
    // On 1366 px the spacing is 341.5: obstacle 1 is F + 441.5 rounded to the even neighbour.
    if (c.screen_w == 1366) {
      EXPECT_EQ(rows[0][0] % 2, 0);
    }
    // On 640 px obstacle 1 lies at 260 to 559.
    if (c.screen_w == 640) {
      EXPECT_TRUE(rows[0][0] >= 260 && rows[0][0] <= 559);
    }
  }
}

TEST(ClassicHit, WindowIsStrictlyBetween180And220WhileTheRunnerIsBelow10) {
  struct Case {
    std::int32_t screen_x, runner_height;
    bool hit;
  };
  const Case cases[] = {{181, 0, true}, {219, 0, true},   {180, 0, false}, {220, 0, false},
                        {200, 9, true}, {200, 10, false}, {200, -7, true}, {0, 0, false}};
  for (const Case c : cases) {
    game.scroll_x = 1001;
    game.runner_height = c.runner_height;
    EXPECT_EQ(classic_runner_hit_by(game.scroll_x + c.screen_x), c.hit)
        << c.screen_x << " at height " << c.runner_height;
  }
}

std::vector<std::int32_t> jump_heights_with_point_tick(std::int32_t point_tick_before) {
  fixture::fresh_game();
  fixture::WorkingFolder folder;
  make_desert();
  game.point_tick = point_tick_before;  // point_tick outlives runs; it sets the jump's phase
  at_hold(0, platform::SCAN_SPACE);     // seen by the first frame
  at_release(0.025, platform::SCAN_SPACE);
  std::vector<std::int32_t> heights;
  fixture::after_each_frame(1.6, [&] {
    if (game.jump_tick >= 2) heights.push_back(game.runner_height);
  });
  escape_at(1.6);
  const auto result = platform::headless::run(PLAY_CLASSIC);
  EXPECT_EQ(result.status, 0) << result.report;
  EXPECT_EQ(game.runner_height, 0) << "landed";
  return heights;
}

TEST(ClassicJump, RisesHangsAndFallsByThePhaseOfThePointCounter) {
  const std::vector<std::int32_t> in_step = {4,  7,  10, 13, 15, 18, 20, 23, 25, 28, 30, 32, 35, 37, 39, 42, 44, 46, 46,
                                             46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 46, 47, 48, 49, 49, 49,
                                             49, 48, 47, 46, 44, 42, 40, 37, 34, 31, 27, 23, 19, 14, 8,  1,  -7};
  EXPECT_EQ(jump_heights_with_point_tick(2), in_step);

  struct Phase {
    std::int32_t point_tick_before;
    std::size_t frames;
    std::int32_t top, last;
  };
  for (const Phase p : {Phase{0, 57, 54, -2}, Phase{1, 56, 52, -4}}) {
    const auto heights = jump_heights_with_point_tick(p.point_tick_before);
    ASSERT_EQ(heights.size(), p.frames);
    EXPECT_EQ(*std::max_element(heights.begin(), heights.end()), p.top);
    EXPECT_EQ(heights.back(), p.last);
  }
}

TEST(ClassicLevel, ComesAbove5TimesLevelSquaredWithItsMessageAndALifeForALoneOneFrom6) {
  struct Case {
    std::int32_t level, lives, score;
    std::int32_t level_after, lives_after;
  };
  const Case cases[] = {{1, 3, 5, 1, 3},   {1, 3, 6, 2, 3},   {2, 1, 21, 3, 1}, {5, 1, 126, 6, 2},
                        {5, 2, 126, 6, 2}, {5, 3, 126, 6, 3}, {8, 1, 321, 9, 2}};
  for (const Case c : cases) {
    fixture::fresh_game();
    game.level = c.level;
    game.lives = c.lives;
    game.score = c.score;
    check_level();
    EXPECT_EQ(game.level, c.level_after) << "score " << c.score;
    EXPECT_EQ(game.lives, c.lives_after) << "score " << c.score;
    if (c.level_after != c.level) {
      EXPECT_EQ(game.level_message, "Sie haben Level " + std::to_string(c.level_after) + " erreicht!");
      EXPECT_EQ(game.level_message_time, platform::headless::now_seconds());
    }
  }
}

TEST(ClassicSpeed, Is30Then27DownTo6ThenReaches1AtLevel9) {
  game = GameState{};
  game.speed = 30;
  std::vector<std::int32_t> speeds;
  for (game.level = 1; game.level <= 10; ++game.level) {
    update_speed();
    speeds.push_back(game.speed);
    if (game.level == 9) {
      update_speed();
      speeds.push_back(game.speed);
    }
  }
  EXPECT_EQ(speeds, (std::vector<std::int32_t>{27, 24, 21, 18, 15, 12, 9, 6, 2, 1, 1}));
}

TEST(ClassicDrawing, StatusHighscoreAndLevelMessageStandWhereTheyShould) {
  fixture::fresh_game(1366, 768);
  fixture::WorkingFolder folder;
  make_desert(120, "Bob");
  // A level message from the previous run shows on for the rest of its 5 s.
  game.level_message = "Sie haben Level 2 erreicht!";
  game.level_message_time = 0.0;
  std::vector<bool> first_frame, second_frame;
  int call = 0;
  fixture::after_each_frame(0.2, [&] {
    ++call;
    auto& checks = call == 2 ? first_frame : second_frame;
    if (call != 2 && call != 3) return;
    const std::string speed = call == 2 ? "30" : "27";
    checks.push_back(fixture::text_shown_at(10, 10, "Level: 1  Punkte: 0  Speed: " + speed + " Leben: 3"));
    checks.push_back(fixture::text_shown_at(1366 - 294, 10, "Highscore: 120 by Bob"));
    checks.push_back(fixture::text_shown_at(535.5, 525, "Sie haben Level 2 erreicht!"));
  });
  escape_at(0.2);
  platform::headless::run(PLAY_CLASSIC);
  EXPECT_EQ(first_frame, (std::vector<bool>{true, true, true}));
  EXPECT_EQ(second_frame, (std::vector<bool>{true, true, true}));
}

// The background scroll offset each frame draws with (sampled in the frame's
// wait, after its advance by 2): 2, 4, ..., then back to 1 once it has passed
// the last tile position minus 2560, so 3, 5, ... from the next frame on.
TEST(ClassicBackground, WrapsAfterOnePictureWidthOrEveryFrameWhenNarrow) {
  {
    fixture::fresh_game(1366, 768);
    fixture::WorkingFolder folder;
    make_desert();
    std::vector<std::int32_t> scroll;
    fixture::jump_every_obstacle(60);
    fixture::after_each_frame(60, [&] { scroll.push_back(game.bg_scroll); });
    escape_at(60);
    platform::headless::run(PLAY_CLASSIC);
    ASSERT_GT(scroll.size(), 2 * 1280u + 10) << "lives left " << game.lives;
    // scroll[k] is what frame k + 1 draws with.
    EXPECT_EQ(scroll[0], 2);
    EXPECT_EQ(scroll[1279], 2560);
    EXPECT_EQ(scroll[1280], 2562) << "past the bound 2561: wraps after this frame";
    EXPECT_EQ(scroll[1281], 3);
    EXPECT_EQ(scroll[2560], 2561);
    EXPECT_EQ(scroll[2561], 2563);
    EXPECT_EQ(scroll[2562], 3);
    EXPECT_EQ(game.lives, 3) << "the test's player jumps every obstacle";
  }
  {
    fixture::fresh_game(800, 600);
    fixture::WorkingFolder folder;
    fixture::make_classic_map("desert", "0,1000,\"\",0,1,5\r\n", 1, 800);
    game.map_name = "desert";
    std::vector<std::int32_t> scroll;
    fixture::after_each_frame(0.3, [&] { scroll.push_back(game.bg_scroll); });
    escape_at(0.3);
    platform::headless::run(PLAY_CLASSIC);
    ASSERT_GT(scroll.size(), 5u);
    EXPECT_EQ(scroll[0], 2);
    for (std::size_t k = 1; k < scroll.size(); ++k) EXPECT_EQ(scroll[k], 3) << "frame " << k + 1;
  }
}

// Finds the first hit's frame, then plays again with an Escape read in that very frame.
TEST(ClassicRun, EscapeInTheFrameOfAHitEndsTheRunWithoutLosingTheLife) {
  std::size_t hit_call = 0;
  {
    fixture::fresh_game();
    fixture::WorkingFolder folder;
    make_desert();
    std::size_t call = 0;
    fixture::after_each_frame(10, [&] {
      ++call;
      if (hit_call == 0 && game.lives == 2) hit_call = call;
    });
    escape_at(10);
    platform::headless::run(PLAY_CLASSIC);
  }
  ASSERT_GT(hit_call, 2u);
  fixture::fresh_game();
  fixture::WorkingFolder folder;
  make_desert();
  std::size_t call = 0;
  fixture::after_each_frame(10, [&] {
    // In the wait of the frame before the hit: the next frame reads the Escape first.
    if (++call == hit_call - 1) at_key(platform::headless::now_seconds(), platform::KEY_ESCAPE);
  });
  at_key(10, 'x');
  const auto result = platform::headless::run(PLAY_CLASSIC);
  EXPECT_EQ(result.status, 0) << result.report;
  EXPECT_EQ(game.lives, 3);
  EXPECT_EQ(game.scroll_x, 2 * static_cast<std::int32_t>(hit_call) - 1) << "ended in the hit's frame";
  EXPECT_EQ(game.map_name, "") << "the classic run forgets its map";
}

struct FailureCase {
  const char* what;
  const char* record;
  const char* removed;  // a file of the map taken away, or ""
  const char* spoiled;  // a file of the map replaced by a non-picture, or ""
  int status;
  const char* text;
  const char* statement;  // what the reported line of the procedure's own file holds
};

class ClassicFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(ClassicFailure, EndsWithTheReportNamingPlayClassic) {
  const FailureCase c = GetParam();
  fixture::fresh_game();
  fixture::WorkingFolder folder;
  fixture::make_classic_map("desert", c.record, 2);
  game.map_name = "desert";
  if (*c.removed != '\0') std::filesystem::remove(std::filesystem::path("maps/desert") / c.removed);
  if (*c.spoiled != '\0') fixture::write_file(std::filesystem::path("maps/desert") / c.spoiled, "not a picture");
  const auto result = platform::headless::run(PLAY_CLASSIC);
  EXPECT_EQ(result.status, c.status);
  const std::regex report("\nAborting due to runtime error " + std::to_string(c.status) + " \\(" + c.text +
                          "\\) at line [0-9]+ of inc/classic::PLAY_CLASSIC\\(\\)\n\n");
  EXPECT_TRUE(std::regex_match(result.report, report)) << result.report;
  EXPECT_NE(fixture::reported_statement(result.report, "inc/classic/classic.cpp").find(c.statement), std::string::npos)
      << result.report;
  EXPECT_FALSE(game.runner_image) << "the run released its pictures";
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ClassicFailure,
    testing::Values(
        FailureCase{"missing_map_file", "", "map.def", "", 2, "file not found", "read_map_record"},
        FailureCase{"missing_jump_picture", "0,0,\"\",0,2,5", "runnerjump.bmp", "", 2, "file not found",
                    "runnerjump.bmp"},
        FailureCase{"missing_second_obstacle", "0,0,\"\",0,2,5", "hindernis_2.bmp", "", 2, "file not found",
                    "load_obstacle_images"},
        FailureCase{"background_not_a_picture", "0,0,\"\",0,2,5", "", "bg.bmp", 3, "file I/O error", "load_background"},
        FailureCase{"no_obstacle_pictures", "0,0,\"\",0,0,5", "", "", 1, "illegal function call", "ObstacleRow row"},
        FailureCase{"no_obstacles", "0,0,\"\",0,2,0", "", "", 1, "illegal function call", "ObstacleRow row"},
        FailureCase{"one_obstacle", "0,0,\"\",0,2,1", "", "", 6, "out of bounds array access", "refuse_row_of_one"},
        FailureCase{"four_obstacles", "0,0,\"\",0,2,4", "", "", 6, "out of bounds array access", "draw_obstacle"}),
    [](const auto& info) { return std::string(info.param.what); });

// The whole way: start-up, "Klassisch", "Wüste", a run lost without jumping,
// the name entry, and the map file rewritten as one six-value line.
TEST(ClassicRun, FromTheMenuToANewHighscoreInTheMapFile) {
  fixture::WorkingFolder folder;
  fixture::fresh_program();
  fixture::make_classic_map("desert", "4210752,0,\"Old\",0,1,5\r\n");
  fixture::click(0.15, 500, 110);  // "Klassisch"
  fixture::click(0.65, 500, 110);  // "Wüste"
  const fixture::NameAtGameOver entry = fixture::type_name_at_game_over("Ada L\r", 1.0, 60);
  platform::headless::set_end_time(62);
  const auto result = platform::headless::run(TANDREL_MAIN);
  ASSERT_TRUE(entry->typed) << result.report;
  EXPECT_TRUE(result.ran_out) << "back in the map menu, which waits for the mouse";
  ASSERT_GT(entry->score, 0);
  EXPECT_EQ(fixture::read_file("maps/desert/map.def"),
            "4210752," + std::to_string(entry->score) + ",\"Ada L\",0,1,5\r\n");
  EXPECT_EQ(game.highscore_name, "Ada L");
}

TEST(ClassicRun, EscapeStillStoresAHighscore) {
  fixture::fresh_game();
  fixture::WorkingFolder folder;
  make_desert(0, "Old");
  at_key(3.0, platform::KEY_ESCAPE);
  at_text(3.5, "Bo\r");
  const auto result = platform::headless::run(PLAY_CLASSIC);
  EXPECT_EQ(result.status, 0) << result.report;
  ASSERT_GT(game.score, 0);
  EXPECT_EQ(fixture::read_file("maps/desert/map.def"), "4210752," + std::to_string(game.score) + ",\"Bo\",0,1,5\r\n");
  EXPECT_EQ(platform::read_key(), "") << "M_WAIT emptied the queue";
}

}  // namespace
