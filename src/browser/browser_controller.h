#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "browser/browser_entry.h"
#include "browser/file_filter.h"
#include "browser/file_system.h"
#include "browser/folder_history.h"
#include "platform/interaction.h"

namespace quillon::browser {

// What the browser offers and how strictly it checks what is chosen.
enum BrowserOption : int {
  kToolbar = 1,
  kFolderBox = 2,
  kNameBox = 4,
  kDirectoriesAllowed = 8,  // directories may be returned
  kMustExist = 16,          // the chosen entry must exist
  kAskOverwrite = 32,       // ask before an existing entry is returned
};
inline constexpr int kOpenOptions = kToolbar | kFolderBox | kMustExist;
inline constexpr int kSaveOptions = kToolbar | kFolderBox | kNameBox;

struct BrowserSetup {
  int options = kOpenOptions;
  std::string title;
  std::string folder;               // shown first when it exists, else the current folder
  std::string fileName;             // the name box's first text
  std::vector<FileFilter> filters;  // the type box; none: no type box and every file is listed
  int filter = 0;                   // the type selected at first
};

// The window that shows a browser: told what changed, it reads the controller's state.
class BrowserView {
 public:
  virtual ~BrowserView() = default;
  // The rows were replaced (the selection with them). While `more` is set the folder is still
  // being read: paint the rows now, more follow.
  virtual void rowsChanged(bool more) = 0;
  virtual void selectionChanged() = 0;
  virtual void folderChanged() = 0;  // the folder, its choices and the commands' states
  virtual void nameChanged() = 0;
  virtual void editRow(size_t row) = 0;  // start in-place editing of the row's name
  virtual void setBusy(bool busy) = 0;
  virtual void closeBrowser() = 0;  // accepted or cancelled
};

// The file browser without its window: the folder shown and its rows, the selection, the name
// and type boxes, the history, and every command of the dialog. The window forwards the user's
// input here and shows what the controller tells it; questions and errors go through the
// Interaction, files through the FileSystem.
class BrowserController {
 public:
  enum class Outcome { Open, Accepted, Cancelled };

  BrowserController(FileSystem& files, Interaction& interaction, BrowserSetup setup);
  void setView(BrowserView* view) { view_ = view; }
  // Shows the first folder: the setup's when it exists, else the current folder, else the root.
  void start();

  // What is shown.
  const BrowserSetup& setup() const { return setup_; }
  bool has(int option) const { return (setup_.options & option) != 0; }
  bool hasTypeBox() const { return !setup_.filters.empty(); }
  const std::string& folder() const { return folder_; }
  // The folder box's list: the folder and each folder above it, up to the root.
  std::vector<std::string> folderChoices() const;
  const std::vector<BrowserEntry>& rows() const { return rows_; }
  const std::vector<size_t>& selection() const { return selection_; }
  const std::string& name() const { return name_; }
  int filter() const { return filter_; }
  std::optional<size_t> editedRow() const;
  bool canGoBack() const { return history_.canGoBack(); }
  bool canGoForward() const { return history_.canGoForward(); }
  bool canGoUp() const { return folder_ != "/"; }
  bool canRename() const;  // one real entry selected
  bool canDelete() const;  // a real entry selected
  Outcome outcome() const { return outcome_; }
  const std::vector<BrowserEntry>& result() const { return result_; }

  // What the user does.
  void select(std::vector<size_t> rows);
  void typeName(std::string text);
  void chooseFilter(int index);
  // Goes to a folder (relative to the one shown); false with a message when it does not exist.
  bool goTo(std::string folder);
  void back();
  void forward();
  void up();
  void refresh();
  // Double click: ".." goes up, a folder is entered, a file is accepted as Done would accept the
  // list's selection, without looking at the name box.
  void activate(size_t row);
  void openInShell();
  void newFolder();
  void rename();
  void deleteSelected();
  void commitEdit(const std::string& text);
  void cancelEdit();
  // Done: true when the browser closes with a result; false leaves it open (after a message).
  bool accept();
  void cancel();

 private:
  struct Edit {
    size_t row;
    bool newFolder;
  };

  void relist(const std::vector<std::string>& keepSelected);
  bool isListed(const BrowserEntry& entry) const;
  void addSorted(std::vector<BrowserEntry>& batch);
  void selectPaths(const std::vector<std::string>& paths);
  std::vector<std::string> selectedPaths() const;
  void removeRow(size_t row);
  bool finishAccept(bool useNameBox);
  bool exists(const BrowserEntry& entry);
  void showError(const std::string& text);
  bool askYes(const std::string& text);

  FileSystem& files_;
  Interaction& interaction_;
  BrowserSetup setup_;
  BrowserView* view_ = nullptr;

  std::string folder_;
  std::vector<BrowserEntry> rows_;
  std::vector<size_t> selection_;
  std::string name_;
  int filter_ = 0;
  FolderHistory history_;
  std::optional<Edit> edit_;
  bool listing_ = false;  // input that arrives while a folder is read is ignored
  Outcome outcome_ = Outcome::Open;
  std::vector<BrowserEntry> result_;
};

// The name New Folder proposes: "New Folder", else "New Folder 1" to "New Folder 15", the first
// that `taken` refuses; the last when all are taken.
std::string newFolderName(const std::function<bool(const std::string&)>& taken);

// Orders rows: ".." first, then folders, then files, each by name without case and with runs
// of digits compared as numbers ("take2" before "take10").
bool rowBefore(const BrowserEntry& a, const BrowserEntry& b);

// The absolute form of a folder typed or chosen: relative to `base`, "." and ".." resolved,
// no trailing "/" except for the root.
std::string normalFolder(const std::string& folder, const std::string& base);

}  // namespace quillon::browser
