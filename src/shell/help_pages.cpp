#include "shell/help_pages.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/service_channel.h"
#include "platform/xdg_dirs.h"

// Both come from src/shell/CMakeLists.txt: the help folder relative to the installed programs'
// folder, and the help pages of the source tree this program was built from.
#ifndef QUILLON_INSTALLED_HELP_DIR
#define QUILLON_INSTALLED_HELP_DIR "../share/quillon/help"
#endif
#ifndef QUILLON_SOURCE_HELP_DIR
#define QUILLON_SOURCE_HELP_DIR ""
#endif

namespace quillon::shell {

std::vector<std::string> helpFolders() {
  std::vector<std::string> folders;
  if (const char* dir = std::getenv("QUILLON_HELP_DIR"); dir && *dir) folders.emplace_back(dir);
  if (const std::string program = platform::runningProgramFolder(); !program.empty()) {
    const std::filesystem::path installed =
        std::filesystem::path(program) / QUILLON_INSTALLED_HELP_DIR;
    folders.push_back(installed.lexically_normal().string());
  }
  if (const std::string source = QUILLON_SOURCE_HELP_DIR; !source.empty()) {
    folders.push_back(source);
  }
  return folders;
}

std::string findHelpPage(std::string_view topic, const std::vector<std::string>& folders) {
  if (std::find(kHelpTopics.begin(), kHelpTopics.end(), topic) == kHelpTopics.end()) return {};
  for (const std::string& folder : folders) {
    const std::string page = folder + "/" + std::string(topic) + ".html";
    if (platform::fileExists(page)) return page;
  }
  return {};
}

std::string helpPagePath(std::string_view topic) {
  return findHelpPage(topic, helpFolders());
}

}  // namespace quillon::shell
