// The runtime error report, the procedure that it names, and the checked tables.
#include <gtest/gtest.h>

#include <array>

#include "platform/headless.h"
#include "platform/platform.h"

namespace {

using platform::RuntimeError;

TEST(PlatformErrors, ReportText) {
  struct Case {
    RuntimeError error;
    const char* report;
  };
  const Case cases[] = {
      {{2, 41, "inc/classic", "PLAY_CLASSIC", true},
       "\nAborting due to runtime error 2 (file not found) at line 41 of inc/classic::PLAY_CLASSIC()\n\n"},
      {{1, 0, "inc/general", "GAME_END", true},
       "\nAborting due to runtime error 1 (illegal function call) in inc/general::GAME_END()\n\n"},
      {{3, 7, "main", "", true}, "\nAborting due to runtime error 3 (file I/O error) at line 7 of main::()\n\n"},
      {{4, 0, "main", "", false}, "\nAborting due to runtime error 4 (out of memory) in main()\n\n"},
      {{6, 12, "inc/free", "", false},
       "\nAborting due to runtime error 6 (out of bounds array access) at line 12 of inc/free()\n\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::error_report(c.error), c.report);
}

// Runs `body` on the headless backend and returns what it came to.
platform::headless::RunResult run(const std::function<void()>& body) {
  platform::headless::reset();
  return platform::headless::run(body);
}

TEST(PlatformErrors, RaiseNamesTheInnermostProcedure) {
  int line = 0;
  auto result = run([&] {
    platform::ProcedureScope main_scope{"main", ""};
    { platform::ProcedureScope inner{"inc/classic", "PLAY_CLASSIC"}; }
    line = __LINE__ + 1;
    platform::raise_error(platform::ERROR_FILE_NOT_FOUND);
  });
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.report,
            "\nAborting due to runtime error 2 (file not found) at line " + std::to_string(line) + " of main::()\n\n");

  result = run([&] {
    platform::ProcedureScope main_scope{"main", ""};
    platform::ProcedureScope inner{"inc/general", "GAME_END"};
    line = __LINE__ + 1;
    platform::raise_error(platform::ERROR_FILE_IO);
  });
  EXPECT_EQ(result.report, "\nAborting due to runtime error 3 (file I/O error) at line " + std::to_string(line) +
                               " of inc/general::GAME_END()\n\n");

  // Outside every procedure: the program's own top level, no procedure named.
  result = run([&] {
    line = __LINE__ + 1;
    platform::raise_error(platform::ERROR_ILLEGAL_FUNCTION_CALL);
  });
  EXPECT_EQ(result.report, "\nAborting due to runtime error 1 (illegal function call) at line " + std::to_string(line) +
                               " of main()\n\n");
}

TEST(PlatformErrors, EndProgramGivesItsStatusWithoutReport) {
  const auto result = run([] {
    platform::ProcedureScope scope{"main", ""};
    platform::lock_screen();  // left held: the run forgets it
    platform::end_program(0);
  });
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.report, "");
  EXPECT_FALSE(result.ran_out);
}

TEST(PlatformErrors, TableChecks) {
  struct Case {
    const char* what;
    std::function<void()> body;
    int status;
  };
  const Case cases[] = {
      {"no entries", [] { platform::Table<int> table(0); }, 1},
      {"negative count", [] { platform::Table<int> table(-5); }, 1},
      {"beyond the memory limit", [] { platform::Table<std::array<char, 1 << 20>> table(2000); }, 4},
      {"index 0",
       [] {
         platform::Table<int> table(3);
         table(0) = 1;
       },
       6},
      {"index past the end",
       [] {
         platform::Table<int> table(3);
         table(4) = 1;
       },
       6},
      {"first and last index",
       [] {
         platform::Table<int> table(3);
         table(1) = table(3) = 2;
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto result = run([&] {
      platform::ProcedureScope scope{"inc/free", "PLAY_FREE"};
      c.body();
    });
    EXPECT_EQ(result.status, c.status);
    if (c.status != 0) {
      EXPECT_NE(result.report.find("inc/free::PLAY_FREE()"), std::string::npos) << result.report;
    }
  }
}

}  // namespace
