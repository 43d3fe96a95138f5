// The Record Control dialog on the file input device: what an accepted recording does to the
// document, what a cancelled one leaves, and the stored recorder options at work.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <tuple>

#include "audio_io/audio_clock.h"
#include "audio_io/audio_settings.h"
#include "audio_io/clocked_devices.h"
#include "audio_io/ui/dialog_test_support.h"
#include "audio_io/ui/record_control_dialog.h"
#include "support/fake_document_view.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"

namespace quillon::testing {
namespace {

using audio_io::ui::RecordControlDialog;
using audio_io::ui::RecordResult;

std::vector<Sample> slice(const std::vector<Sample>& words, size_t from, size_t to) {
  return std::vector<Sample>(words.begin() + ptrdiff_t(from), words.begin() + ptrdiff_t(to));
}

std::vector<Sample> concat(std::vector<Sample> a, const std::vector<Sample>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The Segment chain, link by link.
std::vector<std::tuple<BlockId, int32_t, int32_t, int32_t>> chainOf(const Clip& clip) {
  std::vector<std::tuple<BlockId, int32_t, int32_t, int32_t>> links;
  for (const Segment& s : clip.segments)
    links.emplace_back(s.block(), s.length, s.gain, s.offset);
  return links;
}

class RecordControlDialogTest : public DocumentTest {
 protected:
  RecordControlDialogTest() {
    devices.inputOptions().path = env.path("in.wav");
    original = noise(16000, 90000, 5);
    for (Sample& s : original)
      s = s / 16 * 16;
    document->audio = writeClip(original, 1, 8000);
    document->selectionStart = 4000;
    document->selectionEnd = 8000;
    document->cursor = 5000;
  }

  void TearDown() override {
    view.setDocument(nullptr);
    document = nullptr;
    DocumentTest::TearDown();
  }

  // Opens Record Control as the main window's Record does; `meanwhile` runs in the open dialog.
  RecordResult record(const std::function<void(RecordControlDialog&)>& meanwhile) {
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<RecordControlDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      meanwhile(*dialog);
    });
    return audio_io::ui::recordIntoDocument(nullptr, view, devices);
  }

  // Records `milliseconds` of the input with F8 (time stands still otherwise) and closes the
  // dialog with OK or Cancel.
  void recordFor(RecordControlDialog& dialog, int milliseconds, bool accept) {
    clock.hold();
    QTest::keyClick(&dialog, Qt::Key_F8);
    ASSERT_TRUE(dialog.control().isRecording()) << dialog.control().lastError();
    clock.advance(int64_t{milliseconds} * 1000);
    clock.waitForBlocked(1);
    pump();
    if (accept) {
      dialog.accept();
    } else {
      dialog.reject();
    }
    clock.release();
  }

  VirtualClock clock;
  ClockedDevices devices{clock, {}, {}, {"Microphone"}};
  Ref<WaveDocument> document = WaveDocument::createUntitled(1, 8000, 1);
  FakeDocumentView view{document};
  std::vector<Sample> original;
};

// OK: the recording replaces the selection as one undoable "Record", is selected, and the cursor
// stands at its start; Undo gives back the document as it was.
TEST_F(RecordControlDialogTest, AcceptedRecordingReplacesTheSelectionAsOneUndoableRecord) {
  const std::vector<Sample> input = toneWords(8000, 1, 8000, 100000, 300);
  writeWav16(env.path("in.wav"), input, 8000, 1);
  const RecordResult result = record([&](RecordControlDialog& d) { recordFor(d, 1000, true); });
  ASSERT_EQ(result, RecordResult::Recorded);

  const std::vector<Sample> now = readAll(document->audio);
  const size_t recorded = now.size() - 12000;
  ASSERT_EQ(recorded, input.size()) << "the second of input the device delivered";
  EXPECT_EQ(slice(now, 0, 4000), slice(original, 0, 4000));
  EXPECT_EQ(slice(now, 4000, 4000 + input.size()), removeDc(input, 1, 8000));
  EXPECT_EQ(slice(now, 4000 + recorded, now.size()), slice(original, 8000, 16000));
  EXPECT_EQ(document->selectionStart, 4000);
  EXPECT_EQ(document->selectionEnd, int32_t(4000 + recorded));
  EXPECT_EQ(document->cursor, 4000);
  EXPECT_TRUE(document->modified);
  EXPECT_EQ(document->undoRing.undoName(), "Record");

  ASSERT_TRUE(document->undo());
  EXPECT_EQ(readAll(document->audio), original);
  EXPECT_EQ(document->selectionStart, 4000);
  EXPECT_EQ(document->selectionEnd, 8000);
  EXPECT_FALSE(document->canUndo()) << "one step";
}

// Cancel: the recording is thrown away and the document is exactly as it was.
TEST_F(RecordControlDialogTest, CancelLeavesTheDocumentAsItWas) {
  writeWav16(env.path("in.wav"), toneWords(8000, 1, 8000, 100000, 300), 8000, 1);
  const auto before = chainOf(document->audio);
  const RecordResult result = record([&](RecordControlDialog& d) { recordFor(d, 1000, false); });
  EXPECT_EQ(result, RecordResult::Cancelled);
  EXPECT_EQ(chainOf(document->audio), before);
  EXPECT_EQ(readAll(document->audio), original);
  EXPECT_EQ(document->selectionStart, 4000);
  EXPECT_EQ(document->selectionEnd, 8000);
  EXPECT_EQ(document->cursor, 5000);
  EXPECT_FALSE(document->modified);
  EXPECT_FALSE(document->canUndo());
}

// "Advanced Settings" stores its four values on OK. With Auto Start and AutoTrim at −24 dB the
// next Record Control waits for sound as it opens; of the silence before the sound only the
// last half buffer is kept, and the recording ends 50 ms after the last buffer at or above
// −28 dB.
TEST_F(RecordControlDialogTest, AutostartWaitsAtOpenAndAutoTrimAtMinus24Trims) {
  view.ui.queueDialog("LRecordDlgAdvanced",
                      {{"autostart", "1"}, {"autotrim", "1"}, {"vor", "0"}, {"threshold", "-24"}});
  const RecordResult first = record([&](RecordControlDialog& d) {
    EXPECT_FALSE(d.control().isRecording()) << "Auto Start was off";
    QTest::mouseClick(d.advancedButton(), Qt::LeftButton);
    d.reject();
  });
  EXPECT_EQ(first, RecordResult::Cancelled);
  ASSERT_EQ(view.ui.dialogsShown.size(), 1u);
  EXPECT_EQ(view.ui.dialogsShown[0].text("autotrim"), "0") << "opened with the stored values";
  EXPECT_TRUE(settings::kRecorderAutostart.read());
  EXPECT_TRUE(settings::kRecorderAutotrim.read());
  EXPECT_FALSE(settings::kRecorderVor.read());
  EXPECT_EQ(settings::kRecorderThreshold.read(), -24);

  std::vector<Sample> input(8000, 0);                 // 1 s of silence
  input = concat(input, toneAt(-10, 8000));           // 1 s loud
  input = concat(input, toneAt(-26, 4000));           // under the start, over the stop level
  input = concat(input, std::vector<Sample>(12000));  // 1.5 s of silence
  writeWav16(env.path("in.wav"), input, 8000, 1);
  document->selectionStart = document->selectionEnd = 2000;
  clock.hold();
  const RecordResult second = record([&](RecordControlDialog& d) {
    EXPECT_TRUE(d.control().isRecording()) << "Auto Start: recording as the dialog opens";
    EXPECT_EQ(d.control().recorderState(), Recorder::kWaiting) << "AutoTrim waits for sound";
    clock.advance(3500000);
    clock.waitForBlocked(1);
    pump();
    d.accept();
  });
  clock.release();
  ASSERT_EQ(second, RecordResult::Recorded);
  const std::vector<Sample> now = readAll(document->audio);
  const std::vector<Sample> kept = slice(removeDc(input, 1, 8000), 7600, 20400);
  ASSERT_EQ(now.size(), original.size() + kept.size());
  EXPECT_EQ(slice(now, 2000, 2000 + kept.size()), kept);
  EXPECT_EQ(slice(now, 2000 + kept.size(), now.size()), slice(original, 2000, 16000));
}

}  // namespace
}  // namespace quillon::testing
