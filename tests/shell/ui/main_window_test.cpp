// The main window through real Qt widgets, offscreen: every command reachable, the enabled
// states and check marks after every command, the keys, the menus, the title, drops and
// hand-overs.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <algorithm>
#include <map>
#include <regex>
#include <set>

#include "audio_io/ui/play_control_dialog.h"
#include "audio_io/ui/preferences_dialog.h"
#include "document/edit_commands.h"
#include "platform/settings.h"
#include "shell/menu_layout.h"
#include "shell/ui/document_window.h"
#include "shell/ui/form_dialog.h"
#include "shell/ui/main_window.h"
#include "support/audio_signals.h"
#include "support/sound_test_support.h"
#include "support/temp_environment.h"
#include "view/ui/document_pane.h"
#include "view/ui/status_fields_widget.h"
#include "view/ui/wave_view_widget.h"
#include "window_test_support.h"

namespace quillon::testing {
namespace {

using namespace command;
using ui::MainWindow;

class MainWindowTest : public DocumentTest {
 protected:
  void SetUp() override {
    window = std::make_unique<MainWindow>();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }
  void TearDown() override {
    window.reset();
    clipboard().clear();
    DocumentTest::TearDown();
  }

  // A WAV file of speech-like audio in the test's folder.
  std::string writeSpeech(const std::string& name, int seconds, int channels = 2) {
    const std::string path = env.path(name);
    writeWav16(path, speechLike(44100, int64_t{seconds} * 44100, channels, 3), 44100, channels);
    return path;
  }
  void open(const std::string& path) {
    ASSERT_TRUE(window->editor().openFile(path));
    window->editor().refreshCommandStates();
  }
  WaveDocument& doc() { return window->editor().document(); }

  // Every action a menu, submenu or the toolbar holds.
  static void actionsOf(QWidget* holder, std::vector<QAction*>& out) {
    for (QAction* action : holder->actions()) {
      if (action->menu()) {
        actionsOf(action->menu(), out);
      } else if (!action->isSeparator()) {
        out.push_back(action);
      }
    }
  }
  std::vector<QAction*> menuBarActions() {
    std::vector<QAction*> out;
    actionsOf(window->menuBar(), out);
    return out;
  }

  // The enabled state and check mark of every action are those the table gives now.
  void expectStatesFollowTheTable(const std::string& after) {
    const CommandStates states = computeCommandStates(window->editor());
    std::vector<QAction*> actions = window->commandActions();
    actions.insert(actions.end(), window->keyActions().begin(), window->keyActions().end());
    for (QAction* action : actions) {
      const int id = action->data().toInt();
      const bool own = id == kHelpContents || id == kExit || id == kAbout || id == kContextMenu ||
                       id == kPreferences;
      // Play Control wants a document, as Play does.
      const bool enabled =
          id == kPlayControl ? states.isEnabled(kPlay) : own || states.isEnabled(commandRowOf(id));
      EXPECT_EQ(action->isEnabled(), enabled) << "command " << id << " after " << after;
      if (action->isCheckable()) {
        EXPECT_EQ(action->isChecked(), states.checked.count(id) > 0)
            << "check of " << id << " after " << after;
      }
      if (QWidget* button = window->toolBar()->widgetForAction(action)) {
        EXPECT_EQ(button->isEnabled(), action->isEnabled()) << "button " << id;
      }
    }
  }

  std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, EveryRowIsReachableFromAMenuAButtonTheContextMenuOrAKey) {
  open(writeSpeech("take.wav", 2));
  std::map<int, std::set<std::string>> reached;
  for (QAction* action : menuBarActions())
    reached[action->data().toInt()].insert("menu");
  for (QAction* action : window->toolBar()->actions()) {
    if (!action->isSeparator()) reached[action->data().toInt()].insert("toolbar");
  }
  std::unique_ptr<QMenu> context = window->buildContextMenu();
  std::vector<QAction*> contextActions;
  actionsOf(context.get(), contextActions);
  for (QAction* action : contextActions)
    reached[action->data().toInt()].insert("context");
  std::unique_ptr<QMenu> fallback = window->buildFallbackMenu();
  std::vector<QAction*> fallbackActions;
  actionsOf(fallback.get(), fallbackActions);
  for (QAction* action : fallbackActions)
    reached[action->data().toInt()].insert("fallback");
  std::vector<QAction*> keyed = window->commandActions();
  keyed.insert(keyed.end(), window->keyActions().begin(), window->keyActions().end());
  for (QAction* action : keyed) {
    if (!action->shortcuts().isEmpty()) reached[action->data().toInt()].insert("key");
  }
  for (const CommandRow& row : commandTable()) {
    if (row.first == kNothing) continue;  // a row that does nothing has no control
    bool found = false;
    for (int id = row.first; id <= row.last; ++id)
      found = found || reached.count(id) > 0;
    EXPECT_TRUE(found) << "command " << row.first << " \"" << row.menuText << "\"";
  }
  for (int id : {kHelpContents, kAbout, kExit, kPlayControl, kPreferences})
    EXPECT_TRUE(reached.count(id)) << id;
  // Every item shows a text (and the toolbar's buttons an icon).
  for (QAction* action : menuBarActions())
    EXPECT_FALSE(action->text().isEmpty()) << action->data().toInt();
  for (QAction* action : window->toolBar()->actions()) {
    if (!action->isSeparator()) {
      EXPECT_FALSE(action->icon().isNull()) << action->data().toInt();
    }
  }
}

TEST_F(MainWindowTest, TheDesktopKeysAreBoundOnceEach) {
  const struct {
    QKeySequence key;
    int id;
  } keys[] = {
      {QKeySequence("Ctrl+N"), kNewFile},    {QKeySequence("Ctrl+O"), kOpenFile},
      {QKeySequence("Ctrl+S"), kSave},       {QKeySequence("Ctrl+Shift+S"), kSaveAs},
      {QKeySequence("Ctrl+W"), kCloseFile},  {QKeySequence("Ctrl+Q"), kExit},
      {QKeySequence("Ctrl+Z"), kUndo},       {QKeySequence("Ctrl+Y"), kRedo},
      {QKeySequence("Ctrl+Shift+Z"), kRedo}, {QKeySequence("Ctrl+X"), kCut},
      {QKeySequence("Ctrl+C"), kCopy},       {QKeySequence("Ctrl+V"), kPaste},
      {QKeySequence("Del"), kDelete},        {QKeySequence("Ctrl+A"), kSelectAll},
      {QKeySequence("Space"), kPlay},        {QKeySequence("Home"), kGoToStart},
      {QKeySequence("End"), kGoToEnd},       {QKeySequence("Left"), kStepLeft},
      {QKeySequence("Right"), kStepRight},   {QKeySequence("Up"), kVolumeUp},
      {QKeySequence("Down"), kVolumeDown},   {QKeySequence("Ctrl++"), kZoomIn},
      {QKeySequence("Ctrl+-"), kZoomOut},    {QKeySequence("F1"), kHelpContents},
      {QKeySequence("Menu"), kContextMenu},
  };
  std::map<QString, std::vector<int>> bound;
  std::vector<QAction*> actions = window->commandActions();
  actions.insert(actions.end(), window->keyActions().begin(), window->keyActions().end());
  for (QAction* action : actions) {
    for (const QKeySequence& key : action->shortcuts())
      bound[key.toString()].push_back(action->data().toInt());
  }
  for (const auto& k : keys) {
    EXPECT_EQ(bound[k.key.toString()], std::vector<int>{k.id}) << k.key.toString().toStdString();
  }
  // No key runs two commands (an ambiguous key runs none).
  for (const auto& [key, ids] : bound)
    EXPECT_EQ(ids.size(), 1u) << key.toStdString();
  // The menus show the keys: Play and Stop show the Space bar, the steps their arrows.
  EXPECT_TRUE(window->commandAction(kPlay)->text().endsWith("\tSpace"));
  EXPECT_TRUE(window->commandAction(kStop)->text().startsWith("&Stop\t"));
  EXPECT_EQ(window->commandAction(kStepLeft)->shortcut(), QKeySequence(Qt::Key_Left));
}

TEST_F(MainWindowTest, KeysRunTheirCommandsOnTheDocument) {
  open(writeSpeech("take.wav", 3));
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  const int32_t length = doc().audio.length();
  QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(doc().selectionStart, 0);
  EXPECT_EQ(doc().selectionEnd, length);
  QTest::keyClick(window.get(), Qt::Key_Delete);
  EXPECT_EQ(doc().audio.length(), 0);
  QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(doc().audio.length(), length);
  QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(doc().audio.length(), 0);
  QTest::keyClick(window.get(), Qt::Key_Y, Qt::ControlModifier);  // nothing left to redo
  QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
  ASSERT_EQ(doc().audio.length(), length);
  // Home and End move the cursor; with a selection, Home goes to its start.
  doc().selectionStart = doc().selectionEnd = 0;
  QTest::keyClick(window.get(), Qt::Key_End);
  EXPECT_EQ(doc().cursor, length);
  QTest::keyClick(window.get(), Qt::Key_Home);
  EXPECT_EQ(doc().cursor, 0);
  QTest::keyClick(window.get(), Qt::Key_Right);
  EXPECT_EQ(doc().cursor, window->documentWindow()->framesPerStep());
  // Ctrl and plus zooms in, Ctrl and minus back out.
  const int64_t visible = doc().viewEnd - doc().viewStart;
  QTest::keyClick(window.get(), Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_LT(doc().viewEnd - doc().viewStart, visible);
  QTest::keyClick(window.get(), Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(doc().viewEnd - doc().viewStart, visible);
  // Space plays (on the null device) and stops.
  EXPECT_FALSE(window->hasTransport());  // nothing of the sound is made before it is used
  QTest::keyClick(window.get(), Qt::Key_Space);
  EXPECT_TRUE(window->editor().view().isPlaying());
  QTest::keyClick(window.get(), Qt::Key_Space);
  EXPECT_FALSE(window->editor().view().isPlaying());
}

TEST_F(MainWindowTest, StatesAndChecksFollowTheTableAfterEveryCommand) {
  expectStatesFollowTheTable("start");
  open(writeSpeech("take.wav", 3));
  expectStatesFollowTheTable("open");
  const int sequence[] = {
      kSelectAll,    kCopy,          kZoomIn,          kZoomToSelection, kWaveFormLeftRight,
      kVerticalZoom, kLoopPlay,      kPlaySpeedFast,   kDelete,          kUndo,
      kRedo,         kUndo,          kPaste,           kSelectToStart,   kTrimStart,
      kGoToEnd,      kZoomIn,        kZoomFull,        kWaveFormDual,    kWaveFormPlusMinus,
      kLoopPlay,     kPlaySpeedSlow, kPlaySpeedNormal, kVerticalZoom,    kSelectAll,
      kSilence,      kReverse,
  };
  for (int id : sequence) {
    QAction* action = window->commandAction(id);
    ASSERT_NE(action, nullptr) << id;
    ASSERT_TRUE(action->isEnabled()) << id;
    action->trigger();  // as a click on the menu item
    expectStatesFollowTheTable(std::to_string(id));
  }
  // Closing the modified document asks; "Don't Save" closes it.
  whenModal<QMessageBox>([](QMessageBox& box) {
    EXPECT_EQ(box.windowTitle(), "Pocket Quillon");
    EXPECT_EQ(box.text(), "Save changes to \"take.wav\"?");
    for (QAbstractButton* button : box.buttons()) {
      if (button->text() == "Don't Save") button->click();
    }
  });
  window->commandAction(kCloseFile)->trigger();
  EXPECT_FALSE(window->editor().hasDocument());
  expectStatesFollowTheTable("close");
}

// The sound dialogs from the menus: "Play &Control..." in the Play menu opens Play Control over
// the open document, "&Preferences..." in the Edit menu the sound settings (on the null devices).
TEST_F(MainWindowTest, PlayControlAndPreferencesOpenFromTheMenus) {
  std::map<QString, std::vector<QAction*>> menus;
  for (QAction* title : window->menuBar()->actions())
    actionsOf(title->menu(), menus[title->text()]);
  QAction* playControl = window->commandAction(kPlayControl);
  QAction* preferences = window->commandAction(kPreferences);
  ASSERT_NE(playControl, nullptr);
  ASSERT_NE(preferences, nullptr);
  EXPECT_EQ(playControl->text(), "Play &Control...");
  EXPECT_EQ(preferences->text(), "&Preferences...");
  EXPECT_EQ(std::count(menus["&Play"].begin(), menus["&Play"].end(), playControl), 1);
  EXPECT_EQ(std::count(menus["&Edit"].begin(), menus["&Edit"].end(), preferences), 1);
  EXPECT_FALSE(playControl->isEnabled());  // no document yet
  EXPECT_TRUE(preferences->isEnabled());

  open(writeSpeech("take.wav", 2));
  ASSERT_TRUE(playControl->isEnabled());
  QString shown;
  whenModal<audio_io::ui::PlayControlDialog>([&](audio_io::ui::PlayControlDialog& dialog) {
    shown = dialog.windowTitle();
    dialog.reject();
  });
  playControl->trigger();  // as a click on the menu item
  EXPECT_EQ(shown, "Play Control");
  EXPECT_TRUE(window->editor().hasDocument());
  EXPECT_FALSE(window->isBusy());

  shown.clear();
  int page = -1;
  whenModal<audio_io::ui::PreferencesDialog>([&](audio_io::ui::PreferencesDialog& dialog) {
    shown = dialog.pages()->tabText(dialog.pages()->currentIndex());
    page = dialog.pages()->currentIndex();
    dialog.reject();
  });
  preferences->trigger();
  EXPECT_EQ(page, audio_io::ui::PreferencesDialog::kSoundOutput);
  EXPECT_EQ(shown, "Sound Output && Volume");
  EXPECT_FALSE(window->isBusy());
}

TEST_F(MainWindowTest, MenusRecentFilesAndTheFallbackMenu) {
  std::vector<QString> titles;
  for (QAction* action : window->menuBar()->actions())
    titles.push_back(action->text());
  EXPECT_EQ(titles, (std::vector<QString>{"&File", "&Edit", "&View", "&Play", "&Help"}));
  QMenu* recent = window->recentFilesMenu();
  ASSERT_EQ(recent->actions().size(), 1);
  EXPECT_EQ(recent->actions()[0]->text(), "Empty");
  EXPECT_EQ(recent->actions()[0]->data().toInt(), kRecentEmpty);

  // Thirteen recent files show twelve, newest first, then the way to forget them.
  int64_t clock = 1000;
  window->editor().recentFiles().now = [&] { return clock; };
  std::vector<std::string> paths;
  for (int i = 0; i < 13; ++i) {
    paths.push_back(writeSpeech("r&" + std::to_string(i) + ".wav", 1, 1));
    ++clock;
    window->editor().recentFiles().add(paths.back());
  }
  window->editor().refreshCommandStates();
  QList<QAction*> items = recent->actions();
  ASSERT_EQ(items.size(), 14);
  EXPECT_EQ(items[0]->text(), "r&&12.wav");  // an ampersand shows as itself
  EXPECT_EQ(items[0]->data().toInt(), kRecentFirst);
  EXPECT_EQ(items[11]->text(), "r&&1.wav");
  EXPECT_TRUE(items[12]->isSeparator());
  EXPECT_EQ(items[13]->text(), "Delete &Recent Files List");
  EXPECT_TRUE(items[0]->isEnabled());
  ++clock;
  items[1]->trigger();
  ASSERT_TRUE(window->editor().hasDocument());
  EXPECT_EQ(doc().path, paths[11]);

  // Without a document the context menu is the fallback menu, with every recent path.
  window->commandAction(kCloseFile)->trigger();
  ASSERT_FALSE(window->editor().hasDocument());
  std::unique_ptr<QMenu> fallback = window->buildFallbackMenu();
  QList<QAction*> entries = fallback->actions();
  ASSERT_EQ(entries.size(), 4 + 1 + 13);
  EXPECT_EQ(entries[0]->text(), "&New File...");
  EXPECT_EQ(entries[1]->text(), "&Open File...");
  EXPECT_TRUE(entries[2]->isSeparator());
  EXPECT_EQ(entries[3]->text(), "&Record");
  EXPECT_TRUE(entries[4]->isSeparator());
  EXPECT_EQ(entries[5]->text().toStdString(), std::regex_replace(paths[11], std::regex("&"), "&&"));
  EXPECT_EQ(entries[5]->data().toInt(), kRecentFirst);

  // Deleting the list asks first.
  whenModal<QMessageBox>([](QMessageBox& box) {
    EXPECT_EQ(box.text(), "Are you sure to delete recent files list ?");
    box.button(QMessageBox::Yes)->click();
  });
  window->commandAction(kDeleteRecentList)->trigger();
  ASSERT_EQ(recent->actions().size(), 1);
  EXPECT_EQ(recent->actions()[0]->text(), "Empty");
}

TEST_F(MainWindowTest, TheContextMenuShowsWhereTheUserAskedAndItsChoiceRunsAfterIt) {
  open(writeSpeech("take.wav", 2));
  doc().selectionStart = 1000;
  doc().selectionEnd = 5000;
  window->editor().refreshCommandStates();
  view::ui::WaveViewWidget* wave = window->documentWindow()->pane().waveView();
  const QPoint at = wave->mapToGlobal(QPoint(300, 80));
  bool checked = false;
  QTimer::singleShot(0, [&] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->pos(), at);
    QStringList texts;
    for (QAction* action : menu->actions())
      texts << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(texts, (QStringList{"&Record", "-", "Cut", "Copy", "Paste", "Delete", "-",
                                  "Selection", "Trim", "Insert File", "Effects"}));
    // Paste is greyed while the clipboard is empty; Copy is not.
    EXPECT_FALSE(window->commandAction(kPaste)->isEnabled());
    EXPECT_TRUE(window->commandAction(kCopy)->isEnabled());
    checked = true;
    window->commandAction(kCopy)->trigger();
    menu->close();
  });
  // A right click asks for it, as a press and hold does.
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(300, 80), at);
  QApplication::sendEvent(wave, &event);
  EXPECT_TRUE(checked);
  ASSERT_TRUE(eventually([] { return clipboard().length() == 4000; }));
  EXPECT_TRUE(window->commandAction(kPaste)->isEnabled());
}

TEST_F(MainWindowTest, TheTitleAndTheCaptionShowTheFileAndTheModifiedMark) {
  EXPECT_EQ(window->windowTitle(), "Quillon");
  open(writeSpeech("take.wav", 1));
  EXPECT_EQ(window->windowTitle(), QString("take.wav[*] \u2014 Quillon"));
  EXPECT_FALSE(window->isWindowModified());
  view::ui::CaptionBar* caption = window->documentWindow()->pane().captionBar();
  EXPECT_EQ(caption->text(), "take.wav");
  EXPECT_EQ(caption->modified(), std::optional<bool>(false));
  window->commandAction(kSelectAll)->trigger();
  window->commandAction(kDelete)->trigger();
  EXPECT_TRUE(window->isWindowModified());
  EXPECT_EQ(caption->text(), "take.wav*");
  EXPECT_EQ(caption->modified(), std::optional<bool>(true));
}

TEST_F(MainWindowTest, ADroppedFileOpensOnceTheDropHasEnded) {
  const std::string path = writeSpeech("dropped.wav", 1);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
  QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
  QApplication::sendEvent(window.get(), &drop);
  EXPECT_FALSE(window->editor().hasDocument());
  ASSERT_TRUE(eventually([&] { return window->editor().hasDocument(); }));
  EXPECT_EQ(doc().path, path);
}

TEST_F(MainWindowTest, AHandOverWaitsForTheRunningCommand) {
  const std::string path = writeSpeech("handed.wav", 1);
  bool openedDuringTheDialog = true;
  whenModal<ui::FormDialog>([&](ui::FormDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "New File");
    window->handOver({"quillon", path});
    QTest::qWait(50);
    openedDuringTheDialog = window->editor().hasDocument();
    dialog.reject();
  });
  window->commandAction(kNewFile)->trigger();
  EXPECT_FALSE(openedDuringTheDialog);
  ASSERT_TRUE(eventually([&] { return window->editor().hasDocument(); }));
  EXPECT_EQ(doc().path, path);
}

}  // namespace
}  // namespace quillon::testing
