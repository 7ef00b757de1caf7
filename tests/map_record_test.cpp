// The map definition file: reading both layouts, writing, and saving safely.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>
#include <tuple>

#include "main/game_state.h"
#include "mapdata/mapdata.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "tests/game_fixture.h"

namespace {

using mapdata::MapRecord;
using mapdata::RecordLayout;

constexpr std::int32_t MAX = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t MIN = std::numeric_limits<std::int32_t>::min();
constexpr double DMAX = std::numeric_limits<double>::max();
constexpr auto CLASSIC = RecordLayout::classic;
constexpr auto FREE = RecordLayout::free;

auto fields(const MapRecord& r) {
  return std::tuple(r.background_colour, r.highscore, r.highscore_name, r.ground_offset, r.obstacle_image_count,
                    r.height_range, r.obstacle_count);
}

MapRecord record(std::int32_t colour, std::int32_t highscore, std::string name, double offset, std::int32_t images,
                 std::int32_t range, std::int32_t count) {
  return MapRecord{colour, highscore, std::move(name), offset, images, range, count};
}

struct ReadCase {
  const char* what;
  std::string bytes;
  RecordLayout layout;
  MapRecord expected;  // height_range stays at -1 when the classic layout does not read it
};

const std::string LONG_NAME(4096, 'n');
const std::string ZEROS_67(67, '0');

// One row per case: the file's bytes in, the record out.
const ReadCase READ_CASES[] = {
    {"classic line, CR LF", "1,2,\"Ann\",3.5,4,5\r\n", CLASSIC, record(1, 2, "Ann", 3.5, 4, -1, 5)},
    {"free, one value a line, LF", "1\n2\nAnn\n3.5\n4\n6\n5\n", FREE, record(1, 2, "Ann", 3.5, 4, 6, 5)},
    {"CR alone ends lines", "1\r2\rAnn\r3.5\r4\r6\r5\r", FREE, record(1, 2, "Ann", 3.5, 4, 6, 5)},
    {"mixed line ends", "1\r\n2\n\"A\"\r3\r\n\r\n4,5", CLASSIC, record(1, 2, "A", 3, 0, -1, 4)},
    {"numbers apart by blanks", "12 34,n,0 \t1  2 3", FREE, record(12, 34, "n", 0, 1, 2, 3)},
    {"blanks before a comma", "12 , 34 ,n , 5,6 ,7 , 8", FREE, record(12, 34, "n ", 5, 6, 7, 8)},
    {"plain name keeps inner and trailing blanks", "1,2,  Ann Lee  ,0,1,2,3", FREE,
     record(1, 2, "Ann Lee  ", 0, 1, 2, 3)},
    {"quoted name with comma", "1,2,\"Lee, Ann\",0,1,2,3", FREE, record(1, 2, "Lee, Ann", 0, 1, 2, 3)},
    {"blanks after the closing quote", "1,2, \"A b\"  ,0,1,2,3", FREE, record(1, 2, "A b", 0, 1, 2, 3)},
    {"text behind the closing quote is the next item", "1,2,\"ab\"cd,5,6,7", FREE, record(1, 2, "ab", 0, 5, 6, 7)},
    {"a line end ends a quoted name", "1,2,\"ab\ncd\",5,6,7", FREE, record(1, 2, "ab", 0, 5, 6, 7)},
    {"a quote inside a plain name belongs to it", "1,2,ab\"cd,0,1,2,3", FREE, record(1, 2, "ab\"cd", 0, 1, 2, 3)},
    {"code page 437 bytes in a name", "1,2,M\x81ller \xE1,0,1,2,3", FREE, record(1, 2, "M\x81ller \xE1", 0, 1, 2, 3)},
    {"two commas give an empty item", "7,,,,,,9", FREE, record(7, 0, "", 0, 0, 0, 9)},
    {"an empty line is one empty item", "7\n\n\n\n\n\n9\n", FREE, record(7, 0, "", 0, 0, 0, 9)},
    {"empty file", "", FREE, record(0, 0, "", 0, 0, 0, 0)},
    {"free file with six values", "1,2,\"n\",0,3,9\r\n", FREE, record(1, 2, "n", 0, 3, 9, 0)},
    {"classic file with seven values", "1,2,\"n\",0,3,9,7\r\n", CLASSIC, record(1, 2, "n", 0, 3, -1, 9)},
    {"anything after the last item is ignored", "1,2,n,3,4,5,6,7,8,junk\n\"", FREE, record(1, 2, "n", 3, 4, 5, 6)},
    {"hex, octal, binary, bare &", "&HFF,&o17,n,&b101,&17,&h1e,&", FREE, record(255, 15, "n", 5, 15, 30, 0)},
    {"& with no digits of its base", "&9,&H,n,&Q,&B2,&O8,&-5", FREE, record(0, 0, "n", 0, 0, 0, 0)},
    {"signs and stop at the first non-digit", "-7,+5,n,12abc,abc,-,3-4", FREE, record(-7, 5, "n", 12, 0, 0, 3)},
    {"reals rounded half to even", "2.5,3.5,n,-0.25,-2.5,0.5,1.5", FREE, record(2, 4, "n", -0.25, -2, 0, 2)},
    {"exponent letters e, E, d, D", "1e3,2E1,n,1.5D2,1d-1,5e,.45e1", FREE, record(1000, 20, "n", 150, 0, 5, 4)},
    {"& before an exponent letter is no real", "&HE,&hD,n,&H1.5,&HDE,&B1e1,1.5&H", FREE,
     record(14, 13, "n", 1, 222, 1, 2)},
    {"32-bit saturation", "99999999999,-99999999999,n,0,&HFFFFFFFF,1e300,-2147483648.6", FREE,
     record(MAX, MIN, "n", 0, MAX, MAX, MIN)},
    {"the real field beyond 32 bits and beyond doubles", "0,0,n,99999999999,0,0,0", FREE,
     record(0, 0, "n", 99999999999.0, 0, 0, 0)},
    {"a real too large saturates", "0,0,n,1e99999,0,0,0", FREE, record(0, 0, "n", DMAX, 0, 0, 0)},
    {"a negative real too large saturates", "0,0,n,-1d400,0,0,0", FREE, record(0, 0, "n", -DMAX, 0, 0, 0)},
    {"a real too small is zero", "0,0,n,1e-99999,0,0,0", FREE, record(0, 0, "n", 0, 0, 0, 0)},
    {"a quoted number collects blanks and commas", "\"1\"2,\" 3,4\",n,\"5 6\",\"\",0,0", FREE,
     record(12, 3, "n", 5, 0, 0, 0)},
    {"a 68-character number: the rest is the next item", ZEROS_67 + "12,n,3,4,5,6", FREE,
     record(0, 12, "n", 3, 4, 5, 6)},
    {"a 67-character number ends at its comma", ZEROS_67 + ",9,n,3,4,5,6", FREE, record(0, 9, "n", 3, 4, 5, 6)},
    {"a name over 4096 characters: the rest is the next item", "1,2," + LONG_NAME + "7,8,9,10", FREE,
     record(1, 2, LONG_NAME, 7, 8, 9, 10)},
    {"a quoted name of exactly 4096 characters", "1,2,\"" + LONG_NAME + "\",7,8,9,10", FREE,
     record(1, 2, LONG_NAME, 7, 8, 9, 10)},
    {"a long run of blanks", std::string(100000, ' ') + "5" + std::string(40000, '\t') + ",6,n,1,2,3,4", FREE,
     record(5, 6, "n", 1, 2, 3, 4)},
};

MapRecord untouched() {
  MapRecord r;
  r.height_range = -1;
  return r;
}

TEST(MapRecord, ReadsEveryCaseFromTextAndFromFile) {
  fixture::WorkingFolder folder;
  for (const ReadCase& c : READ_CASES) {
    MapRecord parsed = untouched();
    mapdata::parse_map_record(c.bytes, c.layout, parsed);
    EXPECT_EQ(fields(parsed), fields(c.expected)) << c.what;

    fixture::write_file("maps/m/map.def", c.bytes);
    platform::headless::reset();
    game = GameState{};
    game.height_range = -1;
    game.map_file = "maps\\m\\map.def";
    const auto result = platform::headless::run([&] { mapdata::read_map_record(c.layout); });
    EXPECT_EQ(result.status, 0) << c.what << result.report;
    EXPECT_EQ(fields(game), fields(c.expected)) << c.what << " (from the file)";
  }
}

TEST(MapRecord, MissingFileIsErrorTwoNamingTheCaller) {
  fixture::WorkingFolder folder;
  platform::headless::reset();
  game = GameState{};
  game.map_file = "maps\\nowhere\\map.def";
  int line = 0;
  const auto result = platform::headless::run([&] {
    platform::ProcedureScope scope{"inc/classic", "PLAY_CLASSIC"};
    line = __LINE__ + 1;
    mapdata::read_map_record(CLASSIC);
  });
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.report, "\nAborting due to runtime error 2 (file not found) at line " + std::to_string(line) +
                               " of inc/classic::PLAY_CLASSIC()\n\n");
}

TEST(MapRecord, WritesOneLineInEachLayout) {
  const MapRecord r = record(-16, 1234, "Ann Lee", -12.5, 3, 250, 7);
  EXPECT_EQ(mapdata::format_map_record(r, CLASSIC), "-16,1234,\"Ann Lee\",-12.5,3,7\r\n");
  EXPECT_EQ(mapdata::format_map_record(r, FREE), "-16,1234,\"Ann Lee\",-12.5,3,250,7\r\n");
  EXPECT_EQ(mapdata::format_map_record(MapRecord{}, CLASSIC), "0,0,\"\",0,0,0\r\n");
}

TEST(MapRecord, GroundOffsetAsPrintfWritesIt) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {-12.5, "-12.5"},
      {0.1, "0.1"},
      {1.0 / 3, "0.3333333333333333"},
      {7, "7"},
      {-0.25, "-0.25"},
      {1e16, "1e+16"},
      {0.0001, "0.0001"},
      {0.00001, "1e-05"},
      {123456789012345678.0, "1.234567890123457e+17"},
      {DMAX, "1.797693134862316e+308"},
  };
  for (const auto& c : cases) {
    MapRecord r;
    r.ground_offset = c.value;
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.16g", c.value);
    EXPECT_EQ(printed, std::string(c.text));
    EXPECT_EQ(mapdata::format_map_record(r, CLASSIC), std::string("0,0,\"\",") + c.text + ",0,0\r\n");
  }
}

TEST(MapRecord, WriteThenReadGivesTheSameRecordInBothModes) {
  const std::string names[] = {"Ann Lee", "Lee, Ann", " lead, and trail ", "M\x81ller \xE1\xFF", "", LONG_NAME};
  const double offsets[] = {0, -12.5, 0.1, 1.0 / 3, 7, -0.25, 1e-300, -1.5e300};
  for (const RecordLayout layout : {CLASSIC, FREE}) {
    for (const std::string& name : names) {
      for (const double offset : offsets) {
        const MapRecord written = record(MIN, MAX, name, offset, 3, layout == FREE ? -5 : -1, 40);
        MapRecord read = untouched();
        mapdata::parse_map_record(mapdata::format_map_record(written, layout), layout, read);
        EXPECT_EQ(fields(read), fields(written)) << name.substr(0, 20) << " " << offset;
      }
    }
  }
}

TEST(MapRecord, ShippedMapsReadAndWriteBackByteForByte) {
  const struct {
    const char* folder;
    RecordLayout layout;
  } maps[] = {{"desert", CLASSIC}, {"city", CLASSIC}, {"sky", FREE}};
  for (const auto& m : maps) {
    const std::string bytes =
        fixture::read_file(std::filesystem::path(TANDREL_SOURCE_DIR) / "data/maps" / m.folder / "map.def");
    MapRecord read;
    mapdata::parse_map_record(bytes, m.layout, read);
    EXPECT_GE(read.obstacle_count, m.layout == CLASSIC ? 5 : 2) << m.folder;
    EXPECT_EQ(mapdata::format_map_record(read, m.layout), bytes) << m.folder;
  }
}

// The game's own path: the file holds the new line, or on a failure keeps its old bytes.
class MapSave : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::headless::reset();
    game = GameState{};
    fixture::write_file("maps/desert/map.def", OLD);
    game.map_file = "maps\\desert\\map.def";
    game.mode_name = "clasic";
    mapdata::parse_map_record(OLD, CLASSIC, game);
    game.highscore = 42;
    game.highscore_name = "Bo";
  }
  std::string map_def() const { return fixture::read_file(folder_.path() / "maps/desert/map.def"); }
  std::size_t files_in_map_folder() const {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder_.path() / "maps/desert")) ++n;
    return n;
  }

  static constexpr const char* OLD = "&HFF, 7 ,Old Holder , 1.50,2,3,9\n";
  fixture::WorkingFolder folder_;
};

TEST_F(MapSave, WritesTheLayoutOfTheMode) {
  EXPECT_EQ(platform::headless::run([] { mapdata::write_map_record(); }).status, 0);
  EXPECT_EQ(map_def(), "255,42,\"Bo\",1.5,2,3\r\n");
  game.mode_name = "Free";
  EXPECT_EQ(platform::headless::run([] { mapdata::write_map_record(); }).status, 0);
  EXPECT_EQ(map_def(), "255,42,\"Bo\",1.5,2,0,3\r\n");
  EXPECT_EQ(files_in_map_folder(), 1u);
}

TEST_F(MapSave, FailuresKeepTheOldFileAndAreReported) {
  const struct {
    const char* what;
    void (*fault)();
    const char* mode;
    int status;
    const char* error;
  } cases[] = {
      {"cannot create", [] { platform::headless::fail_next_replace_at_create(); }, "clasic", 2, "2 (file not found)"},
      {"fails half-way", [] { platform::headless::fail_next_replace_after(5); }, "clasic", 3, "3 (file I/O error)"},
      {"fails at the first byte", [] { platform::headless::fail_next_replace_after(0); }, "Free", 3,
       "3 (file I/O error)"},
      {"a mode with no layout", [] {}, "Klassisch", 1, "1 (illegal function call)"},
  };
  for (const auto& c : cases) {
    c.fault();
    game.mode_name = c.mode;
    int line = 0;
    const auto result = platform::headless::run([&] {
      platform::ProcedureScope scope{"inc/general", "GAME_END"};
      line = __LINE__ + 1;
      mapdata::write_map_record();
    });
    EXPECT_EQ(result.status, c.status) << c.what;
    EXPECT_EQ(result.report, std::string("\nAborting due to runtime error ") + c.error + " at line " +
                                 std::to_string(line) + " of inc/general::GAME_END()\n\n")
        << c.what;
    EXPECT_EQ(map_def(), OLD) << c.what;
    EXPECT_EQ(files_in_map_folder(), 1u) << c.what << ": no temporary file is left behind";
  }
}

}  // namespace
