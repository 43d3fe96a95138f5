#include "formats/riff_info_tags.h"

#include "formats/byte_io.h"
#include "formats/riff_tag_chunks.h"
#include "formats/tags.h"
#include "platform/text_encoding.h"

namespace quillon {
namespace {

struct InfoKey {
  std::string_view id, key;
};
constexpr InfoKey kInfoKeys[] = {
    {"INAM", "TITLE"},     {"IART", "ARTIST"},      {"IPRD", "ALBUM"},   {"ICRD", "YEAR"},
    {"ICMT", "COMMENT"},   {"ITRK", "TRACKNUMBER"}, {"IGNR", "GENRE"},   {"ICOP", "COPYRIGHT"},
    {"ISRC", "ENCODEDBY"}, {"ISFT", "ENCODER"},     {"ISBJ", "CATEGORY"}};

constexpr uint32_t kMaxListBytes = 259;
constexpr size_t kMaxDispBytes = 4 + 2048;  // the type and the title text
constexpr uint32_t kDispText = 1;           // the clipboard format of plain text

std::string_view keyForInfoId(std::string_view id) {
  for (const InfoKey& entry : kInfoKeys) {
    if (entry.id == id) return entry.key;
  }
  return "NULL";
}

bool isInfoList(platform::File& file, const RiffChunk& chunk) {
  return chunk.id == "LIST" && chunk.size >= 4 &&
         ByteReader(readChunkData(file, chunk, 4)).fourCC() == "INFO";
}

bool isTextDisp(platform::File& file, const RiffChunk& chunk) {
  return chunk.id == "DISP" && chunk.size >= 4 &&
         ByteReader(readChunkData(file, chunk, 4)).u32le() == kDispText;
}

std::string_view asText(const std::vector<uint8_t>& bytes, size_t from) {
  if (from >= bytes.size()) return {};
  return {reinterpret_cast<const char*>(bytes.data()) + from, bytes.size() - from};
}

void readInfoItems(TagList& tags, const std::vector<uint8_t>& list) {
  ByteReader in(list);
  in.skip(4);  // "INFO"
  while (in.ok() && in.remaining() >= 8) {
    const std::string id = in.fourCC();
    const uint32_t size = in.u32le();
    std::string text(std::min<size_t>(size, in.remaining()), '\0');
    in.bytes(reinterpret_cast<uint8_t*>(text.data()), text.size());
    if ((size & 1) && in.remaining() > 0) in.skip(1);
    storeTagValue(tags, keyForInfoId(id), fromCodePage(untilZero(text)));
  }
}

std::vector<uint8_t> infoListChunk(const TagList& tags) {
  ByteWriter items;
  items.fourCC("INFO");
  for (const InfoKey& entry : kInfoKeys) {
    const std::string value = tags.get(entry.key);
    if (value.empty()) continue;
    const std::string text = toCodePage(value);
    const size_t size = text.size() + 1;
    if (items.size() + 8 + size + (size & 1) > kMaxListBytes) continue;
    items.fourCC(entry.id).u32le(uint32_t(size));
    items.bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size()).u8(0);
    if (size & 1) items.u8(0);
  }
  ByteWriter chunk;
  chunk.fourCC("LIST").u32le(uint32_t(items.size())).bytes(items.data().data(), items.size());
  return chunk.data();
}

std::vector<uint8_t> dispChunk(const TagList& tags) {
  const std::string title(cutUtf8(tags.get("TITLE"), kMaxDispBytes - 6));
  ByteWriter chunk;
  chunk.fourCC("DISP").u32le(uint32_t((title.size() & ~size_t{1}) + 6)).u32le(kDispText);
  chunk.bytes(reinterpret_cast<const uint8_t*>(title.data()), title.size()).u8(0);
  if (title.size() % 2 == 0) chunk.u8(0);
  return chunk.data();
}

}  // namespace

bool readRiffInfoTags(TagList& tags, const std::string& path) {
  platform::File file;
  RiffChunkList list;
  if (!file.open(path, platform::File::Mode::Read) || !listRiffChunks(file, list)) return false;
  bool haveInfo = false, haveDisp = false;
  for (const RiffChunk& chunk : list.chunks) {
    if (isInfoList(file, chunk)) {
      if (chunk.size > kMaxListBytes) return false;
      readInfoItems(tags, readChunkData(file, chunk, kMaxListBytes));
      haveInfo = true;
    } else if (isTextDisp(file, chunk)) {
      storeTagValue(tags, "TITLE",
                    textFromUtf8Field(asText(readChunkData(file, chunk, kMaxDispBytes), 4)));
      haveDisp = true;
    }
  }
  return haveInfo && haveDisp;
}

bool writeRiffInfoTags(const TagList& tags, const std::string& path) {
  return rewriteRiffTagChunks(path,
                              [](platform::File& file, const RiffChunk& chunk) {
                                return isInfoList(file, chunk) || isTextDisp(file, chunk);
                              },
                              {infoListChunk(tags), dispChunk(tags)});
}

}  // namespace quillon
