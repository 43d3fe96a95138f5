#include "browser/browser_controller.h"

#include <algorithm>

#include "browser/browser_messages.h"
#include "platform/text_format.h"
#include "platform/xdg_dirs.h"

namespace quillon::browser {
namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Compares names without case, runs of digits by their value.
int compareNames(const std::string& a, const std::string& b) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (isDigit(a[i]) && isDigit(b[j])) {
      size_t endA = i;
      size_t endB = j;
      while (endA < a.size() && a[endA] == '0')
        ++endA;
      while (endB < b.size() && b[endB] == '0')
        ++endB;
      size_t startA = endA;
      size_t startB = endB;
      while (endA < a.size() && isDigit(a[endA]))
        ++endA;
      while (endB < b.size() && isDigit(b[endB]))
        ++endB;
      const size_t lengthA = endA - startA;
      const size_t lengthB = endB - startB;
      if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
      const int digits = a.compare(startA, lengthA, b, startB, lengthB);
      if (digits != 0) return digits;
      i = endA;
      j = endB;
      continue;
    }
    const char ca = lower(a[i]);
    const char cb = lower(b[j]);
    if (ca != cb) return (unsigned char)ca < (unsigned char)cb ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  return a.compare(b);  // names equal without case still have an order
}

bool isBlank(const std::string& text) {
  return text.find_first_not_of(" \t") == std::string::npos;
}

// A name an entry can take in its folder.
bool isValidName(const std::string& name) {
  return !isBlank(name) && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

const char* kindWord(BrowserEntry::Kind kind, bool capitalised) {
  switch (kind) {
    case BrowserEntry::Kind::Directory:
      return capitalised ? "Directory" : "directory";
    case BrowserEntry::Kind::Link:
      return capitalised ? "Link" : "link";
    case BrowserEntry::Kind::File:
      break;
  }
  return capitalised ? "File" : "file";
}

std::string newFolderName(const std::function<bool(const std::string&)>& taken) {
  std::string name = messages::kNewFolderName;
  for (int number = 1; number <= 15 && taken(name); ++number)
    name = formatMessage(messages::kNumberedNewFolderName, {std::to_string(number)});
  return name;
}

bool rowBefore(const BrowserEntry& a, const BrowserEntry& b) {
  if (a.real != b.real) return !a.real;
  if (a.opensAsFolder != b.opensAsFolder) return a.opensAsFolder;
  return compareNames(a.name, b.name) < 0;
}

std::string normalFolder(const std::string& folder, const std::string& base) {
  const std::string full = !folder.empty() && folder[0] == '/' ? folder : base + "/" + folder;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= full.size()) {
    size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    const std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out;
  for (const std::string& part : parts)
    out += "/" + part;
  return out.empty() ? "/" : out;
}

BrowserController::BrowserController(FileSystem& files, Interaction& interaction,
                                     BrowserSetup setup)
    : files_(files), interaction_(interaction), setup_(std::move(setup)) {
  name_ = setup_.fileName;
  filter_ = std::clamp(setup_.filter, 0, std::max(0, int(setup_.filters.size()) - 1));
}

void BrowserController::start() {
  for (const std::string& folder : {setup_.folder, files_.currentFolder()}) {
    if (!folder.empty() && files_.directoryExists(normalFolder(folder, "/"))) {
      goTo(normalFolder(folder, "/"));
      return;
    }
  }
  // Nowhere to start: the root, listed as far as it can be.
  folder_ = "/";
  history_.visit(folder_);
  if (view_) view_->folderChanged();
  relist({});
}

std::vector<std::string> BrowserController::folderChoices() const {
  std::vector<std::string> choices;
  for (std::string at = folder_; !at.empty(); at = platform::parentFolder(at)) {
    choices.push_back(at);
    if (at == "/") break;
  }
  return choices;
}

std::optional<size_t> BrowserController::editedRow() const {
  if (!edit_) return std::nullopt;
  return edit_->row;
}

bool BrowserController::canRename() const {
  return selection_.size() == 1 && rows_[selection_[0]].real;
}

bool BrowserController::canDelete() const {
  return std::any_of(selection_.begin(), selection_.end(),
                     [&](size_t row) { return rows_[row].real; });
}

// Listing ------------------------------------------------------------------------------------

bool BrowserController::isListed(const BrowserEntry& entry) const {
  if (entry.name.empty() || entry.name[0] == '.') return false;  // hidden, as on every desktop
  if (entry.opensAsFolder || !hasTypeBox()) return true;
  return setup_.filters[size_t(filter_)].matches(entry.name);
}

void BrowserController::addSorted(std::vector<BrowserEntry>& batch) {
  const size_t sorted = rows_.size();
  for (BrowserEntry& entry : batch) {
    if (isListed(entry)) rows_.push_back(std::move(entry));
  }
  std::sort(rows_.begin() + std::ptrdiff_t(sorted), rows_.end(), rowBefore);
  std::inplace_merge(rows_.begin(), rows_.begin() + std::ptrdiff_t(sorted), rows_.end(), rowBefore);
}

void BrowserController::relist(const std::vector<std::string>& keepSelected) {
  listing_ = true;
  if (view_) view_->setBusy(true);
  rows_.clear();
  selection_.clear();
  edit_.reset();
  if (folder_ != "/") {
    BrowserEntry parent;
    parent.kind = BrowserEntry::Kind::Directory;
    parent.name = "..";
    parent.path = platform::parentFolder(folder_);
    parent.real = false;
    parent.opensAsFolder = true;
    rows_.push_back(std::move(parent));
  }
  files_.list(folder_, [&](std::vector<BrowserEntry>& batch, bool done) {
    addSorted(batch);
    if (!done && view_) view_->rowsChanged(true);
    return true;
  });
  selectPaths(keepSelected);
  listing_ = false;
  if (view_) {
    view_->rowsChanged(false);
    view_->selectionChanged();
    view_->setBusy(false);
  }
}

void BrowserController::selectPaths(const std::vector<std::string>& paths) {
  selection_.clear();
  for (size_t row = 0; row < rows_.size(); ++row) {
    if (rows_[row].real && std::find(paths.begin(), paths.end(), rows_[row].path) != paths.end()) {
      selection_.push_back(row);
    }
  }
}

std::vector<std::string> BrowserController::selectedPaths() const {
  std::vector<std::string> paths;
  for (size_t row : selection_)
    paths.push_back(rows_[row].path);
  return paths;
}

// Input --------------------------------------------------------------------------------------

void BrowserController::select(std::vector<size_t> rows) {
  if (listing_) return;
  rows.erase(
      std::remove_if(rows.begin(), rows.end(), [&](size_t row) { return row >= rows_.size(); }),
      rows.end());
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  selection_ = std::move(rows);
  // Picking one file puts its name in the name box, so that Done saves over it.
  if (has(kNameBox) && selection_.size() == 1) {
    const BrowserEntry& entry = rows_[selection_[0]];
    if (entry.real && !entry.opensAsFolder && entry.name != name_) {
      name_ = entry.name;
      if (view_) view_->nameChanged();
    }
  }
}

void BrowserController::typeName(std::string text) {
  name_ = std::move(text);
}

void BrowserController::chooseFilter(int index) {
  if (listing_ || index < 0 || size_t(index) >= setup_.filters.size()) return;
  filter_ = index;
  relist(selectedPaths());
}

bool BrowserController::goTo(std::string folder) {
  if (listing_ || folder.empty()) return false;
  folder = normalFolder(folder, folder_.empty() ? files_.currentFolder() : folder_);
  if (!files_.directoryExists(folder)) {
    showError(formatMessage(messages::kDirectoryMissing, {folder}));
    return false;
  }
  folder_ = std::move(folder);
  history_.visit(folder_);
  if (view_) view_->folderChanged();
  relist({});
  return true;
}

void BrowserController::back() {
  if (listing_) return;
  auto exists = [this](const std::string& folder) { return files_.directoryExists(folder); };
  if (std::optional<std::string> folder = history_.back(exists)) goTo(*folder);
}

void BrowserController::forward() {
  if (listing_) return;
  auto exists = [this](const std::string& folder) { return files_.directoryExists(folder); };
  if (std::optional<std::string> folder = history_.forward(exists)) goTo(*folder);
}

void BrowserController::up() {
  if (listing_ || !canGoUp()) return;
  const std::string left = folder_;
  if (!goTo(platform::parentFolder(folder_))) return;
  selectPaths({left});
  if (view_) view_->selectionChanged();
}

void BrowserController::refresh() {
  if (listing_) return;
  relist(selectedPaths());
}

void BrowserController::activate(size_t row) {
  if (listing_ || row >= rows_.size()) return;
  const BrowserEntry entry = rows_[row];
  if (!entry.real) {
    up();
  } else if (entry.opensAsFolder) {
    goTo(entry.path);
  } else {
    selection_ = {row};
    if (view_) view_->selectionChanged();
    finishAccept(false);
  }
}

void BrowserController::openInShell() {
  if (listing_) return;
  for (size_t row : selection_) {
    if (rows_[row].real) {
      files_.openInShell(rows_[row]);
      return;
    }
  }
}

// New Folder, Rename, Delete -----------------------------------------------------------------

void BrowserController::newFolder() {
  if (listing_ || edit_) return;
  BrowserEntry entry;
  entry.kind = BrowserEntry::Kind::Directory;
  entry.opensAsFolder = true;
  entry.name = newFolderName([this](const std::string& name) {
    const std::string path = platform::joinPath(folder_, name);
    return files_.directoryExists(path) || files_.fileExists(path);
  });
  entry.path = platform::joinPath(folder_, entry.name);
  const size_t row = rows_.empty() || rows_[0].real ? 0 : 1;
  rows_.insert(rows_.begin() + std::ptrdiff_t(row), std::move(entry));
  selection_ = {row};
  edit_ = Edit{row, true};
  if (view_) {
    view_->rowsChanged(false);
    view_->selectionChanged();
    view_->editRow(row);
  }
}

void BrowserController::rename() {
  if (listing_ || edit_ || !canRename()) return;
  edit_ = Edit{selection_[0], false};
  if (view_) view_->editRow(selection_[0]);
}

void BrowserController::commitEdit(const std::string& text) {
  if (listing_ || !edit_) return;
  const Edit edit = *edit_;
  edit_.reset();
  BrowserEntry& entry = rows_[edit.row];
  if (!isValidName(text)) {
    showError(messages::kInvalidFolderName);
    if (edit.newFolder) removeRow(edit.row);
    return;
  }
  const std::string path = platform::joinPath(folder_, text);
  if (edit.newFolder) {
    if (!files_.createFolder(path)) {
      showError(formatMessage(messages::kCannotCreateFolder, {text}));
      removeRow(edit.row);
      return;
    }
  } else {
    if (text == entry.name) return;
    if (!files_.rename(entry.path, path)) {
      showError(formatMessage(messages::kCannotRename, {kindWord(entry.kind, false), entry.name}));
      return;
    }
  }
  entry.name = text;
  entry.path = path;
  if (view_) view_->rowsChanged(false);
  selection_ = {edit.row};
  if (view_) view_->selectionChanged();
}

void BrowserController::cancelEdit() {
  if (listing_ || !edit_) return;
  const Edit edit = *edit_;
  edit_.reset();
  if (edit.newFolder) removeRow(edit.row);
}

void BrowserController::removeRow(size_t row) {
  rows_.erase(rows_.begin() + std::ptrdiff_t(row));
  selection_.clear();
  if (view_) {
    view_->rowsChanged(false);
    view_->selectionChanged();
  }
}

void BrowserController::deleteSelected() {
  if (listing_ || edit_) return;
  std::vector<size_t> victims;
  for (size_t row : selection_) {
    if (rows_[row].real) victims.push_back(row);
  }
  if (victims.empty()) return;
  const BrowserEntry& first = rows_[victims[0]];
  const std::string question =
      victims.size() == 1
          ? formatMessage(messages::kConfirmDeleteOne, {kindWord(first.kind, false), first.name})
          : std::string(messages::kConfirmDeleteMany);
  if (!askYes(question)) return;

  if (view_) view_->setBusy(true);
  std::vector<bool> gone(rows_.size(), false);
  for (size_t row : victims) {
    const BrowserEntry& entry = rows_[row];
    if (files_.remove(entry)) {
      gone[row] = true;
    } else {
      showError(formatMessage(messages::kCannotDelete, {kindWord(entry.kind, false), entry.name}));
    }
  }
  std::vector<BrowserEntry> kept;
  for (size_t row = 0; row < rows_.size(); ++row) {
    if (!gone[row]) kept.push_back(std::move(rows_[row]));
  }
  rows_ = std::move(kept);
  selection_.clear();
  if (view_) {
    view_->rowsChanged(false);
    view_->selectionChanged();
    view_->setBusy(false);
  }
}

// Done and Cancel ----------------------------------------------------------------------------

bool BrowserController::accept() {
  if (listing_) return false;
  return finishAccept(true);
}

void BrowserController::cancel() {
  if (outcome_ != Outcome::Open) return;
  outcome_ = Outcome::Cancelled;
  if (view_) view_->closeBrowser();
}

bool BrowserController::exists(const BrowserEntry& entry) {
  return entry.opensAsFolder ? files_.directoryExists(entry.path) : files_.fileExists(entry.path);
}

bool BrowserController::finishAccept(bool useNameBox) {
  if (outcome_ != Outcome::Open) return false;
  std::vector<BrowserEntry> candidates;
  if (useNameBox && has(kNameBox) && !isBlank(name_)) {
    if (hasTypeBox()) {
      std::string named =
          withFilterExtension(name_, setup_.filters[size_t(filter_)], setup_.filters);
      if (named != name_) {
        name_ = std::move(named);
        if (view_) view_->nameChanged();
      }
    }
    BrowserEntry typed;
    typed.name = name_;
    typed.path = name_[0] == '/' ? name_ : platform::joinPath(folder_, name_);
    typed.opensAsFolder = files_.directoryExists(typed.path);
    typed.kind = typed.opensAsFolder ? BrowserEntry::Kind::Directory : BrowserEntry::Kind::File;
    candidates.push_back(std::move(typed));
  } else {
    for (size_t row : selection_)
      candidates.push_back(rows_[row]);
  }

  std::vector<BrowserEntry> chosen;
  for (BrowserEntry& candidate : candidates) {
    if (!candidate.real || (candidate.opensAsFolder && !has(kDirectoriesAllowed))) continue;
    if (has(kMustExist) && !exists(candidate)) {
      showError(
          formatMessage(messages::kEntryMissing, {kindWord(candidate.kind, true), candidate.name}));
      return false;
    }
    if (has(kAskOverwrite) && exists(candidate) &&
        !askYes(formatMessage(messages::kConfirmOverwrite,
                              {kindWord(candidate.kind, false), candidate.name}))) {
      return false;
    }
    chosen.push_back(std::move(candidate));
  }
  if (chosen.empty()) {
    showError(messages::kSelectAFile);
    return false;
  }
  result_ = std::move(chosen);
  outcome_ = Outcome::Accepted;
  if (view_) view_->closeBrowser();
  return true;
}

void BrowserController::showError(const std::string& text) {
  interaction_.messageBox(kProductTitle, text, MessageIcon::Error, MessageButtons::Ok);
}

bool BrowserController::askYes(const std::string& text) {
  return interaction_.messageBox(kProductTitle, text, MessageIcon::Question,
                                 MessageButtons::YesNo) == Answer::Yes;
}

}  // namespace quillon::browser
