#include "shell/startup_guard.h"

#include "platform/xdg_dirs.h"

namespace quillon {

bool StartupGuard::take(int budgetMilliseconds) {
  const std::string folder = platform::XdgDirs::runtimeFolder();
  if (!platform::makeFolders(folder, 0700)) return false;
  return lock_.tryLock(platform::joinPath(folder, kLockName), HeldLock::Kind::Exclusive,
                       budgetMilliseconds);
}

}  // namespace quillon
