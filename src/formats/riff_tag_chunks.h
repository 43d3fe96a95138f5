#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace quillon {

// The id that marks a chunk as disabled: it stays in place, unused, and may be written over.
inline constexpr std::string_view kDisabledChunkId = "    ";

struct RiffChunk {
  std::string id;
  int64_t offset = 0;  // of the 8-byte chunk header
  uint32_t size = 0;   // the size field: the data, without the pad byte
  int64_t dataOffset() const { return offset + 8; }
};

// The top-level chunks of a RIFF/WAVE file.
struct RiffChunkList {
  int64_t riffOffset = 0;  // of "RIFF", after any leading foreign chunks
  int64_t fileSize = 0;
  std::vector<RiffChunk> chunks;
  int64_t end = 0;         // just after the last whole chunk and its pad byte
  bool truncated = false;  // a chunk runs past the end of the file: nothing may be appended
};

// Finds RIFF/WAVE as the WAV reader does (skipping leading foreign chunks) and lists the chunks
// after it up to the end of the file. False when the file is not such a file.
bool listRiffChunks(platform::File& file, RiffChunkList& list);

// Reads up to `limit` bytes of a chunk's data (fewer when the chunk or the file is shorter).
std::vector<uint8_t> readChunkData(platform::File& file, const RiffChunk& chunk, size_t limit);

// Puts new tag chunks into the file (each whole: header, data and pad byte). They are written
// over consecutive chunks that are disabled or among `replaced` when those have exactly the
// same sizes, else appended; then the RIFF size is set to the file's, and the chunks of
// `replaced` that were not written over are disabled. On failure the RIFF size is the old one
// and an append is cut off again.
bool replaceRiffChunks(platform::File& file, const RiffChunkList& list,
                       const std::vector<size_t>& replaced,
                       const std::vector<std::vector<uint8_t>>& newChunks);

// Opens a WAV file for writing and puts `newChunks` in place of the chunks that `isOld` picks, as
// `replaceRiffChunks` does. False when the file is not a WAV file or a write failed.
bool rewriteRiffTagChunks(const std::string& path,
                          const std::function<bool(platform::File&, const RiffChunk&)>& isOld,
                          const std::vector<std::vector<uint8_t>>& newChunks);

}  // namespace quillon
