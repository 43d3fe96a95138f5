#include "document/wave_document.h"

#include <gtest/gtest.h>

#include "document/document_messages.h"
#include "document/low_disk_guard.h"
#include "platform/disk_space.h"
#include "platform/job.h"
#include "support/fake_document_view.h"
#include "support/temp_environment.h"

namespace quillon {
namespace {

using testing::DocumentTest;
using testing::FakeDocumentView;
using testing::writeClip;

using WaveDocumentTest = DocumentTest;

TEST_F(WaveDocumentTest, ANewDocumentIsEmptyMono44100) {
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  EXPECT_EQ(document->audio.sampleRate, 44100);
  EXPECT_EQ(document->audio.channels, 1);
  EXPECT_EQ(document->audio.length(), 0);
  EXPECT_FALSE(document->modified);
  EXPECT_FALSE(document->hasSelection());
  EXPECT_EQ(document->refCount(), 1);

  Ref<WaveDocument> untitled = WaveDocument::createUntitled(3, 22050, 2);
  EXPECT_EQ(untitled->path, "Untitled 3");
  EXPECT_EQ(untitled->audio.sampleRate, 22050);
  EXPECT_EQ(untitled->audio.channels, 2);
}

struct SelectionCase {
  int32_t start, end;
  bool has;
  int32_t playEnd, selectionOrStart;
};

TEST_F(WaveDocumentTest, SelectionRules) {
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  document->audio = writeClip(std::vector<Sample>(1000));
  const SelectionCase cases[] = {
      {100, 200, true, 200, 100}, {0, 1000, true, 1000, 0}, {0, 0, false, 1000, 0},
      {200, 100, false, 1000, 0}, {-1, 50, false, 1000, 0}, {50, 50, false, 1000, 0},
  };
  for (const SelectionCase& c : cases) {
    document->selectionStart = c.start;
    document->selectionEnd = c.end;
    EXPECT_EQ(document->hasSelection(), c.has) << c.start << ".." << c.end;
    EXPECT_EQ(document->playEnd(), c.playEnd);
    EXPECT_EQ(document->selectionOrStart(), c.selectionOrStart);
  }
}

TEST_F(WaveDocumentTest, ADocumentLivesAsLongAsItsHolders) {
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  document->audio = writeClip({1, 2, 3});
  document->recordAction("Delete");
  Ref<WaveDocument> job = document;  // a job in progress holds it too
  EXPECT_EQ(document->refCount(), 2);
  document = nullptr;
  EXPECT_EQ(BlockStore::instance().blocksInUse(), 1);
  job = nullptr;  // destruction releases the audio and every undo slot
  EXPECT_EQ(BlockStore::instance().blocksInUse(), 0);
}

class ScriptedLoader : public DocumentLoader {
 public:
  explicit ScriptedLoader(JobResult result) : result_(result) {}
  JobResult load(const std::string&, WaveDocument& document, Interaction&,
                 std::string& failure) override {
    document.audio = writeClip({1, 2, 3});
    document.modified = true;
    if (result_ == JobResult::Failed && explain) failure = "The file is corrupt.";
    return result_;
  }
  void loadMetadata(const std::string&, WaveDocument& document) override {
    document.tags.set("TITLE", "From the file");
  }
  bool explain = false;

 private:
  JobResult result_;
};

TEST_F(WaveDocumentTest, LoadingReportsFailureAndMarksTheDocument) {
  ScriptedInteraction ui;
  ScriptedLoader loads(JobResult::Done), fails(JobResult::Failed), cancels(JobResult::Cancelled);

  Ref<WaveDocument> loaded = WaveDocument::createFromFile("/music/a.wav", ui, loads);
  EXPECT_FALSE(loaded->loadFailed);
  EXPECT_FALSE(loaded->modified);
  EXPECT_EQ(loaded->path, "/music/a.wav");
  EXPECT_TRUE(ui.shown.empty());

  Ref<WaveDocument> failed = WaveDocument::createFromFile("/music/b.wav", ui, fails);
  EXPECT_TRUE(failed->loadFailed);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].caption, "Error loading file");
  EXPECT_EQ(ui.shown[0].text,
            "Quillon could not open the file \"/music/b.wav\" properly. It may be corrupted or an "
            "unsupported format.");
  EXPECT_EQ(ui.shown[0].icon, MessageIcon::Information);

  Ref<WaveDocument> cancelled = WaveDocument::createFromFile("/music/c.wav", ui, cancels);
  EXPECT_TRUE(cancelled->loadFailed);
  EXPECT_EQ(ui.shown.size(), 1u);                            // silently
  EXPECT_EQ(cancelled->tags.get("TITLE"), "From the file");  // metadata in every case

  fails.explain = true;  // a known reason replaces the general message
  WaveDocument::createFromFile("/music/d.wav", ui, fails);
  EXPECT_EQ(ui.shown.back().text, "The file is corrupt.");
  EXPECT_EQ(ui.shown.back().caption, "Error loading file");
}

uint64_t fakeFreeBytes = 0;
std::optional<uint64_t> fakeFree(const std::string&) {
  return fakeFreeBytes;
}
std::optional<uint64_t> failingQuery(const std::string&) {
  return std::nullopt;
}

class LowDiskGuardTest : public DocumentTest {
 protected:
  void TearDown() override {
    platform::setFreeSpaceQueryForTesting(nullptr);
    view.setDocument(nullptr);
    DocumentTest::TearDown();
  }
  FakeDocumentView view;
};

TEST_F(LowDiskGuardTest, NeededSpaceFollowsTheFrameCount) {
  EXPECT_EQ(lowDiskNeededMegabytes(3 * 44100, GuardMode::WorkingFolder), 3);  // computes to 0
  EXPECT_EQ(lowDiskNeededMegabytes(26460000, GuardMode::WorkingFolder), 100);
  EXPECT_EQ(lowDiskNeededMegabytes(26460000, GuardMode::SaveFolder), 50);
  EXPECT_EQ(lowDiskNeededMegabytes(0, GuardMode::SaveFolder), 3);
}

TEST_F(LowDiskGuardTest, FreeSpaceIsCappedAndAFailedQueryCountsAsSixteenGigabytes) {
  platform::setFreeSpaceQueryForTesting(failingQuery);
  EXPECT_EQ(freeMegabytes("/anywhere"), 16384);
  platform::setFreeSpaceQueryForTesting(fakeFree);
  fakeFreeBytes = uint64_t{100} << 40;  // 100 TB
  EXPECT_EQ(freeMegabytes("/anywhere"), int64_t{4} << 20);
  fakeFreeBytes = (uint64_t{5} << 20) - 1;  // just under 5 MB
  EXPECT_EQ(freeMegabytes("/anywhere"), 4);
}

TEST_F(LowDiskGuardTest, TheGuardRefusesWithItsMessageWhenSpaceIsShort) {
  platform::setFreeSpaceQueryForTesting(fakeFree);
  view.document()->audio.segments.push_back(Segment::silence(26460000));  // 10 minutes
  fakeFreeBytes = uint64_t{100} << 20;
  EXPECT_TRUE(lowDiskGuard(&view, GuardMode::WorkingFolder, messages::kLowDiskBeforeAction));
  fakeFreeBytes = (uint64_t{100} << 20) - 1;
  EXPECT_FALSE(lowDiskGuard(&view, GuardMode::WorkingFolder, messages::kLowDiskBeforeAction));
  ASSERT_EQ(view.ui.shown.size(), 1u);
  EXPECT_EQ(view.ui.shown[0].caption, "Low Disk Space");
  EXPECT_EQ(view.ui.shown[0].text, messages::kLowDiskBeforeAction);
  EXPECT_TRUE(lowDiskGuard(&view, GuardMode::SaveFolder, messages::kLowDiskBeforeAction));
  EXPECT_FALSE(lowDiskGuard(nullptr, GuardMode::WorkingFolder, messages::kLowDiskBeforeAction));
  EXPECT_EQ(view.ui.shown.size(), 1u);
}

}  // namespace
}  // namespace quillon
