// vlbaseline: validates a baseline folder and creates a project from it,
// without a window, for scripts and servers.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/mod_wizard.h"
#include "app/resource_location.h"

int main(int argc, char** argv) {
  // Results lines can number in the millions: buffer standard output.
  static char buffer[1 << 16];
  std::cout.rdbuf()->pubsetbuf(buffer, sizeof buffer);
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  return vl::RunCommandLine(args, vl::FindResourceDirectory(vl::GetProgramDirectory()), std::cout,
                            std::cerr, std::cin, isatty(STDIN_FILENO) != 0, nullptr,
                            {isatty(STDOUT_FILENO) != 0, isatty(STDERR_FILENO) != 0});
}
