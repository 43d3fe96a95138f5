#include "shell/startup_guard.h"

#include <algorithm>

#include "platform/paths.h"
#include "platform/xdg_dirs.h"

namespace quillon {

bool StartupGuard::take(int budgetMilliseconds) {
  lock_.close();
  const std::string folder = platform::XdgDirs::privateRuntimeFolder(&refusal_);
  if (folder.empty()) return false;
  lock_ = platform::LockFile::acquire(platform::joinPath(folder, kLockName),
                                      platform::LockFile::Mode::Exclusive,
                                      std::max(0, budgetMilliseconds));
  return lock_.locked();
}

}  // namespace quillon
