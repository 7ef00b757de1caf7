// GAME_PAUSE's three phases and M_WAIT's release wait, on the headless backend.
#include <gtest/gtest.h>

#include "inc/general/general.h"
#include "tests/game_fixture.h"

namespace {

using platform::headless::at_hold;
using platform::headless::at_key;
using platform::headless::at_release;

struct PauseCase {
  const char* what;
  bool p_typed_with_press;  // the P press's own character, still unread, raises the key event
  double p_release;         // P let go
  double first_key;         // a key typed during the pause
  double second_key;        // a further key, or 0 for none
  double ends_at;           // when the pause should return (to within one 50 ms look)
};

class Pause : public testing::TestWithParam<PauseCase> {};

TEST_P(Pause, WaitsForPReleaseThenASecondThenAKey) {
  const PauseCase c = GetParam();
  fixture::fresh_game();
  at_hold(0, platform::SCAN_P);
  if (c.p_typed_with_press) at_key(0, 'p');
  at_release(c.p_release, platform::SCAN_P);
  at_key(c.first_key, 'x');
  if (c.second_key > 0) at_key(c.second_key, 'y');
  const auto result = platform::headless::run(GAME_PAUSE);

  ASSERT_EQ(result.status, 0) << result.report;
  EXPECT_GE(platform::headless::now_seconds(), c.ends_at);
  EXPECT_LT(platform::headless::now_seconds(), c.ends_at + 0.051);
  EXPECT_TRUE(fixture::text_shown_at(1366 / 2.0 - 100, 768 / 3.0 * 2, "game paused."));
  // The key that ended the pause is still queued, for the run to read.
  const std::string first = c.p_typed_with_press ? "p" : "x";
  EXPECT_EQ(platform::read_key(), first);
}

INSTANTIATE_TEST_SUITE_P(Phases, Pause,
                         testing::Values(
                             // P held 0.3 s, one second's hold to 1.3 s, then the key at 2 s ends it.
                             PauseCase{"key after the hold", false, 0.3, 2.0, 0, 2.0},
                             // A key during the hold cuts it short; the pause then waits for a further key.
                             PauseCase{"key during the hold", false, 0.3, 0.5, 3.0, 3.0},
                             // The P press's unread character ends the hold at once.
                             PauseCase{"unread P ends the hold", true, 0.2, 0.6, 0, 0.6}),
                         [](const auto& info) {
                           std::string name = info.param.what;
                           for (char& ch : name) ch = ch == ' ' ? '_' : ch;
                           return name;
                         });

TEST(MWait, ThrowsQueuedKeysAwayUntilTheButtonsAreReleasedAndTheQueueIsEmpty) {
  fixture::fresh_game();
  platform::headless::at_mouse(0, 10, 10, 1);
  platform::headless::at_text(0.1, "abc");
  platform::headless::at_mouse(0.4, 10, 10, 0);
  const auto result = platform::headless::run(M_WAIT);
  ASSERT_EQ(result.status, 0) << result.report;
  EXPECT_GE(platform::headless::now_seconds(), 0.4);
  EXPECT_EQ(game.mouse_buttons, 0);
  EXPECT_EQ(platform::read_key(), "");
}

TEST(MWait, APointerOutsideTheWindowCountsAsReleased) {
  fixture::fresh_game();
  platform::headless::at_mouse(0, -1, -1, -1);
  platform::headless::run(M_WAIT);
  EXPECT_EQ(game.mouse_buttons, -1);
  EXPECT_LT(platform::headless::now_seconds(), 0.001);
}

}  // namespace
