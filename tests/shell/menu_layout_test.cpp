#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/menu_layout.h"
#include "shell/value_control.h"

namespace quillon::testing {
namespace {

using namespace command;

// The texts of a menu's entries, "-" for a separator, a submenu as "title>".
std::vector<std::string> textsOf(std::span<const MenuEntry> entries) {
  std::vector<std::string> texts;
  for (const MenuEntry& entry : entries) {
    switch (entry.kind) {
      case MenuEntry::Kind::Separator:
        texts.push_back("-");
        break;
      case MenuEntry::Kind::Submenu:
        texts.push_back(std::string(entry.text) + ">");
        break;
      default:
        texts.push_back(entryText(entry));
    }
  }
  return texts;
}

const MenuEntry* submenuOf(std::span<const MenuEntry> entries, const std::string& title) {
  for (const MenuEntry& entry : entries) {
    if (entry.kind == MenuEntry::Kind::Submenu && title == entry.text) return &entry;
  }
  return nullptr;
}

TEST(MenuLayoutTest, EveryRowOfTheTableHasAMenuEntryButThePlaceholders) {
  const std::set<int> ids = menuCommandIds();
  for (const CommandRow& row : commandTable()) {
    // 2018 does nothing; the context menu itself is a right click or the menu key; the recent
    // entries are reached through "Empty" and the list.
    if (row.first == kNothing || row.first == kContextMenu) continue;
    bool reached = false;
    for (int id = row.first; id <= row.last; ++id)
      reached = reached || ids.count(id) > 0;
    EXPECT_TRUE(reached) << row.first << " " << row.menuText;
  }
  // Every entry of the menus shows a text.
  std::vector<std::span<const MenuEntry>> menus = {contextMenuEntries(), fallbackMenuEntries()};
  for (const MenuBarMenu& menu : mainMenus())
    menus.push_back(menu.entries);
  while (!menus.empty()) {
    const std::span<const MenuEntry> entries = menus.back();
    menus.pop_back();
    for (const MenuEntry& entry : entries) {
      if (entry.kind == MenuEntry::Kind::Submenu) menus.push_back(entry.entries);
      if (entry.kind == MenuEntry::Kind::Command) {
        EXPECT_FALSE(entryText(entry).empty()) << entry.id;
      }
    }
  }
}

TEST(MenuLayoutTest, TheContextMenuTakesTheEditMenusSubmenus) {
  EXPECT_EQ(textsOf(contextMenuEntries()),
            (std::vector<std::string>{"&Record", "-", "Cut", "Copy", "Paste", "Delete", "-",
                                      "Selection>", "Trim>", "Insert File>", "Effects>"}));
  const MenuBarMenu& edit = mainMenus()[1];
  ASSERT_STREQ(edit.title, "&Edit");
  for (const char* title : {"Trim", "Insert File", "Effects"}) {
    EXPECT_EQ(textsOf(submenuOf(contextMenuEntries(), title)->entries),
              textsOf(submenuOf(edit.entries, title)->entries))
        << title;
  }
  std::vector<std::string> selection = textsOf(submenuOf(edit.entries, "Selection")->entries);
  selection.push_back("-");
  selection.push_back("Save Select &Region As...");
  EXPECT_EQ(textsOf(submenuOf(contextMenuEntries(), "Selection")->entries), selection);
  EXPECT_EQ(textsOf(fallbackMenuEntries()),
            (std::vector<std::string>{"&New File...", "&Open File...", "-", "&Record"}));
  EXPECT_EQ(textsOf(submenuOf(edit.entries, "Insert File")->entries),
            (std::vector<std::string>{"Begin", "Current", "End"}));
}

TEST(MenuLayoutTest, MenuTextsSplitAtTheirTab) {
  const struct {
    const char* text;
    const char* label;
    const char* key;
  } cases[] = {{"Play\tAction", "Play", "Action"},
               {"&Stop\tAction", "&Stop", "Action"},
               {"Volume Up\tUp", "Volume Up", "Up"},
               {"Save File &As...", "Save File &As...", ""},
               {"", "", ""}};
  for (const auto& c : cases) {
    const MenuText split = splitMenuText(c.text);
    EXPECT_EQ(split.label, c.label);
    EXPECT_EQ(split.key, c.key);
  }
  EXPECT_EQ(commandMenuText(kStepLeft), "Step Left\tLeft");
  EXPECT_EQ(commandMenuText(kExit), "E&xit");
  EXPECT_EQ(commandRowOf(kInsertFileEnd), kInsertFileBegin);
  EXPECT_EQ(commandRowOf(kRecentEmpty), kRecentFirst);
  EXPECT_EQ(commandRowOf(kHelpContents), kHelpContents);
}

TEST(ValueControlTest, TheSliderStandsWhereTheValueSays) {
  const struct {
    int32_t value, minimum, maximum;
    int position;
  } cases[] = {
      {100, 1, 400, 24},  // trunc(99 / 399 × 100)
      {1, 1, 400, 0},    {400, 1, 400, 100},   {401, 1, 400, 100}, {-5, 1, 400, 0},
      {50, 0, 100, 50},  {1505, 10, 2999, 50}, {7, 7, 7, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(sliderPositionOf(c.value, c.minimum, c.maximum), c.position) << c.value;
}

TEST(ValueControlTest, EverySliderPositionGivesAValueThatStandsThere) {
  // Ranges of the effect dialogs: moving the slider never makes it jump back.
  const std::pair<int32_t, int32_t> ranges[] = {{1, 400},  {0, 100},  {20, 2000}, {10, 2999},
                                                {1, 2000}, {1, 1000}, {1, 100}};
  for (const auto& [minimum, maximum] : ranges) {
    for (int position = 0; position <= kSliderLastPosition; ++position) {
      const int32_t value = valueAtSliderPosition(position, minimum, maximum);
      EXPECT_GE(value, minimum);
      EXPECT_LE(value, maximum);
      // Fewer than 101 values: a position without a value of its own shows the next one.
      if (maximum - minimum >= kSliderLastPosition)
        EXPECT_EQ(sliderPositionOf(value, minimum, maximum), position)
            << minimum << ".." << maximum;
      else
        EXPECT_GE(sliderPositionOf(value, minimum, maximum), position)
            << minimum << ".." << maximum;
    }
  }
  // A narrow range: the slider still reaches both ends.
  EXPECT_EQ(valueAtSliderPosition(0, 1, 99), 1);
  EXPECT_EQ(valueAtSliderPosition(100, 1, 99), 99);
}

TEST(ValueControlTest, TheUpDownSpeedsUpAfterOneAndFiveSecondsHeld) {
  const struct {
    int64_t heldMs;
    int64_t step;
  } cases[] = {{0, 12}, {999, 12}, {1000, 120}, {4999, 120}, {5000, 1200}, {60000, 1200}};
  for (const auto& c : cases)
    EXPECT_EQ(acceleratedStep(12, c.heldMs), c.step) << c.heldMs;
}

}  // namespace
}  // namespace quillon::testing
