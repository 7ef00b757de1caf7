// Keys, the mouse, sleeping and the clock on the headless backend's virtual
// clock, where every time is exact.
#include <gtest/gtest.h>

#include <set>

#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

namespace headless = platform::headless;

// A fresh platform whose clock moves only when something sleeps.
void fresh() {
  headless::reset();
  headless::set_step_us(0);
}

TEST(PlatformInput, SleepBehaviours) {
  struct Case {
    const char* what;
    int ms;
    double key_at;    // a key arrives then; < 0: none
    bool key_before;  // a key is already waiting, its event raised
    std::int64_t returns_at_us;
  };
  const Case cases[] = {
      {"0 returns at once", 0, -1, true, 0},
      {"1..99 waits whatever happens", 30, 0.010, false, 30'000},
      {"1..99 even with the event raised", 99, -1, true, 99'000},
      {"100+ without a key: all slices", 120, -1, false, 120'000},
      {"100+ returns at the first look after the key", 1000, 0.120, false, 150'000},
      {"100+ with the event raised returns at once", 1000, -1, true, 0},
      {"100+: no look before the last slice", 120, 0.101, false, 120'000},
      {"-1 looks at once", -1, -1, true, 0},
      {"-1 looks every 50 ms", -1, 0.120, false, 150'000},
      {"-1 sees a key at a look's time", -1, 0.200, false, 200'000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fresh();
    if (c.key_before) platform::backend::push_key('a');
    if (c.key_at >= 0) headless::at_key(c.key_at, 'b');
    const auto result = headless::run([&] { platform::sleep_ms(c.ms); });
    EXPECT_FALSE(result.ran_out);
    EXPECT_EQ(headless::now_us(), c.returns_at_us);
  }
}

TEST(PlatformInput, SleepNeverTakesAKeyAndLooksLowerTheEvent) {
  fresh();
  headless::at_key(0.0, 'p');
  headless::at_key(0.5, 'q');
  const auto result = headless::run([] {
    platform::sleep_ms(-1);  // the first key raised the event: returns at once, lowering it
    EXPECT_EQ(headless::now_us(), 0);
    platform::sleep_ms(-1);  // waits for the second key
    EXPECT_EQ(headless::now_us(), 500'000);
    EXPECT_EQ(platform::read_key(), "p");
    EXPECT_EQ(platform::read_key(), "q");
    EXPECT_EQ(platform::read_key(), "");
  });
  EXPECT_EQ(result.status, 0);
}

TEST(PlatformInput, EveryReadLowersTheEvent) {
  fresh();
  platform::backend::push_key('a');
  platform::backend::push_key('b');
  EXPECT_EQ(platform::read_key(), "a");
  platform::sleep_ms(1000);  // 'b' waits, but its event went down with the read
  EXPECT_EQ(headless::now_us(), 1'000'000);
  EXPECT_EQ(platform::read_key(), "b");
  platform::backend::push_key('c');
  EXPECT_EQ(platform::read_key(), "c");
  EXPECT_EQ(platform::read_key(), "");  // an empty read
  platform::backend::push_key('d');
  EXPECT_EQ(platform::wait_key(), 'd');
  platform::sleep_ms(200);
  EXPECT_EQ(headless::now_us(), 1'200'000);
}

TEST(PlatformInput, QueueKeepsTheNewest15Keys) {
  fresh();
  for (int code = 1; code <= 20; ++code) platform::backend::push_key(code);
  for (int code = 6; code <= 20; ++code) EXPECT_EQ(platform::read_key(), std::string(1, static_cast<char>(code)));
  EXPECT_EQ(platform::read_key(), "");
}

TEST(PlatformInput, KeyTexts) {
  fresh();
  const std::pair<int, std::string> cases[] = {
      {platform::KEY_ESCAPE, "\x1b"},           {129, "\x81"},
      {platform::extended_key(72), "\xFF\x48"},                                             // Up
      {platform::KEY_CLOSE_WINDOW, "\xFF\x6B"}, {platform::extended_key(134), "\xFF\x86"},  // F12
  };
  for (const auto& [code, text] : cases) {
    platform::backend::push_key(code);
    EXPECT_EQ(platform::read_key(), text) << code;
    platform::backend::push_key(code);
    EXPECT_EQ(platform::wait_key(), code);
  }
}

TEST(PlatformInput, HeldKeysAndMouseFollowTheScript) {
  fresh();
  headless::at_hold(0.1, platform::SCAN_P);
  headless::at_release(0.2, platform::SCAN_P);
  headless::at_mouse(0.15, 400, 300, 1);
  headless::at_mouse(0.25, -1, -1, -1);
  EXPECT_EQ(platform::poll_mouse().buttons, -1);  // the pointer starts outside
  struct Step {
    int sleep_ms;
    bool p_held;
    std::int32_t mouse_x, buttons;
  };
  const Step steps[] = {
      {99, false, -1, -1}, {1, true, -1, -1}, {50, true, 400, 1}, {50, false, 400, 1}, {50, false, -1, -1}};
  for (const Step& step : steps) {
    platform::sleep_ms(step.sleep_ms);
    SCOPED_TRACE(headless::now_us());
    EXPECT_EQ(platform::key_held(platform::SCAN_P), step.p_held);
    EXPECT_FALSE(platform::key_held(platform::SCAN_SPACE));
    const platform::MouseState mouse = platform::poll_mouse();
    EXPECT_EQ(mouse.x, step.mouse_x);
    EXPECT_EQ(mouse.buttons, step.buttons);
  }
  EXPECT_FALSE(platform::key_held(-1));
  EXPECT_FALSE(platform::key_held(1000));
}

TEST(PlatformInput, ClockAndInputQueriesAdvanceByTheStep) {
  headless::reset();
  const double first = platform::clock_seconds();
  EXPECT_DOUBLE_EQ(first, 10e-6);
  platform::poll_mouse();
  platform::read_key();
  platform::key_held(platform::SCAN_SPACE);
  EXPECT_EQ(headless::now_us(), 40);
  // A busy wait on an input query ends when the scripted release arrives.
  headless::at_hold(0.0, platform::SCAN_SPACE);
  headless::at_release(0.25, platform::SCAN_SPACE);
  while (platform::key_held(platform::SCAN_SPACE)) {
  }
  EXPECT_EQ(headless::now_us(), 250'000);
}

TEST(PlatformInput, ScriptRunsOut) {
  struct Case {
    const char* what;
    std::function<void()> body;
    double end_time;  // < 0: none
    const char* report;
  };
  const Case cases[] = {
      {"waiting for a key with no event left", [] { platform::sleep_ms(-1); }, -1, "script ran out at 0.3 s\n"},
      {"wait_key (31 polls of 10 ms + 10 us)", [] { platform::wait_key(); }, -1, "script ran out at 0.30031 s\n"},
      {"a busy loop past the end time",
       [] {
         for (;;) platform::clock_seconds();
       },
       2.5, "script ran out at 2.5 s\n"},
      {"sleeping past the end time",
       [] {
         for (;;) platform::sleep_ms(100);
       },
       1.25, "script ran out at 1.25 s\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fresh();
    headless::set_step_us(10);         // so that the busy loop's clock moves
    headless::at_mouse(0.3, 1, 1, 0);  // a last event that is not a key
    if (c.end_time >= 0) headless::set_end_time(c.end_time);
    const auto result = headless::run(c.body);
    EXPECT_TRUE(result.ran_out);
    EXPECT_EQ(result.status, headless::STATUS_SCRIPT_RAN_OUT);
    EXPECT_EQ(result.report, c.report);
  }
}

TEST(PlatformInput, RandomSourceRestartsAndStaysBelowOne) {
  headless::reset();
  std::vector<double> first;
  for (int i = 0; i < 5; ++i) first.push_back(platform::random_real());
  headless::reset();
  std::set<double> seen;
  double sum = 0;
  for (int i = 0; i < 100'000; ++i) {
    const double v = platform::random_real();
    if (i < 5) {
      EXPECT_EQ(v, first[static_cast<std::size_t>(i)]);
    }
    ASSERT_GE(v, 0.0);
    ASSERT_LT(v, 1.0);
    seen.insert(v);
    sum += v;
  }
  EXPECT_NEAR(sum / 100'000, 0.5, 0.01);
  EXPECT_GT(seen.size(), 99'990u);
  platform::reseed_random_from_clock();
  EXPECT_NE(platform::random_real(), first[0]);
}

}  // namespace
