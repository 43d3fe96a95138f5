#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace quillon::browser {

// The folders visited, for Back and Forward: a ring of 16 paths with the current one. Visiting a
// folder other than the current one stores it after the current one and forgets the folders
// ahead of it; when the ring is full the oldest is overwritten.
class FolderHistory {
 public:
  static constexpr int kSlots = 16;

  void visit(const std::string& folder);
  // The folder before (after) the current one that `exists` accepts, which becomes current;
  // nothing at the end of the history or when no such folder is left.
  std::optional<std::string> back(const std::function<bool(const std::string&)>& exists);
  std::optional<std::string> forward(const std::function<bool(const std::string&)>& exists);

  bool canGoBack() const { return current_ != oldest_; }
  bool canGoForward() const { return current_ != newest_; }
  const std::string& current() const { return slots_[current_]; }

 private:
  static int next(int slot) { return (slot + 1) % kSlots; }
  static int previous(int slot) { return (slot + kSlots - 1) % kSlots; }

  std::array<std::string, kSlots> slots_;
  int current_ = 0;
  int oldest_ = 0;
  int newest_ = 0;
};

}  // namespace quillon::browser
