#include "shell/menu_layout.h"

#include <cstring>
#include <vector>

namespace quillon {
namespace {

using namespace command;
using Kind = MenuEntry::Kind;

constexpr MenuEntry item(int id, const char* text = nullptr) {
  return {Kind::Command, id, text, {}};
}
constexpr MenuEntry separator() {
  return {Kind::Separator, 0, nullptr, {}};
}
constexpr MenuEntry submenu(const char* title, std::span<const MenuEntry> entries) {
  return {Kind::Submenu, 0, title, entries};
}

// The submenu titles the context menu takes from the Edit menu.
constexpr char kSelectionMenu[] = "Selection";
constexpr char kTrimMenu[] = "Trim";
constexpr char kInsertFileMenu[] = "Insert File";
constexpr char kEffectsMenu[] = "Effects";

constexpr MenuEntry kFileMenu[] = {
    item(kNewFile),    item(kOpenFile), {Kind::RecentFiles, 0, "Recent Files", {}},
    separator(),       item(kSave),     item(kSaveAs),
    item(kSaveRegion), separator(),     item(kCloseFile),
    separator(),       item(kExit),
};

constexpr MenuEntry kSelectionEntries[] = {
    item(kSelectAll), item(kSelectToStart), item(kSelectToEnd), separator(), item(kSilence),
};
constexpr MenuEntry kTrimEntries[] = {
    item(kTrim), item(kTrimStart), item(kTrimEnd), separator(), item(kAutoTrim),
};
constexpr MenuEntry kInsertFileEntries[] = {
    item(kInsertFileBegin, "Begin"),
    item(kInsertFileCurrent, "Current"),
    item(kInsertFileEnd, "End"),
};
constexpr MenuEntry kInsertSilenceEntries[] = {
    item(kInsertSilenceBegin, "Begin"),
    item(kInsertSilenceCurrent, "Current"),
    item(kInsertSilenceEnd, "End"),
};
constexpr MenuEntry kEffectsEntries[] = {
    item(kAmplify),    item(kNormalize), item(kAutomaticGainControl),
    item(kCompressor), item(kHighPass),  item(kEcho),
    item(kReverb),     separator(),      item(kReverse),
    item(kFadeIn),     item(kFadeOut),   item(kFadeOutAndTrim),
};
constexpr MenuEntry kEditMenu[] = {
    item(kUndo),
    item(kRedo),
    separator(),
    item(kCut),
    item(kCopy),
    item(kPaste),
    item(kDelete),
    separator(),
    submenu(kSelectionMenu, kSelectionEntries),
    submenu(kTrimMenu, kTrimEntries),
    submenu(kInsertFileMenu, kInsertFileEntries),
    submenu("Insert Silence", kInsertSilenceEntries),
    submenu(kEffectsMenu, kEffectsEntries),
    separator(),
    item(kPreferences),
};

constexpr MenuEntry kViewMenu[] = {
    item(kZoomIn),
    item(kZoomOut),
    item(kZoomFull),
    item(kZoomToSelection),
    separator(),
    item(kVerticalZoom),
    separator(),
    item(kWaveFormPlusMinus),
    item(kWaveFormLeftRight),
    item(kWaveFormDual),
};

// The play speeds have no text in the table.
constexpr MenuEntry kPlaySpeedEntries[] = {
    item(kPlaySpeedSlow, "&Slow (0.5x)"),
    item(kPlaySpeedNormal, "&Normal"),
    item(kPlaySpeedFast, "&Fast (1.5x)"),
};
constexpr MenuEntry kPlayMenu[] = {
    item(kPlay),       item(kStop),    separator(),
    item(kGoToStart),  item(kGoToEnd), item(kStepLeft),
    item(kStepRight),  separator(),    submenu("Play &Speed", kPlaySpeedEntries),
    item(kLoopPlay),   separator(),    item(kVolumeUp),
    item(kVolumeDown), separator(),    item(kPlayControl),
    item(kRecord),
};

constexpr MenuEntry kHelpMenu[] = {item(kHelpContents), separator(), item(kAbout)};

constexpr MenuBarMenu kMainMenus[] = {
    {"&File", kFileMenu}, {"&Edit", kEditMenu}, {"&View", kViewMenu},
    {"&Play", kPlayMenu}, {"&Help", kHelpMenu},
};

constexpr MenuEntry kFallbackMenu[] = {
    item(kNewFile),
    item(kOpenFile),
    separator(),
    item(kRecord),
};

constexpr ToolbarButton kToolbar[] = {
    {kNewFile, "document-new", "toolbar-new.svg"},
    {kOpenFile, "document-open", "toolbar-open.svg"},
    {kSave, "document-save", "toolbar-save.svg"},
    {0, nullptr, nullptr},
    {kUndo, "edit-undo", "toolbar-undo.svg"},
    {kRedo, "edit-redo", "toolbar-redo.svg"},
    {0, nullptr, nullptr},
    {kCut, "edit-cut", "toolbar-cut.svg"},
    {kCopy, "edit-copy", "toolbar-copy.svg"},
    {kPaste, "edit-paste", "toolbar-paste.svg"},
    {kDelete, "edit-delete", "toolbar-delete.svg"},
    {0, nullptr, nullptr},
    {kGoToStart, "media-skip-backward", "toolbar-start.svg"},
    {kPlay, "media-playback-start", "toolbar-play.svg"},
    {kStop, "media-playback-stop", "toolbar-stop.svg"},
    {kGoToEnd, "media-skip-forward", "toolbar-end.svg"},
    {kRecord, "media-record", "toolbar-record.svg"},
    {0, nullptr, nullptr},
    {kZoomIn, "zoom-in", "toolbar-zoom-in.svg"},
    {kZoomOut, "zoom-out", "toolbar-zoom-out.svg"},
    {kZoomFull, "zoom-fit-best", "toolbar-zoom-full.svg"},
    {kZoomToSelection, "zoom-fit-selection", "toolbar-zoom-selection.svg"},
};

// The window's own commands and their texts.
constexpr struct {
  int id;
  const char* text;
} kWindowCommands[] = {
    {kHelpContents, "&Help Contents"}, {kExit, "E&xit"},
    {kAbout, "&About Quillon"},        {kPlayControl, "Play &Control..."},
    {kPreferences, "&Preferences..."},
};

const MenuEntry* editSubmenu(const char* title) {
  for (const MenuEntry& entry : kEditMenu) {
    if (entry.kind == Kind::Submenu && std::strcmp(entry.text, title) == 0) return &entry;
  }
  return nullptr;
}

void collect(std::span<const MenuEntry> entries, std::set<int>& ids) {
  for (const MenuEntry& entry : entries) {
    if (entry.kind == Kind::Command) ids.insert(entry.id);
    if (entry.kind == Kind::Submenu) collect(entry.entries, ids);
    if (entry.kind == Kind::RecentFiles) {
      ids.insert(kRecentEmpty);
      ids.insert(kDeleteRecentList);
    }
  }
}

}  // namespace

std::span<const MenuBarMenu> mainMenus() {
  return kMainMenus;
}

std::span<const MenuEntry> contextMenuEntries() {
  // The Edit menu's submenus, taken afresh: Selection gets "Save Select &Region As..." after
  // its entries.
  static const std::vector<MenuEntry> selection = [] {
    std::vector<MenuEntry> entries(editSubmenu(kSelectionMenu)->entries.begin(),
                                   editSubmenu(kSelectionMenu)->entries.end());
    entries.push_back(separator());
    entries.push_back(item(kSaveRegion));
    return entries;
  }();
  static const std::vector<MenuEntry> menu = {
      item(kRecord),
      separator(),
      item(kCut),
      item(kCopy),
      item(kPaste),
      item(kDelete),
      separator(),
      submenu(kSelectionMenu, selection),
      *editSubmenu(kTrimMenu),
      *editSubmenu(kInsertFileMenu),
      *editSubmenu(kEffectsMenu),
  };
  return menu;
}

std::span<const MenuEntry> fallbackMenuEntries() {
  return kFallbackMenu;
}

std::span<const ToolbarButton> toolbarButtons() {
  return kToolbar;
}

MenuText splitMenuText(std::string_view text) {
  const size_t tab = text.find('\t');
  if (tab == std::string_view::npos) return {std::string(text), {}};
  return {std::string(text.substr(0, tab)), std::string(text.substr(tab + 1))};
}

std::string commandMenuText(int id) {
  for (const auto& own : kWindowCommands) {
    if (own.id == id) return own.text;
  }
  for (const CommandRow& row : commandTable()) {
    if (row.first == id) return row.menuText ? row.menuText : "";
  }
  return {};
}

std::string entryText(const MenuEntry& entry) {
  return entry.text ? entry.text : commandMenuText(entry.id);
}

int commandRowOf(int id) {
  for (const CommandRow& row : commandTable()) {
    if (id >= row.first && id <= row.last) return row.first;
  }
  return id;
}

std::set<int> menuCommandIds() {
  std::set<int> ids;
  for (const MenuBarMenu& menu : mainMenus())
    collect(menu.entries, ids);
  collect(contextMenuEntries(), ids);
  collect(fallbackMenuEntries(), ids);
  return ids;
}

}  // namespace quillon
