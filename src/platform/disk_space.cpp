#include "platform/disk_space.h"

#include <sys/statvfs.h>

#include <atomic>

namespace quillon::platform {
namespace {

std::atomic<FreeSpaceQuery> testQuery{nullptr};

}  // namespace

std::optional<uint64_t> freeBytesAvailable(const std::string& folder) {
  if (FreeSpaceQuery query = testQuery.load()) return query(folder);
  struct statvfs st {};
  if (::statvfs(folder.c_str(), &st) != 0) return std::nullopt;
  return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

void setFreeSpaceQueryForTesting(FreeSpaceQuery query) {
  testQuery.store(query);
}

}  // namespace quillon::platform
