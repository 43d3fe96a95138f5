#pragma once

#include <set>
#include <span>
#include <string>
#include <string_view>

#include "shell/command_table.h"

namespace quillon {

// Commands the main window runs itself, outside the command table: besides help, About and Exit,
// the sound dialogs that no row of the table opens, "Play &Control..." (the Play Control dialog
// over the open document, in the Play menu) and "&Preferences..." (the pages "Sound Output &
// Volume" and "Microphone & Record Volume", in the Edit menu).
namespace command {
inline constexpr int kHelpContents = 9;
inline constexpr int kExit = 801;
inline constexpr int kAbout = 9090;
inline constexpr int kPlayControl = 9100;
inline constexpr int kPreferences = 9101;
inline constexpr int kWelcome = 10000;
}  // namespace command

// One entry of a menu: a command (its text from the command table unless it has its own), a
// separator, a submenu, or the place of the recent files.
struct MenuEntry {
  enum class Kind { Command, Separator, Submenu, RecentFiles };
  Kind kind = Kind::Command;
  int id = 0;                  // a command's id
  const char* text = nullptr;  // a submenu's title; a command's own text (null: the table's)
  std::span<const MenuEntry> entries = {};  // a submenu's entries
};

// A menu of the menu bar.
struct MenuBarMenu {
  const char* title;
  std::span<const MenuEntry> entries;
};

// A button of the toolbar: its command (the tip is the command's menu text), its icon in the
// desktop's theme and our own icon (a file of data/icons). Id 0 is a separator.
struct ToolbarButton {
  int id;
  const char* themeIcon;
  const char* icon;
};

// The menu bar: File (with Recent Files and "E&xit"), Edit (with the submenus "Selection",
// "Trim", "Insert File", "Insert Silence" and "Effects", then "&Preferences..."), View, Play
// (with "Play &Control...") and Help.
std::span<const MenuBarMenu> mainMenus();
// The context menu of a document (command 7000): "&Record", Cut, Copy, Paste, Delete, then the
// Edit menu's "Selection" (with "Save Select &Region As..." appended), "Trim", "Insert File"
// and "Effects".
std::span<const MenuEntry> contextMenuEntries();
// The context menu while no document is open; the window appends the recent files (full paths,
// ids 2150 + i) after a separator when there are any.
std::span<const MenuEntry> fallbackMenuEntries();
std::span<const ToolbarButton> toolbarButtons();

// A menu text split at its tab: the label ("&Stop") and the key it names ("Action"), if any.
struct MenuText {
  std::string label;
  std::string key;
};
MenuText splitMenuText(std::string_view text);
// What a command entry shows: its own text, else its command's menu text ("" when neither).
std::string entryText(const MenuEntry& entry);
// The menu text of a command id: the text of the table row whose first id it is, or of the
// window's own commands; "" when it has none.
std::string commandMenuText(int id);

// The first id of the row of the command table that covers `id` (`id` itself for the window's
// own commands and ids outside the table).
int commandRowOf(int id);
// Every command the menu bar, the context menu and the fallback menu reach (the recent file
// entries as 2250, "Empty").
std::set<int> menuCommandIds();

}  // namespace quillon
