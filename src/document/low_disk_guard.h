#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

class DocumentView;

enum class GuardMode {
  SaveFolder = 0,     // room for the document in the folder of its path (before saving)
  WorkingFolder = 1,  // room for new blocks in the working folder (before and after actions)
};

// True when there is room for the view's document. Otherwise shows `message` (its "%s" filled
// with `argument`) in a box captioned "Low Disk Space" and answers false. No view: false.
bool lowDiskGuard(DocumentView* view, GuardMode mode, std::string_view message,
                  std::string_view argument = {});

// Megabytes an action or a save may need: frames × 4 (working folder) or × 2 (save) bytes,
// whatever the channel count, and at least 3.
int64_t lowDiskNeededMegabytes(int32_t frames, GuardMode mode);

// Free megabytes of a folder's volume: bytes available to this process, in kilobytes capped at
// 4 terabytes, then divided by 1024. A failed query counts as 16777216 kilobytes.
int64_t freeMegabytes(const std::string& folder);

}  // namespace quillon
