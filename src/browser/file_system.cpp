#include "browser/file_system.h"

#include <iterator>

namespace quillon::browser {

std::vector<BrowserEntry> FileSystem::listAll(const std::string& folder) {
  std::vector<BrowserEntry> all;
  list(folder, [&](std::vector<BrowserEntry>& batch, bool) {
    std::move(batch.begin(), batch.end(), std::back_inserter(all));
    return true;
  });
  return all;
}

}  // namespace quillon::browser
