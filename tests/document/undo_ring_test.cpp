#include "document/undo_ring.h"

#include <gtest/gtest.h>

#include "document/clip_editing.h"
#include "document/wave_document.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::DocumentTest;
using testing::readAll;
using testing::writeClip;

using UndoRingTest = DocumentTest;

// Each action appends one frame holding its number, so the audio tells which state we are in.
void act(WaveDocument& document, int number) {
  document.recordAction("Action " + std::to_string(number));
  insertClip(document.audio, document.audio.length(), writeClip({number}));
}

int lastAction(const WaveDocument& document) {
  std::vector<Sample> samples = readAll(document.audio);
  return samples.empty() ? 0 : samples.back();
}

TEST_F(UndoRingTest, UndoAndRedoWalkBackAndForthThroughTwoActions) {
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  EXPECT_FALSE(document->canUndo());
  act(*document, 1);
  act(*document, 2);
  EXPECT_TRUE(document->canUndo());
  EXPECT_FALSE(document->canRedo());

  EXPECT_TRUE(document->undo());
  EXPECT_EQ(lastAction(*document), 1);
  EXPECT_EQ(document->undoRing.at(document->undoRing.index() + 2).name, "Redo");
  EXPECT_TRUE(document->canRedo());
  EXPECT_TRUE(document->undo());
  EXPECT_EQ(document->audio.length(), 0);
  EXPECT_FALSE(document->undo());
  EXPECT_EQ(document->audio.length(), 0);

  EXPECT_TRUE(document->redo());
  EXPECT_EQ(lastAction(*document), 1);
  EXPECT_TRUE(document->redo());
  EXPECT_EQ(lastAction(*document), 2);
  EXPECT_FALSE(document->redo());
  EXPECT_EQ(lastAction(*document), 2);
}

TEST_F(UndoRingTest, ThirtyActionsCanBeUndone) {
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  for (int i = 1; i <= 45; ++i)
    act(*document, i);
  int undos = 0;
  while (document->undo())
    ++undos;
  EXPECT_EQ(undos, 30);
  EXPECT_EQ(lastAction(*document), 15);  // the state before action 16
  int redos = 0;
  while (document->redo())
    ++redos;
  EXPECT_EQ(redos, 30);
  EXPECT_EQ(lastAction(*document), 45);
  // Going back and forth again gives the same thirty.
  undos = 0;
  while (document->undo())
    ++undos;
  EXPECT_EQ(undos, 30);
}

TEST_F(UndoRingTest, ANewActionAfterUndoDiscardsTheRedoHistory) {
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  for (int i = 1; i <= 5; ++i)
    act(*document, i);
  document->undo();
  document->undo();
  EXPECT_TRUE(document->canRedo());
  act(*document, 6);
  EXPECT_FALSE(document->canRedo());
  EXPECT_FALSE(document->redo());
  int undos = 0;
  while (document->undo())
    ++undos;
  EXPECT_EQ(undos, 4);  // actions 6, 3, 2, 1
  EXPECT_EQ(document->audio.length(), 0);
}

TEST_F(UndoRingTest, UndoRestoresFormatSelectionCursorAndView) {
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  document->audio = writeClip({1, 2, 3, 4}, 2, 22050);
  document->selectionStart = 1;
  document->selectionEnd = 2;
  document->cursor = 1;
  document->viewStart = 0;
  document->viewEnd = 2;
  document->modified = false;
  document->recordAction("Convert");
  document->audio = writeClip({9, 9, 9}, 1, 8000);
  document->selectionStart = document->selectionEnd = document->cursor = 0;
  document->viewStart = 10;
  document->viewEnd = 20;
  document->modified = true;

  ASSERT_TRUE(document->undo());
  EXPECT_EQ(document->audio.sampleRate, 22050);
  EXPECT_EQ(document->audio.channels, 2);
  EXPECT_EQ(readAll(document->audio), (std::vector<Sample>{1, 2, 3, 4}));
  EXPECT_EQ(document->selectionStart, 1);
  EXPECT_EQ(document->selectionEnd, 2);
  EXPECT_EQ(document->cursor, 1);
  EXPECT_EQ(document->viewStart, 0);
  EXPECT_EQ(document->viewEnd, 2);
  EXPECT_FALSE(document->modified);
  ASSERT_TRUE(document->redo());
  EXPECT_EQ(document->audio.sampleRate, 8000);
  EXPECT_EQ(document->viewEnd, 20);
}

TEST_F(UndoRingTest, DropLastActionEmptiesTheTwoSlotsAfterTheIndex) {
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  act(*document, 1);
  act(*document, 2);
  document->undo();  // the index now points before action 2, with "Redo" kept
  document->dropLastAction();
  EXPECT_FALSE(document->canRedo());
  EXPECT_TRUE(document->undoRing.at(document->undoRing.index() + 1).isEmpty());
  EXPECT_TRUE(document->canUndo());
}

TEST_F(UndoRingTest, SnapshotsKeepTheirBlocksAlive) {
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  document->audio = writeClip({5, 6, 7});
  const BlockId block = document->audio.segments[0].block();
  document->recordAction("Delete");
  deleteRange(document->audio, 0, 3);
  EXPECT_EQ(BlockStore::instance().referenceCount(block), 1);  // held by the snapshot only
  document->undo();
  EXPECT_EQ(readAll(document->audio), (std::vector<Sample>{5, 6, 7}));
}

}  // namespace
}  // namespace quillon
