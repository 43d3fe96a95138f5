#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillon::platform {

// Bytes of the folder's volume that this process may still use (blocks available to
// unprivileged callers); nothing when the query fails.
std::optional<uint64_t> freeBytesAvailable(const std::string& folder);

// Tests replace the query to simulate full or roomy disks; nullptr restores the real one.
using FreeSpaceQuery = std::optional<uint64_t> (*)(const std::string& folder);
void setFreeSpaceQueryForTesting(FreeSpaceQuery query);

}  // namespace quillon::platform
