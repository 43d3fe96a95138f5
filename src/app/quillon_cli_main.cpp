// quillon-cli: the editor's commands without a window.
#include <cstdio>
#include <cstring>

#include "app/version.h"

namespace {

constexpr char kUsage[] =
    "Usage: quillon-cli [--help] [--version]\n"
    "\n"
    "The editor's commands without a window.\n"
    "  --help     show this text\n"
    "  --version  print the version\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("quillon-cli %s\n", QUILLON_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    std::fprintf(stderr, "quillon-cli: unknown argument \"%s\"\n%s", argv[i], kUsage);
    return 2;
  }
  std::fputs(kUsage, stdout);
  return 0;
}
