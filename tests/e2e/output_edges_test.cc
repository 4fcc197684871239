// The process at the edges of its environment: started with no standard
// descriptors at all, and saving a screenshot where writing fails.
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

#include "json/base64.h"
#include "sim_fixture.h"

namespace brelvo::e2e {
namespace {

// Runs the program with descriptors 0, 1 and 2 all closed.
RunResult run_without_standard_descriptors(std::vector<std::string> args) {
  args.insert(args.begin(), {"-c", R"(exec "$0" "$@" <&- >&- 2>&-)", kCliPath.string()});
  return run_program("/bin/sh", args);
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
