#pragma once

#include <string>

#include "platform/lock_file.h"

namespace quillon {

// Serialises two starts of the editor. A start holds the lock file "QuillonStarting.lock" in the
// runtime folder from its beginning until its main window exists and takes hand-overs, so a
// second start that comes meanwhile waits and then finds the first running. The wait is bounded:
// when the budget runs out, start-up continues without the guard. The runtime folder must be
// private (`XdgDirs::privateRuntimeFolder`); when it is not, no guard is taken there and
// `refusal()` says why.
class StartupGuard {
 public:
  static constexpr int kBudgetMilliseconds = 20000;
  static constexpr char kLockName[] = "QuillonStarting.lock";

  // True when the guard is held; false when the budget ran out or the lock file cannot be made
  // (neither is an error).
  bool take(int budgetMilliseconds = kBudgetMilliseconds);
  void release() { lock_.close(); }
  bool held() const { return lock_.locked(); }
  // Why the runtime folder was refused at the last `take` ("" when it was not).
  const std::string& refusal() const { return refusal_; }

 private:
  platform::LockFile lock_;
  std::string refusal_;
};

}  // namespace quillon
