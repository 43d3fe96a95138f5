#pragma once

#include <optional>
#include <string>

#include "browser/file_system.h"
#include "browser/posix_file_system.h"
#include "platform/interaction.h"

class QWidget;

namespace quillon::browser {

// The real folders, with Open in Shell handed to the desktop's default handler.
class DesktopFileSystem : public PosixFileSystem {
 public:
  bool openInShell(const BrowserEntry& entry) override;
};

// Shows the file browser for a chooser request, modal over `owner`, on the real folders (or on
// `files`): the chosen path, or nothing when the user cancels. Questions and errors go through
// `interaction`. In save mode the caller asks before overwriting.
std::optional<std::string> runFileBrowser(QWidget* owner, const FileChooserRequest& request,
                                          Interaction& interaction);
std::optional<std::string> runFileBrowser(QWidget* owner, const FileChooserRequest& request,
                                          Interaction& interaction, FileSystem& files);

// Draws the browser for `request` over a made-up music folder into a PNG of `width` × `height`
// (needs a QApplication). False when the picture cannot be written.
bool renderBrowserScreenshot(const std::string& pngPath, const FileChooserRequest& request,
                             int width = 1280, int height = 720);

}  // namespace quillon::browser
