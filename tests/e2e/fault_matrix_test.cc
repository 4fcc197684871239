// Every fault the simulator can inject, against every command and an MCP
// session: exit code, standard output, an empty standard error, and the
// traffic the application saw (requests, connections, so retries show).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>

#include <sys/stat.h>

#include "json/json_text.h"
#include "sim_fixture.h"

namespace brelvo::e2e {
namespace {

using namespace std::chrono_literals;

// Placeholders in arguments and expected texts, filled in per test:
// {pid} the simulator, {control} its control file, {script} a two-line
// script, {model} a model file (canonical path), {out} the screenshot file,
// {bytes} the size written there, {padding} the 100 MB echo padding.
constexpr std::size_t kHugeAnswer = 100'000'000;

std::string ping_text(const std::string& indent, bool ready = true) {
  return "{\n" + indent + "  \"models\": 1,\n" + indent + "  \"name\": \"Brelvo Desktop\",\n" +
         indent + "  \"pid\": {pid},\n" + indent + "  \"ready\": " + (ready ? "true" : "false") +
         ",\n" + indent + "  \"version\": \"3.0.0\"\n" + indent + "}";
}

std::string status_text(bool ready = true) {
  return "{\n  \"app\": " + ping_text("  ", ready) +
         ",\n  \"control\": \"{control}\",\n  \"running\": true\n}\n";
}

const std::string kEchoResult = "{\n      \"n\": 1\n    }";

const std::string kModelsResult =
    "{\n      \"models\": [\n        {\n          \"elements\": 29,\n          \"name\": \"Duplex "
    "House\",\n          \"path\": \"/models/duplex.ifc\"\n        }\n      ]\n    }";

const std::string kModelsCompact =
    R"({"models":[{"elements":29,"name":"Duplex House","path":"/models/duplex.ifc"}]})";

// What run prints for the script below, given the two results.
std::string run_text(std::string_view first, std::string_view second) {
  return "[\n  {\n    \"line\": 1,\n    \"result\": " + std::string(first) +
         ",\n    \"tool\": \"echo\"\n  },\n  {\n    \"line\": 2,\n    \"result\": " +
         std::string(second) + ",\n    \"tool\": \"list_models\"\n  }\n]\n";
}

const std::string kScript =
    "{\"tool\":\"echo\",\"args\":{\"n\":1}}\n"
    "{\"tool\":\"list_models\"}\n";

const std::string kToolNames =
    "[\n  \"list_models\",\n  \"get_model_summary\",\n  \"find_elements\",\n  "
    "\"filter_elements\",\n  \"hide_elements\",\n  \"isolate_elements\",\n  "
    "\"select_elements\",\n  \"color_elements\",\n  \"xray_elements\",\n  \"set_section\",\n  "
    "\"set_property\",\n  \"set_attribute\",\n  \"retype_element\",\n  \"delete_element\",\n  "
    "\"undo_edit\",\n  \"screenshot\",\n  \"open_file\",\n  \"echo\",\n  \"process_info\"\n]\n";

struct Command {
  std::string name;
  std::vector<std::string> args;
  std::string success;  // what it prints when nothing goes wrong
  bool success_is_prefix = false;
};

const Command kStatus{"Status", {"status"}, status_text()};
const Command kCommands{"Commands",
                        {"commands"},
                        "[\n  {\n    \"description\": \"List the models that are open.\",\n",
                        true};
const Command kNames{"Names", {"commands", "--names"}, kToolNames};
const Command kExec{"Exec", {"exec", "echo", "n=1"}, "{\n  \"n\": 1\n}\n"};
const Command kRun{"Run", {"run", "{script}"}, run_text(kEchoResult, kModelsResult)};
const Command kScreenshot{
    "Screenshot",
    {"screenshot", "--out", "{out}"},
    "{\n  \"bytes\": {bytes},\n  \"mimeType\": \"image/png\",\n  \"ok\": true,\n  \"out\": "
    "\"{out}\"\n}\n"};
const Command kOpen{
    "Open", {"open", "{model}"}, "{\n  \"models\": 1,\n  \"opened\": [\n    \"{model}\"\n  ]\n}\n"};
const Command kLaunch{"Launch", {"launch"}, ping_text("") + "\n"};

const std::vector<Command> kSingleRequest = {kStatus, kCommands, kNames, kExec, kScreenshot};

struct Outcome {
  int exit_code = 0;
  std::optional<std::string> out;  // nothing: the command's usual success
  bool out_is_prefix = false;
  std::size_t requests = 1;     // request lines the application received
  std::size_t connections = 1;  // connections it accepted
};

Outcome success(std::size_t requests = 1, std::size_t connections = 1) {
  return {0, std::nullopt, false, requests, connections};
}

Outcome prints(std::string out, std::size_t requests = 1, std::size_t connections = 1) {
  return {0, std::move(out), false, requests, connections};
}

Outcome failure(int exit_code, std::string_view code, std::string_view message,
                std::size_t requests, std::size_t connections) {
  return {exit_code, printed_error(code, message), false, requests, connections};
}

// The printed error up to and including the start of its message.
Outcome failure_prefix(std::string_view code, std::string_view message_start, std::size_t requests,
                       std::size_t connections) {
  std::string printed = printed_error(code, message_start);
  printed.erase(printed.rfind('"'));
  return {2, printed, true, requests, connections};
}

struct CliCase {
  std::string name;
  std::vector<std::string> sim_options;
  std::vector<std::string> args;
  Outcome outcome;
};

void PrintTo(const CliCase& c, std::ostream* os) {
  *os << c.name;
}

class CaseTable {
 public:
  // One fault against several commands, all with the same outcome.
  CaseTable& add(const std::string& fault, const std::vector<std::string>& sim_options,
                 const std::vector<Command>& commands, const Outcome& outcome) {
    for (const Command& command : commands) add(fault, sim_options, command, outcome);
    return *this;
  }
  CaseTable& add(const std::string& fault, const std::vector<std::string>& sim_options,
                 const Command& command, Outcome outcome) {
    if (!outcome.out) {
      outcome.out = command.success;
      outcome.out_is_prefix = command.success_is_prefix;
    }
    cases_.push_back({fault + "_" + command.name, sim_options, command.args, std::move(outcome)});
    return *this;
  }
  std::vector<CliCase> cases() const { return cases_; }

 private:
  std::vector<CliCase> cases_;
};

const char* const kClosed = "Brelvo closed the connection";
const char* const kGarbage = "bad response: expected ident at line 1 column 2";
const char* const kNotUtf8 = "stream did not contain valid UTF-8";
// Half of {"ok":true,"result":{"n":1}} and its line feed.
const char* const kHalfEcho = "bad response: EOF while parsing a string at line 1 column 14";
const char* const kHalfAnyLine = "bad response: EOF while parsing ";
const char* const kUnauthorized = "wrong or missing token";
const char* const kStarting = "Brelvo is still starting";

// open and launch first ask whether the application is ready. A failed
// question is no error there: the application counts as starting and is
// asked again half a second later. For that half second, of the faults that
// drop the connection only the first goes through them.
std::vector<CliCase> cli_cases() {
  const std::vector<Command> checking_first = {kOpen, kLaunch};
  const std::vector<Command> querying = {kStatus, kCommands, kNames};
  const std::vector<Command> running_tools = {kExec, kScreenshot, kRun};
  std::vector<Command> asking_straight = kSingleRequest;
  asking_straight.push_back(kRun);
  CaseTable table;
  // Two failures in a row: the one retry of an input/output failure fails too.
  table
      .add("ClosedWithoutAnswer", {"--close-without-answer", "2"}, asking_straight,
           failure(2, "io", kClosed, 2, 2))
      .add("ClosedWithoutAnswer", {"--close-without-answer", "2"}, checking_first, success(5, 4));
  // An answer that arrived but is unusable: a tool has run and is not sent
  // again; a question is asked again. An unparsable answer leaves the
  // connection open, so the retry's stays in use.
  table.add("Garbage", {"--garbage", "2"}, querying, failure(2, "io", kGarbage, 2, 2))
      .add("Garbage", {"--garbage", "2"}, running_tools, failure(2, "io", kGarbage, 1, 1))
      .add("Garbage", {"--garbage", "2"}, checking_first, success(5, 3));
  table.add("NotUtf8", {"--invalid-utf8", "2"}, querying, failure(2, "io", kNotUtf8, 2, 2))
      .add("NotUtf8", {"--invalid-utf8", "2"}, running_tools, failure(2, "io", kNotUtf8, 1, 1));
  table
      .add("HalfLine", {"--half-line-close", "2"}, querying,
           failure_prefix("io", kHalfAnyLine, 2, 2))
      .add("HalfLine", {"--half-line-close", "2"}, kScreenshot,
           failure_prefix("io", kHalfAnyLine, 1, 1))
      .add("HalfLine", {"--half-line-close", "2"}, {kExec, kRun}, failure(2, "io", kHalfEcho, 1, 1))
      .add("HalfLineOnce", {"--half-line-close", "1"}, kStatus, success(2, 2))
      .add("HalfLineOnce", {"--half-line-close", "1"}, kExec, failure(2, "io", kHalfEcho, 1, 1));
  // The last answer of a connection may lack its line feed; the next request
  // finds the connection closed and retries on a new one.
  table.add("NoLineFeed", {"--no-newline-close", "1"}, kSingleRequest, success())
      .add("NoLineFeed", {"--no-newline-close", "1"}, {kRun, kOpen, kLaunch}, success(2, 2));
  // Answers are matched by order only: a second answer answers the next request.
  table.add("DoubleAnswer", {"--double-answer"}, kSingleRequest, success())
      .add("DoubleAnswer", {"--double-answer"}, kRun, prints(run_text(kEchoResult, kEchoResult), 2))
      .add("DoubleAnswer", {"--double-answer"}, checking_first, prints(kLaunch.success, 2));
  // The token changes after the first request; the old one is refused.
  table.add("RotatedToken", {"--rotate-token", "1"}, kSingleRequest, success())
      .add("RotatedToken", {"--rotate-token", "1"}, {kRun, kOpen, kLaunch},
           failure(2, "unauthorized", kUnauthorized, 2, 1));
  table
      .add("NotReadyError", {"--not-ready-error", "1"}, asking_straight,
           failure(3, "not_ready", kStarting, 1, 1))
      .add("NotReadyError", {"--not-ready-error", "1"}, checking_first, success(4, 2));
  table.add("NotReadyPing", {"--not-ready", "2"}, kStatus, prints(status_text(false)))
      .add("NotReadyPing", {"--not-ready", "2"}, checking_first, success(4, 2));
  // The application ends after one answer and takes its control file along.
  table.add("ExitAfterOne", {"--exit-after", "1"}, kSingleRequest, success())
      .add("ExitAfterOne", {"--exit-after", "1"}, {kRun, kOpen, kLaunch},
           failure(3, "not_running", "Brelvo is not running (no {control})", 1, 1));
  // Slower than the one-second tool time-out but within its 15 s of grace.
  table.add("SlowerThanTimeout", {"--tool-delay", "echo=1100"}, kExec, success())
      .add("SlowerThanTimeout", {"--tool-delay", "echo=1100"}, kRun, success(2));
  // One byte every 100 ms, a character of two bytes split between two
  // receives: the 32-byte answer arrives over 3.2 s.
  table.add("Trickle", {"--trickle-ms", "100"},
            Command{"Exec", {"exec", "echo", "s=\u00e9"}, "{\n  \"s\": \"\u00e9\"\n}\n"},
            success());
  const std::vector<std::string> huge = {"--answer-bytes", std::to_string(kHugeAnswer)};
  table
      .add("HundredMegabytes", huge, kExec,
           prints("{\n  \"args\": {\n    \"n\": 1\n  },\n  \"padding\": \"{padding}\"\n}\n"))
      .add("TenMegabyteImage", {"--screenshot-bytes", "10000000"}, kScreenshot, success());
  return table.cases();
}

std::string replace_all(std::string text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Big texts are not printed whole when they differ.
void expect_text(const std::string& actual, const std::string& expected, bool prefix) {
  const std::string_view compared =
      prefix ? std::string_view(actual).substr(0, expected.size()) : std::string_view(actual);
  if (compared == expected) return;
  if (expected.size() < 4096 && actual.size() < 4096) {
    EXPECT_EQ(compared, expected);
    return;
  }
  const auto [differs, ignored] =
      std::mismatch(compared.begin(), compared.end(), expected.begin(), expected.end());
  const auto offset = static_cast<std::size_t>(differs - compared.begin());
  ADD_FAILURE() << "outputs differ at byte " << offset << " of " << actual.size() << " (expected "
                << expected.size() << "): got \"" << actual.substr(offset, 80) << "\", expected \""
                << expected.substr(offset, 80) << "\"";
}

class FaultTest : public SimTest {
 protected:
  std::filesystem::path script_path() const { return dir() / "script.jsonl"; }
  std::filesystem::path model_path() const { return dir() / "house.ifc"; }
  std::filesystem::path out_path() const { return dir() / "view.png"; }

  void prepare_files() {
    write_text(script_path(), kScript);
    write_text(model_path(), "ISO-10303-21;\n");
  }

  std::string expand(std::string text) const {
    text = replace_all(text, "{pid}", std::to_string(sim_pid()));
    text = replace_all(text, "{control}", control_path().string());
    text = replace_all(text, "{script}", script_path().string());
    text = replace_all(text, "{model}", std::filesystem::canonical(model_path()).string());
    text = replace_all(text, "{out}", out_path().string());
    std::error_code ec;
    text = replace_all(text, "{bytes}", std::to_string(std::filesystem::file_size(out_path(), ec)));
    if (text.find("{padding}") != std::string::npos) {
      text = replace_all(text, "{padding}", std::string(kHugeAnswer, 'x'));
    }
    return text;
  }

  // Requests the application has yet to log when the program has already
  // left (an answer that came early) get a bounded moment to arrive.
  std::size_t logged_requests(std::size_t expected) const {
    wait_until([&] { return requests().size() >= expected; });
    return requests().size();
  }

  RunResult bounded_cli(std::vector<std::string> args, std::string input = {},
                        std::chrono::milliseconds limit = 20s) const {
    args.insert(args.begin(), {"--timeout", "1"});
    RunOptions options;
    options.input = std::move(input);
    options.kill_after = limit;
    for (std::string& arg : args) arg = expand(arg);
    return cli(args, options);
  }
};

class CliFault : public FaultTest, public ::testing::WithParamInterface<CliCase> {
 protected:
  void SetUp() override {
    prepare_files();
    start_sim(GetParam().sim_options);
  }
};

TEST_P(CliFault, ExitCodeOutputAndTraffic) {
  const Outcome& expected = GetParam().outcome;
  RunResult run = bounded_cli(GetParam().args);
  EXPECT_FALSE(run.killed);
  EXPECT_EQ(run.exit_code, expected.exit_code);
  EXPECT_EQ(run.err, "");
  expect_text(run.out, expand(*expected.out), expected.out_is_prefix);
  EXPECT_EQ(logged_requests(expected.requests), expected.requests);
  EXPECT_EQ(connections(), expected.connections);
}

INSTANTIATE_TEST_SUITE_P(Matrix, CliFault, ::testing::ValuesIn(cli_cases()),
                         [](const auto& test) { return test.param.name; });

// MCP: the same faults under tools/call. A control-link failure is a tool
// result with isError true, and the session goes on with the next line.
struct ToolCall {
  std::string arguments;  // JSON
  std::string text;       // the expected text item
  bool is_error = false;
};

struct McpCase {
  std::string name;
  std::vector<std::string> sim_options;
  std::vector<ToolCall> calls;
  std::size_t requests;
  std::size_t connections;
};

void PrintTo(const McpCase& c, std::ostream* os) {
  *os << c.name;
}

ToolCall ok(std::string arguments, std::string text) {
  return {std::move(arguments), std::move(text), false};
}

ToolCall failed(std::string arguments, std::string text) {
  return {std::move(arguments), std::move(text), true};
}

std::vector<McpCase> mcp_cases() {
  const ToolCall one = ok(R"({"n":1})", R"({"n":1})");
  const ToolCall two = ok(R"({"n":2})", R"({"n":2})");
  const ToolCall three = ok(R"({"n":3})", R"({"n":3})");
  return {
      {"ClosedWithoutAnswer", {"--close-without-answer", "2"}, {failed("{}", kClosed), two}, 3, 3},
      // A tool call that got an unusable answer is not sent again.
      {"Garbage", {"--garbage", "1"}, {failed("{}", kGarbage), two}, 2, 1},
      {"NotUtf8", {"--invalid-utf8", "1"}, {failed("{}", kNotUtf8), two}, 2, 2},
      {"HalfLine", {"--half-line-close", "1"}, {failed(R"({"n":1})", kHalfEcho), two}, 2, 2},
      {"NoLineFeed", {"--no-newline-close", "1"}, {one, two}, 2, 2},
      {"DoubleAnswer", {"--double-answer"}, {one, ok(R"({"n":2})", R"({"n":1})")}, 2, 1},
      {"RotatedToken", {"--rotate-token", "1"}, {one, failed("{}", kUnauthorized), three}, 3, 2},
      {"NotReadyError",
       {"--not-ready-error", "1"},
       {failed("{}", std::string(kStarting) + " Wait a few seconds and retry."), two},
       2,
       1},
      {"ExitAfterOne",
       {"--exit-after", "1"},
       {one, failed("{}", "Brelvo is not running (no {control}) Call launch_brelvo to start it.")},
       1,
       1},
      {"SlowerThanTimeout", {"--tool-delay", "echo=1100"}, {one}, 1, 1},
  };
}

std::string tool_call_line(std::size_t id, std::string_view arguments) {
  return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) +
         R"(,"method":"tools/call","params":{"name":"echo","arguments":)" + std::string(arguments) +
         "}}\n";
}

std::string tool_result_line(std::size_t id, const std::string& text, bool is_error) {
  return R"({"id":)" + std::to_string(id) + R"(,"jsonrpc":"2.0","result":{"content":[{"text":)" +
         json::to_compact_text(json::JsonValue(text)) + R"(,"type":"text"}],"isError":)" +
         (is_error ? "true" : "false") + "}}\n";
}

class McpFault : public FaultTest, public ::testing::WithParamInterface<McpCase> {
 protected:
  void SetUp() override {
    prepare_files();
    start_sim(GetParam().sim_options);
  }
};

TEST_P(McpFault, FailuresAreToolResultsAndTheSessionGoesOn) {
  const McpCase& c = GetParam();
  std::string input, expected;
  std::size_t id = 0;
  for (const ToolCall& call : c.calls) {
    input += tool_call_line(++id, call.arguments);
    expected += tool_result_line(id, expand(call.text), call.is_error);
  }
  // A request that needs no application: the loop is still reading.
  input += R"({"jsonrpc":"2.0","id":99,"method":"ping"})"
           "\n";
  expected += R"({"id":99,"jsonrpc":"2.0","result":{}})"
              "\n";
  RunResult session = bounded_cli({"mcp"}, input);
  EXPECT_FALSE(session.killed);
  EXPECT_EQ(session.exit_code, 0);
  EXPECT_EQ(session.err, "");
  expect_text(session.out, expected, false);
  EXPECT_EQ(logged_requests(c.requests), c.requests);
  EXPECT_EQ(connections(), c.connections);
}

INSTANTIATE_TEST_SUITE_P(Matrix, McpFault, ::testing::ValuesIn(mcp_cases()),
                         [](const auto& test) { return test.param.name; });

// Local inputs that are not what they should be, no application needed: a
// control file that is no regular file (a FIFO nobody writes would block, a
// device never ends), and input too large for memory. A limit on the address
// space brings that within reach and keeps a relapse from taking the
// machine's memory. Nothing on standard error, never an abort.
struct LocalCase {
  std::string name;
  std::string control;  // "fifo", or the device control.json links to; empty: none
  std::vector<std::string> args;
  std::string input;
  int exit_code = 3;
  std::string out;
  bool beyond_memory = false;  // needs the memory limit to make its point
  bool input_from_zero = false;
};

void PrintTo(const LocalCase& c, std::ostream* os) {
  *os << c.name;
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer reserves more address space than such a limit allows.
constexpr bool kMemoryLimit = false;
#else
constexpr bool kMemoryLimit = true;
#endif

std::vector<LocalCase> local_cases() {
  const std::string no_file = printed_error("not_running", "Brelvo is not running (no {control})");
  const std::string no_executable = printed_error(
      "not_running", "Brelvo is not running and its executable was not found next to brelvo-cli");
  const std::string call = tool_call_line(1, "{}");
  const std::string not_running = tool_result_line(
      1, "Brelvo is not running (no {control}) Call launch_brelvo to start it.", true);
  return {
      {"FifoControlFile_Status", "fifo", {"status"}, "", 3, no_file},
      {"FifoControlFile_Launch", "fifo", {"launch"}, "", 3, no_executable},
      {"FifoControlFile_Mcp", "fifo", {"mcp"}, call, 0, not_running},
      {"DevZeroControlFile_Status", "/dev/zero", {"status"}, "", 3, no_file},
      {"DevZeroControlFile_Launch", "/dev/zero", {"launch"}, "", 3, no_executable},
      {"DevUrandomControlFile_Mcp", "/dev/urandom", {"mcp"}, call, 0, not_running},
      {"ScriptBeyondMemory",
       "",
       {"run", "/dev/zero"},
       "",
       2,
       printed_error("io", "/dev/zero: Cannot allocate memory (os error 12)"),
       true},
      // Like any input line that cannot be read: the session ends.
      {"McpLineBeyondMemory", "", {"mcp"}, "", 0, "", true, true},
  };
}

class LocalFault : public FaultTest, public ::testing::WithParamInterface<LocalCase> {
 protected:
  void SetUp() override {
    const LocalCase& c = GetParam();
    if (c.beyond_memory && !kMemoryLimit) GTEST_SKIP() << "no memory limit under ASan";
    prepare_files();
    if (c.control == "fifo") {
      ASSERT_EQ(::mkfifo(control_path().c_str(), 0600), 0);
    } else if (!c.control.empty()) {
      std::filesystem::create_symlink(c.control, control_path());
    }
  }

  // A shell that runs the program with its words, within the memory limit.
  std::vector<std::string> shell_words() const {
    const LocalCase& c = GetParam();
    std::string script = kMemoryLimit ? "ulimit -v 262144 && " : "";
    script += R"(exec "$0" "$@")";
    if (c.input_from_zero) script += " </dev/zero";
    std::vector<std::string> words = {"-c", script, kCliPath.string(), "--control",
                                      control_path().string()};
    words.insert(words.end(), c.args.begin(), c.args.end());
    return words;
  }
};

TEST_P(LocalFault, EndsAtOnceWithTheError) {
  const LocalCase& c = GetParam();
  RunOptions options;
  options.input = c.input;
  options.kill_after = 10s;
  RunResult run = run_program("/bin/sh", shell_words(), options);
  EXPECT_FALSE(run.killed);
  EXPECT_EQ(run.exit_code, c.exit_code);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, expand(c.out));
}

INSTANTIATE_TEST_SUITE_P(Matrix, LocalFault, ::testing::ValuesIn(local_cases()),
                         [](const auto& test) { return test.param.name; });

// No answer at all: the receive limit is the tool time-out plus 15 s of
// grace, so a tool time-out of 0 gives up after 15 s. The command line and
// an MCP session wait side by side to pay that once.
class NoAnswer : public FaultTest {};

TEST_F(NoAnswer, TimesOutWithoutRetryNamingTheToolTimeout) {
  start_sim({"--tool-delay", "echo=17000"});
  auto command = std::async(std::launch::async, [this] {
    RunOptions options;
    options.kill_after = 25s;
    return cli({"--timeout", "0", "exec", "echo"}, options);
  });
  RunOptions session_options;
  session_options.kill_after = 25s;
  session_options.input = tool_call_line(1, "{}") +
                          R"({"jsonrpc":"2.0","id":2,"method":"tools/call","params":{"name":)"
                          R"("list_models"}})"
                          "\n";
  RunResult session = cli({"--timeout", "0", "mcp"}, session_options);
  RunResult exec = command.get();

  EXPECT_FALSE(exec.killed);
  EXPECT_EQ(exec.out, printed_error("timeout", "no answer from Brelvo within 0 s"));
  EXPECT_EQ(exec.exit_code, 124);
  EXPECT_EQ(exec.err, "");
  EXPECT_FALSE(session.killed);
  EXPECT_EQ(session.out, tool_result_line(1, "no answer from Brelvo within 0 s", true) +
                             tool_result_line(2, kModelsCompact, false));
  EXPECT_EQ(session.exit_code, 0);
  EXPECT_EQ(session.err, "");
  // One echo from each, never retried; the session's list_models on a new connection.
  EXPECT_EQ(requests().size(), 3u);
  EXPECT_EQ(connections(), 3u);
}

}  // namespace
}  // namespace brelvo::e2e
