// The headless backend: a virtual clock, scripted input and a frame that
// stays readable, all on the calling thread.
#include "platform/headless.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <utility>
#include <variant>

#include "platform/backend.h"
#include "platform/headless/png.h"

namespace platform::headless {

namespace {

constexpr std::int64_t DEFAULT_STEP_US = 10;

struct MouseEvent {
  MouseState mouse;
};
struct KeyEvent {
  int code;
};
struct HoldEvent {
  int scan_code;
  bool down;
};
struct CallEvent {
  std::function<void()> call;
};
using Event = std::variant<MouseEvent, KeyEvent, HoldEvent, CallEvent>;

// Thrown through the game when its script has run out; caught by run().
struct ScriptRanOut {
  std::int64_t at_us;
};

std::int64_t microseconds(double seconds) {
  if (!(seconds > 0.0)) return 0;  // NaN and negative times mean "at once"
  if (seconds > 9.0e12) return INT64_MAX / 2;
  return std::llround(seconds * 1e6);
}

class Headless final : public backend::Backend {
 public:
  double now() override {
    advance(step_us_);
    return static_cast<double>(now_us_) / 1e6;
  }
  void sleep_us(std::int64_t us) override { advance(us); }
  void input_query() override { advance(step_us_); }
  void waiting_for_key() override {
    if (events_.empty()) throw ScriptRanOut{now_us_};
  }
  ScreenSize desktop_size() override { return desktop_; }
  bool open_screen(std::int32_t width, std::int32_t height, bool full_screen) override {
    if (width > desktop_.width || height > desktop_.height) return false;
    full_screen_ = full_screen;
    return true;
  }
  void close_screen() override {}
  void set_title(std::string_view title) override { title_ = title; }

  void reset(ScreenSize desktop) {
    desktop_ = desktop;
    now_us_ = 0;
    step_us_ = DEFAULT_STEP_US;
    end_us_.reset();
    events_.clear();
    full_screen_ = false;
    title_.clear();
  }

  void advance(std::int64_t us) {
    if (us < 0) us = 0;
    const std::int64_t target = now_us_ + us;
    if (end_us_ && target > *end_us_) {
      now_us_ = std::max(now_us_, *end_us_);
      deliver();
      throw ScriptRanOut{now_us_};
    }
    now_us_ = target;
    deliver();
  }

  // An event whose time has come takes effect at once.
  void add(double seconds, Event event) {
    events_.emplace(microseconds(seconds), std::move(event));
    deliver();
  }

  std::int64_t now_us_ = 0;
  std::int64_t step_us_ = DEFAULT_STEP_US;
  std::optional<std::int64_t> end_us_;
  std::multimap<std::int64_t, Event> events_;  // equal times keep their order
  ScreenSize desktop_{1366, 768};
  bool full_screen_ = false;
  std::string title_;

 private:
  void deliver() {
    while (!events_.empty() && events_.begin()->first <= now_us_) {
      Event event = std::move(events_.begin()->second);
      events_.erase(events_.begin());
      if (auto* mouse = std::get_if<MouseEvent>(&event)) {
        backend::set_mouse(mouse->mouse);
      } else if (auto* key = std::get_if<KeyEvent>(&event)) {
        backend::push_key(key->code);
      } else if (auto* hold = std::get_if<HoldEvent>(&event)) {
        backend::set_key_held(hold->scan_code, hold->down);
      } else if (auto* call = std::get_if<CallEvent>(&event)) {
        call->call();
      }
    }
  }
};

Headless& state() {
  static Headless instance;
  backend::install(&instance);
  return instance;
}

std::string seconds_text(std::int64_t us) {
  std::string text = std::to_string(us / 1'000'000);
  const std::int64_t fraction = us % 1'000'000;
  if (fraction != 0) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06lld", static_cast<long long>(fraction));
    std::string tail = digits;
    while (!tail.empty() && tail.back() == '0') tail.pop_back();
    text += "." + tail;
  }
  return text;
}

}  // namespace

void reset(ScreenSize desktop) {
  state().reset(desktop);
  backend::reset_core();
}

std::int64_t now_us() { return state().now_us_; }
double now_seconds() { return static_cast<double>(state().now_us_) / 1e6; }
void set_step_us(std::int64_t us) { state().step_us_ = std::max<std::int64_t>(0, us); }
void advance_us(std::int64_t us) { state().advance(us); }

void at_mouse(double seconds, std::int32_t x, std::int32_t y, std::int32_t buttons) {
  state().add(seconds, MouseEvent{{x, y, buttons}});
}
void at_key(double seconds, int code) { state().add(seconds, KeyEvent{code}); }
void at_text(double seconds, std::string_view cp437) {
  for (const char c : cp437) at_key(seconds, static_cast<unsigned char>(c));
}
void at_hold(double seconds, int scan_code) { state().add(seconds, HoldEvent{scan_code, true}); }
void at_release(double seconds, int scan_code) { state().add(seconds, HoldEvent{scan_code, false}); }
void at_call(double seconds, std::function<void()> call) { state().add(seconds, CallEvent{std::move(call)}); }
void set_end_time(double seconds) { state().end_us_ = microseconds(seconds); }
std::size_t pending_events() { return state().events_.size(); }

RunResult run(const std::function<void()>& entry) {
  state();  // installs the backend
  RunResult result;
  try {
    const backend::Outcome outcome = backend::run_guarded(entry);
    result.status = outcome.status;
    result.report = outcome.report;
  } catch (const ScriptRanOut& ran_out) {
    backend::abandon_screen_lock();
    result.status = STATUS_SCRIPT_RAN_OUT;
    result.ran_out = true;
    result.ran_out_at = static_cast<double>(ran_out.at_us) / 1e6;
    result.report = "script ran out at " + seconds_text(ran_out.at_us) + " s\n";
  }
  return result;
}

bool screen_open() { return backend::screen_is_open(); }
ScreenSize screen_size() { return backend::frame_size(); }
bool full_screen() { return state().full_screen_; }
std::string window_title() { return state().title_; }

std::uint32_t pixel(std::int32_t x, std::int32_t y) {
  const ScreenSize size = backend::frame_size();
  if (x < 0 || y < 0 || x >= size.width || y >= size.height || backend::frame_data() == nullptr) return 0;
  return backend::frame_data()[static_cast<std::size_t>(y) * static_cast<std::size_t>(size.width) +
                               static_cast<std::size_t>(x)];
}

std::span<const std::uint32_t> frame() {
  const ScreenSize size = backend::frame_size();
  if (backend::frame_data() == nullptr) return {};
  return {backend::frame_data(), static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height)};
}

bool save_png(const std::string& path) {
  const ScreenSize size = backend::frame_size();
  return write_png(path, frame(), size.width, size.height);
}

void fail_next_replace_at_create() { backend::fail_next_replace_at_create(); }
void fail_next_replace_after(std::size_t bytes) { backend::fail_next_replace_after(bytes); }

}  // namespace platform::headless

namespace platform {

int run_program(void (*game_entry)()) {
  const headless::RunResult result = headless::run(game_entry);
  backend::current().close_screen();
  std::fputs(result.report.c_str(), stderr);
  std::fflush(stderr);
  return result.status;
}

}  // namespace platform
