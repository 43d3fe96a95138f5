#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::shell {

// The program's own help: one HTML page per topic, "<topic>.html", in a help folder. The window
// opens the answered path in the desktop's browser; nothing here needs Qt.

inline constexpr std::string_view kHelpIndex = "index";          // getting started, Help Contents
inline constexpr std::string_view kHelpEditing = "editing";      // edit commands, silence dialog
inline constexpr std::string_view kHelpEffects = "effects";      // the effect dialogs' Help button
inline constexpr std::string_view kHelpRecording = "recording";  // playing and recording
inline constexpr std::string_view kHelpFiles = "files";          // opening, saving, formats

// Every topic, the index first.
inline constexpr std::array<std::string_view, 5> kHelpTopics = {
    kHelpIndex, kHelpEditing, kHelpEffects, kHelpRecording, kHelpFiles};

// The folders searched for pages, in order: $QUILLON_HELP_DIR when set, the installed
// "share/quillon/help" relative to the running program's folder, then the source tree's
// "data/help" (so a program run from the build folder finds the pages it was built with).
std::vector<std::string> helpFolders();

// The page of a topic in the first of the folders that holds it; empty for an unknown topic or
// when no folder has the page.
std::string findHelpPage(std::string_view topic, const std::vector<std::string>& folders);

// findHelpPage over helpFolders(): what the Help commands open.
std::string helpPagePath(std::string_view topic);

}  // namespace quillon::shell
