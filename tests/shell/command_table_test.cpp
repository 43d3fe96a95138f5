#include <gtest/gtest.h>

#include "document/clip_editing.h"
#include "platform/settings.h"
#include "shell_fixture.h"
#include "support/signals.h"

namespace quillon::testing {
namespace {

using namespace command;

// Frames of words 0, 16, 32, … across the channels.
std::vector<Sample> rising(int frames, int channels = 1) {
  return ramp(frames * channels, 0, 16);
}

using CommandTableTest = ShellTest;

TEST_F(CommandTableTest, WithoutADocumentOnlyTheAlwaysRowsAreEnabled) {
  EXPECT_FALSE(editor->hasDocument());
  for (int id : {kOpenFile, kNewFile, kDeleteRecentList, kRecentFirst, kRecord})
    EXPECT_TRUE(editor->isCommandEnabled(id)) << id;
  for (int id : {kPaste, kDelete, kPlay, kSave, kUndo, kAmplify, kContextMenu, kCloseFile})
    EXPECT_FALSE(editor->isCommandEnabled(id)) << id;
  // A posted Delete does nothing and says so.
  EXPECT_FALSE(run(kDelete));
  EXPECT_EQ(window.shownStates.isEnabled(kNewFile), true);
  EXPECT_EQ(window.caption, "Pocket Quillon");
}

TEST_F(CommandTableTest, ChannelsSelectionAndUndoDecideTheRest) {
  openSamples(rising(1000));
  EXPECT_TRUE(editor->isCommandEnabled(kPlay));
  EXPECT_FALSE(editor->isCommandEnabled(kWaveFormLeftRight));
  EXPECT_FALSE(editor->isCommandEnabled(kWaveFormDual));
  EXPECT_FALSE(editor->isCommandEnabled(kDelete));
  EXPECT_FALSE(editor->isCommandEnabled(kUndo));
  EXPECT_TRUE(editor->isCommandEnabled(kTrimStart));

  doc().selectionStart = 100;
  doc().selectionEnd = 200;
  EXPECT_TRUE(editor->isCommandEnabled(kDelete));
  EXPECT_TRUE(editor->isCommandEnabled(kSaveRegion));
  EXPECT_TRUE(editor->isCommandEnabled(kZoomToSelection));

  EXPECT_TRUE(run(kDelete));
  EXPECT_TRUE(editor->isCommandEnabled(kUndo));
  EXPECT_FALSE(editor->isCommandEnabled(kRedo));
  EXPECT_TRUE(run(kUndo));
  EXPECT_TRUE(editor->isCommandEnabled(kRedo));
  EXPECT_TRUE(window.shownStates.isEnabled(kRedo));

  openSamples(rising(1000, 2), 2);
  EXPECT_TRUE(editor->isCommandEnabled(kWaveFormLeftRight));
  EXPECT_TRUE(editor->isCommandEnabled(kWaveFormDual));
}

TEST_F(CommandTableTest, PasteNeedsAClipboardOfAtLeastOneMillisecond) {
  openSamples(rising(1000));
  EXPECT_FALSE(editor->isCommandEnabled(kPaste));
  // 44 frames at 44100 Hz last less than a millisecond; 45 do not.
  copyRange(doc().audio, 0, 44, clipboard());
  EXPECT_FALSE(editor->isCommandEnabled(kPaste));
  copyRange(doc().audio, 0, 45, clipboard());
  EXPECT_TRUE(editor->isCommandEnabled(kPaste));
  // Copy leaves the undo state alone.
  doc().selectionStart = 0;
  doc().selectionEnd = 10;
  EXPECT_TRUE(run(kCopy));
  EXPECT_FALSE(editor->isCommandEnabled(kUndo));
}

TEST_F(CommandTableTest, CloseBeforeExitIsNotLookedUpInTheTable) {
  openSamples(rising(100));
  doc().modified = true;
  window.ui.queueAnswer(Answer::Cancel);
  EXPECT_TRUE(run(kCloseBeforeExit)) << "a refused close answers true";
  EXPECT_TRUE(editor->hasDocument());
  window.ui.queueAnswer(Answer::No);
  EXPECT_FALSE(run(kCloseBeforeExit));
  EXPECT_FALSE(editor->hasDocument());
}

TEST_F(CommandTableTest, CursorCommandsStopAtTheSelectionAndTheEnds) {
  openSamples(rising(1000));
  view().step = 7;
  doc().cursor = 500;
  EXPECT_TRUE(run(kStepRight, 3));
  EXPECT_EQ(doc().cursor, 521);
  EXPECT_TRUE(run(kStepLeft, 0));  // a repeat count of 0 counts as 1
  EXPECT_EQ(doc().cursor, 514);
  // Without a selection the selection follows the cursor.
  EXPECT_EQ(doc().selectionStart, 514);
  EXPECT_EQ(doc().selectionEnd, 514);

  doc().selectionStart = 510;
  doc().selectionEnd = 600;
  EXPECT_TRUE(run(kStepLeft, 10));
  EXPECT_EQ(doc().cursor, 510) << "Step Left stops at the selection start";
  doc().cursor = 990;
  EXPECT_TRUE(run(kStepRight, 10));
  EXPECT_EQ(doc().cursor, 1000);

  EXPECT_TRUE(run(kGoToStart));
  EXPECT_EQ(doc().cursor, 510);
  EXPECT_TRUE(run(kGoToEnd));
  EXPECT_EQ(doc().cursor, 600) << "the play end is the selection end";
  doc().selectionEnd = 0;
  EXPECT_TRUE(run(kGoToStart));
  EXPECT_EQ(doc().cursor, 0);
  EXPECT_TRUE(run(kGoToEnd));
  EXPECT_EQ(doc().cursor, 1000);

  // While playing, the player seeks instead.
  view().playing = true;
  EXPECT_TRUE(run(kGoToStart));
  EXPECT_EQ(view().seekedTo, 0);
  EXPECT_EQ(doc().cursor, 1000);
}

TEST_F(CommandTableTest, SelectionCommandsKeepTheCursorAndRecordNothing) {
  openSamples(rising(1000));
  doc().cursor = 300;
  EXPECT_TRUE(run(kSelectToStart));
  EXPECT_EQ(doc().selectionStart, 0);
  EXPECT_EQ(doc().selectionEnd, 300);
  EXPECT_TRUE(run(kSelectToEnd));
  EXPECT_EQ(doc().selectionStart, 300);
  EXPECT_EQ(doc().selectionEnd, 1000);
  EXPECT_TRUE(run(kSelectAll));
  EXPECT_EQ(doc().selectionStart, 0);
  EXPECT_EQ(doc().selectionEnd, 1000);
  EXPECT_EQ(doc().cursor, 300);
  EXPECT_FALSE(doc().canUndo());
  doc().cursor = 0;
  EXPECT_TRUE(run(kSelectToStart));
  EXPECT_FALSE(doc().hasSelection()) << "an empty selection at 0";
  // A new selection while playing restarts playback there.
  view().playing = true;
  const int plays = view().plays;
  EXPECT_TRUE(run(kSelectAll));
  EXPECT_EQ(view().plays, plays + 1);
}

TEST_F(CommandTableTest, DisplayAndPlayerRowsReachTheView) {
  openSamples(rising(1000, 2), 2);
  EXPECT_TRUE(run(kWaveFormDual));
  EXPECT_EQ(doc().waveFormMode, 2);
  EXPECT_EQ(settings::kWaveFormMode.read(), 2);
  EXPECT_TRUE(window.shownStates.checked.count(kWaveFormDual));
  EXPECT_FALSE(window.shownStates.checked.count(kWaveFormPlusMinus));
  EXPECT_TRUE(run(kVerticalZoom));
  EXPECT_TRUE(doc().verticalZoom);
  EXPECT_EQ(settings::readText("Settings", "VerticalZoom"), "1");
  EXPECT_TRUE(window.shownStates.checked.count(kVerticalZoom));

  view().playing = true;
  const int plays = view().plays;
  EXPECT_TRUE(run(kPlaySpeedFast));
  EXPECT_EQ(settings::kPlaySpeed.read(), 2);
  EXPECT_EQ(view().plays, plays + 1) << "playback restarts at the new speed";
  EXPECT_TRUE(run(kLoopPlay));
  EXPECT_TRUE(settings::kPlayRepeat.read());
  EXPECT_TRUE(window.shownStates.checked.count(kLoopPlay));

  EXPECT_TRUE(run(kVolumeUp));
  EXPECT_TRUE(run(kVolumeDown));
  EXPECT_TRUE(run(kVolumeDown));
  EXPECT_EQ(view().volumeSteps, -1);

  // Zoom rows follow the display's own buttons.
  EXPECT_FALSE(run(kZoomIn));
  view().enabledZooms = {kZoomIn};
  EXPECT_TRUE(run(kZoomIn));
  EXPECT_FALSE(run(kZoomOut));
  doc().selectionStart = 1;
  doc().selectionEnd = 5;
  EXPECT_TRUE(run(kZoomToSelection));
  EXPECT_EQ(view().zooms, (std::vector<int>{kZoomIn, kZoomToSelection}));
  EXPECT_TRUE(run(kContextMenu));
  EXPECT_EQ(view().contextMenus, 1);
}

TEST_F(CommandTableTest, RecordWithoutADocumentStartsANewFileFirst) {
  settings::kPromptSampleAndChannels.write(true);
  window.ui.cancelDialogs = true;
  EXPECT_TRUE(run(kRecord));
  EXPECT_FALSE(editor->lastCommandDone());
  EXPECT_FALSE(editor->hasDocument());
  window.ui.cancelDialogs = false;
  EXPECT_TRUE(run(kRecord));
  ASSERT_TRUE(editor->hasDocument());
  EXPECT_EQ(view().recordings, 1);
  EXPECT_EQ(view().wholeWaveShown, 1);
}

TEST_F(CommandTableTest, TheContextMenuWithoutADocumentIsTheFallbackMenu) {
  EXPECT_FALSE(run(kContextMenu));
  EXPECT_EQ(window.fallbackMenus, 1);
}

TEST_F(CommandTableTest, EveryRowHasAnEnableTestAndCliNamesAreUnique) {
  std::set<std::string> names;
  for (const CommandRow& row : commandTable()) {
    EXPECT_NE(row.enabled, nullptr);
    EXPECT_LE(row.first, row.last);
    if (row.name) {
      EXPECT_TRUE(names.insert(row.name).second) << row.name;
      EXPECT_EQ(commandIdByName(row.name), row.first);
    }
  }
  EXPECT_EQ(commandIdByName("insert-silence-cursor"), kInsertSilenceCurrent);
  EXPECT_EQ(commandIdByName("no-such-command"), 0);
}

}  // namespace
}  // namespace quillon::testing
