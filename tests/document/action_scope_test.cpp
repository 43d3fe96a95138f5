#include "document/action_scope.h"

#include <gtest/gtest.h>

#include "document/block_writer.h"
#include "document/clip_editing.h"
#include "document/document_messages.h"
#include "platform/disk_space.h"
#include "platform/job.h"
#include "platform/settings.h"
#include "support/fake_document_view.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

std::optional<uint64_t> noRoom(const std::string&) {
  return uint64_t{1} << 20;
}  // 1 MB

class ActionScopeTest : public DocumentTest {
 protected:
  void TearDown() override {
    platform::setFreeSpaceQueryForTesting(nullptr);
    view.setDocument(nullptr);
    DocumentTest::TearDown();
  }
  WaveDocument& document() { return *view.document(); }
  FakeDocumentView view;
};

// A compact picture of the whole ring: every slot's name and chain length, and the index.
std::string ringPicture(const WaveDocument& document) {
  std::string picture = std::to_string(document.undoRing.index()) + ":";
  for (int i = 0; i < UndoRing::kSlots; ++i) {
    const UndoSlot& slot = document.undoRing.at(i);
    picture += slot.name + "/" + std::to_string(slot.segments.size()) + ",";
  }
  return picture;
}

TEST_F(ActionScopeTest, ACommittedActionStaysAndCanBeUndone) {
  document().audio = writeClip({1, 2, 3, 4});
  {
    ActionScope scope(&view, "Delete");
    ASSERT_TRUE(scope.begun());
    EXPECT_TRUE(document().modified);
    EXPECT_EQ(view.actionBeginHooks, 1);
    EXPECT_EQ(view.actionOrUndoHooks, 1);
    deleteRange(document().audio, 1, 3);
    EXPECT_TRUE(scope.commit(1, 44100));
  }
  EXPECT_EQ(readAll(document().audio), (std::vector<Sample>{1, 4}));
  EXPECT_EQ(document().cursor, 1);
  EXPECT_EQ(view.fullRefreshes, 1);
  EXPECT_EQ(view.plays, 0);  // "AutoPlaybackAfterEffects" is off by default
  EXPECT_TRUE(undoCommand(view));
  EXPECT_EQ(readAll(document().audio), (std::vector<Sample>{1, 2, 3, 4}));
  EXPECT_TRUE(document().modified);
}

TEST_F(ActionScopeTest, LeavingWithoutCommitRestoresDocumentAndRingExactly) {
  document().audio = writeClip({1, 2, 3});
  // A full ring with redo history: rollback must keep all of it.
  for (int i = 0; i < 40; ++i) {
    ActionScope scope(&view, "Step " + std::to_string(i));
    insertSilence(document().audio, 0, 1);
    scope.commit(0, 0);
  }
  undoCommand(view);
  undoCommand(view);
  document().modified = false;
  document().selectionStart = 2;
  document().selectionEnd = 5;
  const std::string before = ringPicture(document());
  const int32_t lengthBefore = document().audio.length();
  {
    ActionScope scope(&view, "Amplify");
    scaleRange(document().audio, 0, 10, 300);
    deleteRange(document().audio, 0, 5);
    document().selectionEnd = 0;
  }  // cancelled: no commit
  EXPECT_EQ(ringPicture(document()), before);
  EXPECT_EQ(document().audio.length(), lengthBefore);
  EXPECT_FALSE(document().modified);
  EXPECT_EQ(document().selectionEnd, 5);
  EXPECT_TRUE(document().canRedo());
  int undos = 0;
  while (undoCommand(view))
    ++undos;
  EXPECT_EQ(undos, 28);
}

TEST_F(ActionScopeTest, TooLittleDiskSpaceAfterTheActionRollsItBack) {
  document().audio = writeClip(std::vector<Sample>(1000, 1));
  document().path = "/music/take.wav";
  platform::setFreeSpaceQueryForTesting(noRoom);
  {
    ActionScope scope(&view, "Trim");
    deleteRange(document().audio, 0, 500);
    EXPECT_FALSE(scope.commit(0, 0));
  }
  EXPECT_EQ(document().audio.length(), 1000);
  EXPECT_FALSE(document().canUndo());
  ASSERT_EQ(view.ui.shown.size(), 1u);
  EXPECT_EQ(view.ui.shown[0].caption, "Low Disk Space");
  EXPECT_EQ(view.ui.shown[0].text,
            "The last action you performed to the file \"/music/take.wav\" might not be saved "
            "because you have very low free disk space. Please try saving the file to a "
            "different location or making more space by removing unwanted files then try "
            "again.");
  EXPECT_GE(view.stops, 1);
}

TEST_F(ActionScopeTest, AutoPlaybackPlaysFromThePreRoll) {
  settings::kAutoPlaybackAfterEffects.write(true);
  document().audio = writeClip(std::vector<Sample>(100, 1));
  {
    ActionScope scope(&view, "Fade In");
    EXPECT_TRUE(scope.commit(60, 25));
  }
  EXPECT_EQ(view.plays, 1);
  EXPECT_EQ(view.playedFrom, 35);
  {
    ActionScope scope(&view, "Fade In");
    EXPECT_TRUE(scope.commit(10, 25));
  }
  EXPECT_EQ(view.playedFrom, 0);
}

// An effect whose processing is cancelled: the job writes part of a block and stops; leaving
// the scope puts document, ring and "Undo" back as they were.
class HalfDoneEffect : public Job {
 public:
  explicit HalfDoneEffect(WaveDocument& document) : Job("Amplify"), document_(document) {}

 protected:
  JobResult run() override {
    Clip processed;
    {
      auto writer = makeRef<BlockWriter>(processed, 44100, 1);
      const std::vector<Sample> block(8192, 7);
      for (int i = 0; i < 10; ++i) {
        if (checkCancelled()) return JobResult::Cancelled;
        writer->write(block.data(), 8192);
        setProgress(i / 10.0);
      }
    }
    replaceRange(document_.audio, 0, document_.audio.length(), processed);
    return JobResult::Done;
  }

 private:
  WaveDocument& document_;
};

TEST_F(ActionScopeTest, ACancelledEffectLeavesEverythingAsBefore) {
  document().audio = writeClip({1, 2, 3});
  document().modified = false;
  const std::string ringBefore = ringPicture(document());
  view.ui.cancelAfterReports = 2;
  {
    ActionScope scope(&view, "Amplify");
    HalfDoneEffect job(document());
    ASSERT_EQ(runJob(job, view.ui), JobResult::Cancelled);
  }
  EXPECT_EQ(readAll(document().audio), (std::vector<Sample>{1, 2, 3}));
  EXPECT_EQ(ringPicture(document()), ringBefore);
  EXPECT_FALSE(document().canUndo());
  EXPECT_FALSE(document().modified);
  EXPECT_EQ(BlockStore::instance().blocksInUse(), 1);  // the half-written block is gone
}

TEST_F(ActionScopeTest, WithoutADocumentNothingBegins) {
  view.setDocument(nullptr);
  ActionScope scope(&view, "Delete");
  EXPECT_FALSE(scope.begun());
  EXPECT_FALSE(scope.commit(0, 0));
  ActionScope noView(nullptr, "Delete");
  EXPECT_FALSE(noView.begun());
}

TEST_F(ActionScopeTest, ThePasteFormIsNeverRolledBack) {
  document().audio = writeClip({1, 2});
  {
    ActionScope scope(view, "Paste", ActionScope::NoRollback{});
    insertClip(document().audio, 2, writeClip({3}));
  }
  EXPECT_EQ(readAll(document().audio), (std::vector<Sample>{1, 2, 3}));
  EXPECT_TRUE(document().canUndo());
  EXPECT_TRUE(document().modified);
}

TEST_F(ActionScopeTest, UndoAndRedoCommandsMarkModifiedAndCallTheHooks) {
  document().audio = writeClip({1, 2});
  {
    ActionScope scope(&view, "Delete");
    deleteRange(document().audio, 0, 1);
    scope.commit(0, 0);
  }
  document().modified = false;  // saved
  view.playing = true;
  const int hooksBefore = view.actionOrUndoHooks;
  EXPECT_TRUE(undoCommand(view));
  EXPECT_FALSE(view.playing);
  EXPECT_TRUE(document().modified);
  EXPECT_EQ(view.actionOrUndoHooks, hooksBefore + 1);
  document().modified = false;
  EXPECT_TRUE(redoCommand(view));
  EXPECT_TRUE(document().modified);
  EXPECT_FALSE(redoCommand(view));
}

}  // namespace
}  // namespace quillon::testing
