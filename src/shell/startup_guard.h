#pragma once

#include "shell/held_lock.h"

namespace quillon {

// Serialises two starts of the editor. A start holds the lock file "QuillonStarting.lock" in the
// runtime folder from its beginning until its main window exists and takes hand-overs, so a
// second start that comes meanwhile waits and then finds the first running. The wait is bounded:
// when the budget runs out, start-up continues without the guard.
class StartupGuard {
 public:
  static constexpr int kBudgetMilliseconds = 20000;
  static constexpr char kLockName[] = "QuillonStarting.lock";

  // True when the guard is held; false when the budget ran out or the lock file cannot be made
  // (neither is an error).
  bool take(int budgetMilliseconds = kBudgetMilliseconds);
  void release() { lock_.release(); }
  bool held() const { return lock_.held(); }

 private:
  HeldLock lock_;
};

}  // namespace quillon
