#include "browser/folder_history.h"

namespace quillon::browser {

void FolderHistory::visit(const std::string& folder) {
  if (slots_[current_].empty()) {
    slots_[current_] = folder;
    return;
  }
  if (slots_[current_] == folder) return;
  // The folders ahead of the current one are forgotten.
  for (int slot = current_; slot != newest_;) {
    slot = next(slot);
    slots_[slot].clear();
  }
  current_ = newest_ = next(current_);
  if (current_ == oldest_) oldest_ = next(oldest_);
  slots_[current_] = folder;
}

std::optional<std::string> FolderHistory::back(
    const std::function<bool(const std::string&)>& exists) {
  for (int slot = current_; slot != oldest_;) {
    slot = previous(slot);
    if (exists(slots_[slot])) {
      current_ = slot;
      return slots_[slot];
    }
  }
  return std::nullopt;
}

std::optional<std::string> FolderHistory::forward(
    const std::function<bool(const std::string&)>& exists) {
  for (int slot = current_; slot != newest_;) {
    slot = next(slot);
    if (exists(slots_[slot])) {
      current_ = slot;
      return slots_[slot];
    }
  }
  return std::nullopt;
}

}  // namespace quillon::browser
