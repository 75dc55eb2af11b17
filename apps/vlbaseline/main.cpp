// vlbaseline: validates a baseline folder and creates a project from it,
// without a window, for scripts and servers.
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/mod_wizard.h"
#include "app/resource_location.h"

namespace {

// Set by SIGINT and SIGTERM: a creation run then removes what it made and
// the tool ends with 128 + the signal's number. A second signal ends the
// tool at once; the next run into the same folder clears what is left.
vl::CancelRequest g_interrupted{0};
static_assert(vl::CancelRequest::is_always_lock_free);

void OnSignal(int signal) { g_interrupted.store(signal); }

}  // namespace

int main(int argc, char** argv) {
  // Results lines can number in the millions: buffer standard output.
  static char buffer[1 << 16];
  std::cout.rdbuf()->pubsetbuf(buffer, sizeof buffer);
  std::ios::sync_with_stdio(false);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::vector<std::string> args(argv + 1, argv + argc);
  vl::ConsoleTerminals terminals{isatty(STDOUT_FILENO) != 0, isatty(STDERR_FILENO) != 0};
  // The progress line fits the terminal's width.
  struct winsize size {};
  if (terminals.err && ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
    terminals.columns = size.ws_col;
  return vl::RunCommandLine(args, vl::FindResourceDirectory(vl::GetProgramDirectory()), std::cout,
                            std::cerr, std::cin, isatty(STDIN_FILENO) != 0, &g_interrupted,
                            terminals);
}
