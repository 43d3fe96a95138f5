#include "document/low_disk_guard.h"

#include <algorithm>

#include "document/block_store.h"
#include "document/document_messages.h"
#include "document/document_view.h"
#include "document/wave_document.h"
#include "platform/disk_space.h"
#include "platform/paths.h"
#include "platform/text_format.h"

namespace quillon {

int64_t lowDiskNeededMegabytes(int32_t frames, GuardMode mode) {
  const int64_t bytesPerFrame = mode == GuardMode::WorkingFolder ? 4 : 2;
  const int64_t needed = (int64_t{frames} * bytesPerFrame) >> 20;
  return needed == 0 ? 3 : needed;
}

int64_t freeMegabytes(const std::string& folder) {
  constexpr int64_t kCapKilobytes = int64_t{4} << 30;  // 4 terabytes
  constexpr int64_t kUnknownKilobytes = 16777216;
  std::optional<uint64_t> bytes = platform::freeBytesAvailable(folder);
  int64_t kilobytes = bytes ? static_cast<int64_t>(std::min<uint64_t>(*bytes >> 10, kCapKilobytes))
                            : kUnknownKilobytes;
  return kilobytes / 1024;
}

bool lowDiskGuard(DocumentView* view, GuardMode mode, std::string_view message,
                  std::string_view argument) {
  if (!view) return false;
  WaveDocument* document = view->document();
  const int32_t frames = document ? document->audio.length() : 0;
  std::string folder = mode == GuardMode::WorkingFolder
                           ? BlockStore::instance().folder()
                           : platform::parentFolder(document ? document->path : std::string());
  if (freeMegabytes(folder.empty() ? "." : folder) >= lowDiskNeededMegabytes(frames, mode)) {
    return true;
  }
  view->interaction().messageBox(messages::kLowDiskCaption, formatMessage(message, {argument}),
                                 MessageIcon::Information, MessageButtons::Ok);
  return false;
}

}  // namespace quillon
