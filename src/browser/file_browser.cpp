#include "browser/file_browser.h"

#include <algorithm>

#include "platform/xdg_dirs.h"

namespace quillon::browser {

BrowserSetup setupFor(const FileChooserRequest& request) {
  BrowserSetup setup;
  const bool save = request.mode == FileChooserRequest::Mode::Save;
  setup.options = save ? kSaveOptions : kOpenOptions;
  setup.title = request.title;
  setup.folder = request.folder;
  setup.fileName = save ? request.proposedName : std::string();
  setup.filters = filtersFor(request.types);

  std::string probe = request.proposedName;
  const bool proposedFits =
      std::any_of(setup.filters.begin(), setup.filters.end(),
                  [&](const FileFilter& f) { return !f.matchAll && f.matches(probe); });
  if (!proposedFits && !request.preferredExtension.empty()) {
    const std::string& extension = request.preferredExtension;
    probe = "*" + (extension[0] == '.' ? extension : "." + extension);
  }
  setup.filter = initialFilter(setup.filters, probe);
  return setup;
}

std::string startFolder(FileSystem& files, const std::string& documentPath,
                        const std::string& lastFolder, const std::string& musicFolder) {
  for (const std::string& folder :
       {platform::parentFolder(documentPath), lastFolder, musicFolder}) {
    if (!folder.empty() && files.directoryExists(folder)) return folder;
  }
  return {};
}

std::optional<std::string> chosenPath(const BrowserController& browser) {
  if (browser.outcome() != BrowserController::Outcome::Accepted || browser.result().empty()) {
    return std::nullopt;
  }
  return browser.result().front().path;
}

}  // namespace quillon::browser
