// quillon-cli: the editor's commands without a window.
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli_view_steps.h"
#include "app/version.h"
#include "shell/cli_session.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  for (const std::string& argument : arguments) {
    if (argument == "--version") {
      std::cout << "quillon-cli " << QUILLON_VERSION << "\n";
      return 0;
    }
  }
  quillon::addViewCliSteps();
  return quillon::runCli(arguments, std::cout, std::cerr);
}
