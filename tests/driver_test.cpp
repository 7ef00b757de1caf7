// The headless driver on the real game: screenshots, Escape on the main
// menu, a script that runs out, a missing banner and a bad script line.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class Driver : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("driver_test_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy(fs::path{TANDREL_SOURCE_DIR} / "data", folder_ / "game", fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Runs the driver on `script`; returns its exit status and keeps its standard error.
  int run(const std::string& script, const std::string& size = "800x600") {
    std::ofstream{folder_ / "script.txt"} << script;
    const std::string command = "cd '" + folder_.string() + "' && '" TANDREL_DRIVER "' --dir game --size " + size +
                                " --script script.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    std::ifstream in{folder_ / "stderr.txt"};
    std::ostringstream text;
    text << in.rdbuf();
    stderr_ = text.str();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path folder_;
  std::string stderr_;
};

TEST_F(Driver, ShotThenEscape) {
  EXPECT_EQ(run("# the main menu\nat 0.5 shot menu.png\nat 1 key 27\nend 5\n"), 0) << stderr_;
  EXPECT_EQ(stderr_, "");
  std::ifstream png{folder_ / "menu.png", std::ios::binary};  // saved beside the script, not in the game's folder
  std::string header(24, '\0');
  ASSERT_TRUE(png.read(header.data(), 24));
  EXPECT_EQ(header.substr(1, 3), "PNG");
  EXPECT_EQ(header.substr(16, 8), std::string("\0\0\x03\x20\0\0\x02\x58", 8));  // 800 x 600
}

TEST_F(Driver, ScriptRunsOut) {
  EXPECT_EQ(run("end 0.75\n"), 125);
  EXPECT_EQ(stderr_, "script ran out at 0.75 s\n");
}

TEST_F(Driver, MissingBannerGivesTheReport) {
  fs::remove(folder_ / "game" / "header1.bmp");
  EXPECT_EQ(run("end 5\n"), 2);
  EXPECT_TRUE(stderr_.starts_with("\nAborting due to runtime error 2 (file not found) at line ")) << stderr_;
  EXPECT_TRUE(stderr_.ends_with(" of main::()\n\n")) << stderr_;
}

TEST_F(Driver, BadScriptLine) {
  EXPECT_EQ(run("at 1 jump\n"), 64);
  EXPECT_NE(stderr_.find("script line 1"), std::string::npos) << stderr_;
}

}  // namespace
