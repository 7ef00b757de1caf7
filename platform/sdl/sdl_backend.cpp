// The SDL backend. SDL lives on the process's main thread: it opens the
// window, takes the keyboard, mouse and close messages, and presents the
// core's frame about every 10 ms while no screen lock is held. The game
// runs on a second thread; what it asks of the window is carried out on the
// main thread while the game waits.
#include <SDL.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/backend.h"
#include "platform/platform.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto PRESENT_INTERVAL = std::chrono::milliseconds(10);

// PC scan codes (set 1) of the keys; keys that share a code (Up and keypad 8) both hold it.
struct ScanCode {
  SDL_Scancode sdl;
  int pc;
};
constexpr std::array SCAN_CODES{
    ScanCode{SDL_SCANCODE_ESCAPE, 1},
    ScanCode{SDL_SCANCODE_1, 2},
    ScanCode{SDL_SCANCODE_2, 3},
    ScanCode{SDL_SCANCODE_3, 4},
    ScanCode{SDL_SCANCODE_4, 5},
    ScanCode{SDL_SCANCODE_5, 6},
    ScanCode{SDL_SCANCODE_6, 7},
    ScanCode{SDL_SCANCODE_7, 8},
    ScanCode{SDL_SCANCODE_8, 9},
    ScanCode{SDL_SCANCODE_9, 10},
    ScanCode{SDL_SCANCODE_0, 11},
    ScanCode{SDL_SCANCODE_MINUS, 12},
    ScanCode{SDL_SCANCODE_EQUALS, 13},
    ScanCode{SDL_SCANCODE_BACKSPACE, 14},
    ScanCode{SDL_SCANCODE_TAB, 15},
    ScanCode{SDL_SCANCODE_Q, 16},
    ScanCode{SDL_SCANCODE_W, 17},
    ScanCode{SDL_SCANCODE_E, 18},
    ScanCode{SDL_SCANCODE_R, 19},
    ScanCode{SDL_SCANCODE_T, 20},
    ScanCode{SDL_SCANCODE_Y, 21},
    ScanCode{SDL_SCANCODE_U, 22},
    ScanCode{SDL_SCANCODE_I, 23},
    ScanCode{SDL_SCANCODE_O, 24},
    ScanCode{SDL_SCANCODE_P, 25},
    ScanCode{SDL_SCANCODE_LEFTBRACKET, 26},
    ScanCode{SDL_SCANCODE_RIGHTBRACKET, 27},
    ScanCode{SDL_SCANCODE_RETURN, 28},
    ScanCode{SDL_SCANCODE_KP_ENTER, 28},
    ScanCode{SDL_SCANCODE_LCTRL, 29},
    ScanCode{SDL_SCANCODE_RCTRL, 29},
    ScanCode{SDL_SCANCODE_A, 30},
    ScanCode{SDL_SCANCODE_S, 31},
    ScanCode{SDL_SCANCODE_D, 32},
    ScanCode{SDL_SCANCODE_F, 33},
    ScanCode{SDL_SCANCODE_G, 34},
    ScanCode{SDL_SCANCODE_H, 35},
    ScanCode{SDL_SCANCODE_J, 36},
    ScanCode{SDL_SCANCODE_K, 37},
    ScanCode{SDL_SCANCODE_L, 38},
    ScanCode{SDL_SCANCODE_SEMICOLON, 39},
    ScanCode{SDL_SCANCODE_APOSTROPHE, 40},
    ScanCode{SDL_SCANCODE_GRAVE, 41},
    ScanCode{SDL_SCANCODE_LSHIFT, 42},
    ScanCode{SDL_SCANCODE_BACKSLASH, 43},
    ScanCode{SDL_SCANCODE_Z, 44},
    ScanCode{SDL_SCANCODE_X, 45},
    ScanCode{SDL_SCANCODE_C, 46},
    ScanCode{SDL_SCANCODE_V, 47},
    ScanCode{SDL_SCANCODE_B, 48},
    ScanCode{SDL_SCANCODE_N, 49},
    ScanCode{SDL_SCANCODE_M, 50},
    ScanCode{SDL_SCANCODE_COMMA, 51},
    ScanCode{SDL_SCANCODE_PERIOD, 52},
    ScanCode{SDL_SCANCODE_SLASH, 53},
    ScanCode{SDL_SCANCODE_KP_DIVIDE, 53},
    ScanCode{SDL_SCANCODE_RSHIFT, 54},
    ScanCode{SDL_SCANCODE_KP_MULTIPLY, 55},
    ScanCode{SDL_SCANCODE_LALT, 56},
    ScanCode{SDL_SCANCODE_RALT, 56},
    ScanCode{SDL_SCANCODE_SPACE, 57},
    ScanCode{SDL_SCANCODE_CAPSLOCK, 58},
    ScanCode{SDL_SCANCODE_F1, 59},
    ScanCode{SDL_SCANCODE_F2, 60},
    ScanCode{SDL_SCANCODE_F3, 61},
    ScanCode{SDL_SCANCODE_F4, 62},
    ScanCode{SDL_SCANCODE_F5, 63},
    ScanCode{SDL_SCANCODE_F6, 64},
    ScanCode{SDL_SCANCODE_F7, 65},
    ScanCode{SDL_SCANCODE_F8, 66},
    ScanCode{SDL_SCANCODE_F9, 67},
    ScanCode{SDL_SCANCODE_F10, 68},
    ScanCode{SDL_SCANCODE_NUMLOCKCLEAR, 69},
    ScanCode{SDL_SCANCODE_SCROLLLOCK, 70},
    ScanCode{SDL_SCANCODE_KP_7, 71},
    ScanCode{SDL_SCANCODE_HOME, 71},
    ScanCode{SDL_SCANCODE_KP_8, 72},
    ScanCode{SDL_SCANCODE_UP, 72},
    ScanCode{SDL_SCANCODE_KP_9, 73},
    ScanCode{SDL_SCANCODE_PAGEUP, 73},
    ScanCode{SDL_SCANCODE_KP_MINUS, 74},
    ScanCode{SDL_SCANCODE_KP_4, 75},
    ScanCode{SDL_SCANCODE_LEFT, 75},
    ScanCode{SDL_SCANCODE_KP_5, 76},
    ScanCode{SDL_SCANCODE_KP_6, 77},
    ScanCode{SDL_SCANCODE_RIGHT, 77},
    ScanCode{SDL_SCANCODE_KP_PLUS, 78},
    ScanCode{SDL_SCANCODE_KP_1, 79},
    ScanCode{SDL_SCANCODE_END, 79},
    ScanCode{SDL_SCANCODE_KP_2, 80},
    ScanCode{SDL_SCANCODE_DOWN, 80},
    ScanCode{SDL_SCANCODE_KP_3, 81},
    ScanCode{SDL_SCANCODE_PAGEDOWN, 81},
    ScanCode{SDL_SCANCODE_KP_0, 82},
    ScanCode{SDL_SCANCODE_INSERT, 82},
    ScanCode{SDL_SCANCODE_KP_PERIOD, 83},
    ScanCode{SDL_SCANCODE_DELETE, 83},
    ScanCode{SDL_SCANCODE_NONUSBACKSLASH, 86},
    ScanCode{SDL_SCANCODE_F11, 87},
    ScanCode{SDL_SCANCODE_F12, 88},
};

int pc_scan_code(SDL_Scancode code) {
  for (const ScanCode& entry : SCAN_CODES) {
    if (entry.sdl == code) return entry.pc;
  }
  return 0;
}

// Extended PC key codes of the keys without a character.
struct ExtendedKey {
  SDL_Scancode sdl;
  int code;
  bool keypad;  // only without Num Lock; with it the keypad types digits
};
constexpr std::array EXTENDED_KEYS{
    ExtendedKey{SDL_SCANCODE_UP, 72, false},     ExtendedKey{SDL_SCANCODE_DOWN, 80, false},
    ExtendedKey{SDL_SCANCODE_LEFT, 75, false},   ExtendedKey{SDL_SCANCODE_RIGHT, 77, false},
    ExtendedKey{SDL_SCANCODE_HOME, 71, false},   ExtendedKey{SDL_SCANCODE_END, 79, false},
    ExtendedKey{SDL_SCANCODE_PAGEUP, 73, false}, ExtendedKey{SDL_SCANCODE_PAGEDOWN, 81, false},
    ExtendedKey{SDL_SCANCODE_INSERT, 82, false}, ExtendedKey{SDL_SCANCODE_DELETE, 83, false},
    ExtendedKey{SDL_SCANCODE_F1, 59, false},     ExtendedKey{SDL_SCANCODE_F2, 60, false},
    ExtendedKey{SDL_SCANCODE_F3, 61, false},     ExtendedKey{SDL_SCANCODE_F4, 62, false},
    ExtendedKey{SDL_SCANCODE_F5, 63, false},     ExtendedKey{SDL_SCANCODE_F6, 64, false},
    ExtendedKey{SDL_SCANCODE_F7, 65, false},     ExtendedKey{SDL_SCANCODE_F8, 66, false},
    ExtendedKey{SDL_SCANCODE_F9, 67, false},     ExtendedKey{SDL_SCANCODE_F10, 68, false},
    ExtendedKey{SDL_SCANCODE_F11, 133, false},   ExtendedKey{SDL_SCANCODE_F12, 134, false},
    ExtendedKey{SDL_SCANCODE_KP_8, 72, true},    ExtendedKey{SDL_SCANCODE_KP_2, 80, true},
    ExtendedKey{SDL_SCANCODE_KP_4, 75, true},    ExtendedKey{SDL_SCANCODE_KP_6, 77, true},
    ExtendedKey{SDL_SCANCODE_KP_7, 71, true},    ExtendedKey{SDL_SCANCODE_KP_1, 79, true},
    ExtendedKey{SDL_SCANCODE_KP_9, 73, true},    ExtendedKey{SDL_SCANCODE_KP_3, 81, true},
    ExtendedKey{SDL_SCANCODE_KP_0, 82, true},    ExtendedKey{SDL_SCANCODE_KP_PERIOD, 83, true},
};

// The queue code of a key press that types no character, or 0.
int key_code(const SDL_Keysym& key) {
  switch (key.scancode) {
    case SDL_SCANCODE_BACKSPACE:
      return KEY_BACKSPACE;
    case SDL_SCANCODE_TAB:
      return 9;
    case SDL_SCANCODE_RETURN:
    case SDL_SCANCODE_KP_ENTER:
      return KEY_ENTER;
    case SDL_SCANCODE_ESCAPE:
      return KEY_ESCAPE;
    default:
      break;
  }
  const bool num_lock = (key.mod & KMOD_NUM) != 0;
  for (const ExtendedKey& entry : EXTENDED_KEYS) {
    if (entry.sdl == key.scancode && !(entry.keypad && num_lock)) return extended_key(entry.code);
  }
  return 0;
}

class SdlBackend final : public backend::Backend {
 public:
  // --- the game thread ---------------------------------------------------

  double now() override { return std::chrono::duration<double>(Clock::now() - start_).count(); }
  void sleep_us(std::int64_t microseconds) override {
    std::this_thread::sleep_for(std::chrono::microseconds(microseconds));
  }
  ScreenSize desktop_size() override {
    ScreenSize size;
    on_main([&] {
      SDL_DisplayMode mode;
      if (video_ && SDL_GetDesktopDisplayMode(0, &mode) == 0) size = {mode.w, mode.h};
    });
    return size;
  }
  bool open_screen(std::int32_t width, std::int32_t height, bool full_screen) override {
    bool opened = false;
    on_main([&] { opened = open_window(width, height, full_screen); });
    return opened;
  }
  void close_screen() override {
    on_main([&] { close_window(); });
  }
  void set_title(std::string_view cp437_title) override {
    const std::string title = backend::utf8_from_cp437(cp437_title);
    on_main([&] {
      if (window_ != nullptr) SDL_SetWindowTitle(window_, title.c_str());
    });
  }

  // --- the main thread ---------------------------------------------------

  int run(void (*game_entry)()) {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    video_ = SDL_Init(SDL_INIT_VIDEO) == 0;
    if (!video_) std::fprintf(stderr, "SDL: %s\n", SDL_GetError());
    if (video_) wake_event_ = SDL_RegisterEvents(1);
    backend::install(this);

    std::atomic<bool> done{false};
    backend::Outcome outcome;
    std::exception_ptr failure;
    std::thread game{[&] {
      try {
        outcome = backend::run_guarded(game_entry);
      } catch (...) {
        failure = std::current_exception();
      }
      done = true;
      wake();
    }};

    auto next_present = Clock::now();
    while (!done) {
      run_tasks();
      pump_events(next_present);
      if (Clock::now() >= next_present) {
        update_mouse();
        present();
        next_present = Clock::now() + PRESENT_INTERVAL;
      }
    }
    game.join();
    run_tasks();

    close_window();
    if (video_) SDL_Quit();
    backend::install(nullptr);
    if (failure) std::rethrow_exception(failure);
    std::fputs(outcome.report.c_str(), stderr);
    std::fflush(stderr);
    return outcome.status;
  }

 private:
  // Runs `task` on the main thread and waits for it.
  void on_main(const std::function<void()>& task) {
    std::unique_lock lock{tasks_mutex_};
    const std::uint64_t ticket = ++tasks_posted_;
    tasks_.push_back(task);
    lock.unlock();
    wake();
    lock.lock();
    tasks_done_cv_.wait(lock, [&] { return tasks_done_ >= ticket; });
  }

  void wake() {
    if (!video_ || wake_event_ == static_cast<std::uint32_t>(-1)) return;
    SDL_Event event{};
    event.type = wake_event_;
    SDL_PushEvent(&event);
  }

  void run_tasks() {
    std::unique_lock lock{tasks_mutex_};
    while (!tasks_.empty()) {
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
      ++tasks_done_;
      tasks_done_cv_.notify_all();
    }
  }

  void pump_events(Clock::time_point until) {
    if (!video_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, static_cast<int>(std::clamp<long long>(left, 1, 10))) != 0) {
      handle(event);
      while (SDL_PollEvent(&event) != 0) handle(event);
    }
  }

  void handle(const SDL_Event& event) {
    switch (event.type) {
      case SDL_QUIT:
        backend::push_key(KEY_CLOSE_WINDOW);
        break;
      case SDL_KEYDOWN:
        hold(event.key.keysym.scancode, true);
        if (const int code = key_code(event.key.keysym); code != 0) backend::push_key(code);
        break;
      case SDL_KEYUP:
        hold(event.key.keysym.scancode, false);
        break;
      case SDL_TEXTINPUT:
        for (const char c : backend::cp437_from_utf8(event.text.text)) {
          if (static_cast<unsigned char>(c) >= 32) backend::push_key(static_cast<unsigned char>(c));
        }
        break;
      case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
          held_.fill(false);
          backend::release_all_keys();
        } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
          shown_ = false;
        }
        break;
      default:
        break;
    }
  }

  void hold(SDL_Scancode code, bool down) {
    if (code < 0 || code >= SDL_NUM_SCANCODES) return;
    held_[static_cast<std::size_t>(code)] = down;
    const int pc = pc_scan_code(code);
    if (pc == 0) return;
    bool any = false;  // another key with the same code may still be down
    for (const ScanCode& entry : SCAN_CODES) {
      if (entry.pc == pc && held_[static_cast<std::size_t>(entry.sdl)]) any = true;
    }
    backend::set_key_held(pc, any);
  }

  void update_mouse() {
    MouseState mouse;
    if (window_ != nullptr) {
      const Uint32 flags = SDL_GetWindowFlags(window_);
      if ((flags & SDL_WINDOW_INPUT_FOCUS) != 0 && (flags & SDL_WINDOW_MOUSE_FOCUS) != 0) {
        int x = 0;
        int y = 0;
        const Uint32 buttons = SDL_GetMouseState(&x, &y);
        float logical_x = static_cast<float>(x);
        float logical_y = static_cast<float>(y);
        if (renderer_ != nullptr) SDL_RenderWindowToLogical(renderer_, x, y, &logical_x, &logical_y);
        const int lx = static_cast<int>(logical_x);
        const int ly = static_cast<int>(logical_y);
        if (lx >= 0 && ly >= 0 && lx < width_ && ly < height_) {
          mouse.x = lx;
          mouse.y = ly;
          mouse.buttons = ((buttons & SDL_BUTTON_LMASK) != 0 ? 1 : 0) | ((buttons & SDL_BUTTON_RMASK) != 0 ? 2 : 0) |
                          ((buttons & SDL_BUTTON_MMASK) != 0 ? 4 : 0);
        }
      }
    }
    backend::set_mouse(mouse);
  }

  void present() {
    if (renderer_ == nullptr || texture_ == nullptr) return;
    ScreenSize size;
    const bool changed = backend::copy_frame_if_changed(frame_, size);
    if (!changed && shown_) return;
    if (changed && (size.width != width_ || size.height != height_)) return;
    if (frame_.size() != static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_)) return;
    SDL_UpdateTexture(texture_, nullptr, frame_.data(), width_ * 4);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    shown_ = true;
  }

  bool open_window(std::int32_t width, std::int32_t height, bool full_screen) {
    close_window();
    if (!video_) return false;
    SDL_DisplayMode desktop{};
    SDL_GetDesktopDisplayMode(0, &desktop);
    if (full_screen) {
      const bool desktop_mode = width == desktop.w && height == desktop.h;
      window_ = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width, height,
                                 desktop_mode ? SDL_WINDOW_FULLSCREEN_DESKTOP : SDL_WINDOW_FULLSCREEN);
      SDL_DisplayMode mode{};
      if (window_ != nullptr && !desktop_mode &&
          (SDL_GetWindowDisplayMode(window_, &mode) != 0 || mode.w != width || mode.h != height)) {
        close_window();  // no display mode of that size: a window instead
      }
    }
    if (window_ == nullptr) {
      window_ = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, 0);
    }
    if (window_ == nullptr) return false;
    renderer_ = SDL_CreateRenderer(window_, -1, 0);
    if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ != nullptr) {
      SDL_RenderSetLogicalSize(renderer_, width, height);
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    }
    if (texture_ == nullptr) {
      close_window();
      return false;
    }
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
    width_ = width;
    height_ = height;
    frame_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    shown_ = false;
    SDL_RaiseWindow(window_);
    SDL_StartTextInput();
    return true;
  }

  void close_window() {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
    if (window_ != nullptr) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    renderer_ = nullptr;
    window_ = nullptr;
    width_ = 0;
    height_ = 0;
  }

  const Clock::time_point start_ = Clock::now();
  bool video_ = false;
  std::uint32_t wake_event_ = static_cast<std::uint32_t>(-1);

  std::mutex tasks_mutex_;
  std::condition_variable tasks_done_cv_;
  std::deque<std::function<void()>> tasks_;
  std::uint64_t tasks_posted_ = 0;
  std::uint64_t tasks_done_ = 0;

  // The main thread's own.
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::vector<std::uint32_t> frame_;  // the last frame copied out of the core
  bool shown_ = false;                // frame_ is on the window
  std::array<bool, SDL_NUM_SCANCODES> held_{};
};

}  // namespace

int run_program(void (*game_entry)()) {
  SdlBackend backend;
  return backend.run(game_entry);
}

}  // namespace platform
