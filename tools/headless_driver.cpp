// tandrel_headless_driver: runs the real game on the headless backend with
// scripted input on a virtual clock, saving screenshots at scripted times.
// The script format is described in docs/headless-driver.md.
//
//   tandrel_headless_driver --dir <working folder> --size WxH --script <file> [--step-us N]
//
// Exits with the game's status (its runtime error report on standard
// error), or 125 after "script ran out at <t> s" when the game waited for a
// key with no event left or the script's end time passed; 64 for bad usage.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "main/main.h"
#include "platform/backend.h"
#include "platform/headless.h"
#include "platform/platform.h"

namespace {

constexpr int STATUS_USAGE = 64;

struct Options {
  std::string dir = ".";
  platform::ScreenSize size{1366, 768};
  std::string script;
  std::optional<long long> step_us;
};

[[noreturn]] void usage(const std::string& message) {
  std::fprintf(stderr, "tandrel_headless_driver: %s\n", message.c_str());
  std::fprintf(stderr,
               "usage: tandrel_headless_driver --dir <working folder> --size WxH --script <file> [--step-us N]\n");
  std::exit(STATUS_USAGE);
}

std::optional<long long> whole_number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::size_t used = 0;
  try {
    const long long value = std::stoll(text, &used, 10);
    if (used == text.size()) return value;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

std::optional<double> seconds(const std::string& text) {
  if (text.empty()) return std::nullopt;
  std::size_t used = 0;
  try {
    const double value = std::stod(text, &used);
    if (used == text.size() && value >= 0.0 && value < 1e9) return value;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

Options parse_arguments(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) usage("missing value after " + name);
    const std::string value = argv[++i];
    if (name == "--dir") {
      options.dir = value;
    } else if (name == "--size") {
      const std::size_t x = value.find('x');
      const auto w = whole_number(value.substr(0, x));
      const auto h = x == std::string::npos ? std::nullopt : whole_number(value.substr(x + 1));
      if (!w || !h || *w < 1 || *h < 1 || *w > 32768 || *h > 32768) usage("bad size " + value);
      options.size = {static_cast<std::int32_t>(*w), static_cast<std::int32_t>(*h)};
    } else if (name == "--script") {
      options.script = value;
    } else if (name == "--step-us") {
      options.step_us = whole_number(value);
      if (!options.step_us || *options.step_us < 0) usage("bad step " + value);
    } else {
      usage("unknown option " + name);
    }
  }
  if (options.script.empty()) usage("no --script given");
  return options;
}

// Reads the script into the headless backend's events; shots are saved
// relative to `shot_folder`. Exits on the first bad line.
void load_script(const std::string& path, const std::filesystem::path& shot_folder) {
  std::ifstream in{path};
  if (!in) usage("cannot read the script " + path);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words{line};
    std::string word;
    if (!(words >> word) || word[0] == '#') continue;
    const auto bad = [&](const std::string& why) {
      usage("script line " + std::to_string(number) + ": " + why + ": " + line);
    };
    const auto number_word = [&]() {
      std::string text;
      words >> text;
      const auto value = whole_number(text);
      if (!value || *value < -2147483647LL || *value > 2147483647LL) bad("expected a whole number");
      return static_cast<int>(*value);
    };
    std::string time_text;
    words >> time_text;
    const auto time = seconds(time_text);
    if (!time) bad("expected a time in seconds");
    if (word == "end") {
      platform::headless::set_end_time(*time);
      continue;
    }
    if (word != "at") bad("expected 'at' or 'end'");
    std::string event;
    words >> event;
    if (event == "mouse") {
      const int x = number_word();
      const int y = number_word();
      const int buttons = number_word();
      platform::headless::at_mouse(*time, x, y, buttons);
    } else if (event == "key") {
      platform::headless::at_key(*time, number_word());
    } else if (event == "text") {
      std::string rest;
      std::getline(words, rest);
      if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
      platform::headless::at_text(*time, platform::backend::cp437_from_utf8(rest));
      continue;
    } else if (event == "hold") {
      platform::headless::at_hold(*time, number_word());
    } else if (event == "release") {
      platform::headless::at_release(*time, number_word());
    } else if (event == "shot") {
      std::string file;
      words >> file;
      if (file.empty()) bad("expected a file name");
      const std::filesystem::path target = shot_folder / file;
      platform::headless::at_call(*time, [target] {
        if (!platform::headless::save_png(target.string())) {
          std::fprintf(stderr, "tandrel_headless_driver: cannot save %s\n", target.string().c_str());
        }
      });
    } else {
      bad("unknown event '" + event + "'");
    }
    std::string extra;
    if (words >> extra) bad("unexpected '" + extra + "'");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse_arguments(argc, argv);
  std::error_code error;
  const std::filesystem::path start_folder = std::filesystem::current_path(error);
  platform::headless::reset(options.size);
  if (options.step_us) platform::headless::set_step_us(*options.step_us);
  load_script(options.script, start_folder);
  if (::chdir(options.dir.c_str()) != 0) usage("cannot enter the folder " + options.dir);

  const platform::headless::RunResult result = platform::headless::run(TANDREL_MAIN);
  std::fputs(result.report.c_str(), stderr);
  std::fflush(stderr);
  return result.status;
}
