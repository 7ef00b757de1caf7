// The game-over screen: "you lost.", the name entry of a new highscore, and
// the map file it rewrites.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "inc/general/general.h"
#include "main/game_state.h"
#include "mapdata/mapdata.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "tests/game_fixture.h"

namespace {

namespace headless = platform::headless;

constexpr std::int32_t MAX = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t MIN = std::numeric_limits<std::int32_t>::min();
constexpr int UP = platform::extended_key(72);
constexpr int DOWN = platform::extended_key(80);
constexpr int F1 = platform::extended_key(59);
const std::string PROMPT = "You lost, please enter your name: ";

// A classic map as a run leaves it: record read, colours set, score final.
class GameEnd : public ::testing::Test {
 protected:
  void start(std::int32_t score, std::int32_t width = 1366, std::int32_t height = 768) {
    fixture::fresh_game(width, height);
    fixture::write_file("maps/desert/map.def", OLD);
    game.mode_name = "clasic";
    game.map_file = "maps\\desert\\map.def";
    mapdata::parse_map_record(OLD, mapdata::RecordLayout::classic, game);
    platform::set_colour(0xFFFFFF, 0x102030);
    platform::draw_text(10, 10, "the run's last frame");
    game.score = score;
  }
  // Keys typed one at a time, 0.1 s apart, from `from` seconds on.
  static void type(const std::vector<int>& keys, double from = 0.1) {
    for (std::size_t i = 0; i < keys.size(); ++i) headless::at_key(from + 0.1 * static_cast<double>(i), keys[i]);
  }
  std::string map_def() const { return fixture::read_file(folder_.path() / "maps/desert/map.def"); }

  static constexpr const char* OLD = "&H102030,7,\"Old\",1.50,2,9\r\n";  // highscore 7
  fixture::WorkingFolder folder_;
};

// Whether the screen holds nothing but `text` at (x, y) on the background:
// the frame equals a cleared screen on which the platform drew only that.
bool shows_only(double x, double y, const std::string& text) {
  const auto frame = headless::frame();
  const std::vector<std::uint32_t> shown(frame.begin(), frame.end());
  platform::clear_screen();
  platform::draw_text(x, y, text);
  const auto expected = headless::frame();
  return std::equal(shown.begin(), shown.end(), expected.begin(), expected.end());
}

TEST_F(GameEnd, OnlyAHigherScoreGetsTheEntry) {
  const struct {
    std::int32_t score, highscore;
    bool entry;
  } cases[] = {{7, 7, false},  {8, 7, true},      {6, 7, false},   {0, -1, true},
               {-1, 0, false}, {MIN, MAX, false}, {MAX, MIN, true}};
  for (const auto& c : cases) {
    start(c.score);
    game.highscore = c.highscore;
    headless::at_key(1.0, platform::KEY_ENTER);
    const auto result = headless::run(GAME_END);
    ASSERT_EQ(result.status, 0) << result.report;
    const bool entered = game.highscore == c.score && map_def() != OLD;
    EXPECT_EQ(entered, c.entry) << c.score << " against " << c.highscore;
    if (!c.entry) {
      EXPECT_EQ(game.highscore, c.highscore);
    }
  }
}

TEST_F(GameEnd, YouLostWaitsForAKeyAndLeavesItQueued) {
  const struct {
    double key_at;    // when the key comes; 0: raised during the run, before the screen
    double returned;  // the latest the screen may return
  } cases[] = {{0, 0.001}, {2.0, 2.05}};
  for (const auto& c : cases) {
    start(7);
    headless::at_key(c.key_at, 'q');
    if (c.key_at == 0) headless::advance_us(1);
    const auto result = headless::run(GAME_END);
    ASSERT_EQ(result.status, 0) << result.report;
    EXPECT_GE(headless::now_seconds(), c.key_at);
    EXPECT_LE(headless::now_seconds(), c.returned);
    EXPECT_TRUE(shows_only(683 - 300, 384, "you lost."));
    EXPECT_EQ(map_def(), OLD) << "byte for byte";
    EXPECT_EQ(platform::read_key(), "q");
  }
}

TEST_F(GameEnd, YouLostWithNoKeyWaitsOn) {
  start(7);
  const auto result = headless::run(GAME_END);
  EXPECT_TRUE(result.ran_out);
}

TEST_F(GameEnd, NameEntryKeyRules) {
  const struct {
    const char* what;
    std::string queued;  // left in the queue by the run
    std::vector<int> keys;
    std::string name;
  } cases[] = {
      {"spaces from the run come first", "  ", {'A', 'n', 'n', 13}, "  Ann"},
      {"backspace on an empty name", "", {8, 8, 'a', 8, 8, 13}, ""},
      {"keys that change nothing",
       "",
       {27, UP, DOWN, F1, platform::KEY_CLOSE_WINDOW, 'B', '"', 7, 0, 9, 10, 31, 'o', 13},
       "Bo"},
      {"code page 437 above 127", "", {'M', 0x81, 'l', 255, 128, 13}, "M\x81l\xFF\x80"},
  };
  for (const auto& c : cases) {
    start(8);
    headless::at_text(0, c.queued);
    headless::advance_us(1);
    type(c.keys);
    headless::at_key(100, 'z');  // after Enter: stays queued
    const auto result = headless::run(GAME_END);
    ASSERT_EQ(result.status, 0) << c.what << result.report;
    EXPECT_EQ(game.highscore_name, c.name) << c.what;
    EXPECT_EQ(game.highscore, 8);
    EXPECT_EQ(game.entry_key, platform::KEY_ENTER);
    EXPECT_EQ(map_def(), "1056816,8,\"" + c.name + "\",1.5,2,9\r\n") << c.what;
    EXPECT_LT(headless::now_seconds(), 0.1 * static_cast<double>(c.keys.size()) + 0.2) << "returns at once";
    EXPECT_EQ(headless::pending_events(), 1u);
    // The last entry screen stays, its line 4 px further left per character.
    const double x = 683 - 100 - 4.0 * static_cast<double>(c.name.size());
    EXPECT_TRUE(shows_only(x, 384, PROMPT + c.name)) << c.what;
  }
}

TEST_F(GameEnd, EachCharacterMovesTheLineLeftUntilItRunsOffTheEdge) {
  start(8, 1025, 600);
  const std::vector<std::size_t> lengths = {0, 1, 5, 103, 104, 150};
  for (const std::size_t n : lengths) {
    headless::at_call(0.1 * static_cast<double>(n) + 0.05, [n] {
      const double x = 1025 / 2.0 - 100 - 4.0 * static_cast<double>(n);
      EXPECT_TRUE(shows_only(x, 300, PROMPT + std::string(n, 'w'))) << n << " characters";
    });
  }
  type(std::vector<int>(150, 'w'), 0.1);
  headless::at_key(15.1, platform::KEY_ENTER);
  EXPECT_EQ(headless::run(GAME_END).status, 0);
  EXPECT_EQ(game.highscore_name, std::string(150, 'w'));
}

TEST_F(GameEnd, ANameStopsAtTheLengthTheFileGivesBackWhole) {
  start(8, 160, 64);  // a small screen keeps thousands of redraws quick
  type(std::vector<int>(4100, 'k'), 0.1);
  type({8, 'e', platform::KEY_ENTER}, 500);
  ASSERT_EQ(headless::run(GAME_END).status, 0);
  const std::string expected = std::string(4095, 'k') + "e";
  EXPECT_EQ(game.highscore_name, expected);

  game.highscore_name.clear();
  game.obstacle_count = 0;
  ASSERT_EQ(headless::run([] { mapdata::read_map_record(mapdata::RecordLayout::classic); }).status, 0);
  EXPECT_EQ(game.highscore_name, expected);
  EXPECT_EQ(game.obstacle_count, 9);
}

TEST_F(GameEnd, AFailedSaveIsReportedAndKeepsTheOldFile) {
  const struct {
    void (*fault)();
    const char* error;
  } cases[] = {
      {[] { headless::fail_next_replace_at_create(); }, "2 (file not found)"},
      {[] { headless::fail_next_replace_after(12); }, "3 (file I/O error)"},
  };
  for (const auto& c : cases) {
    start(8);
    type({'A', 'l', platform::KEY_ENTER});
    c.fault();
    const auto result = headless::run(GAME_END);
    EXPECT_EQ(result.report.rfind(std::string("\nAborting due to runtime error ") + c.error + " at line ", 0), 0u)
        << result.report;
    EXPECT_TRUE(result.report.ends_with(" of inc/general::GAME_END()\n\n")) << result.report;
    EXPECT_EQ(map_def(), OLD);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder_.path() / "maps/desert")) ++files;
    EXPECT_EQ(files, 1u) << "no temporary file is left behind";
  }
}

TEST_F(GameEnd, FreeModeWritesSevenValues) {
  start(8);
  fixture::write_file("maps/desert/map.def", "0,7,old,-0.25,2,300,4");
  mapdata::parse_map_record("0,7,old,-0.25,2,300,4", mapdata::RecordLayout::free, game);
  game.mode_name = "Free";
  type({'S', 'k', 'y', platform::KEY_ENTER});
  ASSERT_EQ(headless::run(GAME_END).status, 0);
  EXPECT_EQ(map_def(), "0,8,\"Sky\",-0.25,2,300,4\r\n");
}

}  // namespace
