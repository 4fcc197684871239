// The process at the edges of its environment: started with no standard
// descriptors at all, printing to a slow non-blocking pipe or a full device,
// and saving a screenshot where writing fails.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "json/base64.h"
#include "sim_fixture.h"

namespace brelvo::e2e {
namespace {

// Runs the program with its descriptors redirected by the shell; those left
// alone stay the test's pipes.
RunResult run_redirected(std::string_view redirections, std::vector<std::string> args) {
  args.insert(args.begin(),
              {"-c", R"(exec "$0" "$@" )" + std::string(redirections), kCliPath.string()});
  return run_program("/bin/sh", args);
}

RunResult run_without_standard_descriptors(std::vector<std::string> args) {
  return run_redirected("<&- >&- 2>&-", std::move(args));
}

// A tmpfs mounted in a mount namespace of this test process alone, so that
// nothing shows or stays outside it; unmounted before the directory goes.
class TmpfsMount {
 public:
  TmpfsMount(const std::filesystem::path& where, unsigned long flags, const char* options)
      : where_(where) {
    std::filesystem::create_directories(where);
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("brelvo-e2e", where.c_str(), "tmpfs", flags, options) != 0) {
      error_ = std::strerror(errno);
    }
  }
  ~TmpfsMount() {
    if (error_.empty()) ::umount2(where_.c_str(), MNT_DETACH);
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  // Empty when mounted.
  const std::string& error() const { return error_; }

 private:
  std::filesystem::path where_;
  std::string error_;
};

class OutputEdges : public SimTest {
 protected:
  RunResult screenshot(const std::filesystem::path& out) {
    return cli({"screenshot", "--out", out.string()});
  }
};

TEST_F(OutputEdges, NoStandardDescriptorsAtStart) {
  start_sim();
  const std::vector<std::string> control = {"--control", control_path().string()};
  const auto image = dir() / "view.png";
  auto with_control = [&](std::vector<std::string> words) {
    words.insert(words.begin(), control.begin(), control.end());
    return words;
  };
  EXPECT_EQ(run_without_standard_descriptors(with_control({"status"})).exit_code, 0);
  // Neither the socket nor the saved file may take the place of standard
  // output: the printed result would end up in them.
  EXPECT_EQ(requests(), (std::vector<std::string>{request_line(1, "ping", "null", token())}));
  EXPECT_EQ(run_without_standard_descriptors(with_control({"screenshot", "--out", image.string()}))
                .exit_code,
            0);
  auto expected = json::decode_base64(*direct_exec("screenshot").get("imageBase64")->as_string());
  ASSERT_TRUE(expected);
  EXPECT_TRUE(read_text(image) == *expected) << "the saved image differs";
  EXPECT_EQ(run_without_standard_descriptors(with_control({"mcp"})).exit_code, 0);
  stop_sim();
  EXPECT_EQ(run_without_standard_descriptors(with_control({"status"})).exit_code, 3);
}

// A reader that is a little slow leaves its non-blocking pipe full when the
// program prints: the program waits, and the document arrives whole.
TEST_F(OutputEdges, ASlowNonBlockingReaderReceivesTheWholeDocument) {
  start_sim({"--answer-bytes", "300000"});
  struct Case {
    std::string name;
    std::vector<std::string> args;
    std::string input;
  };
  const std::vector<Case> cases = {
      {"command", {"exec", "echo"}, ""},
      {"MCP answer",
       {"mcp"},
       R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"name":"echo"}})"
       "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RunOptions at_once;
    at_once.input = c.input;
    RunOptions slow = at_once;
    slow.slow_non_blocking_output = true;
    const RunResult expected = cli(c.args, at_once);
    const RunResult received = cli(c.args, slow);
    EXPECT_GT(expected.out.size(), 300'000u);
    EXPECT_TRUE(received.out == expected.out)
        << received.out.size() << " of " << expected.out.size() << " bytes";
    EXPECT_EQ(received.exit_code, 0);
    EXPECT_EQ(received.err, "");
  }
}

// A document that cannot be written whole is never a success: exit code 2,
// unless the outcome has a code of its own; standard error stays silent.
TEST_F(OutputEdges, AnUnwrittenDocumentFailsQuietly) {
  start_sim();
  struct Case {
    std::string name;
    std::vector<std::string> args;
    int exit_code;
  };
  const std::vector<Case> cases = {
      {"result", {"--control", control_path().string(), "exec", "echo"}, 2},
      {"usage", {"--help"}, 2},
      {"not running", {"--control", (dir() / "missing.json").string(), "status"}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RunResult full = run_redirected(">/dev/full", c.args);
    EXPECT_EQ(full.exit_code, c.exit_code);
    EXPECT_EQ(full.err, "");
  }
}

TEST_F(OutputEdges, WriteErrorsAreNeverSuccess) {
  start_sim();
  RunResult full = screenshot("/dev/full");
  EXPECT_EQ(full.out, printed_error("io", "/dev/full: No space left on device (os error 28)"));
  EXPECT_EQ(full.exit_code, 2);
  EXPECT_EQ(full.err, "");
  RunResult directory = screenshot(dir());
  EXPECT_EQ(directory.out, printed_error("io", dir().string() + ": Is a directory (os error 21)"));
  EXPECT_EQ(directory.exit_code, 2);
}

TEST_F(OutputEdges, FullFileSystem) {
  const auto small = dir() / "small";
  TmpfsMount mount(small, 0, "size=64k");
  if (!mount.error().empty()) GTEST_SKIP() << "cannot mount a small tmpfs: " << mount.error();
  start_sim({"--screenshot-bytes", "200000"});
  const auto out = small / "view.png";
  RunResult shot = screenshot(out);
  EXPECT_EQ(shot.out,
            printed_error("io", out.string() + ": No space left on device (os error 28)"));
  EXPECT_EQ(shot.exit_code, 2);
  EXPECT_EQ(shot.err, "");
}

// Permission bits do not stop root; a read-only file system does.
TEST_F(OutputEdges, ReadOnlyFileSystem) {
  const auto read_only = dir() / "read-only";
  TmpfsMount mount(read_only, MS_RDONLY, "size=64k");
  if (!mount.error().empty()) GTEST_SKIP() << "cannot mount a read-only tmpfs: " << mount.error();
  start_sim();
  const auto out = read_only / "view.png";
  RunResult shot = screenshot(out);
  EXPECT_EQ(shot.out, printed_error("io", out.string() + ": Read-only file system (os error 30)"));
  EXPECT_EQ(shot.exit_code, 2);
  EXPECT_EQ(shot.err, "");
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace brelvo::e2e
