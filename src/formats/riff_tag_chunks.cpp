#include "formats/riff_tag_chunks.h"

#include <algorithm>

#include "formats/byte_io.h"

namespace quillon {
namespace {

constexpr size_t kMaxChunks = 1 << 16;
constexpr int64_t kMaxRiffSize = 0xFFFFFFFF;

bool inList(const std::vector<size_t>& indexes, size_t index) {
  return std::find(indexes.begin(), indexes.end(), index) != indexes.end();
}

}  // namespace

bool listRiffChunks(platform::File& file, RiffChunkList& list) {
  list = RiffChunkList();
  list.fileSize = file.size();
  int64_t offset = 0;
  for (size_t count = 0;; ++count) {
    uint8_t head[12];
    if (count == kMaxChunks || file.readAt(head, 12, offset) != 12) return false;
    ByteReader in(head, 12);
    const std::string id = in.fourCC();
    const uint32_t size = in.u32le();
    if (id == "RIFF" && in.fourCC() == "WAVE") break;
    const int64_t rounded = (int64_t{size} + 1) & ~int64_t{1};
    if (rounded <= 2 || rounded == 4) return false;
    offset += 8 + rounded;
  }
  list.riffOffset = offset;
  offset += 12;
  while (offset + 8 <= list.fileSize) {
    if (list.chunks.size() == kMaxChunks) {
      list.truncated = true;
      break;
    }
    uint8_t head[8];
    if (file.readAt(head, 8, offset) != 8) return false;
    ByteReader in(head, 8);
    RiffChunk chunk{in.fourCC(), offset, in.u32le()};
    if (chunk.dataOffset() + chunk.size > list.fileSize) {
      list.truncated = true;
      break;
    }
    list.chunks.push_back(chunk);
    offset = chunk.dataOffset() + chunk.size + (chunk.size & 1);
  }
  list.end = std::min(offset, list.fileSize + 1);
  return true;
}

std::vector<uint8_t> readChunkData(platform::File& file, const RiffChunk& chunk, size_t limit) {
  std::vector<uint8_t> data(std::min<size_t>(chunk.size, limit));
  const int64_t got = file.readAt(data.data(), data.size(), chunk.dataOffset());
  data.resize(size_t(std::max<int64_t>(got, 0)));
  return data;
}

bool replaceRiffChunks(platform::File& file, const RiffChunkList& list,
                       const std::vector<size_t>& replaced,
                       const std::vector<std::vector<uint8_t>>& newChunks) {
  if (list.truncated || newChunks.empty()) return false;
  const std::vector<RiffChunk>& chunks = list.chunks;
  auto fits = [&](size_t first) {
    for (size_t k = 0; k < newChunks.size(); ++k) {
      const size_t i = first + k;
      if (i >= chunks.size()) return false;
      if (chunks[i].id != kDisabledChunkId && !inList(replaced, i)) return false;
      if (int64_t{chunks[i].size} + 8 != int64_t(newChunks[k].size())) return false;
    }
    return true;
  };
  size_t first = 0;
  while (first < chunks.size() && !fits(first))
    ++first;
  const bool append = first >= chunks.size();

  int64_t newSize = list.fileSize;
  if (append) {
    for (const std::vector<uint8_t>& chunk : newChunks)
      newSize += int64_t(chunk.size());
    newSize = std::max(list.fileSize, list.end + (newSize - list.fileSize));
  }
  if (newSize - list.riffOffset - 8 > kMaxRiffSize) return false;

  // 1. The new chunks, over old ones of the same sizes (the structure never changes) or after
  // the last chunk (beyond the RIFF size until step 2).
  int64_t at = append ? list.end : chunks[first].offset;
  for (size_t k = 0; k < newChunks.size(); ++k) {
    if (!append) at = chunks[first + k].offset;
    if (!file.writeAt(newChunks[k].data(), newChunks[k].size(), at)) {
      if (append) file.truncate(list.fileSize);
      return false;
    }
    at += int64_t(newChunks[k].size());
  }
  // 2. The RIFF size.
  ByteWriter riffSize;
  riffSize.u32le(uint32_t(newSize - list.riffOffset - 8));
  if (!file.writeAt(riffSize.data().data(), 4, list.riffOffset + 4)) {
    if (append) file.truncate(list.fileSize);
    return false;
  }
  // 3. The old chunks that were not written over.
  for (size_t i : replaced) {
    if (!append && i >= first && i < first + newChunks.size()) continue;
    if (i >= chunks.size() || !file.writeAt(kDisabledChunkId.data(), 4, chunks[i].offset)) {
      return false;
    }
  }
  return file.sync();
}

bool rewriteRiffTagChunks(const std::string& path,
                          const std::function<bool(platform::File&, const RiffChunk&)>& isOld,
                          const std::vector<std::vector<uint8_t>>& newChunks) {
  platform::File file;
  RiffChunkList list;
  if (!file.open(path, platform::File::Mode::ReadWrite) || !listRiffChunks(file, list)) {
    return false;
  }
  std::vector<size_t> replaced;
  for (size_t i = 0; i < list.chunks.size(); ++i) {
    if (isOld(file, list.chunks[i])) replaced.push_back(i);
  }
  return replaceRiffChunks(file, list, replaced, newChunks);
}

}  // namespace quillon
