// brelvo-sim: the project's stand-in for the desktop application. Started
// without arguments it behaves like the application: control file at the
// default place, serving until SIGTERM or SIGINT, then the file is removed.
#include <dirent.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "options.h"
#include "platform/clock.h"
#include "platform/system_error.h"
#include "server.h"

namespace {

// The descriptors open in this process, less the one that lists them.
std::vector<int> open_descriptors() {
  std::vector<int> descriptors;
  DIR* listing = ::opendir("/proc/self/fd");
  if (listing == nullptr) return descriptors;
  while (const dirent* entry = ::readdir(listing)) {
    if (entry->d_name[0] == '.') continue;
    const int fd = std::atoi(entry->d_name);
    if (fd != ::dirfd(listing)) descriptors.push_back(fd);
  }
  ::closedir(listing);
  std::ranges::sort(descriptors);
  return descriptors;
}

brelvo::sim::StartupState capture_startup_state() {
  brelvo::sim::StartupState state;
  state.open_descriptors = open_descriptors();
  struct sigaction action {};
  ::sigaction(SIGPIPE, nullptr, &action);
  state.sigpipe_ignored = action.sa_handler == SIG_IGN;
  sigset_t mask;
  ::sigprocmask(SIG_SETMASK, nullptr, &mask);
  for (int sig = 1; sig < 32; ++sig) {
    if (sigismember(&mask, sig) == 1) state.blocked_signals.push_back(sig);
  }
  return state;
}

}  // namespace

int main(int argc, char** argv) {
  const brelvo::sim::StartupState startup = capture_startup_state();
  auto options = brelvo::sim::parse_options(std::vector<std::string>(argv + 1, argv + argc));
  if (!options) {
    std::fprintf(stderr, "brelvo-sim: %s (see --help)\n", options.error().c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(brelvo::sim::kHelpText, stdout);
    return 0;
  }
  // The stop signals are taken by sigwait below, in every thread.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTERM);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  const int startup_delay_ms = options->startup_delay_ms;
  brelvo::sim::Server server(std::move(*options), startup);
  if (auto listening = server.listen(); !listening) {
    std::fprintf(stderr, "brelvo-sim: cannot listen on 127.0.0.1: %s\n",
                 brelvo::platform::system_error_text(listening.error()).c_str());
    return 1;
  }
  server.start_accepting();
  brelvo::platform::sleep_for(std::chrono::milliseconds(startup_delay_ms));
  if (!server.write_control_file()) {
    std::fprintf(stderr, "brelvo-sim: cannot write the control file\n");
    return 1;
  }
  int signal_number = 0;
  sigwait(&stop, &signal_number);
  server.remove_control_file();
  return 0;
}
