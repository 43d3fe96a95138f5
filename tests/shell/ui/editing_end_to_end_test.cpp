// A person's session through the real widgets, offscreen: open a WAV through the file browser,
// drag a selection with the mouse, Amplify 150 % through its dialog, Fade Out, Undo, Save As
// through the browser and the WAV settings dialog. The saved file must equal, sample for sample,
// what quillon-cli writes for the same steps. And the progress dialog of a long effect: Cancel
// leaves the document as it was.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>
#include <chrono>
#include <thread>

#include "browser/ui/browser_dialog.h"
#include "document/edit_commands.h"
#include "platform/job.h"
#include "platform/settings.h"
#include "shell/command_table.h"
#include "shell/ui/document_window.h"
#include "shell/ui/form_dialog.h"
#include "shell/ui/main_window.h"
#include "shell/ui/progress_dialog.h"
#include "support/audio_signals.h"
#include "support/peer_tools.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"
#include "view/ui/document_pane.h"
#include "view/ui/wave_view_widget.h"
#include "window_test_support.h"

namespace quillon::testing {
namespace {

using namespace command;
using browser::BrowserDialog;
using ui::FormDialog;
using ui::MainWindow;
using ui::ProgressDialog;

class EditingEndToEndTest : public DocumentTest {
 protected:
  void SetUp() override {
    window = std::make_unique<MainWindow>();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }
  void TearDown() override {
    window.reset();
    clipboard().clear();
    DocumentTest::TearDown();
  }
  WaveDocument& doc() { return window->editor().document(); }

  std::unique_ptr<MainWindow> window;
};

TEST_F(EditingEndToEndTest, ASessionThroughTheWidgetsSavesWhatTheCommandLineSaves) {
  const std::string input = env.path("take.wav");
  writeWav16(input, speechLike(44100, 4 * 44100, 2, 7), 44100, 2);

  // Open through the browser: it starts in the folder used last; the file clicked, Open.
  settings::kOpenFileDir.write(env.path(""));
  whenModal<BrowserDialog>([&](BrowserDialog& browser) {
    QTreeView* list = browser.list();
    ASSERT_TRUE(eventually([&] {
      return !list->model()
                  ->match(list->model()->index(0, 0), Qt::DisplayRole, "take.wav")
                  .isEmpty();
    }));
    const QModelIndex row =
        list->model()->match(list->model()->index(0, 0), Qt::DisplayRole, "take.wav").front();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(row).center());
    browser.buttons()->button(QDialogButtonBox::Ok)->click();
  });
  window->commandAction(kOpenFile)->trigger();
  ASSERT_TRUE(window->editor().hasDocument());
  ASSERT_EQ(doc().path, input);

  // Drag a selection across the wave view.
  view::ui::WaveViewWidget* wave = window->documentWindow()->pane().waveView();
  const int y = wave->height() / 2;
  sendMouse(wave, QEvent::MouseButtonPress, QPoint(wave->width() / 5, y));
  for (int x = wave->width() / 5; x <= wave->width() * 3 / 5; x += 20)
    sendMouse(wave, QEvent::MouseMove, QPoint(x, y));
  sendMouse(wave, QEvent::MouseButtonRelease, QPoint(wave->width() * 3 / 5, y));
  const int32_t start = doc().selectionStart, end = doc().selectionEnd;
  ASSERT_GT(start, 0);
  ASSERT_GT(end, start + 44100);
  ASSERT_LT(end, doc().audio.length());

  // Amplify 150 % through its dialog: the value typed into its box, OK.
  whenModal<FormDialog>([](FormDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Amplify");
    auto* gain = qobject_cast<QAbstractSpinBox*>(dialog.control("gain"));
    ASSERT_NE(gain, nullptr);
    gain->selectAll();
    QTest::keyClicks(gain, "150");
    dialog.okButton()->click();
  });
  window->commandAction(kAmplify)->trigger();
  window->commandAction(kFadeOut)->trigger();
  window->commandAction(kUndo)->trigger();
  EXPECT_TRUE(doc().modified);

  // Save As through the browser (the name typed) and the WAV settings dialog (OK).
  bool settingsShown = false;
  whenModal<BrowserDialog>([&](BrowserDialog& browser) {
    ASSERT_NE(browser.nameBox(), nullptr);
    browser.nameBox()->selectAll();
    QTest::keyClicks(browser.nameBox(), "gui");
    whenModal<FormDialog>([&](FormDialog& dialog) {
      settingsShown = true;
      dialog.okButton()->click();
    });
    browser.buttons()->button(QDialogButtonBox::Ok)->click();
  });
  window->commandAction(kSaveAs)->trigger();
  EXPECT_TRUE(settingsShown);
  EXPECT_EQ(doc().path, env.path("gui.wav"));
  EXPECT_FALSE(doc().modified);

  // The same steps through quillon-cli.
  const std::string cli = env.path("cli.wav");
  ASSERT_EQ(runCommand(std::string(QUILLON_CLI) + " -q open " + quoted(input) + " select " +
                       std::to_string(start) + " " + std::to_string(end) +
                       " amplify gain=150 fade-out undo save-as " + quoted(cli)),
            0);
  const std::vector<int16_t> gui = readWav16(env.path("gui.wav"));
  const std::vector<int16_t> expected = readWav16(cli);
  ASSERT_EQ(gui.size(), expected.size());
  EXPECT_TRUE(gui == expected);
  // And the gain is there: louder inside the selection than the original.
  const std::vector<int16_t> original = readWav16(input);
  int64_t before = 0, after = 0;
  for (size_t i = size_t(start) * 2; i < size_t(end) * 2; ++i) {
    before += std::abs(original[i]);
    after += std::abs(gui[i]);
  }
  EXPECT_NEAR(double(after) / double(before), 1.5, 0.02);
}

TEST_F(EditingEndToEndTest, CancelDuringALongEffectLeavesTheDocumentAsItWas) {
  const std::string input = env.path("long.wav");
  writeWav16(input, musicLike(44100, 60 * 44100, 2, 3), 44100, 2);
  ASSERT_TRUE(window->editor().openFile(input));
  window->editor().refreshCommandStates();
  const std::vector<Sample> before = readAll(doc().audio);

  bool cancelled = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* progress = window->findChild<ProgressDialog*>();
    if (!progress || !progress->isVisible() || cancelled) return;
    EXPECT_EQ(QApplication::activeModalWidget(), progress);  // the owner takes no input
    EXPECT_EQ(progress->windowTitle(), "Reverb");
    QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
    cancelled = true;
  });
  poll.start(5);
  whenModal<FormDialog>([](FormDialog& dialog) { dialog.okButton()->click(); });
  window->commandAction(kReverb)->trigger();
  ASSERT_TRUE(cancelled);
  EXPECT_FALSE(doc().canUndo());
  EXPECT_FALSE(doc().modified);
  EXPECT_TRUE(readAll(doc().audio) == before);
}

// The bar shows whole percents, rounded down: a job at 0.995 shows 99. It takes a new value at
// most 20 times a second: a value that came sooner shows at the next report after that.
TEST_F(EditingEndToEndTest, TheProgressBarShowsWholePercentsRoundedDown) {
  struct Steps : Job {
    explicit Steps(MainWindow& window) : Job("Steps"), window(window) {}
    JobResult run() override {
      auto* dialog = window.findChild<ProgressDialog*>();
      setProgress(0.5);  // the first value shows at once
      shown.push_back(dialog ? dialog->bar()->value() : -1);
      setProgress(0.995);
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
      checkCancelled();
      shown.push_back(dialog ? dialog->bar()->value() : -1);
      return JobResult::Done;
    }
    MainWindow& window;
    std::vector<int> shown;
  } job(*window);
  ASSERT_EQ(runJob(job, window->interaction()), JobResult::Done);
  EXPECT_EQ(job.shown, (std::vector<int>{50, 99}));
}

}  // namespace
}  // namespace quillon::testing
