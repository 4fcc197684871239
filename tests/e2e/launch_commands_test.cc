// launch and open: the program next to a copy of the simulator, which it
// starts as the application.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "json/json_parse.h"
#include "json/json_text.h"
#include "sim_fixture.h"

namespace brelvo::e2e {
namespace {

namespace fs = std::filesystem;

// A directory with a copy of brelvo-cli, a data directory for the control
// file, and whatever the test puts next to the program.
class Launching : public ::testing::Test {
 protected:
  void SetUp() override {
    // Started applications are detached; as their subreaper this test can reap them.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    fs::copy_file(kCliPath, cli_path());
    fs::create_directories(dir() / "data");
  }
  void TearDown() override {
    for (pid_t pid : started_) stop_process(pid);
  }

  const fs::path& dir() const { return dir_.path(); }
  fs::path cli_path() const { return dir() / "brelvo-cli"; }
  fs::path control_path() const { return dir() / "data/Brelvo/control.json"; }
  fs::path log_path() const { return dir() / "requests.log"; }
  void put_simulator(const std::string& name) { fs::copy_file(kSimPath, dir() / name); }

  RunResult cli(std::vector<std::string> args, fs::path cwd = {}) {
    RunOptions options = with_env({{"XDG_DATA_HOME", (dir() / "data").string()},
                                   {"BRELVO_SIM_OPTIONS", "--log " + log_path().string()}});
    options.cwd = std::move(cwd);
    RunResult result = run_program(cli_path(), args, options);
    remember_started(result.out);
    return result;
  }

  // Every application a test starts is ended by its pid.
  void remember_started(const std::string& out) {
    auto printed = json::parse_json(out);
    if (!printed) return;
    const json::JsonValue* pid = printed->get("pid");
    if (pid && pid->as_unsigned()) started_.push_back(static_cast<pid_t>(*pid->as_unsigned()));
  }

  std::string running_exe() const {
    auto control = json::parse_json(read_text(control_path()));
    return control ? std::string(*control->get("exe")->as_string()) : std::string();
  }

  TempDir dir_;
  std::vector<pid_t> started_;
};

TEST_F(Launching, StartsTheApplicationDetachedAndPrintsItsPing) {
  put_simulator("brelvo-desktop");
  // Handed to the program without close-on-exec, as a client's pipe can be.
  const int inherited = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(inherited, 0);
  RunResult launch = cli({"launch"});
  ::close(inherited);
  auto ping = json::parse_json(launch.out);
  ASSERT_TRUE(ping) << launch.out;
  EXPECT_TRUE(ping->get("ready")->is_true());
  EXPECT_EQ(launch.exit_code, 0);
  EXPECT_EQ(launch.err, "");
  EXPECT_EQ(running_exe(), (dir() / "brelvo-desktop").string());

  RunResult info = cli({"exec", "process_info"});
  auto process = json::parse_json(info.out);
  ASSERT_TRUE(process);
  // A session of its own, default SIGPIPE, nothing blocked, its three
  // standard streams and nothing else: as if started from a shell.
  EXPECT_EQ(*process->get("sid"), *process->get("pid"));
  EXPECT_EQ(*process->get("sigpipe"), json::JsonValue("default"));
  EXPECT_EQ(*process->get("blocked_signals"), json::JsonValue(json::JsonArray{}));
  EXPECT_EQ(json::to_compact_text(*process->get("open_descriptors")), "[0,1,2]");
}

TEST_F(Launching, RunningApplicationIsNotStartedTwice) {
  put_simulator("brelvo-desktop");
  RunResult first = cli({"launch"});
  RunResult second = cli({"launch"});
  EXPECT_EQ(*json::parse_json(first.out)->get("pid"), *json::parse_json(second.out)->get("pid"));
  EXPECT_EQ(second.exit_code, 0);
}

TEST_F(Launching, NamesAreTriedInOrderAndOnlyRegularFiles) {
  put_simulator("Quorna.Brelvo");
  write_text(dir() / "brelvo-desktop", "not a program");
  fs::create_directory(dir() / "brelvo");
  RunResult launch = cli({"launch"});
  EXPECT_EQ(launch.exit_code, 0) << launch.out;
  EXPECT_EQ(running_exe(), (dir() / "Quorna.Brelvo").string());
}

TEST_F(Launching, NothingToStart) {
  RunResult launch = cli({"launch"});
  EXPECT_EQ(
      launch.out,
      printed_error("not_running",
                    "Brelvo is not running and its executable was not found next to brelvo-cli"));
  EXPECT_EQ(launch.exit_code, 3);
  EXPECT_EQ(launch.err, "");
}

TEST_F(Launching, NonExecutableFileCannotBeStarted) {
  put_simulator("brelvo-desktop");
  fs::permissions(dir() / "brelvo-desktop", fs::perms::owner_read | fs::perms::owner_write);
  RunResult launch = cli({"launch"});
  if (::geteuid() == 0 && launch.exit_code == 0)
    GTEST_SKIP() << "root may execute files without execute bits";
  EXPECT_EQ(launch.out,
            printed_error("not_running", "could not start " + (dir() / "brelvo-desktop").string() +
                                             ": Permission denied (os error 13)"));
  EXPECT_EQ(launch.exit_code, 3);
}

TEST_F(Launching, OpenSendsAbsoluteLinkResolvedPathsAfterStarting) {
  put_simulator("brelvo-desktop");
  fs::create_directory(dir() / "models");
  write_text(dir() / "models/house.ifc", "ISO-10303-21;");
  fs::create_symlink("models/house.ifc", dir() / "link.ifc");
  RunResult open = cli({"open", "link.ifc", "--add"}, dir());
  EXPECT_EQ(open.exit_code, 0) << open.out;
  const std::string house = fs::canonical(dir() / "models/house.ifc").string();
  EXPECT_EQ(open.out, "{\n  \"models\": 2,\n  \"opened\": [\n    \"" + house + "\"\n  ]\n}\n");
  const std::string log = read_text(log_path());
  EXPECT_NE(log.find("\"params\":{\"args\":{\"add\":true,\"paths\":[\"" + house + "\"]},"),
            std::string::npos)
      << log;
  RunResult info = cli({"exec", "process_info"});
  remember_started(info.out);
}

TEST_F(Launching, OpenPassesMissingFilesOnForTheApplicationToReport) {
  put_simulator("brelvo-desktop");
  RunResult open = cli({"open", "missing.ifc"}, dir());
  EXPECT_EQ(open.out, printed_error("tool_failed", "file not found: missing.ifc"));
  EXPECT_EQ(open.exit_code, 2);
  RunResult info = cli({"exec", "process_info"});
  remember_started(info.out);
}

}  // namespace
}  // namespace brelvo::e2e
