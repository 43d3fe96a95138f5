#pragma once

#include <QMainWindow>
#include <QPoint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "shell/editor.h"
#include "shell/menu_layout.h"
#include "shell/recent_files.h"
#include "shell/ui/qt_interaction.h"
#include "view/ui/qt_notice_poster.h"

class QMenu;
class QStackedWidget;
class QToolBar;

namespace quillon {
class Transport;
namespace view::ui {
class DocumentPane;
}
}  // namespace quillon

namespace quillon::ui {

class DocumentWindow;

// The editor's main window: it owns the Editor, the menus, the toolbar and the keys built from
// the menu layout and the command table, the document window of the open document (the logo
// while none is open), and the transport that plays and records. Every menu item, button, key
// and context-menu entry is a command id handed to the Editor; after each one the enabled states,
// the check marks and the caption follow the table. The title is the file name with the modified
// mark, then "Quillon".
class MainWindow : public QMainWindow, public ::quillon::MainWindow, private RecentFiles::Observer {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  Editor& editor() { return *editor_; }
  QtInteraction& qtInteraction() { return interaction_; }

  // The shell's MainWindow.
  Interaction& interaction() override { return interaction_; }
  std::unique_ptr<DocumentView> createView(Ref<WaveDocument> document) override;
  void setCaption(const std::string& text, bool modified) override;
  void showCommandStates(const CommandStates& states) override;
  void setBusy(bool busy) override;
  void showFallbackMenu() override;

  // A command is running (with its dialogs): commands, hand-overs and dropped files wait for it.
  bool isBusy() const { return busy_ > 0; }
  // Runs a command of a menu, button or key: the window's own (Help Contents, About, Exit) or the
  // Editor's. While another command runs it waits for that one to end.
  void runCommand(int id, int code = 0);
  // A second start's arguments (or a dropped file as argument 1): the window comes to the front
  // and opens the file, once no command is running.
  void handOver(std::vector<std::string> arguments);
  // The context menu of the document, or the fallback menu without one, at a screen position.
  void requestContextMenu(const QPoint& globalPosition);

  // What the document window asks of the main window.
  view::ui::DocumentPane* placeDocumentPane();
  void removeDocumentPane(view::ui::DocumentPane* pane);
  void showContextMenu();
  // The user changed the selection or the cursor: the command states follow (once per event
  // loop pass).
  void documentTouched();
  bool hasTransport() const { return bool(transport_); }
  // Made when sound is first used, so that starting the editor opens no device.
  Transport& transport();
  bool record(DocumentView& view);
  QWidget* makeTransportStrip(DocumentWindow& window);
  DocumentWindow* documentWindow() const;

  // Hooks for the sound dialogs. Record's entry point (by default recordThroughTransport, until
  // the Record Control dialog takes its place), and the transport strip of each document window
  // (none by default).
  using Recorder = std::function<bool(DocumentView& view, Transport& transport, Interaction& ui)>;
  void setRecorder(Recorder recorder) { recorder_ = std::move(recorder); }
  void setTransportStripFactory(std::function<QWidget*(DocumentWindow&)> factory) {
    stripFactory_ = std::move(factory);
  }

  // The parts, for tests and pictures: the action of a command (shared by the menus and the
  // toolbar), the actions that only keys reach, the menus as the window would show them.
  QAction* commandAction(int id) const;
  std::vector<QAction*> commandActions() const;
  const std::vector<QAction*>& keyActions() const { return keyActions_; }
  QToolBar* toolBar() const { return toolBar_; }
  QMenu* recentFilesMenu() const { return recentMenu_; }
  std::unique_ptr<QMenu> buildContextMenu();
  std::unique_ptr<QMenu> buildFallbackMenu();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // RecentFiles::Observer: the Recent Files submenu.
  void begin() override;
  void entry(const std::string& path) override;
  void end() override;

  QAction* makeAction(int id, const std::string& text);
  void fillMenu(QMenu* menu, std::span<const MenuEntry> entries);
  void buildMenus();
  void buildToolBar();
  void buildKeys();
  void showAbout();
  void runDeferred();
  void refreshSoon();
  void saveGeometryNow();

  view::ui::QtNoticePoster poster_;  // before the transport: its notices die with it
  QtInteraction interaction_;
  std::unique_ptr<Transport> transport_;
  std::unique_ptr<Editor> editor_;

  QStackedWidget* stack_ = nullptr;
  QWidget* logo_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  std::map<int, QAction*> actions_;
  std::vector<QAction*> keyActions_;
  std::vector<QAction*> recentActions_;
  size_t recentShown_ = 0;
  CommandStates states_;

  QPoint contextPosition_;
  int busy_ = 0;
  bool refreshQueued_ = false;
  std::deque<std::function<void()>> deferred_;
  Recorder recorder_;
  std::function<QWidget*(DocumentWindow&)> stripFactory_;
  DocumentWindow* document_ = nullptr;
};

// The settings of the window's place on the screen.
inline constexpr char kWindowSettings[] = "MainWindow";

}  // namespace quillon::ui
