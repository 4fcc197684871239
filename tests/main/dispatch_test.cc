#include "main/dispatch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "main/output.h"

namespace brelvo::cli {
namespace {

// Runs a whole command line through dispatch and write_outcome.
struct Printed {
  std::string out;
  int exit_code;
};

Printed run(Arguments args) {
  std::FILE* file = std::tmpfile();
  const int code = write_outcome(dispatch(std::move(args)), fileno(file));
  std::rewind(file);
  std::string out;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, file)) out.append(buffer, n);
  std::fclose(file);
  return {out, code};
}

class Environment : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("XDG_DATA_HOME");
    ::setenv("HOME", "/nonexistent/home", 1);
  }
};

TEST_F(Environment, HelpAndVersionLookAtTheFirstWordOnly) {
  EXPECT_EQ(run({}).out, kUsageText);
  EXPECT_EQ(run({"help", "status"}).out, kUsageText);
  EXPECT_EQ(run({"-h"}).exit_code, 0);
  EXPECT_EQ(run({"--version", "x"}).out, "{\n  \"brelvo-cli\": \"3.0.0\",\n  \"protocol\": 1\n}\n");
  Printed late_help = run({"--timeout", "5", "--help"});
  EXPECT_EQ(late_help.out,
            "{\n  \"error\": {\n    \"code\": \"usage\",\n    \"message\": \"unknown command: "
            "--help (see --help)\"\n  }\n}\n");
  EXPECT_EQ(late_help.exit_code, 2);
  EXPECT_EQ(run({"--timeout", "5"}).out, kUsageText);
  EXPECT_EQ(kUsageText.size(), 1045u);
}

TEST_F(Environment, UnknownCommandWordsAreCaseSensitive) {
  Printed printed = run({"Status"});
  EXPECT_EQ(printed.exit_code, 2);
  EXPECT_NE(printed.out.find("unknown command: Status (see --help)"), std::string::npos);
}

std::string not_running_message(const std::string& path) {
  return "{\n  \"error\": {\n    \"code\": \"not_running\",\n    \"message\": \"Brelvo is not "
         "running (no " +
         path + ")\"\n  }\n}\n";
}

TEST_F(Environment, ControlPathFromTheEnvironment) {
  EXPECT_EQ(run({"status"}).out,
            not_running_message("/nonexistent/home/.local/share/Brelvo/control.json"));
  ::setenv("XDG_DATA_HOME", "/tmp/x/", 1);
  EXPECT_EQ(run({"status"}).out, not_running_message("/tmp/x/Brelvo/control.json"));
  ::setenv("XDG_DATA_HOME", "", 1);
  Printed relative = run({"status"});
  EXPECT_EQ(relative.out, not_running_message("Brelvo/control.json"));
  EXPECT_EQ(relative.exit_code, 3);
}

TEST_F(Environment, ControlOptionAnywhereAndWithoutEnvironment) {
  ::unsetenv("HOME");
  EXPECT_EQ(run({"status", "--control", "/tmp/c.json"}).out, not_running_message("/tmp/c.json"));
  EXPECT_EQ(run({"--control", "/tmp/c.json", "status"}).out, not_running_message("/tmp/c.json"));
  Printed no_home = run({"mcp"});
  EXPECT_EQ(no_home.out,
            "{\n  \"error\": {\n    \"code\": \"usage\",\n    \"message\": \"cannot find the user "
            "data directory; pass "
            "--control FILE\"\n  }\n}\n");
  EXPECT_EQ(no_home.exit_code, 2);
}

TEST_F(Environment, UsageErrorsOfTheCommands) {
  auto message = [](Arguments args) {
    std::string out = run(std::move(args)).out;
    const std::size_t start = out.find("\"message\": \"") + 12;
    return out.substr(start, out.find("\"\n", start) - start);
  };
  EXPECT_EQ(message({"exec"}), "exec <tool> [key=value ...]");
  EXPECT_EQ(message({"run"}), "run <script.jsonl>");
  EXPECT_EQ(message({"screenshot", "--out"}), "screenshot --out FILE.png");
  EXPECT_EQ(message({"open", "--add"}), "open <path>... [--add]");
  EXPECT_EQ(message({"run", "/nonexistent/script.jsonl"}),
            "/nonexistent/script.jsonl: No such file or directory (os error 2)");
  EXPECT_EQ(message({"exec", "echo", "\xFF"}), "argument is not valid UTF-8: \xEF\xBF\xBD");
}

}  // namespace
}  // namespace brelvo::cli
