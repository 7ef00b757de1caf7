// Keys, held keys, the mouse, sleeping, the clock and the random source,
// and the choice of backend.
#include <array>
#include <atomic>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/backend.h"
#include "platform/platform.h"

namespace platform {

namespace backend {
void reset_screen();  // screen.cpp
void reset_files();   // files.cpp
}  // namespace backend

namespace {

constexpr std::size_t KEY_QUEUE_LIMIT = 15;
constexpr std::int64_t LOOK_INTERVAL_US = 50'000;
constexpr std::int64_t WAIT_KEY_INTERVAL_US = 10'000;

// Filled by the backend (possibly from its own thread), read by the game.
struct Input {
  std::mutex mutex;
  std::array<int, KEY_QUEUE_LIMIT> queue{};  // a ring of the waiting keys
  std::size_t first = 0;
  std::size_t count = 0;
  bool key_event = false;
  std::array<bool, 256> held{};
  MouseState mouse{};
};

Input& input() {
  static Input instance;
  return instance;
}

std::optional<int> take_key() {
  backend::current().input_query();
  Input& in = input();
  std::lock_guard guard{in.mutex};
  in.key_event = false;
  if (in.count == 0) return std::nullopt;
  const int code = in.queue[in.first];
  in.first = (in.first + 1) % KEY_QUEUE_LIMIT;
  --in.count;
  return code;
}

// A look at the key event: whether it was raised; it is lowered either way.
bool look_at_key_event() {
  Input& in = input();
  std::lock_guard guard{in.mutex};
  const bool raised = in.key_event;
  in.key_event = false;
  return raised;
}

// The backend when none is installed: the real clock, real sleeping, no display.
class PlainBackend final : public backend::Backend {
 public:
  double now() override { return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count(); }
  void sleep_us(std::int64_t microseconds) override {
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
  }
  ScreenSize desktop_size() override { return {}; }
  bool open_screen(std::int32_t, std::int32_t, bool) override { return true; }
  void close_screen() override {}
  void set_title(std::string_view) override {}

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

std::atomic<backend::Backend*> installed{nullptr};

// xoshiro256**, seeded through splitmix64.
class Random {
 public:
  explicit Random(std::uint64_t seed) { reseed(seed); }
  void reseed(std::uint64_t seed) {
    for (auto& word : state_) {
      seed += 0x9E3779B97F4A7C15ull;
      std::uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      word = z ^ (z >> 31);
    }
  }
  std::uint64_t next() {
    const std::uint64_t result = std::rotl(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = std::rotl(state_[3], 45);
    return result;
  }

 private:
  std::array<std::uint64_t, 4> state_{};
};

// Chosen so that the first row after start shows every obstacle picture of the shipped maps.
constexpr std::uint64_t START_SEED = 0x54616E6472656CB5ull;

Random& random_source() {
  static Random instance{START_SEED};
  return instance;
}

}  // namespace

namespace backend {

void install(Backend* backend) { installed.store(backend); }

Backend& current() {
  static PlainBackend plain;
  Backend* backend = installed.load();
  return backend != nullptr ? *backend : plain;
}

void push_key(int code) {
  Input& in = input();
  std::lock_guard guard{in.mutex};
  if (in.count == KEY_QUEUE_LIMIT) {  // a full queue drops its oldest key
    in.first = (in.first + 1) % KEY_QUEUE_LIMIT;
    --in.count;
  }
  in.queue[(in.first + in.count) % KEY_QUEUE_LIMIT] = code;
  ++in.count;
  in.key_event = true;
}

void set_key_held(int scan_code, bool down) {
  if (scan_code < 0 || scan_code > 255) return;
  Input& in = input();
  std::lock_guard guard{in.mutex};
  in.held[static_cast<std::size_t>(scan_code)] = down;
}

void release_all_keys() {
  Input& in = input();
  std::lock_guard guard{in.mutex};
  in.held.fill(false);
}

void set_mouse(MouseState mouse) {
  Input& in = input();
  std::lock_guard guard{in.mutex};
  in.mouse = mouse;
}

void reset_core() {
  {
    Input& in = input();
    std::lock_guard guard{in.mutex};
    in.first = 0;
    in.count = 0;
    in.key_event = false;
    in.held.fill(false);
    in.mouse = MouseState{};
  }
  random_source().reseed(START_SEED);
  reset_screen();
  reset_files();
}

}  // namespace backend

ScreenSize desktop_size() { return backend::current().desktop_size(); }

MouseState poll_mouse() {
  backend::current().input_query();
  Input& in = input();
  std::lock_guard guard{in.mutex};
  return in.mouse;
}

std::string read_key() {
  const std::optional<int> code = take_key();
  if (!code) return {};
  if (*code >= 0 && *code < 256) return std::string(1, static_cast<char>(*code));
  return std::string{'\xFF', static_cast<char>((*code >> 8) & 0xFF)};
}

int wait_key() {
  for (;;) {
    if (const std::optional<int> code = take_key()) return *code;
    backend::current().waiting_for_key();
    backend::current().sleep_us(WAIT_KEY_INTERVAL_US);
  }
}

bool key_held(int scan_code) {
  backend::current().input_query();
  if (scan_code < 0 || scan_code > 255) return false;
  Input& in = input();
  std::lock_guard guard{in.mutex};
  return in.held[static_cast<std::size_t>(scan_code)];
}

void sleep_ms(int ms) {
  backend::Backend& b = backend::current();
  if (ms == 0) return;
  if (ms < 0) {  // until the key event, looking at once and then every 50 ms
    while (!look_at_key_event()) {
      b.waiting_for_key();
      b.sleep_us(LOOK_INTERVAL_US);
    }
    return;
  }
  std::int64_t remaining = std::int64_t{ms} * 1000;
  if (ms >= 100) {  // 50 ms slices; a look before every slice but the last
    while (remaining > LOOK_INTERVAL_US) {
      if (look_at_key_event()) return;
      b.sleep_us(LOOK_INTERVAL_US);
      remaining -= LOOK_INTERVAL_US;
    }
  }
  b.sleep_us(remaining);
}

double clock_seconds() { return backend::current().now(); }

double random_real() {
  // The top 53 bits as a fraction: at most 1 - 2^-53, never 1.
  return static_cast<double>(random_source().next() >> 11) * 0x1.0p-53;
}

void reseed_random_from_clock() {
  const double now = clock_seconds();
  std::uint64_t bits = 0;
  std::memcpy(&bits, &now, sizeof bits);
  random_source().reseed(bits ^ START_SEED);
}

}  // namespace platform
