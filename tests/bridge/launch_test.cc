#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <memory>

#include "bridge/bridge.h"
#include "bridge/control_files.h"
#include "bridge/launcher.h"
#include "bridge/printers.h"
#include "bridge/test_server.h"

namespace brelvo::bridge {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::Peer;
using testing::TestServer;
using Lines = std::vector<std::string>;

constexpr const char kNotFound[] =
    "Brelvo is not running and its executable was not found next to brelvo-cli";

const std::expected<void, BridgeError> kLaunched;

constexpr fs::perms kPrivate{0600};
constexpr fs::perms kProgram{0700};

TestServer::Handler answering(Lines answers) {
  return [answers = std::move(answers)](Peer& peer) {
    for (const auto& answer : answers) peer.answer(answer);
    peer.wait_for_close();
  };
}

class BridgeLaunchTest : public ::testing::Test {
 protected:
  BridgeLaunchTest() { fs::create_directory(bin_); }

  fs::path make_file(const fs::path& path, fs::perms permissions = fs::perms::owner_read) {
    testing::write_text(path, "");
    fs::permissions(path, permissions);
    return path;
  }

  // Private to the user unless the test says otherwise, whatever the umask.
  void write_control_exe(std::string_view exe, int protocol = 1, fs::perms permissions = kPrivate) {
    testing::write_text(control_, R"({"protocol":)" + std::to_string(protocol) + R"(,"port":)" +
                                      std::to_string(testing::closed_port()) + R"(,"exe":")" +
                                      std::string(exe) + "\"}");
    fs::permissions(control_, permissions);
  }

  std::optional<fs::path> find() const { return find_executable(own_, control_); }

  Bridge make_bridge(BridgeTiming timing) const {
    return Bridge(control_, timing, LaunchOptions{.own_executable = own_});
  }

  testing::TempDir dir_;
  fs::path bin_ = dir_.path() / "bin";
  fs::path own_ = bin_ / "brelvo-cli";
  fs::path control_ = dir_.path() / "control.json";
  BridgeTiming quick_{.receive_grace = 2s, .launch_wait = 2s, .launch_poll_interval = 10ms};
};

TEST_F(BridgeLaunchTest, FindsTheFirstRegularFileBesideTheProgram) {
  EXPECT_EQ(find(), std::nullopt);
  make_file(bin_ / "brelvo-desktop");
  make_file(bin_ / "Quorna.Brelvo");
  fs::create_directory(bin_ / "brelvo");
  EXPECT_EQ(find(), bin_ / "Quorna.Brelvo");
  fs::remove(bin_ / "Quorna.Brelvo");
  EXPECT_EQ(find(), bin_ / "brelvo-desktop");
  fs::remove(bin_ / "brelvo");
  fs::create_symlink(bin_ / "brelvo-desktop", bin_ / "brelvo");
  EXPECT_EQ(find(), bin_ / "brelvo");
}

TEST_F(BridgeLaunchTest, FallsBackToTheControlFileExe) {
  const fs::path elsewhere = make_file(dir_.path() / "app");
  write_control_exe(elsewhere.string());
  EXPECT_EQ(find(), elsewhere);
  write_control_exe(dir_.path().string());
  EXPECT_EQ(find(), std::nullopt);
  write_control_exe(elsewhere.string(), 2);
  EXPECT_EQ(find(), std::nullopt);
  testing::write_text(control_, R"({"protocol":1})");
  EXPECT_EQ(find(), std::nullopt);
}

// The control file's "exe" is started only when nobody but the user (or
// root, for the executable) can have chosen it.
struct TrustCase {
  std::string name;
  fs::perms control_permissions;
  fs::perms exe_permissions;
  bool exe_through_link = false;
  bool exe_is_roots = false;  // /bin/true
  bool another_user_owns_control = false;
  bool another_user_owns_exe = false;
  bool found = false;
};

void PrintTo(const TrustCase& c, std::ostream* os) {
  *os << c.name;
}

constexpr uid_t kAnotherUser = 65534;

bool roots_alone(const fs::path& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && status.st_uid == 0 &&
         (status.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

class ControlFileExeTrust : public BridgeLaunchTest,
                            public ::testing::WithParamInterface<TrustCase> {};

TEST_P(ControlFileExeTrust, OnlyTheUsersOwnFilesNameTheExecutable) {
  const TrustCase& c = GetParam();
  if ((c.another_user_owns_control || c.another_user_owns_exe) && ::geteuid() != 0) {
    GTEST_SKIP() << "giving a file to another user needs root";
  }
  if (c.exe_is_roots && !roots_alone("/bin/true")) GTEST_SKIP() << "/bin/true is not root's";
  const fs::path app =
      c.exe_is_roots ? "/bin/true" : make_file(dir_.path() / "app", c.exe_permissions);
  fs::path named = app;
  if (c.exe_through_link) {
    named = dir_.path() / "link";
    fs::create_symlink(app, named);
  }
  write_control_exe(named.string(), 1, c.control_permissions);
  if (c.another_user_owns_control) {
    ASSERT_EQ(::chown(control_.c_str(), kAnotherUser, -1), 0);
  }
  if (c.another_user_owns_exe) {
    ASSERT_EQ(::chown(app.c_str(), kAnotherUser, -1), 0);
  }
  EXPECT_EQ(find(), c.found ? std::optional(named) : std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Matrix, ControlFileExeTrust,
                         ::testing::Values(TrustCase{.name = "OwnFiles",
                                                     .control_permissions = kPrivate,
                                                     .exe_permissions = kProgram,
                                                     .found = true},
                                           TrustCase{.name = "ControlFileWritableByAll",
                                                     .control_permissions = fs::perms{0666},
                                                     .exe_permissions = kProgram},
                                           TrustCase{.name = "ControlFileWritableByGroup",
                                                     .control_permissions = fs::perms{0620},
                                                     .exe_permissions = kProgram},
                                           TrustCase{.name = "ExeWritableByAll",
                                                     .control_permissions = kPrivate,
                                                     .exe_permissions = fs::perms{0777}},
                                           TrustCase{.name = "LinkToOwnExe",
                                                     .control_permissions = kPrivate,
                                                     .exe_permissions = kProgram,
                                                     .exe_through_link = true,
                                                     .found = true},
                                           TrustCase{.name = "LinkToExeWritableByAll",
                                                     .control_permissions = kPrivate,
                                                     .exe_permissions = fs::perms{0777},
                                                     .exe_through_link = true},
                                           TrustCase{.name = "RootsExe",
                                                     .control_permissions = kPrivate,
                                                     .exe_permissions = kProgram,
                                                     .exe_is_roots = true,
                                                     .found = true},
                                           TrustCase{.name = "ControlFileOfAnotherUser",
                                                     .control_permissions = kPrivate,
                                                     .exe_permissions = kProgram,
                                                     .another_user_owns_control = true},
                                           TrustCase{.name = "ExeOfAnotherUser",
                                                     .control_permissions = kPrivate,
                                                     .exe_permissions = kProgram,
                                                     .another_user_owns_exe = true}),
                         [](const auto& test) { return test.param.name; });

TEST_F(BridgeLaunchTest, ReadyApplicationIsOnlyPinged) {
  TestServer server({answering({R"({"ok":true,"result":{"ready":true}})"})});
  testing::write_control_file(control_, server.port(), "tok");
  Bridge bridge = make_bridge(quick_);
  EXPECT_EQ(bridge.launch(), kLaunched);
  EXPECT_EQ(server.finish().size(), 1u);
}

TEST_F(BridgeLaunchTest, AnsweringApplicationIsWaitedForWithoutStarting) {
  // Nothing could be started here: a start would fail with the not-found error.
  constexpr const char kNotReady[] = R"({"ok":true,"result":{"ready":false}})";
  TestServer server({answering({kNotReady, kNotReady}), answering({kNotReady}),
                     answering({R"({"ok":true,"result":{"ready":true}})"})});
  testing::write_control_file(control_, server.port(), "tok");
  Bridge bridge = make_bridge(quick_);
  EXPECT_EQ(bridge.launch(), kLaunched);
  EXPECT_EQ(server.finish().size(), 4u);
}

TEST_F(BridgeLaunchTest, ErrorAnswersCountAsNotRunning) {
  constexpr const char kBusy[] = R"({"ok":false,"error":{"code":"busy","message":"m"}})";
  TestServer server({answering({kBusy, kBusy})});
  testing::write_control_file(control_, server.port(), "tok");
  Bridge bridge = make_bridge(quick_);
  EXPECT_EQ(bridge.launch(), std::unexpected(BridgeError::not_running(kNotFound)));
}

TEST_F(BridgeLaunchTest, NothingToStartIsNotFound) {
  Bridge bridge = make_bridge(quick_);
  EXPECT_EQ(bridge.launch(), std::unexpected(BridgeError::not_running(kNotFound)));
}

TEST_F(BridgeLaunchTest, UnexecutableFileCannotBeStarted) {
  const fs::path app = make_file(bin_ / "brelvo-desktop");
  Bridge bridge = make_bridge(quick_);
  EXPECT_EQ(bridge.launch(),
            std::unexpected(BridgeError::not_running("could not start " + app.string() +
                                                     ": Permission denied (os error 13)")));
}

TEST_F(BridgeLaunchTest, BareExeNameMeansTheFileInTheCurrentDirectory) {
  // "true" exists on PATH; a PATH search would start that one successfully.
  const fs::path previous = fs::current_path();
  fs::current_path(dir_.path());
  make_file(dir_.path() / "true");
  write_control_exe("true");
  Bridge bridge = make_bridge(quick_);
  const auto launched = bridge.launch();
  fs::current_path(previous);
  EXPECT_EQ(launched, std::unexpected(BridgeError::not_running(
                          "could not start true: Permission denied (os error 13)")));
}

TEST_F(BridgeLaunchTest, StartedApplicationThatNeverAnswersTimesOut) {
  const fs::path app = bin_ / "brelvo-desktop";
  fs::copy_file("/bin/true", app);
  Bridge bridge = make_bridge(BridgeTiming{.launch_wait = 50ms, .launch_poll_interval = 10ms});
  EXPECT_EQ(bridge.launch(),
            std::unexpected(BridgeError::timeout("Brelvo did not become ready within 0 s")));
  // Started children are reaped by the system instead of becoming zombies.
  struct sigaction child_action {};
  ASSERT_EQ(::sigaction(SIGCHLD, nullptr, &child_action), 0);
  EXPECT_EQ(child_action.sa_handler, SIG_IGN);
}

}  // namespace
}  // namespace brelvo::bridge
