// The command line as a user meets it, before any application is involved.
#include <gtest/gtest.h>

#include "sim_fixture.h"

namespace brelvo::e2e {
namespace {

TEST(CliBasics, UsageAndVersion) {
  RunResult empty = run_program(kCliPath, {});
  EXPECT_EQ(empty.out.size(), 1045u);
  EXPECT_TRUE(empty.out.starts_with("brelvo-cli \xE2\x80\x94 drive a running Brelvo Desktop\n"));
  EXPECT_EQ(empty.exit_code, 0);
  EXPECT_EQ(empty.err, "");
  for (const char* word : {"-h", "--help", "help"}) {
    RunResult help = run_program(kCliPath, {word, "whatever"});
    EXPECT_EQ(help.out, empty.out);
    EXPECT_EQ(help.exit_code, 0);
  }
  RunResult version = run_program(kCliPath, {"-V"});
  EXPECT_EQ(version.out, "{\n  \"brelvo-cli\": \"3.0.0\",\n  \"protocol\": 1\n}\n");
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.err, "");
}

TEST(CliBasics, ErrorsGoToStandardOutputOnly) {
  RunResult unknown = run_program(kCliPath, {"stauts"});
  EXPECT_EQ(unknown.out,
            "{\n  \"error\": {\n    \"code\": \"usage\",\n    \"message\": \"unknown command: "
            "stauts (see --help)\"\n  }\n}\n");
  EXPECT_EQ(unknown.err, "");
  EXPECT_EQ(unknown.exit_code, 2);
  RunResult no_home = run_program(
      kCliPath, {"status"}, with_env({{"HOME", std::nullopt}, {"XDG_DATA_HOME", std::nullopt}}));
  EXPECT_EQ(no_home.out,
            printed_error("usage", "cannot find the user data directory; pass --control FILE"));
  EXPECT_EQ(no_home.exit_code, 2);
}

TEST(CliBasics, MissingControlFileMeansNotRunning) {
  TempDir dir;
  RunResult status =
      run_program(kCliPath, {"status"}, with_env({{"XDG_DATA_HOME", dir.path().string()}}));
  EXPECT_EQ(status.out,
            printed_error("not_running", "Brelvo is not running (no " +
                                             (dir.path() / "Brelvo/control.json").string() + ")"));
  EXPECT_EQ(status.exit_code, 3);
  EXPECT_EQ(status.err, "");
}

}  // namespace
}  // namespace brelvo::e2e
