// Reading files and replacing them whole, also when the disk fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/headless.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

class PlatformFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::reset();
    folder_ = fs::temp_directory_path() / ("platform_files_" + std::to_string(::getpid()) + "_" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "maps" / "desert");
  }
  void TearDown() override { fs::remove_all(folder_); }

  void write(const fs::path& path, const std::string& bytes) { std::ofstream{path, std::ios::binary} << bytes; }
  std::string read(const fs::path& path) {
    std::ifstream in{path, std::ios::binary};
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
  }
  std::size_t files_in(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator{folder}, fs::directory_iterator{}));
  }

  fs::path folder_;
};

TEST_F(PlatformFiles, ReadsAtOffsetsAndInSequence) {
  write(folder_ / "maps" / "desert" / "map.def", "0123456789");
  // The game's own separator.
  auto file = platform::InputFile::open((folder_ / "maps").string() + "\\desert\\map.def");
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->size(), 10u);
  std::string buffer(4, '\0');
  const auto bytes = std::as_writable_bytes(std::span{buffer});
  EXPECT_EQ(file->read_at(8, bytes), 2u);
  EXPECT_EQ(buffer.substr(0, 2), "89");
  EXPECT_EQ(file->read_at(20, bytes), 0u);
  EXPECT_EQ(file->read(bytes), 4u);
  EXPECT_EQ(buffer, "0123");
  EXPECT_EQ(file->read(bytes), 4u);
  EXPECT_EQ(buffer, "4567");
  EXPECT_EQ(file->read(bytes), 2u);

  EXPECT_FALSE(platform::InputFile::open((folder_ / "missing.bmp").string()).has_value());
  EXPECT_FALSE(platform::InputFile::open((folder_ / "maps").string()).has_value());  // a folder is no file
}

TEST_F(PlatformFiles, ReplaceFile) {
  const fs::path target = folder_ / "maps" / "desert" / "map.def";
  const std::string game_path = (folder_ / "maps").string() + "\\desert\\map.def";
  const std::string old_bytes = "old record\r\n";
  const std::string new_bytes(100'000, 'n');
  struct Case {
    const char* what;
    std::function<void()> fault;
    bool existing;
    platform::ReplaceResult result;
  };
  const Case cases[] = {
      {"replaces", [] {}, true, platform::ReplaceResult::replaced},
      {"creates", [] {}, false, platform::ReplaceResult::replaced},
      {"fails at create", [] { platform::headless::fail_next_replace_at_create(); }, true,
       platform::ReplaceResult::cannot_create},
      {"fails half-way", [] { platform::headless::fail_next_replace_after(50'000); }, true,
       platform::ReplaceResult::write_failed},
      {"fails before the first byte", [] { platform::headless::fail_next_replace_after(0); }, true,
       platform::ReplaceResult::write_failed},
      {"a fault is used once", [] {}, true, platform::ReplaceResult::replaced},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(target);
    if (c.existing) write(target, old_bytes);
    c.fault();
    EXPECT_EQ(platform::replace_file(game_path, new_bytes), c.result);
    const bool replaced = c.result == platform::ReplaceResult::replaced;
    EXPECT_EQ(fs::exists(target), replaced || c.existing);
    if (fs::exists(target)) {
      EXPECT_EQ(read(target), replaced ? new_bytes : old_bytes);
    }
    EXPECT_EQ(files_in(target.parent_path()), fs::exists(target) ? 1u : 0u);  // no temporary file left
  }
  EXPECT_EQ(platform::replace_file((folder_ / "no-such-folder" / "map.def").string(), "x"),
            platform::ReplaceResult::cannot_create);
}

}  // namespace
