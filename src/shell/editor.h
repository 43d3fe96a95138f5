#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>

#include "document/clip.h"
#include "document/document_view.h"
#include "document/edit_commands.h"
#include "document/wave_document.h"
#include "platform/form.h"
#include "platform/interaction.h"
#include "shell/recent_files.h"

namespace quillon {

// The enabled state of every command and the check marks, as menus and toolbars show them.
struct CommandStates {
  std::map<int, bool> enabled;  // by a row's first id
  std::set<int> checked;
  bool isEnabled(int id) const {
    auto it = enabled.find(id);
    return it != enabled.end() && it->second;
  }
};

// What the shell needs from the window that holds documents: the Qt main window, the
// command-line program's headless stand-in, or a test's fake.
class MainWindow {
 public:
  virtual ~MainWindow() = default;
  virtual Interaction& interaction() = 0;
  // The view of a new current document, its window placed in the main window.
  virtual std::unique_ptr<DocumentView> createView(Ref<WaveDocument> document) = 0;
  virtual void setCaption(const std::string& text, bool modified) = 0;
  virtual void showCommandStates(const CommandStates& states) { (void)states; }
  // Marked while a command runs (with its dialogs), so that activation in between is not taken
  // for a new one.
  virtual void setBusy(bool busy) { (void)busy; }
  // The context menu while no document is open: "&New File...", "&Open File...", "&Record" and
  // the recent files.
  virtual void showFallbackMenu() {}
};

// New File's dialog: "rate" (6,000 to 96,000) and "channels" ("Mono" 1, "Stereo" 2), stored as
// "SelectedSampleRate" and "SelectedChannels" once confirmed.
extern const Form kNewFileForm;

// The editor's one open document and what the commands act on: the current view (a default view
// without window while no document is open), the clipboard and the recent files. Every command
// goes through `dispatchCommand`.
class Editor {
 public:
  explicit Editor(MainWindow& window);
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  DocumentView& view();
  WaveDocument& document() { return *view().document(); }
  bool hasDocument() { return view().hasWindow(); }
  Interaction& interaction() { return window_.interaction(); }
  MainWindow& window() { return window_; }
  ClipServices& clipServices() { return *services_; }
  RecentFiles& recentFiles() { return recent_; }

  // Runs a command of the table (or 2100, closing before exit): answers whether a row ran (for
  // 2100: whether the close was refused). Afterwards the command states and the caption are
  // brought up to date. The context menu (7000) without a document is the main window's
  // fallback menu.
  bool dispatchCommand(int id, int code = 0);
  // Whether the last command that ran did its work (false when it was cancelled, refused,
  // failed or found nothing to do).
  bool lastCommandDone() const { return lastDone_; }
  bool isCommandEnabled(int id);
  // Recomputes the enabled state and check marks of every command for the main window, and its
  // caption.
  void refreshCommandStates();
  CommandStates commandStates();
  // "%s%s": the document's file name and "*" when it is modified.
  std::string caption();

  // Document lifecycle.
  bool newFile();
  bool openFile(const std::string& path);
  bool chooseAndOpen();
  bool openRecent(int index);
  bool closeDocument();
  bool closeFileCommand();
  bool promptSaveChanges(DocumentView& view, WaveDocument& document);

 private:
  MainWindow& window_;
  std::unique_ptr<DocumentView> defaultView_;
  std::unique_ptr<DocumentView> view_;
  std::unique_ptr<ClipServices> services_;
  RecentFiles recent_;
  bool lastDone_ = false;
};

}  // namespace quillon
