#pragma once

#include <optional>
#include <string>

#include "browser/browser_controller.h"
#include "browser/file_system.h"
#include "platform/interaction.h"

namespace quillon::browser {

// The browser for a file chooser request. Open: the list and the type box, and the chosen file
// must exist. Save: a name box too, showing the proposed name; a typed name takes the selected
// type's extension, and the caller asks before overwriting. The type selected at first is the
// one that fits the proposed name, else the preferred extension, else the first.
BrowserSetup setupFor(const FileChooserRequest& request);

// The folder a chooser starts in: the current document's folder, else the last folder used,
// else the user's music folder; the first of them that exists ("" when none does).
std::string startFolder(FileSystem& files, const std::string& documentPath,
                        const std::string& lastFolder, const std::string& musicFolder);

// The path chosen in a browser that has closed: its first result; nothing when cancelled.
std::optional<std::string> chosenPath(const BrowserController& browser);

}  // namespace quillon::browser
