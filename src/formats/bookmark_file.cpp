#include "formats/bookmark_file.h"

#include <algorithm>
#include <atomic>

#include "effects/frame_time.h"
#include "formats/byte_io.h"
#include "formats/file_fields.h"
#include "platform/file.h"
#include "platform/text_encoding.h"

namespace quillon {
namespace {

constexpr uint8_t kWrittenVersion = 3;
constexpr uint8_t kMillisecondVersion = 2;
constexpr uint8_t kLongTextEscape = 255;

// Milliseconds of a frame position as the time display counts them.
int32_t displayMilliseconds(int32_t frames, int32_t rate) {
  if (rate <= 0) return 0;
  const int64_t ms = int64_t{frames / rate} * 1000 + int64_t{frames % rate} * 1000 / rate;
  return int32_t(std::clamp<int64_t>(ms, INT32_MIN, INT32_MAX));
}

// A length byte (or the escape and a 4-byte length), then the text in the code page. Keeps the
// first bytes of a long text and skips the rest.
std::string readText(FileFieldReader& in) {
  int64_t length = in.u8();
  if (length == kLongTextEscape) length = in.u32le();
  std::string bytes(size_t(std::min<int64_t>(length, int64_t{kMaxBookmarkTextBytes})), '\0');
  in.bytes(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
  in.skip(length - int64_t(bytes.size()));
  return fromCodePage(bytes);
}

void writeText(ByteWriter& out, const std::string& text) {
  const std::string bytes = toCodePage(text);
  if (bytes.size() < kLongTextEscape) {
    out.u8(uint8_t(bytes.size()));
  } else {
    out.u8(kLongTextEscape).u32le(uint32_t(std::min<size_t>(bytes.size(), UINT32_MAX)));
  }
  out.bytes(reinterpret_cast<const uint8_t*>(bytes.data()),
            std::min<size_t>(bytes.size(), UINT32_MAX));
}

}  // namespace

std::string bookmarkPathFor(const std::string& audioPath) {
  const size_t slash = audioPath.rfind('/');
  const size_t dot = audioPath.rfind('.');
  const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  return (hasExtension ? audioPath.substr(0, dot) : audioPath) + ".qbm";
}

std::vector<Bookmark> readBookmarkFile(const std::string& sideFilePath, int32_t documentRate) {
  std::vector<Bookmark> bookmarks;
  platform::File file;
  if (!file.open(sideFilePath, platform::File::Mode::Read)) return bookmarks;
  FileFieldReader in(file, file.size());
  const uint8_t version = in.u8();
  const int count = in.u8();
  if (!in.ok() || (version != kWrittenVersion && version != kMillisecondVersion)) return bookmarks;

  for (int i = 0; i < count; ++i) {
    Bookmark bookmark;
    bookmark.name = readText(in);
    bookmark.secondText = readText(in);
    if (version == kWrittenVersion) {
      bookmark.position = in.s32le();
      bookmark.positionRate = in.s32le();
      bookmark.displayNumber = in.s32le();
      bookmark.positionMs = displayMilliseconds(bookmark.position, bookmark.positionRate);
    } else {
      bookmark.positionMs = in.s32le();
      bookmark.positionRate = documentRate;
      bookmark.position = millisecondsToFrames(std::max(documentRate, 0), bookmark.positionMs);
    }
    bookmark.flag = in.u8();
    bookmark.value = in.u32le();
    if (!in.ok()) break;
    if (version == kMillisecondVersion) bookmark.displayNumber = nextBookmarkDisplayNumber();
    bookmarks.push_back(std::move(bookmark));
  }
  return bookmarks;
}

bool writeBookmarkFile(const std::string& sideFilePath, const std::vector<Bookmark>& bookmarks) {
  if (bookmarks.empty()) return platform::removeFile(sideFilePath);

  const size_t count = std::min(bookmarks.size(), kMaxSavedBookmarks);
  ByteWriter out;
  out.u8(kWrittenVersion).u8(uint8_t(count));
  for (size_t i = 0; i < count; ++i) {
    const Bookmark& bookmark = bookmarks[i];
    writeText(out, bookmark.name);
    writeText(out, bookmark.secondText);
    out.u32le(uint32_t(bookmark.position))
        .u32le(uint32_t(bookmark.positionRate))
        .u32le(uint32_t(bookmark.displayNumber))
        .u8(bookmark.flag)
        .u32le(bookmark.value);
  }
  const std::vector<uint8_t>& bytes = out.data();
  // Side files sit next to the user's audio: ordinary permissions, as the umask has them.
  return platform::replaceFileAtomically(
      sideFilePath, std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), 0666);
}

int32_t nextBookmarkDisplayNumber() {
  static std::atomic<int32_t> counter{0};
  return counter++;
}

}  // namespace quillon
